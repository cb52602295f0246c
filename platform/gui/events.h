#pragma once
// Our event queue. Operator input to our own windows is taken out of Qt's delivery and queued;
// a window's loop takes events one by one, looks at a few, and hands each on to its target,
// where Qt's own behaviour and the control's notification methods run:
//
//   for (;;) {
//     gui::AppEvent e = gui::appEvent();
//     if (e.code == gui::Event::Key && e.mp1 == gui::key::Esc) gui::post_close_request();
//     gui::handleEvent(e);
//     if (e.code == gui::Event::Close) break;
//   }
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

#include "platform/gui/geometry.h"

namespace orvex::gui {

class Control;

enum class Event {
  None,
  Close,       // close request: a window's close box, or posted
  Key,         // key press, mp1 = key code (keys.h)
  KeyUp,       // key release, mp1 = key code
  LbDown,      // left button pressed, pos
  LbUp,        // left button released, not completing a click
  LbClick,     // left click completed: released on the control that got the press, inside it
  LbDblClick,
  RbDown,
  RbUp,
  RbClick,
  MbDown,      // middle button
  MbUp,
  Motion,      // pointer moved, pos; consecutive moves to one control merge
  Wheel,       // mp1 = angle delta in eighths of a degree (positive: away from the operator)
  Activate,    // asks a push button to perform its action
  Resize,      // a window's size changed: old_size, new_size
  Timer,       // posted by the timer, addressed to the focused control
  User = 1000  // codes of the application from here on
};

struct AppEvent {
  Event code = Event::None;
  long mp1 = 0;
  long mp2 = 0;
  Point pos;         // mouse events: the pointer relative to the target's lower left corner
  Size old_size;     // Resize
  Size new_size;     // Resize
  QPointer<QObject> target;    // the addressed object: a control's widget, or any QObject
  QPointer<QObject> receiver;  // where Qt delivered the original (a control's inner widget)
  std::shared_ptr<QEvent> qt;  // our copy of the Qt event, re-delivered by handleEvent

  // The control the event is addressed to, or nullptr.
  Control* control() const;
  bool is_for(const Control* c) const;
};

// Takes the next event, waiting as long as needed; windows keep painting meanwhile.
AppEvent appEvent();
// Takes the next event if one is queued after processing what Qt has pending; never waits.
std::optional<AppEvent> poll_event();
// Hands the event to its target: Qt's default behaviour and the control's notification method.
void handleEvent(const AppEvent& e);

// From any thread. target nullptr: the object with the input focus when the event arrives.
void postAppEvent(Event code, long mp1 = 0, long mp2 = 0, QObject* target = nullptr);
// GUI thread only: appends an event as the filter does.
void queue_event(AppEvent e);
// A close request addressed to the object with the input focus.
void post_close_request();

// The focused control's widget, else the active window, else nullptr.
QObject* focus_object();

std::size_t pending_events();
void clear_events();

// Installs the queue's filter on the application and the pace waiter; removes both, stops and
// joins the timer on destruction. One instance, made after QApplication and dying before it.
class GuiSession {
 public:
  GuiSession();
  ~GuiSession();
  GuiSession(const GuiSession&) = delete;
  GuiSession& operator=(const GuiSession&) = delete;
};

// Our top-level windows: only input to these is queued (Qt's own boxes work untouched).
void register_window(QWidget* top_level);
void unregister_window(QWidget* top_level);

}  // namespace orvex::gui
