#include "dispatch/config_files.h"

#include "dispatch/folders.h"
#include "platform/files/files.h"
#include "platform/text/codepage.h"
#include "platform/text/lines.h"

namespace orvex::dispatch {

std::vector<std::string> Connection::aLines() const {
  return {cSend_Host, cSend_User, cSend_PW, cSend_Port, cSend_From, cSend_Back};
}

std::variant<Connection, std::string> read_connection(const std::string& cDatver) {
  const std::string file = cDatver + kConnectionFile;
  const std::string named = "Verbindungsdatei \"" + file + "\"";
  const std::optional<std::string> bytes = files::try_read_file(file);
  if (!bytes) return named + " fehlt oder ist nicht lesbar.";

  const std::vector<std::string> lines =
      text::memo_lines(text::complete_line_ends(text::cp1252_to_utf8(*bytes)), 80);
  if (lines.size() < 6)
    return named + " hat " + std::to_string(lines.size()) +
           " Zeilen; nötig sind 6 (Server, Benutzer, Passwort, Port, Absender, "
           "Antwortadresse).";

  Connection c{lines[0], lines[1], lines[2], lines[3], lines[4], lines[5]};
  const std::string& port = c.cSend_Port;
  bool digits = !port.empty() && port.size() <= 5;
  for (char ch : port) digits = digits && ch >= '0' && ch <= '9';
  if (!digits || std::stoi(port) < 1 || std::stoi(port) > 65535)
    return named + ": der Port in Zeile 4 (\"" + port + "\") ist keine Zahl von 1 bis 65535.";
  return c;
}

bool whitelisted(std::string_view whitelist_text, std::string_view recipient) {
  if (recipient.empty()) return false;
  const std::string wanted = text::to_lower_ascii(recipient);
  const std::string_view seps = "\r\n \t,;";
  std::size_t pos = 0;
  while (pos < whitelist_text.size()) {
    const std::size_t start = whitelist_text.find_first_not_of(seps, pos);
    if (start == std::string_view::npos) break;
    std::size_t end = whitelist_text.find_first_of(seps, start);
    if (end == std::string_view::npos) end = whitelist_text.size();
    if (text::to_lower_ascii(whitelist_text.substr(start, end - start)) == wanted) return true;
    pos = end;
  }
  return false;
}

}  // namespace orvex::dispatch
