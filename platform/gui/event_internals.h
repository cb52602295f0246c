#pragma once
// Between the queue and the controls; not for the loops.
#include <functional>

#include "platform/gui/events.h"

namespace orvex::gui {

// Delivers the stored Qt copy of the event being handled, at most once.
void deliver_current_event();

// Sees every event before it is queued; true swallows it (wait_for_key takes its key).
using KeyWatch = std::function<bool(const AppEvent&)>;
void set_key_watch(KeyWatch watch);

}  // namespace orvex::gui
