#pragma once
// Starting the SMTP client for one mail and waiting for its result file.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dispatch/config_files.h"
#include "platform/process/process.h"

namespace orvex::dispatch {

// One mail as the client gets it. to, subject and body are Windows-1252 bytes; attachment is
// the job's field as it stands (Windows form); result is a Windows-form path of the program.
struct MailValues {
  std::string to, subject, body, attachment, result;
};

// The single argument text, for display only. Values go in unchanged, so a double quote in a
// subject or body would break this text apart; the client never gets it.
std::string job_mail_text(const Connection& c, const MailValues& m);
std::string error_mail_text(const Connection& c, const MailValues& m);  // no attachment, reply-to = from

// What the client is really started with: one option per element, so quotes and line breaks
// in a value stay inside it. Paths are turned into Linux paths (client_path).
std::vector<std::string> job_mail_argv(const Connection& c, const MailValues& m);
std::vector<std::string> error_mail_argv(const Connection& c, const MailValues& m);

// Linux refuses to start a program with an argument longer than 128 KiB. Returns a German
// reason when argv cannot be handed to the client, empty when it can.
std::string argv_too_long(const std::vector<std::string>& argv);

// A Windows-form path as the client on Linux must see it; a path that cannot be mapped is
// handed on as it stands (the client then reports the file missing).
std::string client_path(std::string_view winpath);

// data root + "CMail\cmail.exe", found without regard to case.
std::filesystem::path client_program(const std::string& cDatver);

// Starts the client without waiting, in the process's working directory (where an error mail's
// "Fehlermail.result" lands).
process::Started start_client(const std::string& cDatver, const std::vector<std::string>& argv);

// Waits for the result file: with the normal pace a check after 5 and after 15 seconds; in the
// fast mode a poll every 10 ms up to the same 15 seconds. nullopt when it never appeared.
std::optional<std::string> wait_for_result(std::string_view result_winpath);

}  // namespace orvex::dispatch
