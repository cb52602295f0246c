// Writes review pictures of the windows: orvex-screenshots <folder>. Runs on any Qt platform
// (offscreen included).
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>
#include <iostream>

#include "app/main_window.h"
#include "app/start_window.h"
#include "dialogs/message_window.h"
#include "platform/gui/events.h"
#include "platform/gui/statics.h"

namespace {

void save(QWidget* w, const std::filesystem::path& file) {
  QCoreApplication::processEvents();
  if (!w->grab().save(QString::fromStdString(file.string()))) std::cerr << "cannot write " << file << "\n";
  std::cout << file.string() << "\n";
}

orvex::MainWindowTexts sample_texts() {
  return {[] {
            return std::string(
                "Ausgang: 3 Mail-Auftr\xC3\xA4ge\r\n\r\n"
                "R104233.ausg  kunde@example.de\r\n"
                "R104234.ausg  einkauf@example.com\r\n"
                "M104240.ausg  info@example.org\r\n\r\n"
                "14:02:11 Sendung beendet: 2 gesendet, 1 Fehler");
          },
          [](int n) {
            return n == 1 ? std::string("Fehler-Ordner:\r\nR104199.ausg  550 Mailbox unbekannt")
                          : std::string("Quarant\xC3\xA4ne-Ordner: leer");
          }};
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  const std::filesystem::path dir = argc > 1 ? argv[1] : "docs/screenshots";
  std::filesystem::create_directories(dir);
  orvex::gui::GuiSession session;
  orvex::App app;
  app.cMessage20 = "Noch zu senden:\r\nR104234.ausg\r\nM104240.ausg";
  app.cMessage30 = "Sende jetzt:\r\nR104233.ausg an kunde@example.de\r\nBetreff: Rechnung 104233";

  {
    orvex::MainWindow win(app, sample_texts(), {});
    win.oXbpBW1->setBackground(orvex::gui::colour::Black);
    win.oXbpBS->setBackground(orvex::gui::colour::Yellow);
    save(&win.dialog(), dir / "main-window-1200x750.png");
    win.oXbpBH->motion({5, 5});  // hover colour on HALT
    save(&win.dialog(), dir / "main-window-hover-halt.png");
    win.oXbpBH->motion({-1, -1});
  }
  app.nXSize = 1000, app.nYSize = 600, app.nX = 1.0, app.nY = 0.6;
  {
    orvex::MainWindow win(app, sample_texts(), {});
    save(&win.dialog(), dir / "main-window-1000x600.png");

    QMessageBox box(QMessageBox::Question, "Datei gesperrt",
                    "Die Datei LOG_BREVOR wird gerade benutzt.\nNochmal versuchen?",
                    QMessageBox::Yes | QMessageBox::No, &win.dialog());
    box.show();
    save(&box, dir / "retry-confirmation.png");
  }
  {
    auto start = orvex::show_start_window(app);
    save(start.get(), dir / "start-window.png");
  }
  QTimer::singleShot(0, [&dir] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w->windowTitle() == "Abschluss-Meldung:") {
        save(w, dir / "message-window.png");
        orvex::gui::post_close_request();
      }
  });
  orvex::Modaldialog_ml("   Sendung beendet um 14:02:11\r\n\r\n2 Mails gesendet\r\n1 Mail im Fehler-Ordner:\r\n"
                        "R104199.ausg  550 Mailbox unbekannt",
                        "Abschluss-Meldung:", nullptr, 500, 500, true);
  return 0;
}
