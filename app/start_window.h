#pragma once
// The small window shown while the program starts.
#include <memory>

#include "app/app.h"
#include "platform/gui/dialog.h"

namespace orvex {

// "ORVEX-Mail - S T A R T E T ...", 300 x 100 at (250 nH, 250 nV) from the desktop's lower
// left, client colour 11. Shown at once; destroy it by dropping the pointer.
std::unique_ptr<gui::Dialog> show_start_window(const App& app);

}  // namespace orvex
