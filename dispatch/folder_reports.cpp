#include "dispatch/folder_reports.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "dispatch/folders.h"
#include "platform/files/files.h"

namespace orvex::dispatch {

namespace {

struct Folder {
  std::string path;     // where jobs are written and deleted
  std::string listing;  // the spelling the folder is listed with
  std::string word;     // "Failure" or "Quarantine"
  bool failure;
};

Folder folder(const App& app, int nFQ) {
  if (nFQ == 1)
    return {app.cDatver + kFailure, app.cDatver + "CMail\\Ausgang\\Failure\\*.ausg", "Failure", true};
  return {app.cDatver + kQuarantine, app.cDatver + "CMail\\Ausgang\\quarantine\\*.ausg",
          "Quarantine", false};
}

// The job's result file: the ".ausg" extension (any case, as listed) becomes ".result".
std::string result_name(const std::string& N) { return N.substr(0, N.size() - 5) + ".result"; }

bool blank(const std::string& s) { return s.find_first_not_of(" \r\n") == std::string::npos; }

TextPanel* folder_panel(App& app, const Folder& f) { return f.failure ? app.oMle2 : app.oMle3; }
SignalButton* folder_button(App& app, const Folder& f) {
  return f.failure ? app.oXbpBW1 : app.oXbpBW2;
}

std::filesystem::file_type entry_type(const std::string& winpath) {
  std::error_code ec;
  return std::filesystem::symlink_status(files::resolve(winpath), ec).type();
}

std::string not_done_report(const std::string& CRLF, const std::string& head,
                            const std::vector<std::string>& lines) {
  std::string s = CRLF + "ACHTUNG:" + CRLF + head;
  for (const std::string& l : lines) s += CRLF + l;
  return s;
}

}  // namespace

std::string SendeFehler(App& app, int nFQ) {
  const Folder f = folder(app, nFQ);
  const std::string& CRLF = app.CRLF;
  const std::vector<files::DirEntry> jobs = files::list(f.listing);
  if (jobs.empty()) return CRLF + f.word + "-Ordner ist leer.";
  std::string text = CRLF + "ACHTUNG:" + CRLF + "Fehlerdatei im " + f.word + "-Ordner:";
  for (const files::DirEntry& e : jobs) text += CRLF + e.name + (f.failure ? " - Fehler" : " - Adresse?");
  return text;
}

bool Wiederholen(App& app, int nFQ) {
  const Folder f = folder(app, nFQ);
  const std::string& CRLF = app.CRLF;
  const std::string header = "zurück aus dem " + f.word + "-Ordner:";
  std::string cString2 = app.oMle1->text() + CRLF;
  std::vector<std::string> stuck;

  for (const files::DirEntry& e : files::list(f.listing)) {
    const std::string& N = e.name;
    std::string line = N;
    const files::Status moved = files::move_file(f.path + N, app.cDatver + kOutbox + N);
    if (moved) {
      if (f.failure) files::delete_file(f.path + result_name(N));
    } else {
      line = N + " - nicht zurückgeholt: " + moved.error;
      stuck.push_back(line);
    }
    if (cString2.find("leer") != std::string::npos || blank(cString2))
      cString2 = "ACHTUNG" + CRLF + header + CRLF + line;
    else if (cString2.find("aus dem " + f.word + "-Ordner:") == std::string::npos)
      cString2 += CRLF + header + CRLF + line;
    else
      cString2 += CRLF + line;
  }

  app.oMle1->setText(cString2);
  if (stuck.empty()) {
    folder_panel(app, f)->setText(CRLF + f.word + "-Ordner ist geleert.");
    folder_button(app, f)->setBackground(0);
  } else {
    // The button keeps signalling: jobs are still waiting in the folder.
    folder_panel(app, f)
        ->setText(not_done_report(CRLF, "Nicht zurückgeholt aus dem " + f.word + "-Ordner:", stuck));
  }
  return true;
}

bool Leeren(App& app, int nFQ) {
  const Folder f = folder(app, nFQ);
  const std::string& CRLF = app.CRLF;
  if (!app.ui->confirm("Wollen Sie den " + f.word + "-Ordner leeren?",
                       "leeren = Ja --- abbrechen = NEIN"))
    return true;

  std::vector<std::string> stuck;
  auto remove = [&](const std::string& name) {
    const std::filesystem::file_type type = entry_type(f.path + name);
    if (type == std::filesystem::file_type::not_found) return;  // a job without result file
    // delete_file removes a link itself, never the file it points to.
    const files::Status st = files::delete_file(f.path + name);
    if (!st) stuck.push_back(name + " - nicht gelöscht: " + st.error);
  };
  for (const files::DirEntry& e : files::list(f.listing)) {
    remove(e.name);
    if (f.failure) remove(result_name(e.name));
  }

  if (stuck.empty()) {
    folder_panel(app, f)->setText(CRLF + f.word + "-Ordner ist geleert.");
    folder_button(app, f)->setBackground(0);
  } else {
    folder_panel(app, f)
        ->setText(not_done_report(CRLF, "Nicht gelöscht im " + f.word + "-Ordner:", stuck));
  }
  return true;
}

}  // namespace orvex::dispatch
