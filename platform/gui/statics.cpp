#include "platform/gui/statics.h"

#include <QMenu>
#include <vector>

namespace orvex::gui {

StaticText::StaticText(QWidget* parent, Point pos, Size size, PresParams pres, bool visible)
    : ControlOf<QLabel>(parent, pos, size, std::move(pres), visible) {
  setTextFormat(Qt::PlainText);
}

void StaticText::configure() {
  Qt::Alignment a;
  if (options & Left) a |= Qt::AlignLeft;
  if (options & HCenter) a |= Qt::AlignHCenter;
  if (options & Right) a |= Qt::AlignRight;
  if (options & Top) a |= Qt::AlignTop;
  if (options & VCenter) a |= Qt::AlignVCenter;
  if (options & Bottom) a |= Qt::AlignBottom;
  setAlignment(a);
  if (type == Type::Picture)
    setPixmap(picture);
  else
    setText(QString::fromStdString(caption));
}

PushButton::PushButton(QWidget* parent, Point pos, Size size, PresParams pres, bool visible)
    : ControlOf<QPushButton>(parent, pos, size, std::move(pres), visible) {
  setAutoDefault(false);
  QObject::connect(this, &QPushButton::clicked, [this] {
    if (activate) activate();
  });
}

void PushButton::configure() { setText(QString::fromStdString(caption)); }

void PushButton::handle_activate() {
  if (activate) activate();
}

struct PopupMenu::Impl {
  QMenu menu;
  std::vector<QAction*> items;
};

PopupMenu::PopupMenu() : impl_(std::make_unique<Impl>()) {}
PopupMenu::~PopupMenu() = default;

void PopupMenu::add_item(const std::string& caption, std::function<void()> action) {
  QAction* a = impl_->menu.addAction(QString::fromStdString(caption));
  QObject::connect(a, &QAction::triggered, [action = std::move(action)] {
    if (action) action();
  });
  impl_->items.push_back(a);
}

void PopupMenu::add_separator() { impl_->menu.addSeparator(); }

void PopupMenu::set_enabled(int item, bool on) {
  if (item >= 1 && item <= static_cast<int>(impl_->items.size()))
    impl_->items[static_cast<std::size_t>(item - 1)]->setEnabled(on);
}

int PopupMenu::popup(Control& at, Point pos) {
  QWidget* w = at.widget();
  QAction* chosen = impl_->menu.exec(w->mapToGlobal(to_qt_point(pos, w->height())));
  for (std::size_t i = 0; i < impl_->items.size(); ++i)
    if (impl_->items[i] == chosen) return static_cast<int>(i) + 1;
  return 0;
}

}  // namespace orvex::gui
