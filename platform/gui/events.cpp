#include "platform/gui/events.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <deque>
#include <stdexcept>
#include <vector>

#include "platform/gui/control.h"
#include "platform/gui/event_internals.h"
#include "platform/gui/keys.h"
#include "platform/gui/timer.h"
#include "platform/gui/waits.h"
#include "platform/pace/pace.h"

namespace orvex::gui {

namespace {

const QEvent::Type kPostedType = static_cast<QEvent::Type>(QEvent::registerEventType());

// An event posted from any thread; it joins our queue when the GUI thread receives it.
struct PostedEvent : QEvent {
  PostedEvent(Event c, long a, long b, QObject* t)
      : QEvent(kPostedType), code(c), mp1(a), mp2(b), target(t), to_focus(t == nullptr) {}
  Event code;
  long mp1;
  long mp2;
  QPointer<QObject> target;
  bool to_focus;
};

struct Queue {
  std::deque<AppEvent> events;
  std::vector<QPointer<QWidget>> windows;
  QPointer<QWidget> left_press;  // the widget that got the last left press
  QPointer<QWidget> right_press;
  int redelivering = 0;
  KeyWatch key_watch;
};

Queue& queue() {
  static Queue q;
  return q;
}

// Re-delivery may send nested events; only the stored copy of the event in hand goes out.
struct Delivery {
  const AppEvent* event = nullptr;
  bool delivered = false;
};
Delivery* current_delivery = nullptr;

bool is_ours(QWidget* w) {
  QWidget* top = w->window();
  for (const auto& p : queue().windows)
    if (p == top) return true;
  return false;
}

QWidget* control_widget(QWidget* receiver) {
  Control* c = control_of(receiver);
  return c != nullptr ? c->widget() : receiver;
}

// Position relative to the addressed control, lower left origin.
Point pos_in_target(QWidget* receiver, QWidget* target, QPointF local) {
  QPoint p = local.toPoint();
  if (target != receiver && target->isAncestorOf(receiver)) p = receiver->mapTo(target, p);
  return to_system_point(p, target->height());
}

bool inside(QWidget* w, QPointF local) { return w->rect().contains(local.toPoint()); }

AppEvent mouse_event(Event code, QWidget* receiver, QMouseEvent* m) {
  AppEvent e;
  e.code = code;
  e.receiver = receiver;
  QWidget* target = control_widget(receiver);
  e.target = target;
  e.pos = pos_in_target(receiver, target, m->position());
  // A clone would share the point data with Qt's own event: build a new one.
  e.qt = std::make_shared<QMouseEvent>(m->type(), m->position(), m->scenePosition(),
                                       m->globalPosition(), m->button(), m->buttons(),
                                       m->modifiers(), m->pointingDevice());
  return e;
}

bool queue_mouse(QWidget* w, QMouseEvent* m) {
  Queue& q = queue();
  const bool left = m->button() == Qt::LeftButton;
  const bool right = m->button() == Qt::RightButton;
  switch (m->type()) {
    case QEvent::MouseButtonPress:
      if (left) q.left_press = w;
      if (right) q.right_press = w;
      queue_event(mouse_event(left ? Event::LbDown : right ? Event::RbDown : Event::MbDown, w, m));
      return true;
    case QEvent::MouseButtonDblClick:
      queue_event(mouse_event(left ? Event::LbDblClick : right ? Event::RbDown : Event::MbDown, w, m));
      return true;
    case QEvent::MouseButtonRelease: {
      Event code = Event::MbUp;
      if (left) {
        code = (q.left_press == w && inside(w, m->position())) ? Event::LbClick : Event::LbUp;
        q.left_press = nullptr;
      } else if (right) {
        code = (q.right_press == w && inside(w, m->position())) ? Event::RbClick : Event::RbUp;
        q.right_press = nullptr;
      }
      queue_event(mouse_event(code, w, m));
      return true;
    }
    case QEvent::MouseMove:
      queue_event(mouse_event(Event::Motion, w, m));
      return true;
    default:
      return false;
  }
}

AppEvent key_event(QWidget* receiver, QKeyEvent* k) {
  AppEvent e;
  e.code = k->type() == QEvent::KeyPress ? Event::Key : Event::KeyUp;
  e.mp1 = key::key_code(*k);
  e.receiver = receiver;
  e.target = control_widget(receiver);
  const Qt::KeyboardModifiers mods = k->modifiers();
  if ((mods & Qt::AltModifier) && !(mods & Qt::ControlModifier) && !k->text().isEmpty()) {
    // Alt+letter must not type the letter into an editor when it is handed on.
    e.qt = std::make_shared<QKeyEvent>(k->type(), k->key(), mods, k->nativeScanCode(),
                                       k->nativeVirtualKey(), k->nativeModifiers(), QString(),
                                       k->isAutoRepeat(), k->count());
  } else {
    e.qt.reset(k->clone());
  }
  return e;
}

class Filter : public QObject {
 public:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == kPostedType) return false;
    auto* w = qobject_cast<QWidget*>(object);
    if (w == nullptr) return false;
    const QEvent::Type type = event->type();
    if (type == QEvent::ShortcutOverride) {
      // Shortcuts run when the key is handed on, not when it is typed.
      if (queue().redelivering > 0 || !is_ours(w)) return false;
      event->accept();
      return true;
    }
    if (!event->spontaneous()) return false;
    switch (type) {
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::Wheel:
      case QEvent::Close:
        break;
      default:
        return false;
    }
    if (!is_ours(w)) return false;
    switch (type) {
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
        queue_event(key_event(w, static_cast<QKeyEvent*>(event)));
        return true;
      case QEvent::Wheel: {
        auto* wh = static_cast<QWheelEvent*>(event);
        AppEvent e;
        e.code = Event::Wheel;
        e.mp1 = wh->angleDelta().y();
        e.receiver = w;
        QWidget* target = control_widget(w);
        e.target = target;
        e.pos = pos_in_target(w, target, wh->position());
        e.qt = std::make_shared<QWheelEvent>(wh->position(), wh->globalPosition(), wh->pixelDelta(),
                                             wh->angleDelta(), wh->buttons(), wh->modifiers(),
                                             wh->phase(), wh->inverted(), wh->source(),
                                             wh->pointingDevice());
        queue_event(std::move(e));
        return true;
      }
      case QEvent::Close: {
        if (!w->isWindow()) return false;
        event->ignore();  // the window stays; the loop decides
        AppEvent e;
        e.code = Event::Close;
        e.target = w;
        e.receiver = w;
        queue_event(std::move(e));
        return true;
      }
      default:
        return queue_mouse(w, static_cast<QMouseEvent*>(event));
    }
  }
};

