#include "message.h"

#include <gtest/gtest.h>

#include <fstream>

#include "testing/parsed_mail.h"
#include "testing/temp_dir.h"

namespace cmail {
namespace {

MailContent sample() {
  MailContent c;
  c.from = "info@firma.de";
  c.to = {"kunde@example.com"};
  c.reply_to = "buero@firma.de";
  c.subject = "Formular f\xC3\xBCr Sterbefall";
  c.body = "Gr\xC3\xBC\xC3\x9F" "e\r\nZeile zwei\nZeile drei\r\n.Punkt am Anfang\r\n";
  return c;
}

TEST(Message, HeadersAndUtf8TextSurviveAReader) {
  MailContent c = sample();
  c.mdn = true;
  const BuiltMessage built = build_message(c);
  const auto m = testing::parse_mail(built.data);
  EXPECT_EQ(m.from, "info@firma.de");
  EXPECT_EQ(m.to, "kunde@example.com");
  EXPECT_EQ(m.reply_to, "buero@firma.de");
  EXPECT_EQ(m.disposition_notification_to, "buero@firma.de");
  EXPECT_EQ(m.subject, "Formular f\xC3\xBCr Sterbefall");
  EXPECT_FALSE(m.date.empty());
  EXPECT_EQ(m.message_id, built.message_id);
  EXPECT_NE(built.message_id.find("@firma.de"), std::string::npos) << built.message_id;
  ASSERT_EQ(m.parts.size(), 1u);
  EXPECT_EQ(m.parts[0].content_type, "text/plain");
  EXPECT_EQ(m.parts[0].charset, "utf-8");
  EXPECT_EQ(m.parts[0].encoding, "quoted-printable");
  EXPECT_EQ(m.parts[0].bytes,
            "Gr\xC3\xBC\xC3\x9F" "e\r\nZeile zwei\r\nZeile drei\r\n.Punkt am Anfang\r\n");
}

TEST(Message, WireFormIsSevenBitWithCrLfOnly) {
  const std::string data = build_message(sample()).data;
  for (size_t i = 0; i < data.size(); ++i) {
    ASSERT_LT(static_cast<unsigned char>(data[i]), 0x80) << "8-bit byte at " << i;
    if (data[i] == '\n') {
      ASSERT_TRUE(i > 0 && data[i - 1] == '\r') << "bare LF at " << i;
    }
    if (data[i] == '\r') {
      ASSERT_TRUE(i + 1 < data.size() && data[i + 1] == '\n') << "bare CR at " << i;
    }
  }
  EXPECT_NE(data.find("Subject: Formular =?UTF-8?B?"), std::string::npos) << data;
  EXPECT_NE(data.find("MIME-Version: 1.0\r\n"), std::string::npos);
}

TEST(Message, DisplayNamesAreEncodedAsUtf8) {
  MailContent c = sample();
  c.from = "Firma M\xC3\xBCller <info@firma.de>";
  const BuiltMessage built = build_message(c);
  EXPECT_NE(built.data.find("From: Firma =?UTF-8?"), std::string::npos) << built.data;
  EXPECT_EQ(testing::parse_mail(built.data).from, "Firma M\xC3\xBCller <info@firma.de>");
}

TEST(Message, MdnGoesToTheSenderWithoutReplyTo) {
  MailContent c = sample();
  c.reply_to.clear();
  c.mdn = true;
  const auto m = testing::parse_mail(build_message(c).data);
  EXPECT_EQ(m.disposition_notification_to, "info@firma.de");
  EXPECT_EQ(m.reply_to, "");
  c.mdn = false;
  EXPECT_EQ(testing::parse_mail(build_message(c).data).disposition_notification_to, "");
}

TEST(Message, AttachmentKeepsItsBytesNameAndType) {
  testing::TempDir dir;
  std::string bytes;
  for (int i = 0; i < 5000; ++i) bytes += static_cast<char>((i * 7919) & 0xFF);
  struct Case {
    std::string name, type;
  };
  for (const Case& k : {Case{"Rechnung 12.pdf", "application/pdf"},
                        Case{"SCAN.PDF", "application/pdf"},
                        Case{"daten.bin", "application/octet-stream"},
                        Case{"ohne", "application/octet-stream"},
                        Case{"B\xC3\xA4r.pdf", "application/pdf"}}) {
    std::ofstream(dir / k.name, std::ios::binary) << bytes;
    MailContent c = sample();
    c.attachment = dir / k.name;
    c.attachment_name = k.name;
    const auto m = testing::parse_mail(build_message(c).data);
    ASSERT_EQ(m.parts.size(), 2u) << k.name;
    EXPECT_EQ(m.parts[0].content_type, "text/plain");
    EXPECT_EQ(m.parts[1].content_type, k.type) << k.name;
    EXPECT_EQ(m.parts[1].file_name, k.name);
    EXPECT_EQ(m.parts[1].disposition, "attachment");
    EXPECT_EQ(m.parts[1].encoding, "base64");
    EXPECT_EQ(m.parts[1].bytes, bytes) << k.name;
  }
}

TEST(Message, MissingAttachmentIsAnError) {
  testing::TempDir dir;
  MailContent c = sample();
  c.attachment = dir / "fehlt.pdf";
  c.attachment_name = "fehlt.pdf";
  EXPECT_THROW(build_message(c), MessageError);
  c.attachment = dir.path();
  EXPECT_THROW(build_message(c), MessageError);
}

TEST(EnvelopeAddress, TakesTheBareAddress) {
  EXPECT_EQ(envelope_address("info@firma.de"), "info@firma.de");
  EXPECT_EQ(envelope_address("Firma M\xC3\xBCller <info@firma.de>"), "info@firma.de");
  EXPECT_EQ(envelope_address("  a@b  "), "a@b");
  EXPECT_EQ(envelope_address("Firma M\\xfcller (x <info@firma.de>"), "info@firma.de");
}

}  // namespace
}  // namespace cmail
