#include "tables/retry_support.h"

#include <chrono>
#include <exception>
#include <thread>
#include <utility>

#include "platform/process/process.h"

namespace orvex {

namespace {

ProgramEndHook& end_hook() {
  static ProgramEndHook hook;
  return hook;
}

}  // namespace

void wait_for_key(App& app, int hundredths) {
  if (app.ui) {
    app.ui->wait_for_key(hundredths);
    return;
  }
  // No operator window yet: the pause between attempts still has to happen.
  std::this_thread::sleep_for(std::chrono::milliseconds(10L * hundredths));
}

bool ask_operator(App& app, const std::string& title, const std::string& message) {
  return app.ui && app.ui->confirm(title, message);
}

void set_program_end_hook(ProgramEndHook hook) { end_hook() = std::move(hook); }

ProgramEnded::ProgramEnded(int code)
    : std::runtime_error("Programmabbruch durch den Bediener"), code_(code) {}

void end_program(App& app) {
  // The operator asked to stop: a table that cannot be written back must not keep the
  // program alive, so failures here are passed over.
  try {
    app.areas.commit_all();
  } catch (const std::exception&) {
  }
  try {
    app.areas.close_all();
  } catch (const std::exception&) {
  }
  if (auto& hook = end_hook()) {
    hook(kDeclinedExitCode);
    throw ProgramEnded(kDeclinedExitCode);
  }
  process::end_process_now(kDeclinedExitCode);
}

}  // namespace orvex
