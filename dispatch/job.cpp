#include "dispatch/job.h"

#include "dispatch/folders.h"
#include "platform/text/codepage.h"

namespace orvex::dispatch {

namespace {

const std::string_view kSep = "|||";
const std::string_view kExt = ".ausg";

// Positions count characters, not bytes: a file name with umlauts is UTF-8 on disk. A name
// that is not valid UTF-8 (old single-byte names) is counted in bytes.
struct CharIndex {
  std::string_view s;
  bool utf8;
  bool is_start(std::size_t i) const {
    return !utf8 || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80;
  }
  // Byte offset `chars` characters before `from`, or 0 when the text starts earlier.
  std::size_t back(std::size_t from, std::size_t chars) const {
    std::size_t i = from;
    while (chars > 0 && i > 0) {
      --i;
      while (i > 0 && !is_start(i)) --i;
      --chars;
    }
    return i;
  }
  // Byte offset `chars` characters after `from`, or the end.
  std::size_t forward(std::size_t from, std::size_t chars) const {
    std::size_t i = from;
    while (chars > 0 && i < s.size()) {
      ++i;
      while (i < s.size() && !is_start(i)) ++i;
      --chars;
    }
    return i;
  }
};

// Control characters must not reach a panel as they are.
std::string printable(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = '?';
  }
  return out;
}

bool has_control(std::string_view s) {
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return true;
  }
  return false;
}

bool dot_name(std::string_view s) { return s == "." || s == ".."; }

}  // namespace

std::vector<std::string> split_fields(std::string_view text) {
  std::vector<std::string> fields;
  std::size_t pos;
  while ((pos = text.find(kSep)) != std::string_view::npos) {
    fields.emplace_back(text.substr(0, pos));
    text.remove_prefix(pos + kSep.size());
  }
  if (!text.empty()) fields.emplace_back(text);
  return fields;
}

std::optional<JobFields> job_fields(std::string_view text) {
  std::vector<std::string> f = split_fields(text);
  if (f.empty()) return std::nullopt;
  JobFields j;
  j.cMail_Adr = f[0];
  j.cMail_Betr = f.size() >= 2 ? f[1] : text::utf8_to_cp1252(kDefaultSubject);
  j.cMail_Body = f.size() >= 3 ? f[2] : text::utf8_to_cp1252(kDefaultBody);
  j.cMail_Anhang = f.size() >= 4 ? f[3] : std::string();
  return j;
}

std::optional<JobNames> derive_names(const std::string& cDatver, const std::string& N,
                                     std::string* why) {
  auto refuse = [&](const std::string& reason) -> std::optional<JobNames> {
    if (why) *why = "Auftragsdatei \"" + printable(N) + "\" abgelehnt: " + reason;
    return std::nullopt;
  };
  if (N.find('/') != std::string::npos || N.find('\\') != std::string::npos)
    return refuse("der Name enthält einen Pfadtrenner (\"/\" oder \"\\\").");
  if (has_control(N)) return refuse("der Name enthält Steuerzeichen.");
  if (dot_name(N)) return refuse("der Name \".\" oder \"..\" ist kein Dateiname.");
  // The companion names replace the first ".ausg"; anywhere but at the end the result file
  // would carry the job's own name or look like another job.
  const std::size_t ext = N.find(kExt);
  if (ext == std::string::npos)
    return refuse("der Name endet nicht auf \".ausg\" in Kleinbuchstaben; die Ergebnisdatei "
                  "bekäme denselben Namen wie der Auftrag.");
  if (ext != N.size() - kExt.size())
    return refuse("der Name enthält \".ausg\" vor der Endung; die Ergebnisdatei sähe aus wie "
                  "ein Auftrag.");
  const std::size_t first_us = N.find('_');
  if (first_us == std::string::npos)
    return refuse("der Name enthält kein \"_\"; Auftragsnummer und Formular fehlen.");
  const std::size_t last_us = N.rfind('_');

  const CharIndex idx{N, text::looks_like_utf8(N)};
  JobNames n;
  n.N = N;
  n.cAuftrag = N.substr(idx.back(last_us, 6), last_us - idx.back(last_us, 6));
  // Form text: the form name, the "_" and 17 characters after it.
  n.cMailFormular = N.substr(0, idx.forward(first_us, 18));
  n.cMailForm = N.substr(0, first_us);
  if (n.cAuftrag.empty()) return refuse("vor dem letzten \"_\" steht keine Auftragsnummer.");
  if (n.cMailForm.empty()) return refuse("vor dem ersten \"_\" steht kein Formularname.");
  if (dot_name(n.cAuftrag) || dot_name(n.cMailForm))
    return refuse("Auftragsnummer oder Formularname \".\"/\"..\" führte aus dem Ordner "
                  "\"gesendet\" hinaus.");

  const std::string stem = N.substr(0, ext);
  const std::string sent_dir = cDatver + kSent + n.cAuftrag + "\\" + n.cMailForm + "\\";
  n.cMailAusName = cDatver + kOutbox + N;
  n.cMailResName = cDatver + kOutbox + stem + ".result";
  n.cMailFailName = cDatver + kFailure + N;
  n.cMailFailure = cDatver + kFailure + stem + ".result";
  n.cMailQuarName = cDatver + kQuarantine + N;
  n.cMailGesendet = sent_dir + N;
  n.cMailResGesendet = sent_dir + stem + ".result";
  n.cMailAnhGesendet = sent_dir + stem + ".pdf";
  return n;
}

ResultStatus result_status(std::string_view result_text) {
  if (result_text.find("\"status\": \"failure\"") != std::string_view::npos)
    return ResultStatus::Failure;
  if (result_text.find("\"status\": \"accepted\"") != std::string_view::npos)
    return ResultStatus::Accepted;
  return ResultStatus::Neither;
}

}  // namespace orvex::dispatch
