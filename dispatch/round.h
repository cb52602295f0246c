#pragma once
// One dispatch round: send the outbox, report, and tell the postmaster when something is wrong.
#include <string>

#include "app/app.h"
#include "dispatch/config_files.h"

namespace orvex::dispatch {

// False only when a round is already running (nothing is touched then); true otherwise.
bool Senden(App& app);

// One argument may hold 128 KiB on Linux; an error-mail body stays well below that.
inline constexpr std::size_t kMaxErrorBody = 100000;

// Cuts a body (Windows-1252 bytes) to at most limit bytes, ending with a German note that says
// how much was left out. A body within the limit comes back unchanged.
std::string fit_error_body(const std::string& body, std::size_t limit = kMaxErrorBody);

// Starts the client for an error mail to app.cPostmaster (texts in UTF-8, converted to 1252);
// its result file "Fehlermail.result" is never read. False when the client did not start.
bool send_error_mail(App& app, const Connection& conn, const std::string& subject, const std::string& body);

}  // namespace orvex::dispatch
