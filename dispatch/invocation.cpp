#include "dispatch/invocation.h"

#include <chrono>

#include "dispatch/folders.h"
#include "platform/files/drives.h"
#include "platform/files/files.h"
#include "platform/pace/pace.h"
#include "platform/text/codepage.h"

namespace orvex::dispatch {

namespace {

// The connection values are held as UTF-8 like every text in memory; the client gets 1252.
std::string b(const std::string& utf8) { return text::utf8_to_cp1252(utf8); }

std::string host_text(const Connection& c) {
  return "-host:" + c.cSend_User + ":" + c.cSend_PW + "@" + c.cSend_Host + ":" + c.cSend_Port;
}

std::string host_arg(const Connection& c) {
  return "-host:" + b(c.cSend_User) + ":" + b(c.cSend_PW) + "@" + b(c.cSend_Host) + ":" + b(c.cSend_Port);
}

}  // namespace

std::string job_mail_text(const Connection& c, const MailValues& m) {
  return host_text(c) + " -starttls -to:" + m.to + " -from:" + c.cSend_From + " -reply-to:" + c.cSend_Back +
         " \"-subject:" + m.subject + "\" \"-body:" + m.body + "\" -a:" + m.attachment +
         " -dsn:SFD -mdn \"-results:" + m.result + "\"";
}

std::string error_mail_text(const Connection& c, const MailValues& m) {
  return host_text(c) + " -starttls -to:" + m.to + " -from:" + c.cSend_From + " -reply-to:" + c.cSend_From +
         " -subject:\"" + m.subject + "\" -body:\"" + m.body + "\" -dsn:SFD -mdn -results:\"" + m.result + "\"";
}

std::vector<std::string> job_mail_argv(const Connection& c, const MailValues& m) {
  return {host_arg(c),
          "-starttls",
          "-to:" + m.to,
          "-from:" + b(c.cSend_From),
          "-reply-to:" + b(c.cSend_Back),
          "-subject:" + m.subject,
          "-body:" + m.body,
          // The field is 1252 like the job file; the file on disk carries a UTF-8 name.
          "-a:" + (m.attachment.empty() ? std::string() : client_path(text::cp1252_to_utf8(m.attachment))),
          "-dsn:SFD",
          "-mdn",
          "-results:" + client_path(m.result)};
}

std::vector<std::string> error_mail_argv(const Connection& c, const MailValues& m) {
  return {host_arg(c),
          "-starttls",
          "-to:" + m.to,
          "-from:" + b(c.cSend_From),
          "-reply-to:" + b(c.cSend_From),
          "-subject:" + m.subject,
          "-body:" + m.body,
          "-dsn:SFD",
          "-mdn",
          "-results:" + client_path(m.result)};
}

std::string client_path(std::string_view winpath) {
  try {
    return files::resolve(winpath).string();
  } catch (const std::exception&) {
    return std::string(winpath);
  }
}

std::filesystem::path client_program(const std::string& cDatver) { return files::resolve(cDatver + kClient); }

process::Started start_client(const std::string& cDatver, const std::vector<std::string>& argv) {
  std::filesystem::path program;
  try {
    program = client_program(cDatver);
  } catch (const std::exception& e) {
    return {false, -1, e.what()};
  }
  std::error_code ec;
  auto cwd = std::filesystem::current_path(ec);
  return process::start(program, argv, cwd);
}

std::optional<std::string> wait_for_result(std::string_view result_winpath) {
  auto ready = [&]() -> std::optional<std::string> {
    if (!files::file_exists(result_winpath)) return std::nullopt;
    // The client renames a finished file into place, so existing means complete.
    return files::try_read_file(result_winpath);
  };
  if (pace_factor() >= 1) {
    pace(500);
    if (auto r = ready()) return r;
    pace(1000);
    return ready();
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  for (;;) {
    if (auto r = ready()) return r;
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    wait_unpaced(1);
  }
}

std::string argv_too_long(const std::vector<std::string>& argv) {
  // MAX_ARG_STRLEN of the kernel: 32 pages, the terminating NUL included.
  constexpr std::size_t kMaxArgument = 32 * 4096 - 1;
  for (const std::string& a : argv) {
    if (a.size() > kMaxArgument) {
      const std::string option = a.substr(0, a.find(':') + 1);
      return "Feld " + option + " ist mit " + std::to_string(a.size() - option.size()) +
             " Bytes zu lang für den Mail-Client (höchstens " + std::to_string(kMaxArgument) + ")";
    }
  }
  return {};
}

}  // namespace orvex::dispatch
