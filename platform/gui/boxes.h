#pragma once
// Boxes for the operator. A headless run answers them by policy instead of blocking: the text
// goes to standard output with a time stamp; a message box is answered OK, an alert with its
// first button, a confirmation box No (its caller made its automatic attempts before asking).
// Tests answer boxes through set_box_answerer().
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace orvex::gui {

enum class BoxKind { Message, Alert, Confirm };

struct BoxRequest {
  BoxKind kind = BoxKind::Message;
  std::string title;
  std::string text;
  std::vector<std::string> buttons;  // Alert: the captions; others: empty
};

// Answers: Message 1; Alert the 1-based button number; Confirm 1 = Yes, 0 = No.
using BoxAnswerer = std::function<int(const BoxRequest&)>;
void set_box_answerer(BoxAnswerer answerer);  // empty: real boxes or the headless policy

void message_box(const std::string& text, const std::string& title = "");
int alert_box(const std::string& text, const std::vector<std::string>& buttons,
              const std::string& title = "");
// Yes/No with the question icon, owned by owner (nullptr: the active window). True for Yes.
bool confirm_box(QWidget* owner, const std::string& title, const std::string& text);

// Process setting, set once at start (--headless).
void set_headless(bool on);
bool headless();
// One block to standard output: "[hh:mm:ss] " + text, flushed.
void echo(const std::string& text);

}  // namespace orvex::gui
