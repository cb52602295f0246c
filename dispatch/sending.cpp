#include "dispatch/sending.h"

#include <exception>
#include <optional>

#include "dispatch/config_files.h"
#include "dispatch/folders.h"
#include "dispatch/invocation.h"
#include "dispatch/job.h"
#include "dispatch/mail_log.h"
#include "dispatch/outbox.h"
#include "dispatch/panels.h"
#include "dispatch/recipient.h"
#include "platform/pace/pace.h"
#include "platform/text/codepage.h"
#include "platform/text/lines.h"

namespace orvex::dispatch {

namespace {

using namespace panels;

bool blank(const std::string& s) { return s.find_first_not_of(" \r\n") == std::string::npos; }

// The overview marks a job behind the first occurrence of its name; a name it does not show
// (a job listed before the overview split it) gets a line of its own.
void mark(std::string& overview, const std::string& N, const std::string& crlf, const std::string& suffix) {
  if (auto p = overview.find(N); p != std::string::npos) {
    overview.insert(p + N.size(), suffix);
  } else {
    overview += crlf + N + suffix;
  }
}

void dir_on_demand(const std::string& winpath) {
  if (files::dir_exists(winpath)) return;
  files::make_dir(winpath);  // a missing folder shows later as a failed move, with its reason
  pace(100);
}

// Recipient fields may carry line breaks from the job file; they never belong to an address.
std::string trim_recipient(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(first, last - first + 1));
}

std::string u(const std::string& cp1252) { return text::cp1252_to_utf8(cp1252); }

}  // namespace

