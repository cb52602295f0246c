#pragma once
// Text controls. Texts are UTF-8 with CR LF line breaks, as the program builds them.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <functional>
#include <optional>
#include <string>

#include "platform/gui/control.h"

namespace orvex::gui {

// A control's link to its data: called without a value it answers the stored value; called
// with one it stores it and answers what is now stored.
using DataLink = std::function<std::string(std::optional<std::string>)>;

// A marked range of 1-based character positions, end exclusive; start == end: no mark,
// the cursor stands at start.
struct Marked {
  int start = 1;
  int end = 1;
  friend bool operator==(const Marked&, const Marked&) = default;
};

class MultiLineEdit : public ControlOf<QPlainTextEdit> {
 public:
  MultiLineEdit(QWidget* parent, Point pos, Size size, PresParams pres = {}, bool visible = true);

  // Attributes, applied by create() and configure().
  bool word_wrap = true;
  bool horiz_scroll = false;
  bool editable = true;
  DataLink dataLink;

  void setData();                        // fill from the data link
  void setData(const std::string& text); // fill with a given text; the link is not touched
  std::string getData();                 // the text, also stored through the data link

  std::string text() const;              // the control's text, nothing stored
  Marked marked() const;
  void set_marked(Marked m);

  void configure() override;

 protected:
  void apply_presentation() override;
};

class SingleLineEdit : public ControlOf<QLineEdit> {
 public:
  SingleLineEdit(QWidget* parent, Point pos, Size size, PresParams pres = {}, bool visible = true);

  bool editable = true;
  int buffer_length = 32767;  // most characters the control takes
  DataLink dataLink;
  bool changed = false;       // kept by the users of the control

  void setData();
  void setData(const std::string& text);
  std::string getData();

  std::string text() const;
  void set_text(const std::string& utf8);
  Marked marked() const;
  void set_marked(Marked m);
  // Scrolls so that the given 1-based position is visible.
  void set_first_char(int pos);
  int first_char() const;

  void configure() override;

 protected:
  void apply_presentation() override;
};

}  // namespace orvex::gui
