#pragma once
// The command line in the dispatcher's forms: one argv element per option, "-name:value".
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cmail {

struct Server {
  std::string user;  // empty: no AUTH
  std::string password;
  std::string host;
  std::uint16_t port = 25;
};

struct DsnRequest {
  bool success = false;
  bool failure = false;
  bool delay = false;
  bool any() const { return success || failure || delay; }
};

struct Arguments {
  Server server;
  bool starttls = false;
  std::vector<std::string> to;
  std::string from;
  std::string reply_to;
  std::string subject;
  std::string body;
  std::string attachment;  // empty: none
  DsnRequest dsn;
  bool mdn = false;
  std::string results;  // empty: no result file
  std::optional<std::string> cafile;
  std::optional<double> timeout_seconds;
  bool insecure = false;
  bool verbose = false;
  bool help = false;
};

struct ParsedCommandLine {
  std::optional<Arguments> arguments;  // absent when the line is malformed
  std::string error;                   // why it is malformed
  std::string results;                 // "-results:" as far as it could be read, for the failure report
};

// args excludes the program name. Text values are converted to UTF-8 (see text_encoding.h).
ParsedCommandLine parse_command_line(const std::vector<std::string>& args);

// "user:password@host:port": split at the last "@" and the first ":" before it, so the
// password may hold both. Throws std::invalid_argument with a readable message.
Server parse_server(const std::string& login_at_host);

std::string help_text();

}  // namespace cmail
