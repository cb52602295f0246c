#include "app/main_window.h"

#include <cmath>
#include <cstdlib>

#include "platform/files/files.h"
#include "platform/gui/boxes.h"
#include "platform/gui/desktop.h"
#include "platform/gui/events.h"

namespace orvex {

namespace {

constexpr const char* kPanelFont = "12. consolas";
constexpr const char* kButtonFont = "8.MS Sans Serif";  // the system's dialog font

// Int(u * factor); the epsilon keeps 335 * 1.2 from becoming 401.
int layout_px(double u, double factor) { return static_cast<int>(std::floor(u * factor + 1e-9)); }

void echo_panel(const std::string& name, const std::string& text) {
  if (!gui::headless()) return;
  if (text.empty()) {
    gui::echo(name + ": (leer)");
    return;
  }
  std::string block = name + ":";
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    block += "\n  " + line;
    start = end + 1;
  }
  gui::echo(block);
}

struct ButtonSpec {
  MagicButton* MainWindow::*member;
  SignalButton* App::*app_member;
  const char* name;
  const char* caption;
  int x, w;
  int fg, bg, active;
  std::function<void()> MainWindowActions::*action;  // nullptr: no action
};

}  // namespace

StatusPanel::StatusPanel(QWidget* parent, gui::Point pos, gui::Size size, std::string& linked,
                         std::string name)
    : gui::MultiLineEdit(parent, pos, size,
                         {gui::colour::Unset, gui::colour::EntryFieldBG, kPanelFont}),
      name_(std::move(name)) {
  setObjectName(QString::fromStdString(name_));
  word_wrap = true;
  horiz_scroll = false;
  editable = true;
  dataLink = [&linked](std::optional<std::string> v) {
    if (v) linked = *v;
    return linked;
  };
}

std::string StatusPanel::text() { return getData(); }

void StatusPanel::setText(const std::string& utf8) {
  setData(utf8);
  echo_panel(name_, utf8);
}

void StatusPanel::fill() {
  setData();
  const std::string t = gui::MultiLineEdit::text();
  if (!t.empty()) echo_panel(name_, t);
}

MainWindow::MainWindow(App& app, MainWindowTexts texts, MainWindowActions actions) : app_(app) {
  dialog_ = std::make_unique<gui::Dialog>(nullptr, gui::Point{0, 0},
                                          gui::Size{app.nXSize, app.nYSize});
  gui::Dialog& dlg = *dialog_;
  dlg.title = kTitle;
  dlg.task_list = true;
  dlg.min_button = false;
  dlg.max_button = false;
  dlg.sizable = true;
  dlg.drawing_area()->set_colour_bg(gui::colour::DarkPink);
  dlg.on_close = actions.not_aus;
  dlg.on_resize = [&app, &dlg](gui::Size o, gui::Size n) { DlgResizer(app, o, n, dlg); };
  dlg.create();
  ScreenCenter(dlg, true);

  QWidget* area = dlg.drawing_area();
  auto panel = [&](std::string& linked, const char* name, int x, int y, int w, int h) {
    auto* p = new StatusPanel(area, {layout_px(x, app.nX), layout_px(y, app.nY)},
                              {layout_px(w, app.nX), layout_px(h, app.nY)}, linked, name);
    p->create();
    p->fill();
    return p;
  };
  if (texts.mail_ausgang) app.cString = texts.mail_ausgang();
  oMle1 = panel(app.cString, "oMle1", 10, 65, 320, 865);
  oMle20 = panel(app.cMessage20, "oMle20", 335, 500, 320, 430);
  if (texts.sende_fehler) app.cMessage1 = texts.sende_fehler(1);
  oMle2 = panel(app.cMessage1, "oMle2", 335, 65, 320, 430);
  oMle30 = panel(app.cMessage30, "oMle30", 660, 500, 320, 430);
  if (texts.sende_fehler) app.cMessage2 = texts.sende_fehler(2);
  oMle3 = panel(app.cMessage2, "oMle3", 660, 65, 320, 430);

  const ButtonSpec buttons[] = {
      {&MainWindow::oXbpBna, &App::oXbpBna, "oXbpBna", "A  L  T - C", 30, 45, 0, 4, 4, nullptr},
      {&MainWindow::oXbpBS, &App::oXbpBS, "oXbpBS", " S E N D E N ", 130, 85, 1, 0, 6,
       &MainWindowActions::senden},
      {&MainWindow::oXbpBH, &App::oXbpBH, "oXbpBH", " HALT", 225, 35, 1, 0, 3,
       &MainWindowActions::halt},
      {&MainWindow::oXbpBlb, &App::oXbpBlb, "oXbpBlb", "  L  O  G  ", 290, 40, 1, 0, 0,
       &MainWindowActions::log},
      {&MainWindow::oXbpBL1, &App::oXbpBL1, "oXbpBL1", "leeren", 390, 45, 1, 0, 0,
       &MainWindowActions::leeren1},
      {&MainWindow::oXbpBW1, &App::oXbpBW1, "oXbpBW1", "W I E D E R H O L E N", 445, 100, 1, 0,
       0, &MainWindowActions::wiederholen1},
      {&MainWindow::oXbpBL2, &App::oXbpBL2, "oXbpBL2", "leeren", 715, 45, 1, 0, 0,
       &MainWindowActions::leeren2},
      {&MainWindow::oXbpBW2, &App::oXbpBW2, "oXbpBW2", "W I E D E R H O L E N", 770, 100, 1, 0,
       0, &MainWindowActions::wiederholen2},
      {&MainWindow::oXbpBEn, &App::oXbpBEn, "oXbpBEn", "Ende", 915, 45, 0, 0, 0,
       &MainWindowActions::ende},
  };
  for (const ButtonSpec& b : buttons) {
    const bool na = b.member == &MainWindow::oXbpBna;
    gui::PresParams pres{na ? gui::colour::White : gui::colour::Unset,
                         na ? gui::colour::Green : gui::colour::White, kButtonFont};
    auto* btn = new MagicButton(area, nullptr, {layout_px(b.x, app.nX), layout_px(15, app.nY)},
                                {layout_px(b.w, app.nX), layout_px(35, app.nY)}, pres);
    btn->setObjectName(b.name);
    btn->options = gui::StaticText::HCenter | gui::StaticText::VCenter;
    btn->caption = b.caption;
    btn->set_tab_stop(true);
    btn->normalFG = b.fg;
    btn->normalBG = b.bg;
    btn->ActiveCLR = b.active;
    btn->create();
    if (b.action != nullptr) {
      btn->activate = [f = actions.*(b.action)](std::nullptr_t, std::nullptr_t, MagicButton&) {
        if (f) f();
      };
    }
    this->*(b.member) = btn;
    app.*(b.app_member) = btn;
  }

  app.oMle1 = oMle1;
  app.oMle20 = oMle20;
  app.oMle2 = oMle2;
  app.oMle30 = oMle30;
  app.oMle3 = oMle3;

  dlg.set_modal_state(true);
  dlg.set_visible(true);
  dlg.activateWindow();
  dlg.setFocus();
  oMle1->set_focus();
}

