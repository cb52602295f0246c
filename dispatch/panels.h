#pragma once
// Panels and buttons the dispatch writes to may be absent (headless runs, tests).
#include <string>

#include "app/app.h"

namespace orvex::dispatch::panels {

inline std::string get(TextPanel* p) { return p ? p->text() : std::string(); }
inline void set(TextPanel* p, const std::string& text) {
  if (p) p->setText(text);
}
inline void colour(SignalButton* b, int c) {
  if (b) b->setBackground(c);
}

}  // namespace orvex::dispatch::panels
