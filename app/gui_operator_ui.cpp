#include "app/gui_operator_ui.h"

#include "dialogs/message_window.h"
#include "platform/gui/boxes.h"
#include "platform/gui/desktop.h"
#include "platform/gui/dialog.h"
#include "platform/gui/waits.h"

namespace orvex {

void GuiOperatorUi::message_box(const std::string& text) { gui::message_box(text); }

bool GuiOperatorUi::confirm(const std::string& title, const std::string& message) {
  return gui::confirm_box(owner_, title, message);
}

std::string GuiOperatorUi::message_window(const std::string& text, const std::string& title,
                                          int width, int height) {
  return Modaldialog_ml(text, title, owner_, width, height, true);
}

void GuiOperatorUi::tone(int hertz, int hundredths) { gui::tone(hertz, hundredths); }

bool GuiOperatorUi::wait_for_key(int hundredths) { return gui::wait_for_key(hundredths); }

void GuiOperatorUi::set_title(const std::string& title) {
  if (auto* d = dynamic_cast<gui::Dialog*>(owner_))
    d->set_title(title);
  else if (owner_ != nullptr)
    owner_->setWindowTitle(QString::fromStdString(title));
}

}  // namespace orvex
