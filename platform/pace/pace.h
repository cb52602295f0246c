#pragma once
// The one pause that exists so that the operator can follow. Tests and the fast mode
// scale it with the pace factor (0 = no operator pauses).
#include <functional>

namespace orvex {

// Waits hundredths * factor hundredths of a second. In a GUI run the waiter installed by the
// window layer keeps the windows painted meanwhile.
void pace(int hundredths);

// Waits the real time, unscaled, through the same waiter (windows keep painting). For waits that
// are not for the operator, such as polling for a result file.
void wait_unpaced(int hundredths);

void set_pace_factor(double factor);  // process setting, set once at start
double pace_factor();

// The window layer installs a waiter that pumps paint and timer events while waiting.
// Default (none installed): the thread sleeps.
using PaceWaiter = std::function<void(int milliseconds)>;
void set_pace_waiter(PaceWaiter waiter);

}  // namespace orvex
