#include "platform/gui/keys.h"

#include <QKeyEvent>

namespace orvex::gui::key {

namespace {

int special(int qt_key) {
  switch (qt_key) {
    case Qt::Key_Escape: return Esc;
    case Qt::Key_Return:
    case Qt::Key_Enter: return Enter;
    case Qt::Key_Tab: return Tab;
    case Qt::Key_Backtab: return shift(Tab);
    case Qt::Key_Backspace: return Backspace;
    case Qt::Key_Delete: return Delete;
    case Qt::Key_Insert: return Insert;
    case Qt::Key_Home: return Home;
    case Qt::Key_End: return End;
    case Qt::Key_PageUp: return PgUp;
    case Qt::Key_PageDown: return PgDn;
    case Qt::Key_Left: return Left;
    case Qt::Key_Right: return Right;
    case Qt::Key_Up: return Up;
    case Qt::Key_Down: return Down;
    default: break;
  }
  if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F12) return F1 + (qt_key - Qt::Key_F1);
  return None;
}

}  // namespace

int key_code(const QKeyEvent& event) {
  const int k = event.key();
  switch (k) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
      return None;
    default: break;
  }
  const Qt::KeyboardModifiers mods = event.modifiers();
  int flags = 0;
  if (mods & Qt::ControlModifier) flags |= CtrlFlag;
  if (mods & Qt::AltModifier) flags |= AltFlag;

  if (int s = special(k); s != None) {
    if ((mods & Qt::ShiftModifier) && k != Qt::Key_Backtab) flags |= ShiftFlag;
    return s | flags;
  }
  if (flags != 0) {
    // With Ctrl or Alt a letter counts by its key, in upper case, whatever text it produced.
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return ('A' + (k - Qt::Key_A)) | flags;
    if (k >= 0x20 && k < 0x7f) return k | flags;
    return None;
  }
  const QString text = event.text();
  if (!text.isEmpty() && text.at(0).isPrint()) return text.at(0).unicode();
  if (k == Qt::Key_Space) return Space;
  return None;
}

}  // namespace orvex::gui::key
