#include "message.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>

namespace cmail {

namespace {

struct GObjectUnref {
  void operator()(void* p) const {
    if (p) g_object_unref(p);
  }
};
template <class T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

struct FormatOptionsFree {
  void operator()(GMimeFormatOptions* p) const { g_mime_format_options_free(p); }
};

// GMime keeps text lines with LF and writes CR LF itself; a CR left in would come out as =0D.
std::string lf_line_ends(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

void add_addresses(InternetAddressList* target, const std::string& text) {
  if (text.empty()) return;
  GPtr<InternetAddressList> parsed(internet_address_list_parse(nullptr, text.c_str()));
  if (parsed && internet_address_list_length(parsed.get()) > 0) {
    // Names would otherwise be encoded in the "best" charset, often ISO-8859-1.
    for (int i = 0; i < internet_address_list_length(parsed.get()); ++i)
      internet_address_set_charset(internet_address_list_get_address(parsed.get(), i), "utf-8");
    internet_address_list_append(target, parsed.get());
  } else {
    GPtr<InternetAddress> raw(internet_address_mailbox_new(nullptr, text.c_str()));
    internet_address_list_add(target, raw.get());
  }
}

std::string domain_of(const std::string& address) {
  const auto at = address.rfind('@');
  if (at == std::string::npos || at + 1 == address.size()) return "localhost";
  return address.substr(at + 1);
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw MessageError("attachment not found or not readable: " + path.string());
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw MessageError("cannot read attachment: " + path.string());
  return bytes;
}

GMimePart* new_attachment(const MailContent& c) {
  std::error_code ec;
  if (std::filesystem::is_directory(c.attachment, ec))
    throw MessageError("attachment is a folder: " + c.attachment.string());
  const std::string bytes = read_file(c.attachment);
  const std::string type = attachment_mime_type(c.attachment_name);
  const auto slash = type.find('/');
  GMimePart* part =
      g_mime_part_new_with_type(type.substr(0, slash).c_str(), type.substr(slash + 1).c_str());
  GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(
      bytes.data(), bytes.size()));
  GPtr<GMimeDataWrapper> wrapper(
      g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
  g_mime_part_set_content(part, wrapper.get());
  g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
  g_mime_object_set_disposition(GMIME_OBJECT(part), GMIME_DISPOSITION_ATTACHMENT);
  g_mime_part_set_filename(part, c.attachment_name.c_str());
  return part;
}

}  // namespace

void init_mime() {
  static std::once_flag once;
  std::call_once(once, [] { g_mime_init(); });
}

std::string attachment_mime_type(const std::string& file_name) {
  const auto dot = file_name.rfind('.');
  std::string ext = dot == std::string::npos ? "" : file_name.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
  return ext == "pdf" ? "application/pdf" : "application/octet-stream";
}

std::string envelope_address(const std::string& text) {
  init_mime();
  GPtr<InternetAddressList> list(internet_address_list_parse(nullptr, text.c_str()));
  if (list && internet_address_list_length(list.get()) > 0) {
    InternetAddress* first = internet_address_list_get_address(list.get(), 0);
    if (INTERNET_ADDRESS_IS_MAILBOX(first))
      return internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(first));
  }
  // Unparsable display name: the address in angle brackets still counts.
  const auto open = text.rfind('<');
  const auto close = text.rfind('>');
  if (open != std::string::npos && close != std::string::npos && open < close)
    return text.substr(open + 1, close - open - 1);
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

BuiltMessage build_message(const MailContent& c) {
  init_mime();
  // Before anything is built: a missing attachment means no mail at all.
  GPtr<GMimePart> attachment(c.attachment.empty() ? nullptr : new_attachment(c));

  GPtr<GMimeMessage> message(g_mime_message_new(TRUE));
  add_addresses(g_mime_message_get_from(message.get()), c.from);
  for (const auto& to : c.to) add_addresses(g_mime_message_get_to(message.get()), to);
  if (!c.reply_to.empty()) add_addresses(g_mime_message_get_reply_to(message.get()), c.reply_to);
  g_mime_message_set_subject(message.get(), c.subject.c_str(), "utf-8");

  GDateTime* now = g_date_time_new_now_local();
  g_mime_message_set_date(message.get(), now);
  g_date_time_unref(now);

  const std::string sender = envelope_address(c.from);
  char* id = g_mime_utils_generate_message_id(domain_of(sender).c_str());
  BuiltMessage built{{}, id};
  g_free(id);
  g_mime_message_set_message_id(message.get(), built.message_id.c_str());

  if (c.mdn) {
    const std::string& notify = c.reply_to.empty() ? c.from : c.reply_to;
    GPtr<InternetAddressList> list(internet_address_list_new());
    add_addresses(list.get(), notify);
    GMimeFormatOptions* defaults = g_mime_format_options_get_default();
    char* value = internet_address_list_to_string(list.get(), defaults, TRUE);
    g_mime_object_set_header(GMIME_OBJECT(message.get()), "Disposition-Notification-To", value,
                             "utf-8");
    g_free(value);
  }
  g_mime_object_set_header(GMIME_OBJECT(message.get()), "X-Mailer", "cmail (ORVEX-Mail)", nullptr);

  // Not g_mime_text_part_set_text: it would re-encode to ISO-8859-1 where it can.
  GPtr<GMimeTextPart> text(g_mime_text_part_new_with_subtype("plain"));
  const std::string body = lf_line_ends(c.body);
  GPtr<GMimeStream> body_stream(g_mime_stream_mem_new_with_buffer(body.data(), body.size()));
  GPtr<GMimeDataWrapper> body_wrapper(
      g_mime_data_wrapper_new_with_stream(body_stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
  g_mime_part_set_content(GMIME_PART(text.get()), body_wrapper.get());
  g_mime_text_part_set_charset(text.get(), "utf-8");
  g_mime_part_set_content_encoding(GMIME_PART(text.get()), GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);

  if (attachment) {
    GPtr<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
    g_mime_multipart_add(mixed.get(), GMIME_OBJECT(text.get()));
    g_mime_multipart_add(mixed.get(), GMIME_OBJECT(attachment.get()));
    g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(mixed.get()));
  } else {
    g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(text.get()));
  }

  std::unique_ptr<GMimeFormatOptions, FormatOptionsFree> options(g_mime_format_options_new());
  g_mime_format_options_set_newline_format(options.get(), GMIME_NEWLINE_FORMAT_DOS);
  GPtr<GMimeStream> out(g_mime_stream_mem_new());
  g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), options.get(), out.get());
  GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
  built.data.assign(reinterpret_cast<const char*>(bytes->data), bytes->len);
  return built;
}

}  // namespace cmail