MainWindow::~MainWindow() {
  for (TextPanel** p : {&app_.oMle1, &app_.oMle2, &app_.oMle3, &app_.oMle20, &app_.oMle30})
    *p = nullptr;
  for (SignalButton** b : {&app_.oXbpBS, &app_.oXbpBH, &app_.oXbpBEn, &app_.oXbpBW1,
                           &app_.oXbpBW2, &app_.oXbpBna, &app_.oXbpBlb, &app_.oXbpBL1,
                           &app_.oXbpBL2})
    *b = nullptr;
  dialog_->set_modal_state(false);
  dialog_->destroy();
}

void set_retry_indicator(App& app, int nFQ) {
  SignalButton* button = nFQ == 1 ? app.oXbpBW1 : app.oXbpBW2;
  if (button == nullptr) return;
  const std::string folder = nFQ == 1 ? "failure" : "quarantine";
  const bool has_jobs = !files::list(app.cDatver + "CMail\\Ausgang\\" + folder + "\\*.ausg").empty();
  button->setBackground(has_jobs ? gui::colour::Black : gui::colour::White);
}

bool DlgResizer(App& app, gui::Size aOld, gui::Size aNew, gui::Dialog& /*oDlg*/) {
  if (std::abs(aOld.w - aNew.w) > 10 || std::abs(aOld.h - aNew.h) > 10) {
    app.nXSize = aNew.w;
    app.nYSize = aNew.h;
    app.nX = app.nXSize / 1000.0;
    app.nY = app.nYSize / 1000.0;
    app.nDauerlauf = 1;
    gui::post_close_request();
  }
  return true;
}

CenterPos ScreenCenter(gui::Control& oXbp, bool lSet) {
  QWidget* w = oXbp.widget();
  gui::Size parent = gui::desktop_size();
  if (!w->isWindow() && w->parentWidget() != nullptr)
    parent = {w->parentWidget()->width(), w->parentWidget()->height()};
  const gui::Size own = oXbp.current_size();
  const CenterPos pos{(parent.w - own.w) / 2.0, (parent.h - own.h) / 2.0};
  if (lSet) oXbp.set_pos({static_cast<int>(pos.x), static_cast<int>(pos.y)});
  return pos;
}

}  // namespace orvex
