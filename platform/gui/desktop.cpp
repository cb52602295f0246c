#include "platform/gui/desktop.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QScreen>

#include "platform/gui/boxes.h"

namespace orvex::gui {

Size desktop_size() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {800, 600};
  const QSize s = screen->size();
  return {s.width(), s.height()};
}

bool shift_held() { return QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier; }
bool ctrl_held() { return QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier; }
bool alt_held() { return QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier; }

void tone(int /*hertz*/, int /*hundredths*/) {
  if (!headless()) QApplication::beep();
}

std::string clipboard_text() {
  return QGuiApplication::clipboard()->text().toStdString();
}

void set_clipboard_text(const std::string& utf8) {
  QGuiApplication::clipboard()->setText(QString::fromStdString(utf8));
}

}  // namespace orvex::gui
