#pragma once
// The life of the process around the main window: table drivers, application settings, and
// Main with its start-up checks (parameter table, central server, single copy, mail log table).
#include <functional>
#include <string>

#include "app/app.h"

namespace orvex {

class MainWindow;

// Exit codes of orvex-mail.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRoundIncomplete = 1;  // --once: no round ran to its end
inline constexpr int kExitUsage = 2;            // command line refused
inline constexpr int kExitNoServer = 3;         // central server not reachable
inline constexpr int kExitAlreadyRunning = 4;   // the mail log table is held by another copy

inline constexpr int kParameterArea = 9;
inline constexpr int kLogArea = 28;
inline const std::string kLogAlias = "LOG_BREVOR";

// How this run talks to the operator.
struct RunMode {
  bool headless = false;  // offscreen windows, boxes answered by policy, panels echoed
  bool once = false;      // one dispatch round, then the normal end
  // Runs after every build of the main window, before its first event (tests drive it here).
  std::function<void(App&, MainWindow&)> on_built;
};

void dbeSys();
void AppSys();

// The entry procedure: start-up, main window and its loop, normal end. Needs a QApplication.
// Returns the exit code of the process.
int Main(std::string cTimerMin, const RunMode& mode);

// The start-up steps, each on the App that Main owns.

// Parameter table "mwstdat" opened in work area 9 (retrying while it is held): data root
// from DATVER when the table has it, printer port from F10 when it begins with "LPT".
// The table stays open for server_test.
void read_parameters(App& app);
// Closes the parameter table; true when cObver + "mwstdat.dbf" exists.
bool server_test(App& app);
// False when an existing mail log table cannot be opened exclusively (another copy holds it).
bool log_table_free(App& app);
// Creates the mail log table when missing and opens it shared in work area 28, alias
// LOG_BREVOR, for the whole run: the shared open is what keeps a second copy out.
void open_log_table(App& app);
// End of the run: commit and close every table, work area 1 selected.
void close_tables(App& app);

// The German texts of the two refusals.
std::string no_server_text(const App& app);
std::string already_running_text(const App& app);

}  // namespace orvex
