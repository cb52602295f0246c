#pragma once
// One sending pass over the outbox listing.
#include <string>
#include <vector>

#include "app/app.h"
#include "platform/files/files.h"

namespace orvex::dispatch {

// Sends, files and logs the listed jobs one after the other, showing each step in the panels.
// aLines: host, user, password, port, sender, back address. aDirAusgang is consumed from the
// front. True when every entry was handled; false when the client left no result file for a
// job (that job and the ones after it stay in the outbox).
bool Mails_Senden(App& app, std::vector<std::string> aLines, std::vector<files::DirEntry> aDirAusgang);

}  // namespace orvex::dispatch
