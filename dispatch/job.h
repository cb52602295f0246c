#pragma once
// A mail job file: its fields and the names derived from its file name.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::dispatch {

// "|||" splitting: the text before each separator is a field; the rest is a last field only
// when it is not empty. Bytes are kept as they are (Windows-1252).
std::vector<std::string> split_fields(std::string_view text);

struct JobFields {
  std::string cMail_Adr;     // field 1, verbatim
  std::string cMail_Betr;    // field 2 or the default subject (Windows-1252)
  std::string cMail_Body;    // field 3 or the default body (Windows-1252)
  std::string cMail_Anhang;  // field 4 or empty
};
// Fields of a job text with the defaults for missing fields. nullopt when there is no field 1
// (an empty file).
std::optional<JobFields> job_fields(std::string_view text);

// Default subject and body, UTF-8 (converted to Windows-1252 before they reach the client).
inline const std::string kDefaultSubject = "Formular für Sterbefall";
inline const std::string kDefaultBody = "Formular für Sterbefall im Anhang";

// The names derived from a job's file name N (Windows-form paths below cDatver).
struct JobNames {
  std::string N;
  std::string cMailAusName, cMailFormular, cMailForm, cAuftrag, cMailResName, cMailFailName,
      cMailFailure, cMailQuarName, cMailGesendet, cMailResGesendet, cMailAnhGesendet;
};

// Derives from N alone (never from the data root). Refuses a name that would lead outside its
// folder (path separators, "..", control characters): nullopt and a German reason in *why.
// Also refused, because their companion names would collide or leave the sent folder: a name
// whose first ".ausg" is not its lower-case extension (".AUSG", "x.ausg.ausg"), a name without
// "_", an empty order number or form name, and "." or ".." as order number or form name.
// Positions count characters (UTF-8 file names), not bytes.
std::optional<JobNames> derive_names(const std::string& cDatver, const std::string& N,
                                     std::string* why = nullptr);

// Result file contract: "failure" is tested first.
enum class ResultStatus { Failure, Accepted, Neither };
ResultStatus result_status(std::string_view result_text);

}  // namespace orvex::dispatch