class Poster : public QObject {
 public:
  bool event(QEvent* event) override {
    if (event->type() != kPostedType) return QObject::event(event);
    auto* p = static_cast<PostedEvent*>(event);
    AppEvent e;
    e.code = p->code;
    e.mp1 = p->mp1;
    e.mp2 = p->mp2;
    e.target = p->to_focus ? focus_object() : p->target.data();
    e.receiver = e.target;
    queue_event(std::move(e));
    return true;
  }
};

Filter* the_filter = nullptr;
std::atomic<Poster*> the_poster{nullptr};

void deliver(const AppEvent& e) {
  QObject* to = e.receiver ? e.receiver.data() : e.target.data();
  if (to == nullptr || !e.qt) return;
  ++queue().redelivering;
  e.qt->setAccepted(true);
  QCoreApplication::sendEvent(to, e.qt.get());
  --queue().redelivering;
}

}  // namespace

Control* AppEvent::control() const { return target ? control_of(target.data()) : nullptr; }

bool AppEvent::is_for(const Control* c) const { return c != nullptr && control() == c; }

void queue_event(AppEvent e) {
  Queue& q = queue();
  if (q.key_watch && q.key_watch(e)) return;
  if (!q.events.empty()) {
    AppEvent& last = q.events.back();
    if (e.code == Event::Motion && last.code == Event::Motion && last.receiver == e.receiver) {
      last = std::move(e);
      return;
    }
    if (e.code == Event::Resize && last.code == Event::Resize && last.target == e.target) {
      last.new_size = e.new_size;
      return;
    }
  }
  q.events.push_back(std::move(e));
}

void set_key_watch(KeyWatch watch) { queue().key_watch = std::move(watch); }

