#include "dispatch/mail_log.h"

#include "platform/text/clock.h"
#include "platform/text/codepage.h"

namespace orvex::dispatch {

namespace {

const std::string_view kAlias = "LOG_BREVOR";

// An address straight from a job file is still Windows-1252; the table layer wants UTF-8.
std::string as_utf8(std::string_view s) {
  // ASCII reads the same in both.
  return text::looks_like_utf8(s) ? std::string(s) : text::cp1252_to_utf8(s);
}

}  // namespace

std::vector<table::FieldDef> log_fields() {
  return {{"AUFTRNR", 'C', 6, 0},   {"ART", 'C', 1, 0},       {"DATUM", 'C', 10, 0},
          {"ZEIT", 'C', 8, 0},      {"FORMULAR", 'C', 50, 0}, {"ADRESSE", 'C', 50, 0}};
}

bool append_log(table::WorkAreas& areas, const LogRecord& record, std::string* why) {
  if (areas.area_of(kAlias) == 0) {
    if (why) *why = "Protokolltabelle LOG_BREVOR ist nicht geöffnet; kein Protokollsatz geschrieben.";
    return false;
  }
  bool ok = false;
  std::string reason;
  try {
    areas.in_alias(kAlias, [&] {
      table::Dbf* log = areas.current();
      if (!log->append_blank()) {
        reason = "Protokolltabelle LOG_BREVOR: neuer Satz abgelehnt (Tabelle gesperrt).";
        return;
      }
      log->put("AUFTRNR", as_utf8(record.AUFTRNR));
      log->put("ART", as_utf8(record.ART));
      log->put("DATUM", text::date_text());
      log->put("ZEIT", text::time_text());
      log->put("FORMULAR", as_utf8(record.FORMULAR));
      log->put("ADRESSE", as_utf8(record.ADRESSE));
      log->commit();
      ok = true;
    });
  } catch (const std::exception& e) {
    ok = false;
    reason = std::string("Protokolltabelle LOG_BREVOR: ") + e.what();
  }
  if (!ok && why) *why = reason;
  return ok;
}

}  // namespace orvex::dispatch
