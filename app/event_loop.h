#pragma once
// The window-building loop, the main window's event loop with the dispatch timer, and the
// emergency stop.
#include <chrono>
#include <functional>
#include <string>

#include "app/app.h"

namespace orvex {

class MainWindow;
class GuiOperatorUi;

using Clock = std::chrono::system_clock;

// Timer interval in hundredths: 6000 x the number at the start of cTimerMin (0.5 -> 3000).
int timer_hundredths(const std::string& cTimerMin);

// The first tick strictly after now of a timer registered at `registered` that ticks every
// `hundredths`; with no timer (0), now.
Clock::time_point next_tick(Clock::time_point registered, Clock::time_point now, int hundredths);

// "hh:mm:ss" in local time: a real time of day, also after midnight.
std::string clock_text(Clock::time_point t);

// Commits and closes all tables and ends the process at once.
[[noreturn]] void NotAus(App& app);

// Builds the main window, registers the timer and runs the events until the operator ends
// the program; builds again while a resize asks for it. on_built runs after every build,
// before the first event is taken.
void window_loop(App& app, GuiOperatorUi& ui, const std::function<void(MainWindow&)>& on_built = {});

// One round as the SENDEN command runs it, in a freshly built main window, then the window is
// destroyed. True when the round worked through the whole outbox: Senden ran and the overview
// ends with its closing report or shows the empty outbox.
bool once_round(App& app, GuiOperatorUi& ui);

}  // namespace orvex
