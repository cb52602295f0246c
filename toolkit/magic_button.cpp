#include "toolkit/magic_button.h"

namespace orvex {

MagicButton::MagicButton(QWidget* parent, QWidget* /*owner*/, gui::Point pos, gui::Size size,
                         gui::PresParams pres, bool visible)
    : gui::StaticText(parent, pos, size, std::move(pres), visible) {
  // Movements without a pressed button must reach us for the hover colour.
  setMouseTracking(true);
}

bool MagicButton::PosOnXbp(gui::Point aPos) const {
  const gui::Size s = current_size();
  return aPos.x > 0 && aPos.x < s.w && aPos.y > 0 && aPos.y < s.h;
}

void MagicButton::motion(gui::Point aPos) {
  if (lIsPressed) return;  // a nested loop inside the action delivers movements
  if (PosOnXbp(aPos)) {
    if (lIsCapture) return;
    lIsCapture = true;
    capture_mouse(true);
    xCaption = caption;
    if (hit) {
      picture = *hit;
      type = Type::Picture;
    } else {
      set_colour_bg(gui::colour::ButtonShadow);
    }
    configure();
    return;
  }
  if (hit) {
    type = Type::Text;
    caption = xCaption;
  } else {
    set_colour_bg(lIsActive ? ActiveCLR : normalBG);
  }
  configure();
  capture_mouse(false);
  const gui::Point p = current_pos();
  const gui::Size s = current_size();
  if (gui::Control* parent = parent_control()) parent->invalidate_rect(p, {p.x + s.w, p.y + s.h});
  lIsCapture = false;
}

void MagicButton::lbClick(gui::Point /*aPos*/) {
  lIsPressed = true;
  if (activate) activate(nullptr, nullptr, *this);
  lIsPressed = false;
  lIsActive = true;
  motion({-1, -1});
}

void MagicButton::setBackground(int colour) { set_colour_bg(colour); }

int MagicButton::background() const { return colour_bg(); }

}  // namespace orvex
