#pragma once
// Opening a shared table in the current work area, waiting while another user holds it and
// asking the operator when the automatic attempts run out.
#include <optional>
#include <string>

#include "app/app.h"

namespace orvex {

// Opens dat (name or Windows-form path, ".dbf" optional) in the selected work area, and the
// index ind when given; schalt "E" opens exclusively. Returns 0, only once the table is open:
// when the operator declines another series, the program ends inside the call (end_program).
// Errors other than a sharing conflict (missing or damaged file, unmapped drive, missing index)
// propagate as TableError / PathError to the application's top-level handler.
int DBaufmachen(App& app, std::string dat, std::optional<std::string> ind, std::string schalt);

// Makes up to wait attempts (0 = until it succeeds, negative = none) to open file, a
// Windows-form path used unchanged, with a pause of up to one second after each failed one.
// True when the table is open.
bool Net_use(App& app, std::string file, bool ex_use, int wait);

}  // namespace orvex
