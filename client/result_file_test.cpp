#include "result_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "testing/temp_dir.h"

namespace cmail {
namespace {

std::string read(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

MailResult sample(bool accepted) {
  MailResult r;
  r.accepted = accepted;
  r.reason = accepted ? "accepted: 250 OK" : "recipient refused: a@b: 550 no such user";
  r.server = "smtp.example:587";
  r.recipients = {{"a@b", accepted, accepted ? 250 : 550, accepted ? "OK" : "no such user"}};
  return r;
}

// The dispatcher searches for these exact characters: one blank after the colon.
TEST(ResultFile, HoldsTheExactStatusTextTheDispatcherLooksFor) {
  testing::TempDir dir;
  for (const bool accepted : {true, false}) {
    const auto path = dir / (accepted ? "ok.result" : "bad.result");
    write_result_file(path, sample(accepted));
    const std::string text = read(path);
    const std::string wanted = accepted ? "\"status\": \"accepted\"" : "\"status\": \"failure\"";
    const std::string other = accepted ? "\"status\": \"failure\"" : "\"status\": \"accepted\"";
    EXPECT_NE(text.find(wanted), std::string::npos) << text;
    // Recipient entries carry a status too; it must never contradict the overall one.
    EXPECT_EQ(text.find(other), std::string::npos) << text;
  }
}

TEST(ResultFile, IsJsonWithReasonAndRecipients) {
  testing::TempDir dir;
  MailResult r = sample(false);
  r.text = "bad \xFF byte from server";
  write_result_file(dir / "x.result", r);
  const auto j = nlohmann::json::parse(read(dir / "x.result"));
  EXPECT_EQ(j["status"], "failure");
  EXPECT_EQ(j["reason"], "recipient refused: a@b: 550 no such user");
  EXPECT_EQ(j["server"], "smtp.example:587");
  ASSERT_EQ(j["recipients"].size(), 1u);
  EXPECT_EQ(j["recipients"][0]["address"], "a@b");
  EXPECT_EQ(j["recipients"][0]["status"], "failure");
  EXPECT_EQ(j["recipients"][0]["code"], 550);
  EXPECT_EQ(j["recipients"][0]["text"], "no such user");
  EXPECT_EQ(j["text"], "bad \xEF\xBF\xBD byte from server");
}

TEST(ResultFile, ReplacesAnOldFileAndLeavesNoTemporaryBehind) {
  testing::TempDir dir;
  std::ofstream(dir / "12_a.result") << "old contents, neither status";
  write_result_file(dir / "12_a.result", sample(true));
  EXPECT_NE(read(dir / "12_a.result").find("\"status\": \"accepted\""), std::string::npos);
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    ++files;
    EXPECT_EQ(e.path().filename(), "12_a.result");
  }
  EXPECT_EQ(files, 1);
}

TEST(ResultFile, MissingFolderIsAnError) {
  testing::TempDir dir;
  EXPECT_THROW(write_result_file(dir / "no/such/folder/x.result", sample(true)), std::system_error);
}

}  // namespace
}  // namespace cmail
