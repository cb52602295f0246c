// Writes review pictures of the windows: orvex-screenshots <folder>. Runs on any Qt platform
// (offscreen included). The panels show what the program itself writes for a small data root
// laid out in a temporary folder.
#include <stdlib.h>

#include <QApplication>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "app/main_window.h"
#include "app/start_window.h"
#include "dialogs/message_window.h"
#include "dispatch/folder_reports.h"
#include "dispatch/outbox.h"
#include "platform/files/drives.h"
#include "platform/gui/boxes.h"
#include "platform/gui/events.h"
#include "platform/gui/statics.h"
#include "platform/pace/pace.h"

namespace fs = std::filesystem;

namespace {

void save(QWidget* w, const fs::path& file) {
  QCoreApplication::processEvents();
  if (!w->grab().save(QString::fromStdString(file.string()))) std::cerr << "cannot write " << file << "\n";
  std::cout << file.string() << "\n";
}

// Grabs the next top-level window with this title once it shows, then asks it to close.
void grab_when_shown(const QString& title, const fs::path& file, std::function<void()> close) {
  QTimer::singleShot(50, [title, file, close] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w->windowTitle() == title) {
        save(w, file);
        close();
        return;
      }
  });
}

void put(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

// A data root with jobs waiting, one failed and one quarantined job.
fs::path lay_out_data_root() {
  char tmpl[] = "/tmp/orvex-screenshots-XXXXXX";
  const fs::path c = mkdtemp(tmpl);
  const fs::path out = c / "XARV" / "CMail" / "Ausgang";
  put(out / "Sterbefall_2024-05-17_004711_1.ausg", "anna.berger@example.org|||Sterbefall 004711");
  put(out / "Vorsorge_2024-05-17_004713_1.ausg", "E-Mail|||Vorsorge 004713");
  put(out / "Rechnung_2024-05-17_004714_1.ausg", "{dora.lang@example.org,emil.wolf@example.org}|||Rechnung");
  put(out / "failure" / "Sterbefall_2024-05-17_004716_1.ausg", "abgelehnt@example.org");
  put(out / "failure" / "Sterbefall_2024-05-17_004716_1.result", "{\"status\": \"failure\"}");
  put(out / "quarantine" / "Sterbefall_2024-05-17_004715_1.ausg", "fremd@example.com");
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  const fs::path dir = argc > 1 ? argv[1] : "docs/screenshots";
  fs::create_directories(dir);
  orvex::set_pace_factor(0);
  const fs::path root = lay_out_data_root();
  orvex::files::set_drive('C', root);

  orvex::gui::GuiSession session;
  orvex::App app;
  const orvex::MainWindowTexts texts{[&app] { return orvex::dispatch::MailAusgang(app); },
                                     [&app](int n) { return orvex::dispatch::SendeFehler(app, n); }};
  {
    orvex::MainWindow win(app, texts, {});
    orvex::set_retry_indicator(app, 1);
    orvex::set_retry_indicator(app, 2);
    save(&win.dialog(), dir / "main-window-1200x750.png");
    win.oXbpBH->motion({5, 5});  // hover colour on HALT
    save(&win.dialog(), dir / "main-window-hover-halt.png");
    win.oXbpBH->motion({-1, -1});
  }
  app.nXSize = 1000, app.nYSize = 600, app.nX = 1.0, app.nY = 0.6;
  {
    orvex::MainWindow win(app, texts, {});
    orvex::set_retry_indicator(app, 1);
    orvex::set_retry_indicator(app, 2);
    save(&win.dialog(), dir / "main-window-1000x600.png");

    // The box the table helpers show when a table stays locked.
    const std::string title = "Datei C:\\XARV\\CMAIL\\LOG_BREVOR kann nicht ge\xC3\xB6" "ffnet werden!";
    grab_when_shown(QString::fromStdString(title), dir / "retry-confirmation.png", [] {
      if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    orvex::gui::confirm_box(win.dialog().widget(), title, "Nochmal versuchen=JA - Programmabbruch=NEIN");
  }
  {
    auto start = orvex::show_start_window(app);
    save(start.get(), dir / "start-window.png");
  }
  grab_when_shown("Abschluss-Meldung:", dir / "message-window.png", [] { orvex::gui::post_close_request(); });
  orvex::Modaldialog_ml("Probleme beim Senden!\r\nVermutlich:\r\nKeine R\xC3\xBC" "ckmeldung vom Mail-Server.",
                        "Abschluss-Meldung:", nullptr, 500, 500, true);
  fs::remove_all(root);
  return 0;
}
