#pragma once
// Top-level windows: a dialog with its drawing area (the client area). A plain QWidget, not a
// QDialog, so that Esc and Enter reach our loops.
#include <functional>
#include <string>

#include "platform/gui/control.h"

namespace orvex::gui {

// The client area: fills its dialog, paints its background colour, parents the controls.
class DrawingArea : public ControlOf<QWidget> {
 public:
  DrawingArea(QWidget* dialog, PresParams pres);

 protected:
  void apply_presentation() override;
};

class Dialog : public ControlOf<QWidget> {
 public:
  // owner nullptr: a window on the desktop. pos is from the desktop's lower left corner;
  // size is the window's size, which on this platform is also its client size.
  Dialog(QWidget* owner, Point pos, Size size, bool visible = false);
  ~Dialog() override;

  // Attributes, applied by create() and configure().
  std::string title;
  bool task_list = true;
  bool min_button = true;
  bool max_button = true;
  bool sizable = true;  // border the operator can drag

  // Handlers, run when a close request or a resize addressed to the window is handed on.
  std::function<void()> on_close;
  std::function<void(Size old_size, Size new_size)> on_resize;

  DrawingArea* drawing_area() const { return drawing_area_; }
  void set_title(const std::string& utf8);  // applies at once
  std::string get_title() const;

  // Application-modal: no other window of ours takes input while this one is shown.
  void set_modal_state(bool app_modal);
  bool modal_state() const;

  void create() override;
  void configure() override;
  void destroy() override;
  void close_request() override;
  void resized(Size old_size, Size new_size) override;

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  DrawingArea* drawing_area_;
  bool modal_ = false;
};

}  // namespace orvex::gui
