#pragma once
// The outbox overview: lists the waiting jobs and splits multi-address jobs.
#include <string>

#include "app/app.h"

namespace orvex::dispatch {

// Returns the overview text for oMle1. Splits every "{a,b,...}" job into X-1.ausg, X-2.ausg, ...
// and archives the original; a job that cannot be split safely stays in the outbox with a
// German note behind its name.
std::string MailAusgang(App& app);

}  // namespace orvex::dispatch
