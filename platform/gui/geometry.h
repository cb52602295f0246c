#pragma once
// The system's coordinates: origin at the lower left corner of the parent, y upwards.
// Only this layer converts them to Qt's top-left origin.
#include <QPoint>
#include <QRect>

namespace orvex::gui {

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  int w = 0;
  int h = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// A rectangle given by its lower left corner, inside a parent of the given height.
QRect to_qt_rect(Point pos, Size size, int parent_height);
// The lower left corner of a Qt rectangle inside a parent of the given height.
Point to_system_pos(const QRect& rect, int parent_height);
// A pixel of a widget of the given height: row 0 of Qt is the top row.
Point to_system_point(QPoint qt, int height);
QPoint to_qt_point(Point p, int height);

}  // namespace orvex::gui
