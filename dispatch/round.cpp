#include "dispatch/round.h"

#include <exception>
#include <variant>

#include "dispatch/folder_reports.h"
#include "dispatch/folders.h"
#include "dispatch/invocation.h"
#include "dispatch/panels.h"
#include "dispatch/sending.h"
#include "platform/files/files.h"
#include "platform/pace/pace.h"
#include "platform/text/clock.h"
#include "platform/text/codepage.h"

namespace orvex::dispatch {

using namespace panels;

std::string fit_error_body(const std::string& body, std::size_t limit) {
  if (body.size() <= limit) return body;
  const auto note_for = [](std::size_t left_out) {
    return "\r\n\r\n[... Text gekürzt: " + std::to_string(left_out) + " Zeichen hier ausgelassen ...]\r\n\r\n";
  };
  // The note in 1252 is never longer than with the largest count it can carry.
  const std::size_t note_size = text::utf8_to_cp1252(note_for(body.size())).size();
  const std::size_t keep = limit > note_size ? limit - note_size : 0;
  // Head and tail: the start says what this is, the end holds the closing report.
  const std::size_t head = keep / 2;
  const std::size_t tail = keep - head;
  return body.substr(0, head) + text::utf8_to_cp1252(note_for(body.size() - keep)) +
         body.substr(body.size() - tail);
}

bool send_error_mail(App& app, const Connection& conn, const std::string& subject, const std::string& body) {
  const MailValues mail{text::utf8_to_cp1252(app.cPostmaster), text::utf8_to_cp1252(subject),
                        fit_error_body(text::utf8_to_cp1252(body)), {}, kErrorMailResult};
  return start_client(app.cDatver, error_mail_argv(conn, mail)).ok;
}

bool Senden(App& app) {
  if (app.nAufSendung == 1) return false;
  app.nAufSendung = 1;
  colour(app.oXbpBS, 5);
  colour(app.oXbpBH, 0);
  const std::string& CRLF = app.CRLF;

  try {
    auto read = read_connection(app.cDatver);
    if (auto* problem = std::get_if<std::string>(&read)) {
      // Without connection data no mail can go, not even the error mail.
      set(app.oMle1, get(app.oMle1) + CRLF + CRLF + "Kein Sendelauf: " + *problem);
    } else {
      const Connection& conn = std::get<Connection>(read);
      auto aDirAusgang = files::list(app.cDatver + kOutbox + "*.ausg");
      if (aDirAusgang.empty()) {
        set(app.oMle1, CRLF + "MailAusgang ist leer");
      } else if (Mails_Senden(app, conn.aLines(), std::move(aDirAusgang))) {
        std::string cMessage;
        if (!files::list(app.cDatver + "CMail\\Ausgang\\Failure\\*.ausg").empty()) {
          cMessage += CRLF + CRLF + "ABER:" + CRLF + "Fehlerdateien im Failure-Ordner.";
          cMessage += SendeFehler(app, 1);
        }
        if (!files::list(app.cDatver + "CMail\\Ausgang\\Quarantine\\*.ausg").empty()) {
          cMessage += CRLF + CRLF + "ABER:" + CRLF + "Fehlerdateien im Quarantine-Ordner.";
          cMessage += SendeFehler(app, 2);
        }
        const std::string cString = get(app.oMle1) + CRLF + CRLF + "Abschluss-Meldung um " + text::time_text() +
                                    " Uhr:" + CRLF + "alle Sendungen bearbeitet!" + cMessage;
        set(app.oMle1, cString);
        if (!cMessage.empty()) {
          send_error_mail(app, conn, "F E H L E R - Meldung von Brevor",
                          "A C H T U N G :" + CRLF +
                              "Beim Senden einer Mail sind folgende nicht automatisch korrigierbare Fehler passiert!" +
                              CRLF + cString);
          pace(500);
        }
      } else {
        const std::string cMessage = CRLF + "Vermutlich:" + CRLF + "Keine Rückmeldung vom Mail-Server.";
        send_error_mail(app, conn, "F E H L E R - Meldung von CMail", "A C H T U N G :" + CRLF + cMessage);
        if (app.ui) app.ui->message_window("Probleme beim Senden!" + cMessage, "Abschluss-Meldung:", 500, 500);
      }
    }
  } catch (const std::exception& e) {
    // The round must end cleanly whatever went wrong, or no later round would start.
    set(app.oMle1, get(app.oMle1) + CRLF + CRLF + "Sendelauf abgebrochen: " + e.what());
  }

  app.nAufSendung = 0;
  colour(app.oXbpBS, 6);
  return true;
}

}  // namespace orvex::dispatch