bool Mails_Senden(App& app, std::vector<std::string> aLines, std::vector<files::DirEntry> aDirAusgang) {
  const std::string& CRLF = app.CRLF;

  set(app.oMle1, MailAusgang(app));

  aLines.resize(6);
  Connection conn;
  conn.cSend_Host = aLines[0];
  conn.cSend_User = aLines[1];
  conn.cSend_PW = aLines[2];
  conn.cSend_Port = aLines[3];
  conn.cSend_From = aLines[4];
  conn.cSend_Back = aLines[5];

  const std::string cWMails = files::read_file(app.cDatver + kWhitelistFile);

  while (!aDirAusgang.empty()) {
    const std::string N = aDirAusgang.front().name;
    std::string cString1 = get(app.oMle1);
    std::string cString2 = get(app.oMle2);
    std::string cString3 = get(app.oMle3);

    std::string still = "Noch zu versendende E-Mails:" + CRLF;
    for (const auto& e : aDirAusgang) still += e.name + CRLF;
    set(app.oMle20, still);
    pace(100);

    const auto note = [&](const std::string& suffix) {
      mark(cString1, N, CRLF, suffix);
      set(app.oMle1, cString1);
    };

    try {
      std::string why;
      const auto names = derive_names(app.cDatver, N, &why);
      if (!names) {
        note(" - nicht bearbeitet: " + why);
        aDirAusgang.erase(aDirAusgang.begin());
        continue;
      }
      const auto job = files::try_read_file(names->cMailAusName);
      const auto fields = job ? job_fields(*job) : std::nullopt;
      if (!fields) {
        note(" - übersprungen: Auftragsdatei fehlt oder ist leer");
        aDirAusgang.erase(aDirAusgang.begin());
        continue;
      }

      dir_on_demand(app.cDatver + kSent + names->cAuftrag);
      dir_on_demand(app.cDatver + kSent + names->cAuftrag + "\\" + names->cMailForm);

      std::string cMail_Adr = text::to_lower_ascii(trim_recipient(fields->cMail_Adr));
      const std::string& cMail_Betr = fields->cMail_Betr;
      const std::string& cMail_Body = fields->cMail_Body;
      const std::string& cMail_Anhang = fields->cMail_Anhang;

      // Why the job has no address to send to; empty when it has one.
      std::string no_address;
      if (cMail_Adr.empty()) {
        no_address = "kein Empfänger im Auftrag";
      } else if (is_lookup_keyword(cMail_Adr)) {
        const auto found = lookup_recipient(cMail_Adr, names->cAuftrag);
        if (found.ok()) {
          cMail_Adr = found.address;
        } else {
          no_address = found.error;
        }
      }

      const auto log = [&](const char* art, const std::string& adresse) {
        std::string failed;
        if (!append_log(app.areas, {names->cAuftrag, art, names->cMailFormular, adresse}, &failed))
          note(" - nicht protokolliert: " + failed);
      };

      if (!no_address.empty() || !whitelisted(cWMails, cMail_Adr)) {
        if (auto moved = files::move_file(names->cMailAusName, names->cMailQuarName); !moved) {
          note(" - nicht in den Quarantine-Ordner verschoben: " + moved.error);
          aDirAusgang.erase(aDirAusgang.begin());
          continue;
        }
        colour(app.oXbpBW2, 7);
        const std::string tag = " - Adresse?" + (no_address.empty() ? std::string() : " (" + no_address + ")");
        if (cString3.find("leer") != std::string::npos || blank(cString3)) {
          cString3 = "Fehler im Quarantine-Ordner:" + CRLF + N + tag;
        } else {
          cString3 += CRLF + N + tag;
        }
        mark(cString1, N, CRLF, tag);
        set(app.oMle1, cString1);
        set(app.oMle3, cString3);
        pace(300);
        log("Q", no_address.empty() ? u(cMail_Adr) : no_address);
        aDirAusgang.erase(aDirAusgang.begin());
        continue;
      }

      const std::string cSendung = names->cMailAusName + " : " + CRLF + CRLF + "Diese E-Mail geht an: " + CRLF +
                                   u(cMail_Adr) + CRLF + "Betreff: " + CRLF + u(cMail_Betr) + CRLF + "Text: " + CRLF +
                                   u(cMail_Body) + CRLF + "Anhang: " + CRLF + u(cMail_Anhang);
      set(app.oMle30, "Diese E-Mail wird jetzt gesendet:" + CRLF + cSendung);
      pace(200);

      // A result left by an earlier send must not pass for this one's.
      if (files::file_exists(names->cMailResName)) files::delete_file(names->cMailResName);
      const MailValues mail{cMail_Adr, cMail_Betr, cMail_Body, cMail_Anhang, names->cMailResName};
      const std::vector<std::string> argv = job_mail_argv(conn, mail);
      std::optional<std::string> result;
      if (const std::string too_long = argv_too_long(argv); !too_long.empty()) {
        // The client could never take this job: file it as failed with our own result file
        // instead of stopping every later round at it.
        result = "{\n  \"status\": \"failure\",\n  \"reason\": \"" + too_long + "\"\n}\n";
        if (auto written = files::write_file(names->cMailResName, *result); !written) {
          note(" - nicht gesendet: " + too_long + "; " + written.error);
          aDirAusgang.erase(aDirAusgang.begin());
          continue;
        }
      } else {
        const auto started = start_client(app.cDatver, argv);
        if (!started.ok) {
          set(app.oMle30, get(app.oMle30) + CRLF + CRLF + "CMail ließ sich nicht starten: " + started.error);
          return false;
        }
        result = wait_for_result(names->cMailResName);
        if (!result) return false;
      }

      switch (result_status(*result)) {
        case ResultStatus::Failure: {
          if (auto moved = files::move_file(names->cMailAusName, names->cMailFailName); !moved) {
            note(" - Fehler, aber nicht in den Failure-Ordner verschoben: " + moved.error);
            break;
          }
          std::string extra;
          if (auto moved = files::move_file(names->cMailResName, names->cMailFailure); !moved)
            extra = " (Ergebnisdatei blieb im Ausgang: " + moved.error + ")";
          colour(app.oXbpBW1, 7);
          if (cString2.find("leer") != std::string::npos || blank(cString2)) {
            cString2 = "Fehler im Failure-Ordner:" + CRLF + N + " - FEHLER";
          } else {
            cString2 += CRLF + N + " - FEHLER";
          }
          mark(cString1, N, CRLF, " - Fehler!" + extra);
          set(app.oMle1, cString1);
          set(app.oMle2, cString2);
          log("F", u(cMail_Adr));
          break;
        }
        case ResultStatus::Accepted: {
          if (auto moved = files::move_file(names->cMailAusName, names->cMailGesendet); !moved) {
            note(" - gesendet, aber nicht abgelegt: " + moved.error);
            break;
          }
          std::string extra;
          if (auto moved = files::move_file(names->cMailResName, names->cMailResGesendet); !moved)
            extra += " (Ergebnisdatei blieb im Ausgang: " + moved.error + ")";
          const std::string attachment = u(cMail_Anhang);
          if (attachment.empty()) {
            extra += " (ohne Anhang, keine PDF-Kopie)";
          } else if (!files::file_exists(attachment)) {
            extra += " (Anhang " + attachment + " fehlt, keine PDF-Kopie)";
          } else if (auto copied = files::copy_file(attachment, names->cMailAnhGesendet); !copied) {
            extra += " (Anhang nicht kopiert: " + copied.error + ")";
          }
          mark(cString1, N, CRLF, " - erledigt!" + extra);
          set(app.oMle1, cString1);
          log("M", u(cMail_Adr));
          break;
        }
        case ResultStatus::Neither:
          break;  // job and result stay; the next round sends it again
      }
    } catch (const std::exception& e) {
      // An unmapped drive or a damaged file: this job stays, the pass goes on.
      note(std::string(" - nicht bearbeitet: ") + e.what());
      aDirAusgang.erase(aDirAusgang.begin());
      continue;
    }

    set(app.oMle20, "");
    set(app.oMle30, "");
    pace(250);
    aDirAusgang.erase(aDirAusgang.begin());
  }
  return true;
}

}  // namespace orvex::dispatch
