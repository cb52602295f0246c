#include "app/startup.h"

#include <filesystem>

#include "app/event_loop.h"
#include "app/gui_operator_ui.h"
#include "app/start_window.h"
#include "dispatch/folders.h"
#include "dispatch/mail_log.h"
#include "platform/files/files.h"
#include "platform/gui/desktop.h"
#include "platform/pace/pace.h"
#include "platform/table/dbf.h"
#include "platform/text/lines.h"
#include "tables/open_retry.h"

namespace orvex {

namespace {

std::string log_table_winpath(const App& app) { return app.cDatver + dispatch::kLogTable + ".DBF"; }

}  // namespace

void dbeSys() {
  // Dates are "dd.mm.yy" everywhere (text::date_text). Our table engine is built in, so the
  // four driver loads and two combinations have nothing to load; their pauses stay.
  for (int attempt = 0; attempt < 6; ++attempt) pace(5);
}

void AppSys() {}

void read_parameters(App& app) {
  app.areas.select(kParameterArea);
  DBaufmachen(app, "mwstdat", std::nullopt, "S");
  table::Dbf* t = app.areas.current();
  t->go_top();
  if (t->has_field("datver")) {
    app.cDatver = text::trim(t->get("datver"));
  } else {
    app.cDatver = text::trim(app.cDatver);
  }
  const std::string f10 = text::trim(t->get("f10"));
  app.cLPT = f10.rfind("LPT", 0) == 0 ? f10 : "LPT1";
}

bool server_test(App& app) {
  app.areas.select(kParameterArea);
  app.areas.close_area();
  return files::file_exists(app.cObver + "mwstdat.dbf");
}

bool log_table_free(App& app) {
  const std::string winpath = log_table_winpath(app);
  if (!files::file_exists(winpath)) return true;
  return table::Dbf::open(files::resolve(winpath), table::OpenMode::Exclusive, /*read_only=*/true) != nullptr;
}

void open_log_table(App& app) {
  const std::string winpath = log_table_winpath(app);
  if (!files::file_exists(winpath)) {
    // Made under another name and renamed: a start killed halfway leaves no half table behind.
    const std::filesystem::path table_file = files::resolve(winpath);
    const std::filesystem::path draft = table_file.parent_path() / "LOG_BREVOR.NEU.DBF";
    std::filesystem::remove(draft);
    table::Dbf::create(draft, dispatch::log_fields());
    std::filesystem::rename(draft, table_file);
  }
  app.areas.select(kLogArea);
  if (!app.areas.use(files::resolve(winpath), table::OpenMode::Shared, kLogAlias)) {
    // Another copy got in between our test and this open.
    throw table::TableError("Die Protokolltabelle " + winpath + " ist von einem anderen Programm gesperrt.");
  }
}

void close_tables(App& app) {
  app.areas.commit_all();
  app.areas.close_all();
  app.areas.select(1);
}

std::string no_server_text(const App& app) {
  return "Keine Verbindung zum ZentralServer!" + app.CRLF + "Versuchen Sie es später nochmal!";
}

std::string already_running_text(const App& app) {
  return "Brevor ist bereits geöffnet!" + app.CRLF + "Bitte ggf. zuerst schließen!";
}

int Main(std::string cTimerMin, const RunMode& mode) {
  App app;
  app.cTimerMin = cTimerMin.empty() ? "2" : cTimerMin;
  const gui::Size desktop = gui::desktop_size();
  app.nH = desktop.w / 800.0;
  app.nV = desktop.h / 600.0;
  GuiOperatorUi ui;
  app.ui = &ui;

  auto start_window = show_start_window(app);
  ui.set_owner(start_window.get());
  read_parameters(app);
  if (!server_test(app)) {
    ui.message_box(no_server_text(app));
    return kExitNoServer;
  }
  if (!log_table_free(app)) {
    ui.message_box(already_running_text(app));
    return kExitAlreadyRunning;
  }
  open_log_table(app);
  pace(300);
  ui.set_owner(nullptr);
  start_window.reset();

  // Ctrl held at this moment chooses a maintenance mode; until those exist the run goes on.
  (void)gui::ctrl_held();

  int code = kExitOk;
  if (mode.once) {
    code = once_round(app, ui) ? kExitOk : kExitRoundIncomplete;
  } else {
    std::function<void(MainWindow&)> on_built;
    if (mode.on_built) on_built = [&](MainWindow& w) { mode.on_built(app, w); };
    window_loop(app, ui, on_built);
  }
  close_tables(app);
  return code;
}

}  // namespace orvex
