#pragma once
// One SMTP dialogue: greeting, EHLO, STARTTLS, AUTH, MAIL/RCPT (with DSN when offered),
// DATA, QUIT. Every failure ends up in the returned MailResult, never as an exception.
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "connection.h"
#include "mail_result.h"

namespace cmail {

struct SessionOptions {
  Server server;
  bool starttls = false;
  TlsOptions tls;
  std::chrono::milliseconds timeout{60000};
  DsnRequest dsn;
  std::string helo_name;  // empty: this machine's host name
  std::function<void(std::string_view)> log;  // dialogue lines for -v; may be empty
  // Called once as soon as the outcome is known, before QUIT: a slow goodbye must not
  // delay the result file. May be empty.
  std::function<void(const MailResult&)> on_settled;
};

struct Envelope {
  std::string from;  // bare addresses
  std::vector<std::string> to;
  std::string envid;  // for DSN; empty: none
};

MailResult send_mail(const SessionOptions& options, const Envelope& envelope,
                     const std::string& message);

// DATA payload: a "." starting a line doubled, line ends CR LF, ends with CR LF "." CR LF.
std::string dot_stuff(std::string_view message);

// RFC 3461 xtext for ENVID and ORCPT.
std::string xtext(std::string_view text);

}  // namespace cmail
