#pragma once
// What became of one mail: filled by the SMTP dialogue, written as the result file.
#include <string>
#include <vector>

namespace cmail {

struct RecipientResult {
  std::string address;
  bool accepted = false;
  int code = 0;  // 0: not asked (the dialogue ended before RCPT)
  std::string text;
};

struct MailResult {
  bool accepted = false;
  std::string reason;  // one line for people; set on failure and on success
  std::string server;  // "host:port"
  std::string greeting;
  std::vector<RecipientResult> recipients;
  int code = 0;  // last SMTP reply that decided the outcome (end of DATA on success)
  std::string text;
  std::string message_id;
  bool tls = false;
  bool authenticated = false;
  bool dsn_requested = false;
};

}  // namespace cmail
