#include "platform/gui/dialog.h"

#include "platform/gui/events.h"

namespace orvex::gui {

DrawingArea::DrawingArea(QWidget* dialog, PresParams pres)
    : ControlOf<QWidget>(dialog, {0, 0}, {dialog->width(), dialog->height()}, std::move(pres), true) {}

void DrawingArea::apply_presentation() {
  Control::apply_presentation();
  setAutoFillBackground(true);
}

Dialog::Dialog(QWidget* owner, Point pos, Size size, bool visible)
    : ControlOf<QWidget>(owner, pos, size, {}, visible) {
  setWindowFlags(owner != nullptr ? Qt::Dialog : Qt::Window);
  drawing_area_ = new DrawingArea(this, {});
  register_window(this);
}

Dialog::~Dialog() { unregister_window(this); }

void Dialog::create() {
  Control::create();
  drawing_area_->setGeometry(rect());
  drawing_area_->create();
}

void Dialog::configure() {
  Qt::WindowFlags flags = (parentWidget() != nullptr && !task_list) ? Qt::Dialog : Qt::Window;
  flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
           Qt::WindowCloseButtonHint;
  if (min_button) flags |= Qt::WindowMinimizeButtonHint;
  if (max_button) flags |= Qt::WindowMaximizeButtonHint;
  if (windowFlags() != flags) {
    const bool was_visible = isVisible();
    setWindowFlags(flags);  // hides the window
    if (was_visible) show();
  }
  if (sizable) {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  } else {
    setFixedSize(size());
  }
  setWindowTitle(QString::fromStdString(title));
}

void Dialog::set_title(const std::string& utf8) {
  title = utf8;
  setWindowTitle(QString::fromStdString(utf8));
}

std::string Dialog::get_title() const { return windowTitle().toStdString(); }

void Dialog::set_modal_state(bool app_modal) {
  modal_ = app_modal;
  const Qt::WindowModality wanted = app_modal ? Qt::ApplicationModal : Qt::NonModal;
  if (windowModality() == wanted) return;
  // Qt applies a new modality at the next show; leaving it needs no re-show before destroy.
  const bool reshow = app_modal && isVisible();
  if (reshow) hide();
  setWindowModality(wanted);
  if (reshow) show();
}

bool Dialog::modal_state() const { return modal_; }

void Dialog::destroy() {
  Control::destroy();
  hide();
}

void Dialog::close_request() {
  if (on_close) on_close();
}

void Dialog::resized(Size old_size, Size new_size) {
  if (on_resize) on_resize(old_size, new_size);
}

void Dialog::resizeEvent(QResizeEvent* e) {
  drawing_area_->setGeometry(rect());
  ControlOf<QWidget>::resizeEvent(e);
  const QSize old = e->oldSize();
  if (!isVisible() || !old.isValid() || old == e->size()) return;
  AppEvent r;
  r.code = Event::Resize;
  r.target = this;
  r.receiver = this;
  r.old_size = {old.width(), old.height()};
  r.new_size = {e->size().width(), e->size().height()};
  queue_event(std::move(r));
}

}  // namespace orvex::gui
