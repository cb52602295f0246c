#include "config.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "testing/temp_dir.h"

namespace cmail {
namespace {

EnvLookup env_of(const std::map<std::string, std::string>& vars) {
  return [vars](const char* name) -> const char* {
    const auto it = vars.find(name);
    return it == vars.end() ? nullptr : it->second.c_str();
  };
}

TEST(Settings, DefaultsWithoutFileOrEnvironment) {
  std::vector<std::string> warnings;
  const Settings s = load_settings("/nonexistent/cmail.conf", env_of({}), warnings);
  EXPECT_EQ(s.cafile, "");
  EXPECT_EQ(s.timeout_seconds, 60);
  EXPECT_FALSE(s.verbose);
  EXPECT_FALSE(s.insecure);
  EXPECT_TRUE(warnings.empty());
}

TEST(Settings, FileThenEnvironmentThenCommandLine) {
  testing::TempDir dir;
  std::ofstream(dir / "cmail.conf") << "# settings\n"
                                       "cafile = /etc/file-ca.pem   # trailing comment\n"
                                       "TIMEOUT=12\n"
                                       "verbose = yes\n"
                                       "insecure = true\n"
                                       "\n"
                                       "colour = blue\n"
                                       "timeout = soon\n"
                                       "just words\n";
  std::vector<std::string> warnings;
  Settings s = load_settings(dir / "cmail.conf",
                             env_of({{"CMAIL_CAFILE", "/etc/env-ca.pem"}, {"CMAIL_VERBOSE", "0"}}),
                             warnings);
  EXPECT_EQ(s.cafile, "/etc/env-ca.pem");
  EXPECT_EQ(s.timeout_seconds, 12);
  EXPECT_FALSE(s.verbose);
  EXPECT_TRUE(s.insecure);
  ASSERT_EQ(warnings.size(), 3u);
  EXPECT_NE(warnings[0].find("cmail.conf:7: unknown key \"colour\""), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[1].find(":8: ignoring timeout"), std::string::npos) << warnings[1];
  EXPECT_NE(warnings[2].find(":9: expected key = value"), std::string::npos) << warnings[2];

  Arguments args;
  args.cafile = "/etc/cli-ca.pem";
  args.timeout_seconds = 3;
  args.verbose = true;
  apply_command_line(s, args);
  EXPECT_EQ(s.cafile, "/etc/cli-ca.pem");
  EXPECT_EQ(s.timeout_seconds, 3);
  EXPECT_TRUE(s.verbose);
}

TEST(Settings, BadEnvironmentValueIsReportedAndIgnored) {
  std::vector<std::string> warnings;
  const Settings s =
      load_settings("/nonexistent", env_of({{"CMAIL_TIMEOUT", "-5"}, {"CMAIL_VERBOSE", "perhaps"}}),
                    warnings);
  EXPECT_EQ(s.timeout_seconds, 60);
  EXPECT_FALSE(s.verbose);
  EXPECT_EQ(warnings.size(), 2u);
}

}  // namespace
}  // namespace cmail
