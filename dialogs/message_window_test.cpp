#include "dialogs/message_window.h"

#include <QTimer>
#include <QtTest/QTest>
#include <functional>

#include "platform/gui/boxes.h"
#include "platform/gui/desktop.h"
#include "platform/gui/edits.h"
#include "platform/gui/statics.h"
#include "platform/gui/test_support.h"

namespace orvex {
namespace {

constexpr const char* kTitle = "Abschluss-Meldung:";

QWidget* message_window() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->windowTitle() == kTitle) return w;
  return nullptr;
}

// Runs the window with what the operator does once its loop runs.
std::string run(const std::string& text, std::function<void(QWidget*)> operator_does,
                int w = 500, int h = 500) {
  QTimer::singleShot(0, [operator_does] {
    QWidget* win = message_window();
    ASSERT_NE(win, nullptr);
    operator_does(win);
  });
  return Modaldialog_ml(text, kTitle, nullptr, w, h, true);
}

gui::MultiLineEdit* mle(QWidget* win) { return win->findChild<gui::MultiLineEdit*>("oMle"); }
gui::PushButton* ok(QWidget* win) { return win->findChild<gui::PushButton*>("ok"); }

void click_ok(QWidget* win) {
  QPushButton* b = ok(win);
  QTest::mouseClick(win->windowHandle(), Qt::LeftButton, {}, b->mapTo(win, b->rect().center()));
}

struct MessageWindowTest : ::testing::Test {
  void TearDown() override { gui::clear_events(); }
};

TEST_F(MessageWindowTest, OkReturnsTheEditedTextWithoutLeadingBlanks) {
  const std::string got = run("  Bericht", [](QWidget* win) {
    EXPECT_EQ(mle(win)->text(), "  Bericht");  // shown with its blanks
    QTest::keyClick(mle(win), Qt::Key_End);
    QTest::keyClicks(mle(win), " neu");
    click_ok(win);
  });
  EXPECT_EQ(got, "Bericht neu");
  EXPECT_EQ(message_window(), nullptr);
}

TEST_F(MessageWindowTest, CloseBoxDropsTheEdits) {
  const std::string got = run("   Bericht", [](QWidget* win) {
    QTest::keyClicks(mle(win), "xyz");
    gui::testing::click_close_box(win);
  });
  EXPECT_EQ(got, "Bericht");
}

TEST_F(MessageWindowTest, ATimerTickTakenByTheLoopDoesNothing) {
  int rounds = 0;  // what a main loop would start for a tick it takes
  gui::postAppEvent(gui::Event::Timer);
  const std::string got = run("Bericht", [](QWidget* win) {
    gui::postAppEvent(gui::Event::Timer);
    QTest::keyClick(mle(win), Qt::Key_End);
    QTest::keyClicks(mle(win), "!");
    click_ok(win);
  });
  while (auto e = gui::poll_event())
    if (e->code == gui::Event::Timer) ++rounds;
  EXPECT_EQ(rounds, 0);
  EXPECT_EQ(got, "Bericht!");
}

TEST_F(MessageWindowTest, ControlsScaleWithTheDesktop) {
  ASSERT_EQ(gui::desktop_size().w, 800);  // offscreen desktop: nV = 1
  run("x", [](QWidget* win) {
    EXPECT_EQ(win->size(), QSize(500, 400));
    // (30, 40) and 440 x 330 from the lower left; Qt counts from the top.
    EXPECT_EQ(mle(win)->geometry(), QRect(30, 400 - (40 + 330), 440, 330));
    EXPECT_EQ(ok(win)->geometry(), QRect((500 - 72) / 2, 400 - (12 + 24), 72, 24));
    EXPECT_TRUE(ok(win)->focusPolicy() & Qt::TabFocus);
    EXPECT_EQ(win->focusWidget(), mle(win));
    EXPECT_EQ(win->windowModality(), Qt::ApplicationModal);
    click_ok(win);
  }, 500, 400);
}

TEST_F(MessageWindowTest, WithoutModalTheWindowGoesByItself) {
  set_pace_factor(0);
  EXPECT_EQ(Modaldialog_ml("  Bericht", kTitle, nullptr, 500, 500, false), "Bericht");
  set_pace_factor(1);
  EXPECT_EQ(message_window(), nullptr);
}

TEST_F(MessageWindowTest, HeadlessPrintsAndReturns) {
  gui::set_headless(true);
  ::testing::internal::CaptureStdout();
  const std::string got = Modaldialog_ml(" Bericht", kTitle, nullptr, 500, 500, true);
  const std::string out = ::testing::internal::GetCapturedStdout();
  gui::set_headless(false);
  EXPECT_EQ(got, "Bericht");
  EXPECT_NE(out.find("] Abschluss-Meldung:\n Bericht"), std::string::npos) << out;
}

}  // namespace
}  // namespace orvex
