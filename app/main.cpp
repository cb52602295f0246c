// orvex-mail: the unattended mail dispatcher with its operator window.
#include <QApplication>

#include <cstdlib>
#include <exception>
#include <iostream>

#include "app/options.h"
#include "app/startup.h"
#include "platform/files/drives.h"
#include "platform/gui/boxes.h"
#include "platform/gui/events.h"
#include "platform/pace/pace.h"

namespace {

constexpr int kExitError = 5;  // an error no part of the program handles

}  // namespace

int main(int argc, char** argv) {
  const orvex::ParsedOptions parsed = orvex::parse_options(argc, argv);
  if (!parsed.options) {
    (parsed.exit_code == 0 ? std::cout : std::cerr) << parsed.message;
    return parsed.exit_code;
  }
  const orvex::Options& opts = *parsed.options;
  try {
    orvex::files::load_drives_from_env();
    for (const auto& spec : opts.drives) orvex::files::add_drive_spec(spec);
  } catch (const std::exception& e) {
    std::cerr << "orvex-mail: " << e.what() << "\n";
    return orvex::kExitUsage;
  }
  orvex::set_pace_factor(opts.pace);
  if (opts.headless) setenv("QT_QPA_PLATFORM", "offscreen", 1);

  QApplication qapp(argc, argv);
  orvex::gui::set_headless(opts.headless);
  int code = kExitError;
  {
    orvex::gui::GuiSession session;
    try {
      orvex::dbeSys();
      orvex::AppSys();
      code = orvex::Main(opts.cTimerMin, {opts.headless, opts.once, {}});
    } catch (const std::exception& e) {
      // The default error handler: tell the operator, leave a trace for the log.
      std::cerr << "orvex-mail: " << e.what() << "\n";
      if (!opts.headless) orvex::gui::message_box(e.what(), "ORVEX-Mail - Fehler");
    }
  }
  return code;
}
