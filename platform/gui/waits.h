#pragma once
// Waiting on the GUI thread.
namespace orvex::gui {

// The pace waiter: windows paint and posted events (timer ticks) are queued meanwhile; operator
// input waits in Qt's queue and comes afterwards, in order. GuiSession installs it.
void gui_wait(int milliseconds);

// Waits up to hundredths for a key press; a key ends the wait early and is consumed.
bool wait_for_key(int hundredths);

}  // namespace orvex::gui
