#include "platform/gui/boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <iostream>

#include "platform/text/clock.h"

namespace orvex::gui {

namespace {

BoxAnswerer& answerer() {
  static BoxAnswerer a;
  return a;
}

bool headless_flag = false;

// The headless policy: OK, the first button, No.
int policy_answer(const BoxRequest& r) {
  std::string kind = r.kind == BoxKind::Confirm ? "Ja/Nein" : "Meldung";
  echo(kind + (r.title.empty() ? "" : " \"" + r.title + "\"") + ": " + r.text);
  switch (r.kind) {
    case BoxKind::Message: return 1;
    case BoxKind::Alert: echo("-> " + (r.buttons.empty() ? std::string("OK") : r.buttons.front())); return 1;
    case BoxKind::Confirm: echo("-> Nein"); return 0;
  }
  return 0;
}

int ask(const BoxRequest& r) {
  if (answerer()) return answerer()(r);
  if (headless_flag) return policy_answer(r);
  return -1;
}

QString q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void set_box_answerer(BoxAnswerer a) { answerer() = std::move(a); }

void message_box(const std::string& text, const std::string& title) {
  BoxRequest r{BoxKind::Message, title, text, {}};
  if (ask(r) >= 0) return;
  QMessageBox::information(QApplication::activeWindow(), q(title), q(text));
}

int alert_box(const std::string& text, const std::vector<std::string>& buttons,
              const std::string& title) {
  BoxRequest r{BoxKind::Alert, title, text, buttons};
  if (int a = ask(r); a >= 0) return a;
  QMessageBox box(QMessageBox::Warning, q(title), q(text), QMessageBox::NoButton,
                  QApplication::activeWindow());
  std::vector<QAbstractButton*> made;
  for (const std::string& b : buttons) made.push_back(box.addButton(q(b), QMessageBox::AcceptRole));
  if (made.empty()) made.push_back(box.addButton(QMessageBox::Ok));
  box.exec();
  for (std::size_t i = 0; i < made.size(); ++i)
    if (box.clickedButton() == made[i]) return static_cast<int>(i) + 1;
  return 0;
}

bool confirm_box(QWidget* owner, const std::string& title, const std::string& text) {
  BoxRequest r{BoxKind::Confirm, title, text, {}};
  if (int a = ask(r); a >= 0) return a == 1;
  if (owner == nullptr) owner = QApplication::activeWindow();
  return QMessageBox::question(owner, q(title), q(text), QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

void set_headless(bool on) { headless_flag = on; }
bool headless() { return headless_flag; }

void echo(const std::string& text) {
  std::cout << '[' << text::time_text() << "] " << text << '\n' << std::flush;
}

}  // namespace orvex::gui
