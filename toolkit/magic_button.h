#pragma once
// The main window's button: a static text that acts as a button, shows a hover colour while
// the pointer is over it and keeps a second background after its first click.
#include <QPixmap>
#include <functional>
#include <optional>
#include <string>

#include "app/app.h"
#include "platform/gui/statics.h"

namespace orvex {

class MagicButton : public gui::StaticText, public SignalButton {
 public:
  using Action = std::function<void(std::nullptr_t, std::nullptr_t, MagicButton&)>;

  MagicButton(QWidget* parent, QWidget* owner, gui::Point pos, gui::Size size,
              gui::PresParams pres = {}, bool visible = true);

  Action activate;               // what a click does
  std::optional<QPixmap> hit;    // shown instead of the caption while hovering
  bool lIsActive = false;        // true from the first click on
  int ActiveCLR = gui::colour::Unset;
  int normalFG = gui::colour::Unset;  // kept for the creator, not applied
  int normalBG = gui::colour::Unset;

  bool PosOnXbp(gui::Point aPos) const;
  void motion(gui::Point aPos) override;
  void lbClick(gui::Point aPos) override;

  // SignalButton
  void setBackground(int colour) override;
  int background() const override;

  bool is_pressed() const { return lIsPressed; }
  bool is_hovering() const { return lIsCapture; }

 private:
  bool lIsPressed = false;
  bool lIsCapture = false;
  std::string xCaption;
};

}  // namespace orvex
