#pragma once
// The MIME message (GMime 3): UTF-8 text, RFC 2047 subject, one optional attachment.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace cmail {

// Raised for a message that cannot be built (e.g. the attachment cannot be read).
class MessageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct MailContent {
  std::string from;  // UTF-8; "Name <a@b>" or a bare address
  std::vector<std::string> to;
  std::string reply_to;  // empty: none
  std::string subject;
  std::string body;  // line breaks CR LF, LF or CR
  std::filesystem::path attachment;  // empty: none
  std::string attachment_name;
  bool mdn = false;  // Disposition-Notification-To: reply-to, else from
};

struct BuiltMessage {
  std::string data;  // CR LF line ends, ready for DATA (not yet dot-stuffed)
  std::string message_id;  // without angle brackets
};

// Once per process, before anything else of GMime.
void init_mime();

BuiltMessage build_message(const MailContent& content);

// The bare address of "Name <a@b>" or "a@b", for MAIL FROM and RCPT TO.
std::string envelope_address(const std::string& text);

// Content type for an attachment by its file name.
std::string attachment_mime_type(const std::string& file_name);

}  // namespace cmail
