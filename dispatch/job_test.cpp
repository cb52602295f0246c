#include "dispatch/job.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvex::dispatch {
namespace {

using Fields = std::vector<std::string>;

TEST(SplitFields, SeparatorRules) {
  struct Case {
    std::string text;
    Fields want;
  } cases[] = {
      {"", {}},
      {"a@b.de", {"a@b.de"}},
      {"a|||b|||c|||d", {"a", "b", "c", "d"}},
      {"a|||", {"a"}},                    // empty rest is no field
      {"a||||||", {"a", ""}},             // consecutive separators give empty fields
      {"a|||||||||", {"a", "", ""}},
      {"|||b", {"", "b"}},
      {"a||||b", {"a", "|b"}},            // the first "|||" wins
      {"a||b", {"a||b"}},
      {"a|||b\r\nc\r\n|||", {"a", "b\r\nc\r\n"}},
  };
  for (const Case& c : cases) EXPECT_EQ(split_fields(c.text), c.want) << c.text;
}

TEST(JobFields, DefaultsOnlyForMissingFields) {
  const std::string subj = "Formular f\xFCr Sterbefall";  // CP1252 bytes
  const std::string body = "Formular f\xFCr Sterbefall im Anhang";
  struct Case {
    std::string text;
    JobFields want;
  } cases[] = {
      {"a@b.de", {"a@b.de", subj, body, ""}},
      {"a@b.de\r\n", {"a@b.de\r\n", subj, body, ""}},  // fields are verbatim
      {"a@b.de|||", {"a@b.de", subj, body, ""}},
      {"a@b.de||||||", {"a@b.de", "", body, ""}},
      {"a@b.de|||||||||", {"a@b.de", "", "", ""}},
      {"a@b.de|||S|||B\r\nZeile 2\r\n|||C:\\x.pdf", {"a@b.de", "S", "B\r\nZeile 2\r\n", "C:\\x.pdf"}},
      {"a@b.de|||S|||B\nZeile 2|||C:\\x.pdf\n", {"a@b.de", "S", "B\nZeile 2", "C:\\x.pdf\n"}},
      {"a|||Gr\xFC\xDF" "e|||K\xF6ln \x80|||x|||zu viel", {"a", "Gr\xFC\xDF" "e", "K\xF6ln \x80", "x"}},
      {std::string("a\0b|||\x01\xFF", 8), {std::string("a\0b", 3), "\x01\xFF", body, ""}},
  };
  for (const Case& c : cases) {
    const std::optional<JobFields> j = job_fields(c.text);
    ASSERT_TRUE(j) << c.text;
    EXPECT_EQ(j->cMail_Adr, c.want.cMail_Adr) << c.text;
    EXPECT_EQ(j->cMail_Betr, c.want.cMail_Betr) << c.text;
    EXPECT_EQ(j->cMail_Body, c.want.cMail_Body) << c.text;
    EXPECT_EQ(j->cMail_Anhang, c.want.cMail_Anhang) << c.text;
  }
}

TEST(JobFields, EmptyJobHasNoRecipient) { EXPECT_FALSE(job_fields("")); }

TEST(JobFields, MegabyteBodyKeptWhole) {
  const std::string big(1 << 20, 'x');
  const std::optional<JobFields> j = job_fields("a@b.de|||S|||" + big + "|||C:\\a.pdf");
  ASSERT_TRUE(j);
  EXPECT_EQ(j->cMail_Body, big);
  EXPECT_EQ(j->cMail_Anhang, "C:\\a.pdf");
}

const std::string kRoot = "C:\\XARV\\";

TEST(DeriveNames, FormJob) {
  const auto n = derive_names(kRoot, "Sterbefall_2024-05-17_004711_1.ausg");
  ASSERT_TRUE(n);
  EXPECT_EQ(n->cMailForm, "Sterbefall");
  EXPECT_EQ(n->cMailFormular, "Sterbefall_2024-05-17_004711");
  EXPECT_EQ(n->cAuftrag, "004711");
  EXPECT_EQ(n->cMailAusName, "C:\\XARV\\CMail\\Ausgang\\Sterbefall_2024-05-17_004711_1.ausg");
  EXPECT_EQ(n->cMailResName, "C:\\XARV\\CMail\\Ausgang\\Sterbefall_2024-05-17_004711_1.result");
  EXPECT_EQ(n->cMailFailName, "C:\\XARV\\CMail\\Ausgang\\failure\\Sterbefall_2024-05-17_004711_1.ausg");
  EXPECT_EQ(n->cMailFailure, "C:\\XARV\\CMail\\Ausgang\\failure\\Sterbefall_2024-05-17_004711_1.result");
  EXPECT_EQ(n->cMailQuarName,
            "C:\\XARV\\CMail\\Ausgang\\quarantine\\Sterbefall_2024-05-17_004711_1.ausg");
  const std::string sent = "C:\\XARV\\CMail\\gesendet\\004711\\Sterbefall\\Sterbefall_2024-05-17_004711_1.";
  EXPECT_EQ(n->cMailGesendet, sent + "ausg");
  EXPECT_EQ(n->cMailResGesendet, sent + "result");
  EXPECT_EQ(n->cMailAnhGesendet, sent + "pdf");
}

TEST(DeriveNames, RulesApplyBlindly) {
  struct Case {
    std::string N, form, formular, order;
  } cases[] = {
      {"Rechnung_004711.ausg", "Rechnung", "Rechnung_004711.ausg", "chnung"},
      {"Sterbefall_2024-05-17_004711_1-2.ausg", "Sterbefall", "Sterbefall_2024-05-17_004711", "004711"},
      {"A_1_2.ausg", "A", "A_1_2.ausg", "A_1"},  // fewer than 6 characters before the last "_"
      // characters, not bytes: an umlaut in the form name
      {"\xC3\x9C" "berf\xC3\xBChrung_2024-05-17_004711_1.ausg", "\xC3\x9C" "berf\xC3\xBChrung",
       "\xC3\x9C" "berf\xC3\xBChrung_2024-05-17_004711", "004711"},
  };
  for (const Case& c : cases) {
    const auto n = derive_names(kRoot, c.N);
    ASSERT_TRUE(n) << c.N;
    EXPECT_EQ(n->cMailForm, c.form) << c.N;
    EXPECT_EQ(n->cMailFormular, c.formular) << c.N;
    EXPECT_EQ(n->cAuftrag, c.order) << c.N;
  }
}

TEST(DeriveNames, DataRootTakesNoPart) {
  for (const std::string root : {"C:\\ORVEX_DATEN\\", "C:\\Ausgang_2\\Ausgang\\"}) {
    const auto n = derive_names(root, "Sterbefall_2024-05-17_004711_1.ausg");
    ASSERT_TRUE(n) << root;
    EXPECT_EQ(n->cAuftrag, "004711");
    EXPECT_EQ(n->cMailForm, "Sterbefall");
    EXPECT_EQ(n->cMailResName, root + "CMail\\Ausgang\\Sterbefall_2024-05-17_004711_1.result");
    EXPECT_EQ(n->cMailGesendet,
              root + "CMail\\gesendet\\004711\\Sterbefall\\Sterbefall_2024-05-17_004711_1.ausg");
  }
}

TEST(DeriveNames, RefusesNamesThatEscapeOrCollide) {
  struct Case {
    std::string N, reason_part;
  } cases[] = {
      {"../x_1.ausg", "Pfadtrenner"},
      {"a/b_1.ausg", "Pfadtrenner"},
      {"a\\b_1.ausg", "Pfadtrenner"},
      {"a\x01_1.ausg", "Steuerzeichen"},
      {"a\x7F_1.ausg", "Steuerzeichen"},
      {"Form_004711_1.AUSG", "Kleinbuchstaben"},    // result file would be the job itself
      {"Form_004711_1.ausg.ausg", "vor der Endung"},  // result file would look like a job
      {"Rechnung.ausg", "kein \"_\""},
      {"_004711.ausg", "Auftragsnummer"},
      {"_a_1.ausg", "Formularname"},
      {".._1.ausg", "hinaus"},                       // order number and form ".."
  };
  for (const Case& c : cases) {
    std::string why;
    EXPECT_FALSE(derive_names(kRoot, c.N, &why)) << c.N;
    EXPECT_NE(why.find("abgelehnt"), std::string::npos) << why;
    EXPECT_NE(why.find(c.reason_part), std::string::npos) << why;
    EXPECT_EQ(why.find_first_of(std::string("\x01\x7F", 2)), std::string::npos) << "raw control char";
  }
  std::string why;
  derive_names(kRoot, "a/b_1.ausg", &why);
  EXPECT_EQ(why.rfind("Auftragsdatei \"a/b_1.ausg\" abgelehnt: ", 0), 0u) << why;
}

TEST(ResultStatus, FailureIsTestedFirst) {
  struct Case {
    std::string text;
    ResultStatus want;
  } cases[] = {
      {R"({"status": "accepted"})", ResultStatus::Accepted},
      {R"({"status": "failure"})", ResultStatus::Failure},
      {R"({"status": "accepted", "rcpt": {"status": "failure"}})", ResultStatus::Failure},
      {R"({"status":"accepted"})", ResultStatus::Neither},  // the blank belongs to the contract
      {R"({"Status": "accepted"})", ResultStatus::Neither},
      {"", ResultStatus::Neither},
  };
  for (const Case& c : cases) EXPECT_EQ(result_status(c.text), c.want) << c.text;
}

}  // namespace
}  // namespace orvex::dispatch
