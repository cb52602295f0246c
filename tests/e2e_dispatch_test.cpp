// One dispatch round through the real orvex-mail, the real cmail and the real test server.
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e_support.h"
#include "platform/text/codepage.h"

namespace orvex::e2e {
namespace {

namespace fs = std::filesystem;
using Places = std::vector<std::string>;

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const Received* mail_to(const std::vector<Received>& mails, const std::string& rcpt) {
  for (const auto& m : mails)
    if (std::find(m.rcpt_tos.begin(), m.rcpt_tos.end(), rcpt) != m.rcpt_tos.end()) return &m;
  return nullptr;
}

demo::Server server_settings(int port) {
  demo::Server s;
  s.port = port;
  return s;
}

TEST(EndToEnd, DemoJobsTakeEveryRoad) {
  auto server = start_server({"abgelehnt@example.org"});
  Root root;
  demo::make_demo(root.layout(), server_settings(server->port()));
  root.install_cmail();

  const RunResult run = root.run();
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_TRUE(has(run.output, "alle Sendungen bearbeitet!")) << run.output;

  const auto places = root.job_places();
  const std::map<std::string, Places> expected = {
      {"Sterbefall_2024-05-17_004711_1.ausg", {"gesendet/004711/Sterbefall"}},
      {"Sterbefall_2024-05-17_004712_1.ausg", {"gesendet/004712/Sterbefall"}},
      {"Vorsorge_2024-05-17_004713_1.ausg", {"gesendet/004713/Vorsorge"}},
      {"Rechnung_2024-05-17_004714_1.ausg", {"Ausgang/Archiv"}},
      {"Rechnung_2024-05-17_004714_1-1.ausg", {"gesendet/004714/Rechnung"}},
      {"Rechnung_2024-05-17_004714_1-2.ausg", {"gesendet/004714/Rechnung"}},
      {"Sterbefall_2024-05-17_004715_1.ausg", {"Ausgang/quarantine"}},
      {"Sterbefall_2024-05-17_004716_1.ausg", {"Ausgang/failure"}},
      {"Auftrag_2024-05-18_004717_1.ausg", {"gesendet/004717/Auftrag"}},
  };
  EXPECT_EQ(places, expected);
  const fs::path sent = root.cmail_dir() / "gesendet" / "004711" / "Sterbefall";
  EXPECT_TRUE(fs::exists(sent / "Sterbefall_2024-05-17_004711_1.result"));
  EXPECT_EQ(read_text(sent / "Sterbefall_2024-05-17_004711_1.pdf").substr(0, 5), "%PDF-");
  EXPECT_TRUE(fs::exists(root.outbox() / "failure" / "Sterbefall_2024-05-17_004716_1.result"));

  // The log: one record per outcome, with the address as finally used after the lookup.
  auto rows = root.log_rows();
  for (auto& r : rows) r = r.substr(0, r.find('|', r.find('|') + 1)) + "|" + r.substr(r.rfind('|') + 1);
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "004711|M|anna.berger@example.org", "004712|M|bernd.keller@example.org",
                      "004713|M|Carla.Huber@example.org", "004714|M|dora.lang@example.org",
                      "004714|M|emil.wolf@example.org", "004715|Q|fremd@example.com",
                      "004716|F|abgelehnt@example.org", "004717|M|felix.roth@example.org"}));

  const auto mails = received_at_least(*server, 7);
  for (const char* to : {"anna.berger@example.org", "bernd.keller@example.org", "Carla.Huber@example.org",
                         "dora.lang@example.org", "emil.wolf@example.org", "felix.roth@example.org"})
    EXPECT_NE(mail_to(mails, to), nullptr) << to;
  EXPECT_EQ(mail_to(mails, "fremd@example.com"), nullptr);
  const Received* anna = mail_to(mails, "anna.berger@example.org");
  ASSERT_NE(anna, nullptr);
  EXPECT_EQ(anna->subject, "Sterbefall 004711");
  EXPECT_TRUE(has(anna->body, "Mit freundlichen Grüßen")) << anna->body;
  EXPECT_EQ(anna->attachments.size(), 1u);
  const Received* felix = mail_to(mails, "felix.roth@example.org");
  ASSERT_NE(felix, nullptr);
  EXPECT_EQ(felix->subject, "Formular für Sterbefall");  // a job with only an address

  // The error report to the postmaster carries the whole closing report.
  const Received* report = mail_to(mails, "postmaster@orvex-mail.de");
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(report->subject, "F E H L E R - Meldung von Brevor");
  for (const char* part : {"A C H T U N G :", "Beim Senden einer Mail sind folgende nicht automatisch "
                                              "korrigierbare Fehler passiert!",
                           "Abschluss-Meldung um", "alle Sendungen bearbeitet!", "ABER:",
                           "Fehlerdateien im Failure-Ordner.", "Fehlerdateien im Quarantine-Ordner.",
                           "Sterbefall_2024-05-17_004716_1.ausg - Fehler",
                           "Sterbefall_2024-05-17_004715_1.ausg - Adresse?"})
    EXPECT_TRUE(has(report->body, part)) << part << "\n" << report->body;
}

