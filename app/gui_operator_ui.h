#pragma once
// The operator services over the real windows; a headless run answers by the boxes' policy.
#include "app/app.h"

class QWidget;

namespace orvex {

class GuiOperatorUi : public OperatorUi {
 public:
  // owner: the window that owns boxes and the message window (the main window), may change.
  explicit GuiOperatorUi(QWidget* owner = nullptr) : owner_(owner) {}
  void set_owner(QWidget* owner) { owner_ = owner; }

  void message_box(const std::string& text) override;
  bool confirm(const std::string& title, const std::string& message) override;
  std::string message_window(const std::string& text, const std::string& title, int width,
                             int height) override;
  void tone(int hertz, int hundredths) override;
  bool wait_for_key(int hundredths) override;
  void set_title(const std::string& title) override;

 private:
  QWidget* owner_;
};

}  // namespace orvex
