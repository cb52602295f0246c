#include "smtp_session.h"

#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

namespace cmail {

namespace {

struct Reply {
  int code = 0;
  std::vector<std::string> lines;  // texts after "NNN-" / "NNN "
  std::string text() const {
    std::string all;
    for (const auto& l : lines) {
      if (!all.empty()) all += ' ';
      all += l;
    }
    return all;
  }
  std::string summary() const { return std::to_string(code) + " " + text(); }
};

// Ends the dialogue with a reason; the caller turns it into the result.
struct Stop {
  std::string reason;
  Reply reply;
};

std::string base64(std::string_view data) {
  std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(data.data()),
                                static_cast<int>(data.size()));
  out.resize(static_cast<size_t>(n));
  return out;
}

std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

std::string local_host_name() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

// An address goes into a command line between angle brackets: nothing may break out.
void check_address(const std::string& address) {
  if (address.empty()) throw Stop{"empty address", {}};
  for (unsigned char c : address)
    if (c < 0x21 || c == 0x7F || c == '<' || c == '>')
      throw Stop{"invalid address \"" + address + "\"", {}};
}

class Dialogue {
 public:
  Dialogue(const SessionOptions& options, MailResult& result)
      : options_(options), result_(result), connection_(options.timeout) {}

  void run(const Envelope& envelope, const std::string& message);
  void quit_quietly();

 private:
  Reply read_reply();
  Reply command(const std::string& line, const std::string& shown = {});
  void expect(const Reply& reply, int code, const std::string& what) {
    if (reply.code != code) throw Stop{what + ": " + reply.summary(), reply};
  }
  void hello();
  void authenticate();
  void log(std::string_view prefix, std::string_view line) {
    if (options_.log) options_.log(std::string(prefix) + std::string(line));
  }

