#pragma once
// The connection data file and the whitelist.
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvex::dispatch {

struct Connection {
  std::string cSend_Host, cSend_User, cSend_PW, cSend_Port, cSend_From, cSend_Back;
  std::vector<std::string> aLines() const;  // the six values in file order
};

// Reads data root + "CMail\Verbindung.dat" (LF completed to CR LF, memo lines of width 80,
// trailing blanks removed). A missing file, fewer than six lines or a non-numeric port give a
// German message naming the file and the problem. The values are UTF-8 (decoded from
// Windows-1252); lines after the sixth are ignored; the port must be 1..65535.
std::variant<Connection, std::string> read_connection(const std::string& cDatver);

// True only when the recipient equals one whole entry of the whitelist (entries separated by
// line breaks, blanks, "," or ";"), without regard to case. An empty recipient never passes.
bool whitelisted(std::string_view whitelist_text, std::string_view recipient);

}  // namespace orvex::dispatch
