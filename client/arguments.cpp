#include "arguments.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <stdexcept>

#include "text_encoding.h"

namespace cmail {

namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// The dispatcher's argument text puts double quotes around "-subject:..." or after the colon.
std::string strip_quote_pair(std::string value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    return value.substr(1, value.size() - 2);
  return value;
}

std::uint16_t parse_port(const std::string& text) {
  if (text.empty() || text.size() > 5 ||
      !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
    throw std::invalid_argument("bad port \"" + text + "\" in -host: (expected 1-65535)");
  const long port = std::strtol(text.c_str(), nullptr, 10);
  if (port < 1 || port > 65535)
    throw std::invalid_argument("bad port \"" + text + "\" in -host: (expected 1-65535)");
  return static_cast<std::uint16_t>(port);
}

double parse_timeout(const std::string& text) {
  char* end = nullptr;
  const double seconds = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(seconds > 0) || seconds > 86400)
    throw std::invalid_argument("bad -timeout: \"" + text + "\" (expected seconds, 1-86400)");
  return seconds;
}

DsnRequest parse_dsn(const std::string& text) {
  DsnRequest dsn;
  for (char c : text) {
    switch (std::toupper(static_cast<unsigned char>(c))) {
      case 'S': dsn.success = true; break;
      case 'F': dsn.failure = true; break;
      case 'D': dsn.delay = true; break;
      default:
        throw std::invalid_argument("bad -dsn: \"" + text + "\" (letters S, F, D)");
    }
  }
  if (!dsn.any()) throw std::invalid_argument("-dsn: needs at least one of S, F, D");
  return dsn;
}

void add_recipients(std::vector<std::string>& to, const std::string& list) {
  size_t start = 0;
  while (start <= list.size()) {
    const size_t end = std::min(list.find_first_of(",;", start), list.size());
    std::string one = list.substr(start, end - start);
    const auto first = one.find_first_not_of(" \t");
    const auto last = one.find_last_not_of(" \t");
    if (first != std::string::npos) to.push_back(one.substr(first, last - first + 1));
    start = end + 1;
  }
}

// Splits "-name:value" (or "-name"); name is lower case without the dash(es).
std::pair<std::string, std::optional<std::string>> split_option(std::string arg) {
  if (arg.size() >= 3 && arg.front() == '"' && arg[1] == '-' && arg.back() == '"')
    arg = arg.substr(1, arg.size() - 2);
  const auto colon = arg.find(':');
  std::string name = lower(arg.substr(0, colon));
  name.erase(0, name.find_first_not_of('-'));
  if (colon == std::string::npos) return {name, std::nullopt};
  return {name, arg.substr(colon + 1)};
}

}  // namespace

Server parse_server(const std::string& login_at_host) {
  Server server;
  std::string address = login_at_host;
  const auto at = login_at_host.rfind('@');
  if (at != std::string::npos) {
    const std::string login = login_at_host.substr(0, at);
    address = login_at_host.substr(at + 1);
    const auto colon = login.find(':');
    server.user = argument_to_utf8(login.substr(0, colon));
    if (colon != std::string::npos) server.password = argument_to_utf8(login.substr(colon + 1));
  }
  std::string port_text;
  if (!address.empty() && address.front() == '[') {
    const auto close = address.find(']');
    if (close == std::string::npos) throw std::invalid_argument("bad host \"" + address + "\"");
    server.host = address.substr(1, close - 1);
    const std::string rest = address.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') throw std::invalid_argument("bad host \"" + address + "\"");
      port_text = rest.substr(1);
      server.port = parse_port(port_text);
    }
  } else {
    const auto colon = address.rfind(':');
    server.host = address.substr(0, colon);
    if (colon != std::string::npos) server.port = parse_port(address.substr(colon + 1));
  }
  if (server.host.empty()) throw std::invalid_argument("missing host name in -host:");
  return server;
}

