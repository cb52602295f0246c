#include "cmail.h"

#include <iostream>

#include "platform/files/drives.h"
#include "platform/files/files.h"

#include "message.h"
#include "result_file.h"
#include "smtp_session.h"

namespace cmail {

namespace {

std::string env_or_empty(const EnvLookup& env, const char* name) {
  const char* v = env(name);
  return v ? v : "";
}

// The result file is the only thing the dispatcher sees, so failing to write it is loud.
bool report(const std::string& results, const MailResult& result) {
  if (results.empty()) return true;
  try {
    write_result_file(orvex::files::resolve(results), result);
    return true;
  } catch (const std::exception& e) {
    std::cerr << "cmail: cannot write the result file: " << e.what() << "\n";
    return false;
  }
}

int fail(const std::string& results, MailResult result,
         const std::string& reason) {
  result.accepted = false;
  result.reason = reason;
  std::cerr << "cmail: failure: " << reason << "\n";
  report(results, result);
  return 1;
}

}  // namespace

int run(const std::vector<std::string>& args, const std::filesystem::path& config_file,
        const EnvLookup& env) {
  orvex::files::clear_drives();
  try {
    orvex::files::load_drives(env_or_empty(env, "ORVEX_DRIVES"));
  } catch (const orvex::files::PathError& e) {
    // The well-formed drives are set; a path on the broken one fails when it is used.
    std::cerr << "cmail: ORVEX_DRIVES: " << e.what() << "\n";
  }
  const ParsedCommandLine parsed = parse_command_line(args);
  if (!parsed.arguments) {
    std::cerr << "cmail: " << parsed.error << "\n";
    MailResult result;
    result.reason = "malformed command line: " + parsed.error;
    report(parsed.results, result);
    return 2;
  }
  const Arguments& a = *parsed.arguments;
  if (a.help) {
    std::cout << help_text();
    return 0;
  }

  std::vector<std::string> warnings;
  Settings settings = load_settings(config_file, env, warnings);
  apply_command_line(settings, a);
  for (const auto& w : warnings) std::cerr << "cmail: " << w << "\n";

  MailResult base;
  base.server = a.server.host + ":" + std::to_string(a.server.port);
  for (const auto& to : a.to) base.recipients.push_back({to, false, 0, "not sent"});

  MailContent content{a.from, a.to, a.reply_to, a.subject, a.body, {}, {}, a.mdn};
  BuiltMessage message;
  try {
    if (!a.attachment.empty()) {
      content.attachment = orvex::files::resolve(a.attachment);
      content.attachment_name = orvex::files::file_name(a.attachment);
    }
    message = build_message(content);
  } catch (const std::exception& e) {
    return fail(a.results, base, e.what());
  }

  SessionOptions options;
  options.server = a.server;
  options.starttls = a.starttls;
  options.tls = {settings.cafile, settings.insecure};
  options.timeout = std::chrono::milliseconds(static_cast<long long>(settings.timeout_seconds * 1000));
  options.dsn = a.dsn;
  if (settings.verbose) options.log = [](std::string_view line) { std::cerr << line << "\n"; };
  bool written = true;
  options.on_settled = [&](const MailResult& result) {
    MailResult with_id = result;
    with_id.message_id = message.message_id;
    written = report(a.results, with_id);
  };

  Envelope envelope;
  envelope.from = envelope_address(a.from);
  for (const auto& to : a.to) envelope.to.push_back(envelope_address(to));
  envelope.envid = message.message_id;

  MailResult result = send_mail(options, envelope, message.data);
  if (!result.accepted) std::cerr << "cmail: failure: " << result.reason << "\n";
  else if (settings.verbose) std::cerr << "cmail: " << result.reason << "\n";
  return result.accepted && written ? 0 : 1;
}

}  // namespace cmail
