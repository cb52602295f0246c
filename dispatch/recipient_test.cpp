#include "dispatch/recipient.h"

#include <gtest/gtest.h>

#include "dispatch/send_test_world.h"

namespace orvex::dispatch {
namespace {

using testing::Order;
using testing::World;
using testing::write_bytes;
using testing::write_order_table;
namespace fs = std::filesystem;

TEST(OrderKey, ReadsTheLeadingNumberRightAlignedInSix) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"004711", "  4711"}, {"chnung", "     0"}, {"12ab34", "    12"}, {"", "     0"},
      {"000000", "     0"}, {"123456", "123456"}, {" 47110", " 47110"},
  };
  for (const auto& [order, key] : cases) EXPECT_EQ(order_key(order), key) << order;
}

TEST(LookupKeyword, IsAnyPartOfTheKeywordTextButNeverEmpty) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"email", true}, {"e-mail", true}, {"notiz", true}, {"notizfeld", true}, {"mail", true},
      {"", false},     {"kunde@example.com", false},     {"emails", false},
  };
  for (const auto& [adr, expected] : cases) EXPECT_EQ(is_lookup_keyword(adr), expected) << adr;
}

TEST(NotesAddress, FollowsTheMarkersAsWrittenInTheNotes) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Anruf am Montag\r\nE-Mail: Max.Muster@Example.com   ", "Max.Muster@Example.com"},
      {"EMAIL:a@b.de\r\nRückruf erbeten", "a@b.de"},
      {"e-mail: erst@x.de\r\nemail: zweit@x.de\r\n", "zweit@x.de"},
      {"nur Text\r\nohne Adresse", ""},
      {"email:\r\nx@y.de", ""},
      {"Email: lf@x.de\nnächste Zeile", "lf@x.de"},
  };
  for (const auto& [notes, expected] : cases) EXPECT_EQ(notes_address(notes), expected) << notes;
}

class OrderLookup : public ::testing::Test {
 protected:
  World w;
  void SetUp() override {
    write_order_table(w.work, {{4711, "  Kunde@Example.com  ", "Bemerkung\r\ne-Mail:  Notiz@Example.com "},
                               {4712, "", "keine Adresse hier"},
                               {12, "zwoelf@example.com", ""}});
  }
};

TEST_F(OrderLookup, FindsTheFieldTheKeywordSelects) {
  struct Case {
    const char* keyword;
    const char* order;
    const char* address;
  };
  for (const Case& c : std::vector<Case>{{"e-mail", "004711", "Kunde@Example.com"},
                                         {"email", "004711", "Kunde@Example.com"},
                                         {"notizfeld", "004711", "Notiz@Example.com"},
                                         {"notiz", "004711", "Notiz@Example.com"},
                                         {"email", "000012", "zwoelf@example.com"}}) {
    SCOPED_TRACE(std::string(c.keyword) + " " + c.order);
    const auto found = lookup_recipient(c.keyword, c.order);
    EXPECT_TRUE(found.ok()) << found.error;
    EXPECT_EQ(found.address, c.address);
  }
}

TEST_F(OrderLookup, NothingUsableGivesAReasonAndNoAddress) {
  struct Case {
    const char* keyword;
    const char* order;
    const char* reason_part;
  };
  for (const Case& c : std::vector<Case>{{"email", "004713", "Auftrag 4713"},
                                         {"email", "chnung", "Auftrag 0"},
                                         {"email", "004712", "ansp_ktoi"},
                                         {"notiz", "004712", "Notizfeld"}}) {
    SCOPED_TRACE(std::string(c.keyword) + " " + c.order);
    const auto found = lookup_recipient(c.keyword, c.order);
    EXPECT_FALSE(found.ok());
    EXPECT_EQ(found.address, "");
    EXPECT_NE(found.error.find(c.reason_part), std::string::npos) << found.error;
  }
}

TEST_F(OrderLookup, TableAndIndexAreFoundWithoutRegardToCase) {
  fs::rename(w.work / "best.dbf", w.work / "BEST.DBF");
  fs::rename(w.work / "xauftrnr.ntx", w.work / "XAuftrNr.NTX");
  EXPECT_EQ(lookup_recipient("email", "004711").address, "Kunde@Example.com");
}

TEST_F(OrderLookup, MissingOrDamagedFilesGiveAReasonNotAnException) {
  struct Case {
    const char* what;
    std::function<void()> spoil;
    const char* reason_part;
  };
  const std::vector<Case> cases = {
      {"no table", [&] { fs::remove(w.work / "best.dbf"); }, "best.dbf"},
      {"no index", [&] { fs::remove(w.work / "xauftrnr.ntx"); }, "xauftrnr.ntx"},
      {"damaged table", [&] { write_bytes(w.work / "best.dbf", "kaputt"); }, "best"},
      {"damaged index", [&] { write_bytes(w.work / "xauftrnr.ntx", std::string(100, 'x')); }, "best"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& e : fs::directory_iterator(w.work)) fs::remove(e.path());
    write_order_table(w.work, {{4711, "kunde@example.com", ""}});
    c.spoil();
    Lookup found;
    EXPECT_NO_THROW(found = lookup_recipient("email", "004711"));
    EXPECT_FALSE(found.ok());
    EXPECT_NE(found.error.find(c.reason_part), std::string::npos) << found.error;
  }
}

TEST_F(OrderLookup, LeavesTheTableOpenForOthersAndUnchanged) {
  const auto before = testing::read_bytes(w.work / "best.dbf");
  // The business software holds it open shared meanwhile.
  auto other = table::Dbf::open(w.work / "best.dbf", table::OpenMode::Shared);
  ASSERT_TRUE(other);
  EXPECT_EQ(lookup_recipient("email", "004711").address, "Kunde@Example.com");
  other.reset();
  EXPECT_EQ(testing::read_bytes(w.work / "best.dbf"), before);
  // Closed again: an exclusive open succeeds.
  EXPECT_TRUE(table::Dbf::open(w.work / "best.dbf", table::OpenMode::Exclusive));
}

}  // namespace
}  // namespace orvex::dispatch
