#include "dispatch/outbox.h"

#include <vector>

#include "dispatch/folders.h"
#include "platform/files/files.h"
#include "platform/pace/pace.h"
#include "platform/text/clock.h"

namespace orvex::dispatch {

namespace {

// "{a,b}|||..." -> {"a", "b"}; nullopt when the job has no address field.
struct Split {
  std::string field;  // the whole address field, braces included
  std::vector<std::string> addresses;
};

std::optional<Split> split_addresses(const std::string& job) {
  const std::size_t sep = job.find("|||");
  if (sep == std::string::npos) return std::nullopt;
  Split s;
  s.field = job.substr(0, sep);
  std::string list = s.field;
  if (!list.empty() && list.back() == '}') list = list.substr(1, list.size() - 2);
  std::size_t pos;
  std::string_view rest = list;
  while ((pos = rest.find(',')) != std::string_view::npos) {
    s.addresses.emplace_back(rest.substr(0, pos));
    rest.remove_prefix(pos + 1);
  }
  if (!rest.empty()) s.addresses.emplace_back(rest);
  return s;
}

// The listing matched "*.ausg", so the last five characters are the extension, in any case.
std::string part_name(const std::string& N, std::size_t n) {
  return N.substr(0, N.size() - 5) + "-" + std::to_string(n) + N.substr(N.size() - 5);
}

// Splits one multi-address job. Returns the overview lines (without the leading CR LF).
// Every part is written and read back before the original leaves the outbox: an interruption
// leaves the original to be split again, never a recipient without its job.
std::vector<std::string> split_job(const std::string& cDatver, const std::string& N,
                                   const std::string& job) {
  const std::string outbox = cDatver + kOutbox;
  const std::optional<Split> s = split_addresses(job);
  if (!s) return {N + " - nicht aufgeteilt: Sammelauftrag ohne \"|||\" nach der Adressliste."};
  // A list without its closing "}" leaves the "{" on its first address; splitting such a part
  // again would only rename it, round after round, and it would never be sent.
  if (s->addresses.size() == 1 && s->addresses[0] == s->field) return {N};
  if (!files::dir_exists(cDatver + kArchive))
    return {N + " - nicht aufgeteilt: Archiv-Ordner \"" + cDatver + kArchive +
            "\" fehlt oder ist kein Ordner."};

  const std::string body = job.substr(s->field.size());
  std::vector<std::string> written;
  for (std::size_t i = 0; i < s->addresses.size(); ++i) {
    const std::string name = part_name(N, i + 1);
    const std::string text = s->addresses[i] + body;
    files::Status st = files::write_file(outbox + name, text);
    if (st && files::try_read_file(outbox + name) != text) {
      files::delete_file(outbox + name);
      st = files::Status::failure("Inhalt nach dem Schreiben nicht gleich");
    }
    if (!st) {
      // Half a split would be sent now and again after the next split: take it back.
      for (const std::string& w : written) files::delete_file(outbox + w);
      return {N + " - nicht aufgeteilt: " + name + " nicht geschrieben (" + st.error +
              "); der Auftrag bleibt im Ausgang."};
    }
    written.push_back(name);
  }

  std::vector<std::string> lines = written;
  const files::Status moved = files::move_file(outbox + N, cDatver + kArchive + "\\" + N);
  if (!moved)
    lines.push_back(N + " - aufgeteilt, aber nicht archiviert (" + moved.error +
                    "); bleibt im Ausgang.");
  else if (written.empty())
    lines.push_back(N + " - ohne Adresse; nur archiviert.");
  return lines;
}

}  // namespace

std::string MailAusgang(App& app) {
  const std::string& CRLF = app.CRLF;
  const std::vector<files::DirEntry> jobs = files::list(app.cDatver + kOutbox + "*.ausg");
  if (jobs.empty()) return CRLF + "MailAusgang ist leer." + CRLF;

  std::string text = CRLF + "MailAusgang" + CRLF + "Diese Mails sind zu versenden um " +
                     text::time_text() + " Uhr:";
  for (const files::DirEntry& e : jobs) {
    const std::string& N = e.name;
    if (!files::dir_exists(app.cDatver + kArchive)) {
      files::make_dir(app.cDatver + kArchive);
      pace(100);
    }
    const std::optional<std::string> job = files::try_read_file(app.cDatver + kOutbox + N);
    if (!job) {
      text += CRLF + N + " - Auftragsdatei nicht lesbar.";
    } else if (job->empty()) {
      text += CRLF + N + " - Auftragsdatei ist leer.";
    } else if ((*job)[0] != '{') {
      text += CRLF + N;
    } else {
      for (const std::string& line : split_job(app.cDatver, N, *job)) text += CRLF + line;
    }
  }
  return text + CRLF;
}

}  // namespace orvex::dispatch
