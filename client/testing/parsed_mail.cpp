#include "parsed_mail.h"

#include <gmime/gmime.h>

#include <stdexcept>

namespace cmail::testing {

namespace {

std::string str(const char* s) { return s ? s : ""; }

std::string header(GMimeObject* o, const char* name) {
  return str(g_mime_object_get_header(o, name));
}

std::string addresses(InternetAddressList* list) {
  if (!list) return {};
  char* s = internet_address_list_to_string(list, nullptr, FALSE);
  std::string out = str(s);
  g_free(s);
  return out;
}

void collect(GMimeObject* parent, GMimeObject* part, gpointer data) {
  (void)parent;
  if (!GMIME_IS_PART(part)) return;
  auto* parts = static_cast<std::vector<ParsedPart>*>(data);
  ParsedPart p;
  GMimeContentType* type = g_mime_object_get_content_type(part);
  p.content_type = str(g_mime_content_type_get_media_type(type)) + "/" +
                   str(g_mime_content_type_get_media_subtype(type));
  p.charset = str(g_mime_content_type_get_parameter(type, "charset"));
  p.encoding = header(part, "Content-Transfer-Encoding");
  p.file_name = str(g_mime_part_get_filename(GMIME_PART(part)));
  GMimeContentDisposition* d = g_mime_object_get_content_disposition(part);
  p.disposition = d ? str(g_mime_content_disposition_get_disposition(d)) : "";
  GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(part));
  GMimeStream* out = g_mime_stream_mem_new();
  g_mime_data_wrapper_write_to_stream(content, out);
  GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
  p.bytes.assign(reinterpret_cast<const char*>(bytes->data), bytes->len);
  g_object_unref(out);
  parts->push_back(std::move(p));
}

}  // namespace

ParsedMail parse_mail(const std::string& raw) {
  g_mime_init();
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(
      raw.data(), raw.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
  g_object_unref(parser);
  g_object_unref(stream);
  if (!message) throw std::runtime_error("not a MIME message");
  ParsedMail m;
  GMimeObject* o = GMIME_OBJECT(message);
  m.subject = str(g_mime_message_get_subject(message));
  m.from = addresses(g_mime_message_get_from(message));
  m.to = addresses(g_mime_message_get_to(message));
  m.reply_to = addresses(g_mime_message_get_reply_to(message));
  m.disposition_notification_to = header(o, "Disposition-Notification-To");
  m.date = header(o, "Date");
  m.message_id = str(g_mime_message_get_message_id(message));
  GMimeObject* body = g_mime_message_get_mime_part(message);
  if (GMIME_IS_MULTIPART(body))
    g_mime_multipart_foreach(GMIME_MULTIPART(body), collect, &m.parts);
  else
    collect(o, body, &m.parts);
  g_object_unref(message);
  return m;
}

}  // namespace cmail::testing
