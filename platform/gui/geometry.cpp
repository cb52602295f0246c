#include "platform/gui/geometry.h"

namespace orvex::gui {

QRect to_qt_rect(Point pos, Size size, int parent_height) {
  return QRect(pos.x, parent_height - (pos.y + size.h), size.w, size.h);
}

Point to_system_pos(const QRect& rect, int parent_height) {
  return {rect.x(), parent_height - (rect.y() + rect.height())};
}

Point to_system_point(QPoint qt, int height) { return {qt.x(), height - 1 - qt.y()}; }

QPoint to_qt_point(Point p, int height) { return QPoint(p.x, height - 1 - p.y); }

}  // namespace orvex::gui
