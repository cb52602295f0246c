#pragma once
// The mail log table: schema, creation and one record per outcome.
#include <string>
#include <vector>

#include "platform/table/dbf.h"
#include "platform/table/workareas.h"

namespace orvex::dispatch {

std::vector<table::FieldDef> log_fields();  // AUFTRNR C6, ART C1, DATUM C10, ZEIT C8, FORMULAR C50, ADRESSE C50

struct LogRecord {
  std::string AUFTRNR, ART, FORMULAR, ADRESSE;  // DATUM and ZEIT are taken at append time
};
// Appends to the table open under alias "LOG_BREVOR" and commits at once. False (with a German
// reason) when the append could not be made.
bool append_log(table::WorkAreas& areas, const LogRecord& record, std::string* why = nullptr);

}  // namespace orvex::dispatch
