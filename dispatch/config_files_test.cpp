#include "dispatch/config_files.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/files/drives.h"

namespace orvex::dispatch {
namespace {

namespace fs = std::filesystem;

class ConnectionFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/orvex-conn-XXXXXX";
    dir_ = mkdtemp(tmpl);
    files::set_drive('C', dir_);
    fs::create_directories(dir_ / "XARV" / "CMail");
  }
  void TearDown() override {
    files::clear_drives();
    fs::remove_all(dir_);
  }
  void write(const std::string& bytes) {
    std::ofstream(dir_ / "XARV" / "CMail" / "Verbindung.dat", std::ios::binary) << bytes;
  }
  std::string error() {
    auto r = read_connection(kRoot);
    return std::holds_alternative<std::string>(r) ? std::get<std::string>(r) : "";
  }
  const std::string kRoot = "C:\\XARV\\";
  fs::path dir_;
};

TEST_F(ConnectionFile, LineEndsAndTrailingBlanks) {
  const std::vector<std::string> want{"smtp.example.de", "user", "geh eim", "587", "von@x.de",
                                      "zurueck@x.de"};
  for (const std::string text :
       {"smtp.example.de\r\nuser\r\ngeh eim  \r\n587\r\nvon@x.de\r\nzurueck@x.de\r\n",
        "smtp.example.de\nuser\ngeh eim  \n587\nvon@x.de\nzurueck@x.de",
        "smtp.example.de\r\nuser\ngeh eim\r\n587 \nvon@x.de\r\nzurueck@x.de\r\nExtrazeile\r\n"}) {
    write(text);
    auto r = read_connection(kRoot);
    ASSERT_TRUE(std::holds_alternative<Connection>(r)) << std::get<std::string>(r);
    const Connection& c = std::get<Connection>(r);
    EXPECT_EQ(c.aLines(), want);
    EXPECT_EQ(c.cSend_Port, "587");
    EXPECT_EQ(c.cSend_Back, "zurueck@x.de");
  }
}

TEST_F(ConnectionFile, PasswordInWindows1252) {
  write("h\r\nu\r\nGeb\xE4ude\r\n25\r\nf@x.de\r\nb@x.de\r\n");
  auto r = read_connection(kRoot);
  ASSERT_TRUE(std::holds_alternative<Connection>(r));
  EXPECT_EQ(std::get<Connection>(r).cSend_PW, "Geb\xC3\xA4ude");
}

TEST_F(ConnectionFile, LongLineWrapsAt80AndShiftsThePort) {
  // A value longer than 80 characters takes two memo lines: the port is then line 5's text.
  write(std::string(100, 'h') + "\r\nu\r\np\r\n25\r\nf@x.de\r\nb@x.de\r\n");
  auto r = read_connection(kRoot);
  ASSERT_TRUE(std::holds_alternative<std::string>(r));
  EXPECT_NE(std::get<std::string>(r).find("Port"), std::string::npos);

  write(std::string(100, 'h') + "\r\np\r\n25\r\nf@x.de\r\nb@x.de\r\n");
  r = read_connection(kRoot);
  ASSERT_TRUE(std::holds_alternative<Connection>(r));
  EXPECT_EQ(std::get<Connection>(r).cSend_Host, std::string(80, 'h'));
  EXPECT_EQ(std::get<Connection>(r).cSend_User, std::string(20, 'h'));
  EXPECT_EQ(std::get<Connection>(r).cSend_Port, "25");
}

TEST_F(ConnectionFile, ProblemsNameFileAndCause) {
  struct Case {
    std::string text, cause;
  } cases[] = {
      {"h\r\nu\r\np\r\n25\r\nf@x.de\r\n", "5 Zeilen"},
      {"", "0 Zeilen"},
      {"h\r\nu\r\np\r\nfünfundzwanzig\r\nf@x.de\r\nb@x.de\r\n", "Port"},
      {"h\r\nu\r\np\r\n\r\nf@x.de\r\nb@x.de\r\n", "Port"},
      {"h\r\nu\r\np\r\n70000\r\nf@x.de\r\nb@x.de\r\n", "Port"},
      {"h\r\nu\r\np\r\n-25\r\nf@x.de\r\nb@x.de\r\n", "Port"},
  };
  for (const Case& c : cases) {
    write(c.text);
    const std::string e = error();
    EXPECT_NE(e.find("C:\\XARV\\CMail\\Verbindung.dat"), std::string::npos) << c.text;
    EXPECT_NE(e.find(c.cause), std::string::npos) << e;
  }
  fs::remove(dir_ / "XARV" / "CMail" / "Verbindung.dat");
  const std::string e = error();
  EXPECT_NE(e.find("C:\\XARV\\CMail\\Verbindung.dat"), std::string::npos);
  EXPECT_NE(e.find("fehlt"), std::string::npos) << e;
}

TEST(Whitelist, WholeEntriesWithoutRegardToCase) {
  const std::string list = "xa@b.de,\r\nKunde@Firma.DE,\r\nc@d.de;e@f.de g@h.de\n\tm\xFC@x.de";
  struct Case {
    std::string recipient;
    bool allowed;
  } cases[] = {
      {"xa@b.de", true},
      {"a@b.de", false},  // only a longer address ends with it
      {"b.de", false},
      {"kunde@firma.de", true},
      {"KUNDE@FIRMA.DE", true},
      {"c@d.de", true},
      {"e@f.de", true},
      {"g@h.de", true},
      {"m\xFC@x.de", true},
      {"M\xFC@X.DE", true},
      {"c@d.de;e@f.de", false},
      {"", false},
      {",", false},
  };
  for (const Case& c : cases) EXPECT_EQ(whitelisted(list, c.recipient), c.allowed) << c.recipient;
  EXPECT_FALSE(whitelisted("", ""));
  EXPECT_FALSE(whitelisted("", "a@b.de"));
  EXPECT_FALSE(whitelisted("\r\n,\r\n", ""));
}

}  // namespace
}  // namespace orvex::dispatch
