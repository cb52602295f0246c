#pragma once
// The base of every control: life cycle, geometry in the system's coordinates, presentation
// parameters, and the notification methods that handleEvent() calls. A control is a Qt widget
// (ControlOf<QtWidget>) and a Control at once; its parent owns it the Qt way.
//
// Notification methods run Qt's default behaviour for the event being handled when the base
// is called; an override that does not call the base suppresses it.
#include <QFocusEvent>
#include <QResizeEvent>
#include <QWidget>
#include <string>

#include "platform/gui/colours.h"
#include "platform/gui/geometry.h"

namespace orvex::gui {

struct PresParams {
  int fg = colour::Unset;
  int bg = colour::Unset;
  std::string font;  // compound name, empty: inherited
};

class Control {
 public:
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  QWidget* widget() const { return widget_; }
  // The control the widget's parent belongs to, or nullptr.
  Control* parent_control() const;

  // Life cycle: construction sets members (init); create makes the control real with its
  // geometry, presentation parameters and attributes; configure applies changed attributes;
  // destroy removes the control (children with it).
  virtual void create();
  virtual void configure();
  virtual void destroy();
  bool is_created() const { return created_; }

  Point current_pos() const { return pos_; }
  Size current_size() const;
  void set_pos(Point p);
  void set_size(Size s);
  void set_pos_and_size(Point p, Size s);
  // Re-places the widget after its parent's height changed (lower left stays put).
  void apply_geometry();

  void set_colour_fg(int colour);
  void set_colour_bg(int colour);
  int colour_fg() const { return pres_.fg; }
  int colour_bg() const { return pres_.bg; }
  void set_font(const std::string& compound_name);

  bool visible() const { return visible_; }
  void set_visible(bool on);
  bool tab_stop() const { return tab_stop_; }
  void set_tab_stop(bool on);

  void capture_mouse(bool on);
  bool has_mouse_capture() const;
  // Repaints a rectangle given in this control's own coordinates.
  void invalidate_rect(Point from, Point to);
  void set_focus();
  bool has_focus() const;

  // Notifications (base: Qt's default behaviour of the event being handled).
  virtual void keyboard(int key);
  virtual void lbDown(Point pos);
  virtual void lbUp(Point pos);
  virtual void lbClick(Point pos);
  virtual void lbDblClick(Point pos);
  virtual void rbDown(Point pos);
  virtual void rbUp(Point pos);
  virtual void rbClick(Point pos);
  virtual void mbDown(Point pos);
  virtual void mbUp(Point pos);
  virtual void motion(Point pos);
  virtual void wheel(Point pos, int delta);
  virtual void handle_activate();               // Event::Activate
  virtual void close_request();                 // Event::Close
  virtual void resized(Size old_size, Size new_size);  // Event::Resize
  virtual void timer_tick();                    // Event::Timer: nothing by default
  // Focus gained and lost, called when Qt moves the focus (not queued).
  virtual void setInputFocus();
  virtual void killInputFocus();

 protected:
  Control(QWidget* self, Point pos, Size size, PresParams pres, bool visible);
  // Delivers the Qt event being handled to its receiver, once: the default behaviour.
  static void default_handling();
  // Colours and font to the widget; controls with their own colour roles override.
  virtual void apply_presentation();

 private:
  QWidget* widget_;
  Point pos_;
  Size size_;
  PresParams pres_;
  bool visible_;
  bool tab_stop_ = false;
  bool created_ = false;
};

// The control behind a Qt object: the object itself or its nearest ancestor that is one.
Control* control_of(QObject* object);

// A Qt widget class made into a control.
template <class QtWidget>
class ControlOf : public QtWidget, public Control {
 public:
  using Control::create;
  using Control::destroy;

 protected:
  ControlOf(QWidget* parent, Point pos, Size size, PresParams pres, bool visible)
      : QtWidget(parent), Control(this, pos, size, std::move(pres), visible) {}

  void focusInEvent(QFocusEvent* e) override {
    QtWidget::focusInEvent(e);
    setInputFocus();
  }
  void focusOutEvent(QFocusEvent* e) override {
    QtWidget::focusOutEvent(e);
    killInputFocus();
  }
  void resizeEvent(QResizeEvent* e) override {
    QtWidget::resizeEvent(e);
    place_children();
  }

 private:
  // Children keep their distance from the lower edge, as the system's coordinates say.
  void place_children() {
    for (QObject* child : QObject::children()) {
      auto* c = dynamic_cast<Control*>(child);
      if (c != nullptr && c->is_created()) c->apply_geometry();
    }
  }
};

}  // namespace orvex::gui
