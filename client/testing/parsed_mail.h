#pragma once
// A received message read back with GMime, the way a mail program would decode it.
#include <string>
#include <vector>

namespace cmail::testing {

struct ParsedPart {
  std::string content_type;  // "text/plain; charset=utf-8" as parsed: type/subtype only
  std::string charset;
  std::string encoding;  // Content-Transfer-Encoding
  std::string file_name;
  std::string disposition;
  std::string bytes;  // transfer decoding undone
};

struct ParsedMail {
  std::string subject;  // RFC 2047 decoded
  std::string from, to, reply_to, disposition_notification_to;
  std::string date, message_id;
  std::vector<ParsedPart> parts;  // leaves in order
};

ParsedMail parse_mail(const std::string& raw);

}  // namespace cmail::testing
