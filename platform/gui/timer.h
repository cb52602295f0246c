#pragma once
// The one timer of the process: a thread that posts Event::Timer, addressed to the object
// with the input focus, at every interval.
namespace orvex::gui {

// Interval in hundredths of a second; 0 stops the timer; registering again replaces the
// interval without a second thread. Negative intervals throw std::invalid_argument.
void set_timer(int hundredths);
int timer_interval();

}  // namespace orvex::gui