  const SessionOptions& options_;
  MailResult& result_;
  Connection connection_;
  std::map<std::string, std::string> extensions_;  // keyword -> parameters
  bool connected_ = false;
};

Reply Dialogue::read_reply() {
  Reply reply;
  for (;;) {
    const std::string line = connection_.read_line();
    log("S: ", line);
    if (line.size() < 3 || !std::isdigit(static_cast<unsigned char>(line[0])) ||
        !std::isdigit(static_cast<unsigned char>(line[1])) ||
        !std::isdigit(static_cast<unsigned char>(line[2])))
      throw Stop{"the server sent no SMTP reply: \"" + line.substr(0, 200) + "\"", {}};
    reply.code = std::stoi(line.substr(0, 3));
    reply.lines.push_back(line.size() > 4 ? line.substr(4) : "");
    if (line.size() == 3 || line[3] != '-') return reply;
  }
}

Reply Dialogue::command(const std::string& line, const std::string& shown) {
  log("C: ", shown.empty() ? line : shown);
  connection_.write(line + "\r\n");
  return read_reply();
}

void Dialogue::hello() {
  const std::string name = options_.helo_name.empty() ? local_host_name() : options_.helo_name;
  extensions_.clear();
  Reply reply = command("EHLO " + name);
  if (reply.code == 250) {
    for (size_t i = 1; i < reply.lines.size(); ++i) {
      std::istringstream words(reply.lines[i]);
      std::string keyword;
      words >> keyword;
      std::string rest;
      std::getline(words, rest);
      extensions_[upper(keyword)] = upper(rest);
    }
    return;
  }
  reply = command("HELO " + name);
  expect(reply, 250, "the server refused HELO");
}

void Dialogue::authenticate() {
  const auto auth = extensions_.find("AUTH");
  if (auth == extensions_.end())
    throw Stop{std::string("the server offers no AUTH") +
                   (connection_.tls() ? "" : " (without TLS; try -starttls)"),
               {}};
  std::set<std::string> mechanisms;
  std::istringstream words(auth->second);
  for (std::string m; words >> m;) mechanisms.insert(m);

  const auto& s = options_.server;
  Reply reply;
  if (mechanisms.count("PLAIN")) {
    const std::string token = base64(std::string(1, '\0') + s.user + '\0' + s.password);
    reply = command("AUTH PLAIN " + token, "AUTH PLAIN ****");
  } else if (mechanisms.count("LOGIN")) {
    reply = command("AUTH LOGIN");
    if (reply.code == 334) reply = command(base64(s.user), "****");
    if (reply.code == 334) reply = command(base64(s.password), "****");
  } else {
    throw Stop{"no AUTH mechanism in common (the server offers " + auth->second + ")", {}};
  }
  expect(reply, 235, "authentication failed for user " + s.user);
  result_.authenticated = true;
}

void Dialogue::run(const Envelope& envelope, const std::string& message) {
  for (const auto& to : envelope.to) result_.recipients.push_back({to, false, 0, ""});
  check_address(envelope.from);
  for (const auto& to : envelope.to) check_address(to);

  connection_.connect(options_.server.host, options_.server.port);
  connected_ = true;
  const Reply greeting = read_reply();
  result_.greeting = greeting.text();
  expect(greeting, 220, "the server refused the connection");
  hello();

  if (options_.starttls) {
    if (!extensions_.count("STARTTLS")) throw Stop{"the server does not offer STARTTLS", {}};
    expect(command("STARTTLS"), 220, "the server refused STARTTLS");
    // Anything sent before the handshake could be injected plain text.
    if (connection_.has_buffered_input()) throw Stop{"unexpected data from the server before TLS", {}};
    connection_.start_tls(options_.server.host, options_.tls);
    result_.tls = true;
    hello();
  }
  if (!options_.server.user.empty()) authenticate();

  const bool dsn = options_.dsn.any() && extensions_.count("DSN");
  result_.dsn_requested = dsn;
  std::string mail = "MAIL FROM:<" + envelope.from + ">";
  if (dsn) {
    mail += " RET=HDRS";
    if (!envelope.envid.empty()) mail += " ENVID=" + xtext(envelope.envid);
  }
  expect(command(mail), 250, "the server refused the sender " + envelope.from);

  std::string notify;
  if (dsn) {
    for (const auto& [on, word] : {std::pair{options_.dsn.success, "SUCCESS"},
                                   std::pair{options_.dsn.failure, "FAILURE"},
                                   std::pair{options_.dsn.delay, "DELAY"}})
      if (on) notify += (notify.empty() ? "" : ",") + std::string(word);
  }
  std::string refused;
  Reply first_refusal;
  for (auto& rcpt : result_.recipients) {
    std::string line = "RCPT TO:<" + rcpt.address + ">";
    if (dsn) line += " NOTIFY=" + notify + " ORCPT=rfc822;" + xtext(rcpt.address);
    const Reply reply = command(line);
    rcpt.code = reply.code;
    rcpt.text = reply.text();
    rcpt.accepted = reply.code == 250 || reply.code == 251;
    if (!rcpt.accepted && refused.empty()) {
      refused = rcpt.address + ": " + reply.summary();
      first_refusal = reply;
    }
  }
  // All or nothing: a partly sent job would be sent again in full.
  if (!refused.empty()) {
    for (auto& rcpt : result_.recipients)
      if (rcpt.accepted) {
        rcpt.accepted = false;
        rcpt.text += " (not sent: another recipient was refused)";
      }
    command("RSET");
    throw Stop{"recipient refused: " + refused, first_refusal};
  }

  expect(command("DATA"), 354, "the server refused DATA");
  log("C: ", "<message, " + std::to_string(message.size()) + " bytes>");
  connection_.write(dot_stuff(message));
  const Reply end = read_reply();
  if (end.code != 250) {
    for (auto& rcpt : result_.recipients) rcpt.accepted = false;
    throw Stop{"the server refused the message: " + end.summary(), end};
  }
  result_.accepted = true;
  result_.code = end.code;
  result_.text = end.text();
  result_.reason = "accepted: " + end.summary();
}

void Dialogue::quit_quietly() {
  if (!connected_) return;
  try {
    command("QUIT");
  } catch (...) {
    // The outcome is settled; a lost QUIT reply changes nothing.
  }
}

}  // namespace

std::string dot_stuff(std::string_view message) {
  std::string out;
  out.reserve(message.size() + message.size() / 64 + 8);
  bool line_start = true;
  for (size_t i = 0; i < message.size(); ++i) {
    const char c = message[i];
    if (line_start && c == '.') out += '.';
    if (c == '\n' && (i == 0 || message[i - 1] != '\r')) out += '\r';
    out += c;
    line_start = c == '\n';
  }
  if (!line_start) out += "\r\n";
  out += ".\r\n";
  return out;
}

std::string xtext(std::string_view text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (c >= '!' && c <= '~' && c != '+' && c != '=') {
      out += static_cast<char>(c);
    } else {
      out += '+';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

MailResult send_mail(const SessionOptions& options, const Envelope& envelope,
                     const std::string& message) {
  MailResult result;
  const bool v6 = options.server.host.find(':') != std::string::npos;
  result.server = (v6 ? "[" + options.server.host + "]" : options.server.host) + ":" +
                  std::to_string(options.server.port);
  auto settle = [&] {
    if (options.on_settled) options.on_settled(result);
  };
  Dialogue dialogue(options, result);
  try {
    dialogue.run(envelope, message);
    settle();
    dialogue.quit_quietly();
  } catch (const Stop& stop) {
    result.accepted = false;
    result.reason = stop.reason;
    result.code = stop.reply.code;
    result.text = stop.reply.text();
    settle();
    dialogue.quit_quietly();
  } catch (const ConnectionError& e) {
    // The connection is in an unknown state: no QUIT.
    result.accepted = false;
    result.reason = e.what();
    settle();
  }
  return result;
}

}  // namespace cmail