AppEvent appEvent() {
  Queue& q = queue();
  for (;;) {
    // Without exec() nothing else runs deleteLater.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (!q.events.empty()) {
      AppEvent e = std::move(q.events.front());
      q.events.pop_front();
      return e;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
}

std::optional<AppEvent> poll_event() {
  Queue& q = queue();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  if (q.events.empty()) return std::nullopt;
  AppEvent e = std::move(q.events.front());
  q.events.pop_front();
  return e;
}

void handleEvent(const AppEvent& e) {
  Delivery d{&e, false};
  Delivery* outer = current_delivery;
  current_delivery = &d;
  struct Restore {
    Delivery* outer;
    ~Restore() { current_delivery = outer; }
  } restore{outer};

  Control* c = e.control();
  if (c == nullptr) {
    deliver_current_event();
    return;
  }
  switch (e.code) {
    case Event::Key: c->keyboard(static_cast<int>(e.mp1)); break;
    case Event::LbDown: c->lbDown(e.pos); break;
    case Event::LbUp: c->lbUp(e.pos); break;
    case Event::LbClick: c->lbClick(e.pos); break;
    case Event::LbDblClick: c->lbDblClick(e.pos); break;
    case Event::RbDown: c->rbDown(e.pos); break;
    case Event::RbUp: c->rbUp(e.pos); break;
    case Event::RbClick: c->rbClick(e.pos); break;
    case Event::MbDown: c->mbDown(e.pos); break;
    case Event::MbUp: c->mbUp(e.pos); break;
    case Event::Motion: c->motion(e.pos); break;
    case Event::Wheel: c->wheel(e.pos, static_cast<int>(e.mp1)); break;
    case Event::Activate: c->handle_activate(); break;
    case Event::Close: c->close_request(); break;
    case Event::Resize: c->resized(e.old_size, e.new_size); break;
    case Event::Timer: c->timer_tick(); break;
    default: deliver_current_event(); break;
  }
}

void deliver_current_event() {
  if (current_delivery == nullptr || current_delivery->delivered) return;
  current_delivery->delivered = true;
  deliver(*current_delivery->event);
}

void postAppEvent(Event code, long mp1, long mp2, QObject* target) {
  Poster* poster = the_poster.load();
  if (poster == nullptr) throw std::logic_error("postAppEvent without a GuiSession");
  QCoreApplication::postEvent(poster, new PostedEvent(code, mp1, mp2, target));
}

void post_close_request() { postAppEvent(Event::Close); }

QObject* focus_object() {
  if (QWidget* f = QApplication::focusWidget()) return f;
  if (QWidget* a = QApplication::activeWindow()) return a->focusWidget() ? a->focusWidget() : a;
  // No active window (offscreen, or while the window system is busy): our newest visible window.
  const auto& windows = queue().windows;
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    QWidget* w = it->data();
    if (w != nullptr && w->isVisible()) return w->focusWidget() ? w->focusWidget() : w;
  }
  return nullptr;
}

std::size_t pending_events() { return queue().events.size(); }

void clear_events() { queue().events.clear(); }

void register_window(QWidget* top_level) {
  auto& windows = queue().windows;
  std::erase_if(windows, [](const QPointer<QWidget>& p) { return p.isNull(); });
  windows.emplace_back(top_level);
}

void unregister_window(QWidget* top_level) {
  std::erase_if(queue().windows,
                [&](const QPointer<QWidget>& p) { return p.isNull() || p == top_level; });
}

GuiSession::GuiSession() {
  if (QApplication::instance() == nullptr) throw std::logic_error("GuiSession needs a QApplication");
  if (the_filter != nullptr) throw std::logic_error("a second GuiSession");
  the_filter = new Filter;
  the_poster.store(new Poster);
  QCoreApplication::instance()->installEventFilter(the_filter);
  set_pace_waiter([](int ms) { gui_wait(ms); });
}

GuiSession::~GuiSession() {
  set_timer(0);
  set_pace_waiter(nullptr);
  QCoreApplication::instance()->removeEventFilter(the_filter);
  delete the_filter;
  the_filter = nullptr;
  Poster* poster = the_poster.exchange(nullptr);
  QCoreApplication::removePostedEvents(poster);
  delete poster;
  clear_events();
  set_key_watch(nullptr);
}

}  // namespace orvex::gui
