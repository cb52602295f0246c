#include "platform/gui/waits.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "platform/gui/event_internals.h"
#include "platform/gui/keys.h"

namespace orvex::gui {

void gui_wait(int milliseconds) {
  if (milliseconds <= 0) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return;
  }
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

bool wait_for_key(int hundredths) {
  bool got = false;
  QEventLoop loop;
  set_key_watch([&](const AppEvent& e) {
    if (got || e.code != Event::Key || e.mp1 == key::None) return false;
    got = true;
    loop.quit();
    return true;
  });
  struct Unwatch {
    ~Unwatch() { set_key_watch(nullptr); }
  } unwatch;
  QTimer::singleShot(hundredths > 0 ? hundredths * 10 : 0, &loop, &QEventLoop::quit);
  loop.exec();
  return got;
}

}  // namespace orvex::gui