TEST(EndToEnd, MarkGoesToTheFirstOccurrenceOfTheName) {
  auto server = start_server();
  Root root;
  demo::make_root(root.layout(), server_settings(server->port()), {"a@example.org"}, {});
  demo::write_job(root.layout(), "11_a.ausg", "a@example.org|||eins|||Text|||" + demo::form_pdf_winpath());
  demo::write_job(root.layout(), "1_a.ausg", "a@example.org|||zwei|||Text|||" + demo::form_pdf_winpath());
  root.install_cmail();

  const RunResult run = root.run();
  EXPECT_EQ(run.exit_code, 0) << run.output;
  // 11_a.ausg is listed first; the mark for 1_a.ausg lands inside its line.
  EXPECT_TRUE(has(run.output, "11_a.ausg - erledigt! - erledigt!")) << run.output;
  EXPECT_EQ(root.log_rows().size(), 2u);
  EXPECT_EQ(received(*server).size(), 2u);
}

TEST(EndToEnd, ResultWithNeitherStatusLeavesTheJobForTheNextRound) {
  Root root;
  demo::make_root(root.layout(), server_settings(1), {"a@example.org"}, {});
  demo::write_job(root.layout(), "Brief_2024-05-17_004711_1.ausg", "a@example.org|||Betreff|||Text");
  root.install_script(R"(for a in "$@"; do
  case $a in -results:*) printf '{"status": "deferred"}' > "${a#-results:}" ;; esac
done)");

  const RunResult run = root.run();
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(root.job_places(), (std::map<std::string, Places>{{"Brief_2024-05-17_004711_1.ausg", {"Ausgang"}}}));
  EXPECT_TRUE(fs::exists(root.outbox() / "Brief_2024-05-17_004711_1.result"));
  EXPECT_TRUE(root.log_rows().empty());
  EXPECT_FALSE(has(run.output, "erledigt!"));
}

TEST(EndToEnd, NoResultFileStopsTheRoundAndTellsThePostmaster) {
  auto server = start_server();
  Root root;
  demo::make_root(root.layout(), server_settings(server->port()), {"a@example.org"}, {});
  demo::write_job(root.layout(), "Brief_2024-05-17_004711_1.ausg", "a@example.org|||Betreff|||Text");
  demo::write_job(root.layout(), "Brief_2024-05-17_004712_1.ausg", "a@example.org|||Betreff|||Text");
  root.install_cmail();
  // Job mails get no answer; the error mail goes through the real client.
  fs::rename(root.cmail_dir() / "cmail.exe", root.cmail_dir() / "real-cmail");
  root.install_script("for a in \"$@\"; do [ \"$a\" = -results:Fehlermail.result ] && exec \"" +
                      (root.cmail_dir() / "real-cmail").string() + "\" \"$@\"; done\nexit 0");

  const RunResult run = root.run();
  EXPECT_EQ(run.exit_code, 1) << run.output;
  EXPECT_TRUE(has(run.output, "Keine Rückmeldung vom Mail-Server.")) << run.output;
  EXPECT_TRUE(has(run.output, "Probleme beim Senden!")) << run.output;
  EXPECT_FALSE(has(run.output, "alle Sendungen bearbeitet!"));
  // The pass stopped at the first job: both stay, nothing is logged.
  EXPECT_EQ(root.job_places().size(), 2u);
  for (const auto& [name, where] : root.job_places()) EXPECT_EQ(where, Places{"Ausgang"}) << name;
  EXPECT_TRUE(root.log_rows().empty());

  const auto mails = received_at_least(*server, 1);
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].rcpt_tos, Places{"postmaster@orvex-mail.de"});
  EXPECT_EQ(mails[0].subject, "F E H L E R - Meldung von CMail");
  EXPECT_TRUE(has(mails[0].body, "A C H T U N G :")) << mails[0].body;
  EXPECT_TRUE(has(mails[0].body, "Vermutlich:")) << mails[0].body;
  EXPECT_TRUE(has(mails[0].body, "Keine Rückmeldung vom Mail-Server.")) << mails[0].body;
}

}  // namespace
}  // namespace orvex::e2e
