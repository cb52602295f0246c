#pragma once
// Machine services around the windows: desktop size, key state, tone, clipboard.
#include <string>

#include "platform/gui/geometry.h"

namespace orvex::gui {

Size desktop_size();

bool shift_held();
bool ctrl_held();
bool alt_held();

// The machine has no tone generator we can tune: a beep; in a headless run nothing sounds.
void tone(int hertz, int hundredths);

std::string clipboard_text();
void set_clipboard_text(const std::string& utf8);

}  // namespace orvex::gui
