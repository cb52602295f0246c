#include "app/event_loop.h"

#include <cmath>
#include <ctime>

#include "app/gui_operator_ui.h"
#include "app/main_window.h"
#include "app/options.h"
#include "app/startup.h"
#include "dispatch/folder_reports.h"
#include "dispatch/outbox.h"
#include "dispatch/round.h"
#include "platform/gui/events.h"
#include "platform/gui/keys.h"
#include "platform/gui/statics.h"
#include "platform/gui/timer.h"
#include "platform/process/process.h"

namespace orvex {

namespace {

const std::string kTitleNextAt = std::string(MainWindow::kTitle) + " - nächste Sendung um: ";
const std::string kTitleNext = std::string(MainWindow::kTitle) + " - nächste Sendung: ";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The SENDEN command; also the one round of --once.
bool senden_action(App& app) {
  if (app.nBeenden != 0) return false;
  app.nDauerlauf = 1;
  app.oMle1->setText(dispatch::MailAusgang(app));
  return dispatch::Senden(app);
}

void ende_action(App& app) {
  app.nDauerlauf = 0;
  app.nBeenden = 1;
  gui::post_close_request();
}

MainWindowTexts window_texts(App& app) {
  return {[&app] { return dispatch::MailAusgang(app); }, [&app](int n) { return dispatch::SendeFehler(app, n); }};
}

MainWindowActions window_actions(App& app) {
  MainWindowActions a;
  a.senden = [&app] { senden_action(app); };
  a.halt = [&app] { app.nDauerlauf = 0; };
  // The log browser listens for Alt+L, whichever way the operator asks for it.
  a.log = [] { gui::postAppEvent(gui::Event::Key, gui::key::alt('L')); };
  a.leeren1 = [&app] { dispatch::Leeren(app, 1); };
  a.wiederholen1 = [&app] { dispatch::Wiederholen(app, 1); };
  a.leeren2 = [&app] { dispatch::Leeren(app, 2); };
  a.wiederholen2 = [&app] { dispatch::Wiederholen(app, 2); };
  a.ende = [&app] { ende_action(app); };
  a.not_aus = [&app] { NotAus(app); };
  return a;
}

struct TimerState {
  Clock::time_point registered;
  int hundredths = 0;
};

void timed_round(App& app, MainWindow& win, GuiOperatorUi& ui) {
  win.oXbpBS->setBackground(gui::colour::Cyan);
  ui.tone(1000, 50);
  if (!dispatch::Senden(app)) ui.message_box("Fehler beim Senden!");
  win.oXbpBS->setBackground(gui::colour::Yellow);
  win.oXbpBW1->setBackground(contains(win.oMle2->text(), ".ausg") ? gui::colour::Black : gui::colour::White);
  win.oXbpBW2->setBackground(contains(win.oMle3->text(), ".ausg") ? gui::colour::Black : gui::colour::White);
  win.dialog().set_title(kTitleNext + app.cNextSenden);
}

void on_key(App& app, MainWindow& win, const gui::AppEvent& e) {
  const long k = e.mp1;
  if (k == gui::key::Esc || k == gui::key::AltF4) {
    ende_action(app);
  } else if (k == gui::key::Enter) {
    if (dynamic_cast<gui::PushButton*>(e.control()) != nullptr)
      gui::postAppEvent(gui::Event::Activate, 0, 0, e.target);
  } else if (k == gui::key::alt('H')) {
    app.nDauerlauf = 0;
    win.oXbpBH->setBackground(gui::colour::White);
  }
  // The tool commands (F1, Ctrl+F1, Ctrl+E, Ctrl+N, Alt+L, Alt+W, Ctrl+W) join here.
}

void event_loop(App& app, MainWindow& win, GuiOperatorUi& ui, const TimerState& timer) {
  for (;;) {
    gui::AppEvent e = gui::appEvent();
    app.cNextSenden = clock_text(next_tick(timer.registered, Clock::now(), timer.hundredths));

    if ((e.code == gui::Event::LbDown && e.is_for(win.oXbpBna)) ||
        (e.code == gui::Event::Key && e.mp1 == gui::key::alt('C'))) {
      app.nDauerlauf = 0;
      NotAus(app);
    }
    if (e.code == gui::Event::Motion && e.is_for(win.oXbpBW1)) {
      set_retry_indicator(app, 1);
      continue;
    }
    if (e.code == gui::Event::Motion && e.is_for(win.oXbpBW2)) {
      set_retry_indicator(app, 2);
      continue;
    }
    if (e.code == gui::Event::Motion && e.is_for(win.oXbpBH)) continue;
    if (e.code == gui::Event::LbClick && e.is_for(win.oXbpBS) && app.nAufSendung == 0 && app.nBeenden == 0) {
      win.oXbpBS->setBackground(gui::colour::Cyan);
      win.dialog().set_title(kTitleNextAt + app.cNextSenden);
    } else if (e.code == gui::Event::Timer && app.nDauerlauf == 1 && app.nAufSendung == 0) {
      timed_round(app, win, ui);
    }

    if (e.code == gui::Event::Key) on_key(app, win, e);
    gui::handleEvent(e);
    if (e.code == gui::Event::Close) break;
  }
}

}  // namespace

int timer_hundredths(const std::string& cTimerMin) {
  return static_cast<int>(std::lround(6000.0 * leading_number(cTimerMin)));
}

Clock::time_point next_tick(Clock::time_point registered, Clock::time_point now, int hundredths) {
  if (hundredths <= 0) return now;
  const auto interval = std::chrono::milliseconds(10LL * hundredths);
  if (now < registered) return registered + interval;
  const auto passed = (now - registered) / interval;  // whole intervals already ticked
  return registered + (passed + 1) * interval;
}

std::string clock_text(Clock::time_point t) {
  const std::time_t tt = Clock::to_time_t(t);
  std::tm tm{};
  localtime_r(&tt, &tm);
  char buf[16];
  std::strftime(buf, sizeof buf, "%H:%M:%S", &tm);
  return buf;
}

void NotAus(App& app) {
  close_tables(app);
  process::end_process_now(kExitOk);
}

void window_loop(App& app, GuiOperatorUi& ui, const std::function<void(MainWindow&)>& on_built) {
  while (app.nDauerlauf == 1) {
    MainWindow win(app, window_texts(app), window_actions(app));
    ui.set_owner(&win.dialog());
    app.nDauerlauf = 0;
    TimerState timer{Clock::now(), timer_hundredths(app.cTimerMin)};
    gui::set_timer(timer.hundredths);
    set_retry_indicator(app, 1);
    set_retry_indicator(app, 2);
    if (on_built) on_built(win);
    event_loop(app, win, ui, timer);
    win.dialog().set_modal_state(false);
    ui.set_owner(nullptr);
  }
}

bool once_round(App& app, GuiOperatorUi& ui) {
  MainWindow win(app, window_texts(app), window_actions(app));
  ui.set_owner(&win.dialog());
  app.nDauerlauf = 0;
  set_retry_indicator(app, 1);
  set_retry_indicator(app, 2);
  bool completed = senden_action(app);
  const std::string overview = win.oMle1->text();
  completed = completed && (contains(overview, "alle Sendungen bearbeitet!") ||
                            overview == app.CRLF + "MailAusgang ist leer");
  win.dialog().set_modal_state(false);
  ui.set_owner(nullptr);
  return completed;
}

}  // namespace orvex
