#pragma once
// The main window: five status panels and nine buttons on a 1000 x 1000 layout grid stretched
// to nXSize x nYSize. Building it sets App's panel and button pointers; destroying it clears them.
#include <functional>
#include <memory>
#include <string>

#include "app/app.h"
#include "platform/gui/dialog.h"
#include "platform/gui/edits.h"
#include "toolkit/magic_button.h"

namespace orvex {

// A status panel bound to one of App's texts: filling without a text loads the variable,
// reading the text stores it there, filling with a given text leaves the variable alone.
class StatusPanel : public gui::MultiLineEdit, public TextPanel {
 public:
  StatusPanel(QWidget* parent, gui::Point pos, gui::Size size, std::string& linked,
              std::string name);
  std::string text() override;                      // read: also stores into the variable
  void setText(const std::string& utf8) override;   // fill with a given text
  void fill();                                      // fill from the variable
  const std::string& name() const { return name_; }

 private:
  std::string name_;  // "oMle1" ...; headless runs echo changes under it
};

// What the build asks of the dispatch: the overview and the two folder reports.
struct MainWindowTexts {
  std::function<std::string()> mail_ausgang;       // MailAusgang(app)
  std::function<std::string(int)> sende_fehler;    // SendeFehler(app, 1 or 2)
};

// Button actions, run when a completed click is handed on. oXbpBna has none.
struct MainWindowActions {
  std::function<void()> senden, halt, log, leeren1, wiederholen1, leeren2, wiederholen2, ende;
  std::function<void()> not_aus;  // the window's close handler (close box)
};

class MainWindow {
 public:
  static constexpr const char* kTitle = "ORVEX-Mail - automatisches Mail-Programm (Hilfe mit F1)";

  // Builds, shows application-modal, focuses oMle1.
  MainWindow(App& app, MainWindowTexts texts, MainWindowActions actions);
  ~MainWindow();  // destroys the window, clears App's pointers
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  gui::Dialog& dialog() { return *dialog_; }
  gui::DrawingArea& oCB() { return *dialog_->drawing_area(); }

  StatusPanel *oMle1 = nullptr, *oMle20 = nullptr, *oMle2 = nullptr, *oMle30 = nullptr,
              *oMle3 = nullptr;
  MagicButton *oXbpBna = nullptr, *oXbpBS = nullptr, *oXbpBH = nullptr, *oXbpBlb = nullptr,
              *oXbpBL1 = nullptr, *oXbpBW1 = nullptr, *oXbpBL2 = nullptr, *oXbpBW2 = nullptr,
              *oXbpBEn = nullptr;

 private:
  App& app_;
  std::unique_ptr<gui::Dialog> dialog_;
};

// Colour 7 when the failure (1) or quarantine (2) folder holds a job file, else 0.
void set_retry_indicator(App& app, int nFQ);

// A resize by more than 10 pixels: new size and factors, nDauerlauf 1, close request posted.
bool DlgResizer(App& app, gui::Size aOld, gui::Size aNew, gui::Dialog& oDlg);

// The position centring the window on its parent (the desktop for a top-level window), from
// the parent's lower left corner; the halves are not rounded. Moves the window there when lSet.
struct CenterPos {
  double x = 0;
  double y = 0;
};
CenterPos ScreenCenter(gui::Control& oXbp, bool lSet);

}  // namespace orvex
