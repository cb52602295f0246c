#include "arguments.h"

#include <gtest/gtest.h>

namespace cmail {
namespace {

using Args = std::vector<std::string>;

TEST(ParseServer, SplitsAtTheLastAtAndTheFirstColon) {
  struct Case {
    std::string text, user, password, host;
    int port;
  };
  const Case cases[] = {
      {"u:p@smtp.example.de:587", "u", "p", "smtp.example.de", 587},
      {"info@firma.de:geh:eim@smtp.firma.de:25", "info@firma.de", "geh:eim", "smtp.firma.de", 25},
      {"u:p@ss:w@rd@10.0.0.1:2525", "u", "p@ss:w@rd", "10.0.0.1", 2525},
      {"::@host:25", "", ":", "host", 25},
      {":@host:25", "", "", "host", 25},
      {"host.only:465", "", "", "host.only", 465},
      {"u:p@host", "u", "p", "host", 25},
      {"u:p@[::1]:2525", "u", "p", "::1", 2525},
      {"u:p\xFC@h:1", "u", "p\xC3\xBC", "h", 1},
  };
  for (const auto& c : cases) {
    const Server s = parse_server(c.text);
    EXPECT_EQ(s.user, c.user) << c.text;
    EXPECT_EQ(s.password, c.password) << c.text;
    EXPECT_EQ(s.host, c.host) << c.text;
    EXPECT_EQ(s.port, c.port) << c.text;
  }
}

TEST(ParseCommandLine, TakesTheDispatchersJobMailLine) {
  const Args args = {"-host:info@firma.de:ge:h@im@smtp.firma.de:587",
                     "-starttls",
                     "-to:kunde@example.com",
                     "-from:info@firma.de",
                     "-reply-to:buero@firma.de",
                     "-subject:Formular f\xFCr Sterbefall",
                     "-body:Sehr geehrte Damen,\r\nanbei.\r\n",
                     "-a:C:\\XARV\\CMail\\Anhang\\12.pdf",
                     "-dsn:SFD",
                     "-mdn",
                     "-results:C:\\XARV\\CMail\\Ausgang\\12_a.result"};
  const auto parsed = parse_command_line(args);
  ASSERT_TRUE(parsed.arguments) << parsed.error;
  const Arguments& a = *parsed.arguments;
  EXPECT_EQ(a.server.user, "info@firma.de");
  EXPECT_EQ(a.server.password, "ge:h@im");
  EXPECT_EQ(a.server.host, "smtp.firma.de");
  EXPECT_EQ(a.server.port, 587);
  EXPECT_TRUE(a.starttls);
  EXPECT_EQ(a.to, Args{"kunde@example.com"});
  EXPECT_EQ(a.from, "info@firma.de");
  EXPECT_EQ(a.reply_to, "buero@firma.de");
  EXPECT_EQ(a.subject, "Formular f\xC3\xBCr Sterbefall");
  EXPECT_EQ(a.body, "Sehr geehrte Damen,\r\nanbei.\r\n");
  EXPECT_EQ(a.attachment, "C:\\XARV\\CMail\\Anhang\\12.pdf");
  EXPECT_TRUE(a.dsn.success && a.dsn.failure && a.dsn.delay);
  EXPECT_TRUE(a.mdn);
  EXPECT_EQ(a.results, "C:\\XARV\\CMail\\Ausgang\\12_a.result");
  EXPECT_EQ(parsed.results, a.results);
}

TEST(ParseCommandLine, RemovesOnePairOfDoubleQuotesAroundValuesOrOptions) {
  struct Case {
    std::string arg;
    std::string Arguments::*field;
    std::string expected;
  };
  const Case cases[] = {
      {"\"-subject:Betreff\"", &Arguments::subject, "Betreff"},
      {"-subject:\"Betreff\"", &Arguments::subject, "Betreff"},
      {"-subject:\"\"Betreff\"\"", &Arguments::subject, "\"Betreff\""},
      {"-subject:Er sagte \"ja\"", &Arguments::subject, "Er sagte \"ja\""},
      {"-subject:\"halb", &Arguments::subject, "\"halb"},
      {"-body:\"Zeile 1\r\nZeile 2\"", &Arguments::body, "Zeile 1\r\nZeile 2"},
      {"\"-results:Fehlermail.result\"", &Arguments::results, "Fehlermail.result"},
      {"-results:\"Fehlermail.result\"", &Arguments::results, "Fehlermail.result"},
      {"-a:\"C:\\a b\\c.pdf\"", &Arguments::attachment, "C:\\a b\\c.pdf"},
      {"-a:", &Arguments::attachment, ""},
      {"-a:\"\"", &Arguments::attachment, ""},
  };
  for (const auto& c : cases) {
    const auto parsed = parse_command_line({"-host:h:1", "-to:a@b", "-from:c@d", c.arg});
    ASSERT_TRUE(parsed.arguments) << c.arg << ": " << parsed.error;
    EXPECT_EQ((*parsed.arguments).*c.field, c.expected) << c.arg;
  }
}

TEST(ParseCommandLine, OptionalSettingsAndSeveralRecipients) {
  const auto parsed = parse_command_line({"-host:h:1", "-to:a@b, c@d;e@f", "-to:g@h", "-from:x@y",
                                          "-cafile:/etc/ca.pem", "-insecure", "-timeout:7.5",
                                          "-v", "-DSN:f"});
  ASSERT_TRUE(parsed.arguments) << parsed.error;
  const Arguments& a = *parsed.arguments;
  EXPECT_EQ(a.to, (Args{"a@b", "c@d", "e@f", "g@h"}));
  EXPECT_EQ(a.cafile, "/etc/ca.pem");
  EXPECT_TRUE(a.insecure);
  EXPECT_EQ(a.timeout_seconds, 7.5);
  EXPECT_TRUE(a.verbose);
  EXPECT_TRUE(a.dsn.failure);
  EXPECT_FALSE(a.dsn.success || a.dsn.delay);
  EXPECT_FALSE(a.starttls || a.mdn);
}

TEST(ParseCommandLine, MalformedLinesNameTheProblemAndKeepTheResultPath) {
  struct Case {
    Args args;
    std::string error_part;
  };
  const Case cases[] = {
      {{"-host:h:25", "-to:a@b", "-from:c@d", "-unknown:x"}, "unknown option \"-unknown:x\""},
      {{"-host:h:25", "-to:a@b", "-from:c@d", "stray"}, "unknown option \"stray\""},
      {{"-to:a@b", "-from:c@d"}, "missing -host"},
      {{"-host:h:25", "-from:c@d"}, "missing -to"},
      {{"-host:h:25", "-to:", "-from:c@d"}, "missing -to"},
      {{"-host:h:25", "-to:a@b"}, "missing -from"},
      {{"-host:u:p@h:", "-to:a@b", "-from:c@d"}, "bad port"},
      {{"-host:u:p@h:abc", "-to:a@b", "-from:c@d"}, "bad port"},
      {{"-host:u:p@h:70000", "-to:a@b", "-from:c@d"}, "bad port"},
      {{"-host:u:p@h:0", "-to:a@b", "-from:c@d"}, "bad port"},
      {{"-host:u:p@:25", "-to:a@b", "-from:c@d"}, "missing host"},
      {{"-host:h:25", "-to:a@b", "-from:c@d", "-dsn:SX"}, "bad -dsn"},
      {{"-host:h:25", "-to:a@b", "-from:c@d", "-timeout:0"}, "bad -timeout"},
      {{"-host:h:25", "-to:a@b", "-from:c@d", "-starttls:yes"}, "takes no value"},
      {{"-host:h:25", "-to:a@b", "-from:c@d", "-subject"}, "needs a value"},
  };
  for (const auto& c : cases) {
    Args args = c.args;
    args.push_back("-results:\"/tmp/x.result\"");
    const auto parsed = parse_command_line(args);
    EXPECT_FALSE(parsed.arguments) << c.error_part;
    EXPECT_NE(parsed.error.find(c.error_part), std::string::npos)
        << "expected \"" << c.error_part << "\" in \"" << parsed.error << "\"";
    EXPECT_EQ(parsed.results, "/tmp/x.result") << c.error_part;
  }
}

TEST(ParseCommandLine, HelpNeedsNothingElse) {
  for (const char* h : {"--help", "-help", "-h", "-?"}) {
    const auto parsed = parse_command_line({h});
    ASSERT_TRUE(parsed.arguments) << h;
    EXPECT_TRUE(parsed.arguments->help) << h;
  }
  const std::string help = help_text();
  for (const char* option : {"-host:", "-starttls", "-to:", "-from:", "-reply-to:", "-subject:",
                             "-body:", "-a:", "-dsn:", "-mdn", "-results:", "-cafile:", "-insecure",
                             "-timeout:", "-v", "cmail.conf", "CMAIL_CAFILE", "CMAIL_TIMEOUT",
                             "CMAIL_VERBOSE", "ORVEX_DRIVES"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace cmail
