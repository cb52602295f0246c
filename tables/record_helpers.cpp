#include "tables/record_helpers.h"

#include <functional>

#include "platform/table/dbf.h"
#include "tables/retry_support.h"

namespace orvex {

namespace {

table::Dbf& current_table(App& app) {
  table::Dbf* dbf = app.areas.current();
  if (!dbf) throw table::TableError("Im ausgewählten Arbeitsbereich ist keine Tabelle geöffnet.");
  return *dbf;
}

bool retry_half_seconds(App& app, double wait, const std::function<bool()>& attempt) {
  if (attempt()) return true;
  const bool forever = wait == 0;
  while (forever || wait > 0) {
    if (attempt()) return true;
    wait_for_key(app, 50);
    wait -= 0.5;
  }
  return false;
}

void until_done_or_declined(App& app, const std::function<bool()>& series) {
  while (!series()) {
    if (!ask_operator(app, "Datensatz ist schon gesperrt", "Weitermachen?")) end_program(app);
  }
}

}  // namespace

bool REC_LOCK(App& app, double wait) {
  table::Dbf& dbf = current_table(app);
  return retry_half_seconds(app, wait, [&] { return dbf.lock_record(dbf.recno(), true); });
}

bool ADD_REC(App& app, double wait) {
  table::Dbf& dbf = current_table(app);
  return retry_half_seconds(app, wait, [&] { return dbf.append_blank(); });
}

int Satzsperren(App& app) {
  until_done_or_declined(app, [&] { return REC_LOCK(app, 5); });
  return 0;
}

int Satzappend(App& app) {
  until_done_or_declined(app, [&] { return ADD_REC(app, 5); });
  return 0;
}

bool Satzentsperren(App& app) {
  current_table(app).unlock_all();
  return true;
}

int Satzdelete(App& app) {
  table::Dbf& dbf = current_table(app);
  dbf.lock_record(dbf.recno(), false);
  dbf.mark_deleted(true);
  return 0;
}

int Satzrecall(App& app) {
  table::Dbf& dbf = current_table(app);
  dbf.lock_record(dbf.recno(), false);
  dbf.mark_deleted(false);
  return 0;
}

}  // namespace orvex
