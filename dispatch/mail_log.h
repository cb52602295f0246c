#pragma once
// The mail log table: schema, creation and one record per outcome.
#include <string>
#include <vector>

#include "platform/table/dbf.h"
#include "platform/table/workareas.h"

namespace orvex::dispatch {

std::vector<table::FieldDef> log_fields();  // AUFTRNR C6, ART C1, DATUM C10, ZEIT C8, FORMULAR C50, ADRESSE C50

// Texts in UTF-8; a text that is not valid UTF-8 (an address straight from a job file) is taken
// as Windows-1252. The table stores CP850 and cuts to the field widths.
struct LogRecord {
  std::string AUFTRNR, ART, FORMULAR, ADRESSE;  // DATUM and ZEIT are taken at append time
};
// Appends to the table open under alias "LOG_BREVOR" and commits at once. False (with a German
// reason) when the append could not be made.
bool append_log(table::WorkAreas& areas, const LogRecord& record, std::string* why = nullptr);

}  // namespace orvex::dispatch
