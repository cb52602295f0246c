#pragma once
// Record locks and appends on the table of the selected work area, with automatic retries
// half a second apart and the operator's question when they run out.
#include "app/app.h"

namespace orvex {

// Locks the current record, releasing the area's other record locks. wait: seconds to keep
// trying (0 = until granted; negative = one attempt only). True when locked.
bool REC_LOCK(App& app, double wait);
// Appends a blank record and makes it current; wait as for REC_LOCK. True when appended.
bool ADD_REC(App& app, double wait);

// REC_LOCK with 5 seconds, then "Weitermachen?" until locked; No ends the program. Returns 0.
int Satzsperren(App& app);
// ADD_REC with 5 seconds, then the same question; No ends the program. Returns 0.
int Satzappend(App& app);
// Releases every lock of the area. Returns true.
bool Satzentsperren(App& app);
// Adds a lock on the current record and marks it deleted, whether the lock was granted or not
// (an engine that refuses the change reports it as TableError). Returns 0.
int Satzdelete(App& app);
// As Satzdelete, removing the deletion mark.
int Satzrecall(App& app);

// All of them throw TableError when no table is open in the selected area.

}  // namespace orvex
