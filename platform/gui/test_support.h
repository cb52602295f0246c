#pragma once
// For the window tests: one QApplication and GuiSession per test binary, and small drivers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QtTest/qtestspontaneevent.h>
#include <memory>
#include <vector>

#include "platform/gui/events.h"
#include "platform/pace/pace.h"

namespace orvex::gui::testing {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "orvex_gui_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
    session_ = std::make_unique<GuiSession>();
  }
  void TearDown() override {
    session_.reset();
    app_.reset();
  }

 private:
  std::unique_ptr<QApplication> app_;
  std::unique_ptr<GuiSession> session_;
};

inline ::testing::Environment* const qt_environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Shows a window and makes it the active one, as the operator would see it.
inline void show_active(QWidget* w) {
  w->show();
  QApplication::setActiveWindow(w);
  QCoreApplication::processEvents();
}

// What the window system sends when the operator clicks the close box.
inline void click_close_box(QWidget* window) {
  QCloseEvent ev;
  QSpontaneKeyEvent::setSpontaneous(&ev);
  QApplication::instance()->notify(window, &ev);
}

// Everything queued so far, without handing it on.
inline std::vector<AppEvent> take_all() {
  std::vector<AppEvent> out;
  while (auto e = poll_event()) out.push_back(std::move(*e));
  return out;
}

inline void handle_all() {
  for (const AppEvent& e : take_all()) handleEvent(e);
}

}  // namespace orvex::gui::testing
