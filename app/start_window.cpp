#include "app/start_window.h"

namespace orvex {

std::unique_ptr<gui::Dialog> show_start_window(const App& app) {
  auto dlg = std::make_unique<gui::Dialog>(
      nullptr, gui::Point{static_cast<int>(250 * app.nH), static_cast<int>(250 * app.nV)},
      gui::Size{300, 100});
  dlg->title = "ORVEX-Mail - S T A R T E T ...";
  dlg->task_list = true;
  dlg->min_button = false;
  dlg->max_button = false;
  dlg->drawing_area()->set_colour_bg(gui::colour::DarkPink);
  dlg->set_visible(true);
  dlg->create();
  return dlg;
}

}  // namespace orvex
