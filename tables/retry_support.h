#pragma once
// The operator side of the table retry protocols: the pause between attempts, the Yes/No
// question when the attempts run out, and ending the program when the operator declines.
#include <functional>
#include <stdexcept>
#include <string>

#include "app/app.h"

namespace orvex {

// Exit code of a program ended because the operator declined another series of attempts.
inline constexpr int kDeclinedExitCode = 1;

// Waits up to hundredths for a key press (a key ends the wait early and is consumed).
void wait_for_key(App& app, int hundredths);

// The Yes/No box with question icon; true only for Yes. Without an operator there is nobody
// to say Yes, so the answer is No.
bool ask_operator(App& app, const std::string& title, const std::string& message);

// Replaces the way the program ends (tests). The hook receives the exit code. An empty hook
// restores the default, process::end_process_now.
using ProgramEndHook = std::function<void(int code)>;
void set_program_end_hook(ProgramEndHook hook);

// Thrown by end_program when an installed hook returns instead of ending the process, so
// that nothing after the end point runs.
class ProgramEnded : public std::runtime_error {
 public:
  explicit ProgramEnded(int code);
  int code() const { return code_; }

 private:
  int code_;
};

// Ends the program at once: commits and closes all tables, then ends the process with
// kDeclinedExitCode. Never returns.
[[noreturn]] void end_program(App& app);

}  // namespace orvex
