#include "platform/gui/boxes.h"

#include "platform/gui/test_support.h"

namespace orvex::gui {
namespace {

struct Headless : ::testing::Test {
  void SetUp() override { set_headless(true); }
  void TearDown() override {
    set_headless(false);
    set_box_answerer(nullptr);
  }
};

TEST_F(Headless, BoxesAnswerByPolicyAndPrintTheirText) {
  ::testing::internal::CaptureStdout();
  message_box("Fehler beim Senden!");
  const bool yes = confirm_box(nullptr, "Datei gesperrt", "Nochmal versuchen?");
  const int button = alert_box("Treiber DBFNTX fehlt", {"OK", "Abbruch"});
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_FALSE(yes);
  EXPECT_EQ(button, 1);
  EXPECT_NE(out.find("] Meldung: Fehler beim Senden!\n"), std::string::npos) << out;
  EXPECT_NE(out.find("] Ja/Nein \"Datei gesperrt\": Nochmal versuchen?\n"), std::string::npos) << out;
  EXPECT_NE(out.find("-> Nein"), std::string::npos) << out;
  EXPECT_EQ(out.substr(0, 1) + out.substr(9, 2), "[] ");  // "[hh:mm:ss] "
}

TEST_F(Headless, AnAnswererTakesPrecedence) {
  std::vector<BoxRequest> asked;
  set_box_answerer([&](const BoxRequest& r) {
    asked.push_back(r);
    return r.kind == BoxKind::Alert ? 2 : 1;
  });
  ::testing::internal::CaptureStdout();
  EXPECT_TRUE(confirm_box(nullptr, "Titel", "Frage?"));
  EXPECT_EQ(alert_box("a", {"OK", "Abbruch"}), 2);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].kind, BoxKind::Confirm);
  EXPECT_EQ(asked[0].title, "Titel");
  EXPECT_EQ(asked[0].text, "Frage?");
  EXPECT_EQ(asked[1].buttons, (std::vector<std::string>{"OK", "Abbruch"}));
}

}  // namespace
}  // namespace orvex::gui
