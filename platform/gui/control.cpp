#include "platform/gui/control.h"

#include <QApplication>
#include <QPalette>

#include "platform/gui/desktop.h"
#include "platform/gui/event_internals.h"

namespace orvex::gui {

Control::Control(QWidget* self, Point pos, Size size, PresParams pres, bool visible)
    : widget_(self), pos_(pos), size_(size), pres_(std::move(pres)), visible_(visible) {
  // Nothing shows before create(), not even when the parent is shown first.
  self->hide();
  self->resize(size.w, size.h);
}

Control* Control::parent_control() const {
  QWidget* p = widget_->parentWidget();
  return (p != nullptr && !widget_->isWindow()) ? control_of(p) : nullptr;
}

void Control::create() {
  created_ = true;
  apply_geometry();
  apply_presentation();
  configure();
  set_tab_stop(tab_stop_);
  widget_->setVisible(visible_);
}

void Control::configure() {}

void Control::destroy() {
  created_ = false;
  widget_->hide();
  if (!widget_->isWindow()) widget_->deleteLater();
}

Size Control::current_size() const { return {widget_->width(), widget_->height()}; }

void Control::set_pos(Point p) {
  pos_ = p;
  if (created_) apply_geometry();
}

void Control::set_size(Size s) {
  size_ = s;
  widget_->resize(s.w, s.h);
  if (created_) apply_geometry();
}

void Control::set_pos_and_size(Point p, Size s) {
  pos_ = p;
  set_size(s);
}

void Control::apply_geometry() {
  const QSize s = widget_->size();
  if (widget_->isWindow()) {
    const QRect r = to_qt_rect(pos_, {s.width(), s.height()}, desktop_size().h);
    widget_->move(r.topLeft());
    return;
  }
  QWidget* parent = widget_->parentWidget();
  const int parent_height = parent != nullptr ? parent->height() : desktop_size().h;
  widget_->setGeometry(to_qt_rect(pos_, {s.width(), s.height()}, parent_height));
}

void Control::set_colour_fg(int colour) {
  pres_.fg = colour;
  if (created_) apply_presentation();
}

void Control::set_colour_bg(int colour) {
  pres_.bg = colour;
  if (created_) apply_presentation();
}

void Control::set_font(const std::string& compound_name) {
  pres_.font = compound_name;
  if (created_) apply_presentation();
}

void Control::apply_presentation() {
  QPalette pal = widget_->palette();
  const QPalette inherited =
      widget_->parentWidget() != nullptr ? widget_->parentWidget()->palette() : QApplication::palette();
  if (pres_.fg != colour::Unset) {
    const QColor c = to_qcolor(pres_.fg);
    pal.setColor(QPalette::WindowText, c);
    pal.setColor(QPalette::Text, c);
    pal.setColor(QPalette::ButtonText, c);
  }
  const QPalette::ColorRole bg_role = widget_->backgroundRole();
  if (pres_.bg != colour::Unset) {
    pal.setColor(bg_role, to_qcolor(pres_.bg));
    widget_->setAutoFillBackground(true);
  } else {
    pal.setColor(bg_role, inherited.color(bg_role));
  }
  widget_->setPalette(pal);
  if (!pres_.font.empty()) widget_->setFont(font_from_compound_name(pres_.font));
}

void Control::set_visible(bool on) {
  visible_ = on;
  if (created_) widget_->setVisible(on);
}

void Control::set_tab_stop(bool on) {
  tab_stop_ = on;
  Qt::FocusPolicy policy = widget_->focusPolicy();
  const int bits = on ? (policy | Qt::TabFocus) : (policy & ~Qt::TabFocus);
  widget_->setFocusPolicy(static_cast<Qt::FocusPolicy>(bits));
}

void Control::capture_mouse(bool on) {
  if (on) {
    if (widget_->isVisible()) widget_->grabMouse();
  } else if (QWidget::mouseGrabber() == widget_) {
    widget_->releaseMouse();
  }
}

bool Control::has_mouse_capture() const { return QWidget::mouseGrabber() == widget_; }

void Control::invalidate_rect(Point from, Point to) {
  const int h = widget_->height();
  widget_->update(QRect(from.x, h - to.y, to.x - from.x, to.y - from.y));
}

void Control::set_focus() { widget_->setFocus(Qt::OtherFocusReason); }

bool Control::has_focus() const { return widget_->hasFocus(); }

void Control::keyboard(int) { default_handling(); }
void Control::lbDown(Point) { default_handling(); }
void Control::lbUp(Point) { default_handling(); }
void Control::lbClick(Point) { default_handling(); }
void Control::lbDblClick(Point) { default_handling(); }
void Control::rbDown(Point) { default_handling(); }
void Control::rbUp(Point) { default_handling(); }
void Control::rbClick(Point) { default_handling(); }
void Control::mbDown(Point) { default_handling(); }
void Control::mbUp(Point) { default_handling(); }
void Control::motion(Point) { default_handling(); }
void Control::wheel(Point, int) { default_handling(); }
void Control::handle_activate() {}
void Control::close_request() {}
void Control::resized(Size, Size) {}
void Control::timer_tick() {}
void Control::setInputFocus() {}
void Control::killInputFocus() {}

void Control::default_handling() { deliver_current_event(); }

Control* control_of(QObject* object) {
  for (QObject* o = object; o != nullptr; o = o->parent()) {
    if (auto* c = dynamic_cast<Control*>(o)) return c;
    auto* w = qobject_cast<QWidget*>(o);
    if (w != nullptr && w->isWindow()) break;
  }
  return nullptr;
}

}  // namespace orvex::gui
