#pragma once
// For the end-to-end tests: a data root on disk, the real orvex-mail and cmail executables,
// the real test SMTP server, and the results read back from the folders and the log table.
#include <sys/types.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/demo_data.h"
#include "testing/temp_dir.h"
#include "testing/test_server.h"

namespace orvex::e2e {

std::filesystem::path orvex_mail_program();
std::filesystem::path cmail_program();

struct RunResult {
  int exit_code = -1;  // -1: ended by a signal
  std::string output;  // stdout and stderr together
};

// A data root in a fresh folder; the dispatcher runs in layout.work.
class Root {
 public:
  Root();
  const demo::Layout& layout() const { return layout_; }
  std::filesystem::path cmail_dir() const;  // C:\XARV\CMail
  std::filesystem::path outbox() const;
  std::filesystem::path log_table() const;

  // Installs the real cmail as CMail\cmail.exe, trusting the test CA.
  void install_cmail() const;
  // Installs a shell script as CMail\cmail.exe.
  void install_script(const std::string& body) const;

  std::vector<std::string> orvex_args(std::vector<std::string> extra) const;  // --drive C=.. T=..
  // Runs orvex-mail --headless --pace 0 with the drives mapped, in the working folder, to its end.
  RunResult run(std::vector<std::string> extra = {"--once"}) const;
  // Starts it without waiting; stdout and stderr go to output_file.
  pid_t start(std::vector<std::string> extra, const std::filesystem::path& output_file) const;

  // Every job file (*.ausg) below CMail with its folder relative to CMail ("Ausgang",
  // "Ausgang/failure", "gesendet/004711/Sterbefall", "Ausgang/Archiv" ...), by name.
  std::map<std::string, std::vector<std::string>> job_places() const;

  // The log table's records read with dbfread, fields joined by "|" and trimmed.
  std::vector<std::string> log_rows() const;

 private:
  cmail::testing::TempDir dir_;
  demo::Layout layout_;
};

// The test server with STARTTLS, AUTH demo:geheim and DSN, rejecting the given addresses.
std::unique_ptr<cmail::testing::TestServer> start_server(std::vector<std::string> reject = {});

// A received message: envelope recipients, subject and decoded text body.
struct Received {
  std::vector<std::string> rcpt_tos;
  std::string subject, body;
  std::vector<std::string> attachments;
};
std::vector<Received> received(const cmail::testing::TestServer& server);
// The error mails leave after orvex-mail has ended (the client runs on by itself): waits until
// the server holds at least count messages, at most a minute, then reads them all.
std::vector<Received> received_at_least(const cmail::testing::TestServer& server, int count);

std::string read_text(const std::filesystem::path& file);

}  // namespace orvex::e2e