ParsedCommandLine parse_command_line(const std::vector<std::string>& args) {
  ParsedCommandLine parsed;
  // Found first, so that any later error still reaches the dispatcher as a result file.
  for (const auto& arg : args) {
    auto [name, value] = split_option(arg);
    if (name == "results" && value) parsed.results = argument_to_utf8(strip_quote_pair(*value));
  }

  Arguments a;
  bool have_host = false;
  try {
    for (const auto& arg : args) {
      auto [name, value] = split_option(arg);
      auto need = [&]() -> std::string {
        if (!value) throw std::invalid_argument("option -" + name + ": needs a value");
        return *value;
      };
      auto flag = [&] {
        if (value) throw std::invalid_argument("option -" + name + " takes no value");
        return true;
      };
      auto text = [&] { return argument_to_utf8(strip_quote_pair(need())); };
      if (name == "host") {
        a.server = parse_server(need());
        have_host = true;
      } else if (name == "starttls") {
        a.starttls = flag();
      } else if (name == "to") {
        add_recipients(a.to, text());
      } else if (name == "from") {
        a.from = text();
      } else if (name == "reply-to") {
        a.reply_to = text();
      } else if (name == "subject") {
        a.subject = text();
      } else if (name == "body") {
        a.body = text();
      } else if (name == "a") {
        a.attachment = text();
      } else if (name == "dsn") {
        a.dsn = parse_dsn(need());
      } else if (name == "mdn") {
        a.mdn = flag();
      } else if (name == "results") {
        a.results = text();
      } else if (name == "cafile") {
        a.cafile = text();
      } else if (name == "insecure") {
        a.insecure = flag();
      } else if (name == "timeout") {
        a.timeout_seconds = parse_timeout(need());
      } else if (name == "v" || name == "verbose") {
        a.verbose = flag();
      } else if (name == "help" || name == "h" || name == "?") {
        a.help = true;
      } else {
        throw std::invalid_argument("unknown option \"" + arg + "\" (see cmail --help)");
      }
    }
    if (!a.help) {
      if (!have_host) throw std::invalid_argument("missing -host:user:password@host:port");
      if (a.to.empty()) throw std::invalid_argument("missing -to:address");
      if (a.from.empty()) throw std::invalid_argument("missing -from:address");
    }
  } catch (const std::invalid_argument& e) {
    parsed.error = e.what();
    return parsed;
  }
  parsed.arguments = std::move(a);
  return parsed;
}

std::string help_text() {
  return R"(cmail - send one mail over SMTP and report the outcome in a result file

Usage: cmail -host:USER:PASSWORD@HOST:PORT -to:ADDR -from:ADDR [options]

Each option is one argument. A value may be wrapped in one pair of double quotes,
which is removed; so is a pair around the whole option ("-subject:x" and -subject:"x").
Text values are taken as UTF-8 when they are valid UTF-8, else as Windows-1252.

  -host:USER:PASSWORD@HOST:PORT
                    SMTP server and login. Split at the last "@" and at the first ":"
                    before it, so the password may contain ":" and "@". An empty USER
                    ("-host::@smtp.example:25") means no AUTH. PORT defaults to 25;
                    IPv6 addresses go in brackets ([::1]:25).
  -starttls         upgrade the connection with STARTTLS; fail if the server lacks it
  -to:ADDR          recipient (repeatable; "," or ";" separate several)
  -from:ADDR        sender (header From and envelope sender)
  -reply-to:ADDR    Reply-To header
  -subject:TEXT     subject
  -body:TEXT        body as plain text; line breaks are sent as CR LF
  -a:PATH           attach this file (empty: no attachment). A missing file is a failure.
  -dsn:SFD          ask for delivery status notifications on Success, Failure, Delay
                    (any of the letters). Sent only when the server offers DSN.
  -mdn              ask the recipient for a read notification (Disposition-Notification-To
                    = the -reply-to: address, else -from:)
  -results:PATH     write the result file (JSON) here; "status": "accepted" or
                    "status": "failure", the reason and every recipient's SMTP reply
  -cafile:PATH      also trust the CAs in this PEM file
  -insecure         do not verify the server certificate
  -timeout:SECONDS  limit for connecting and for every server reply (default 60)
  -v                log the SMTP dialogue to stderr (passwords masked)
  --help            this text

Paths may be given in Windows form ("C:\XARV\CMail\x.result"): the drive letter is
mapped through ORVEX_DRIVES ("C=/srv/orvex/c;T=/srv/orvex/t"), "\" separates folders
and names are matched without regard to case.

The server certificate is verified against the system's trusted CAs (SSL_CERT_FILE and
SSL_CERT_DIR are honoured), its host name or IP address is checked, SNI is sent.

Settings the dispatcher cannot pass: the file cmail.conf beside the executable, lines
"key = value" ('#' starts a comment), keys cafile, timeout, verbose, insecure
(true/false/1/0/yes/no), and the environment variables CMAIL_CAFILE, CMAIL_TIMEOUT,
CMAIL_VERBOSE. The environment overrides the file, the command line overrides both.

Exit code 0 when the server accepted the mail for every recipient, 1 otherwise,
2 for a malformed command line.
)";
}

}  // namespace cmail
