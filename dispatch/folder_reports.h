#pragma once
// The failure and quarantine folders: report, move back into the outbox, empty.
// nFQ 1 is the failure folder, every other value the quarantine folder.
#include <string>

#include "app/app.h"

namespace orvex::dispatch {

// The report text for oMle2 (failure) or oMle3 (quarantine).
std::string SendeFehler(App& app, int nFQ);

// Moves every job of the folder back into the outbox (failure: drops its result file), extends
// the overview oMle1, sets the folder's panel and resets its WIEDERHOLEN button. A job that
// cannot be moved stays in its folder and is named in both panels. Returns true.
bool Wiederholen(App& app, int nFQ);

// After the operator's Yes, deletes every job of the folder (failure: with its result file),
// sets the folder's panel and resets its WIEDERHOLEN button. A link in the folder is removed
// itself; what it points to is never touched. Returns true.
bool Leeren(App& app, int nFQ);

}  // namespace orvex::dispatch
