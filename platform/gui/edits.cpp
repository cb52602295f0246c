#include "platform/gui/edits.h"

#include <QTextCursor>

namespace orvex::gui {

namespace {

// The program's texts break lines with CR LF; Qt's editors with LF.
QString to_qt_text(const std::string& s) {
  QString q = QString::fromStdString(s);
  q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return q;
}

std::string from_qt_text(QString q) {
  q.replace(QChar::ParagraphSeparator, QChar('\n'));
  q.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return q.toStdString();
}

}  // namespace

MultiLineEdit::MultiLineEdit(QWidget* parent, Point pos, Size size, PresParams pres, bool visible)
    : ControlOf<QPlainTextEdit>(parent, pos, size, std::move(pres), visible) {}

void MultiLineEdit::configure() {
  setLineWrapMode(word_wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  setHorizontalScrollBarPolicy(horiz_scroll ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  setReadOnly(!editable);
}

void MultiLineEdit::apply_presentation() {
  Control::apply_presentation();
  QPalette pal = palette();
  if (colour_bg() != colour::Unset) pal.setColor(QPalette::Base, to_qcolor(colour_bg()));
  if (colour_fg() != colour::Unset) pal.setColor(QPalette::Text, to_qcolor(colour_fg()));
  setPalette(pal);
}

void MultiLineEdit::setData() { setData(dataLink ? dataLink(std::nullopt) : std::string()); }

void MultiLineEdit::setData(const std::string& text) { setPlainText(to_qt_text(text)); }

std::string MultiLineEdit::getData() {
  std::string t = text();
  if (dataLink) dataLink(t);
  return t;
}

std::string MultiLineEdit::text() const { return from_qt_text(toPlainText()); }

Marked MultiLineEdit::marked() const {
  const QTextCursor c = textCursor();
  return {c.selectionStart() + 1, c.selectionEnd() + 1};
}

void MultiLineEdit::set_marked(Marked m) {
  QTextCursor c = textCursor();
  c.setPosition(m.start - 1);
  c.setPosition(m.end - 1, QTextCursor::KeepAnchor);
  setTextCursor(c);
}

SingleLineEdit::SingleLineEdit(QWidget* parent, Point pos, Size size, PresParams pres, bool visible)
    : ControlOf<QLineEdit>(parent, pos, size, std::move(pres), visible) {}

void SingleLineEdit::configure() {
  setReadOnly(!editable);
  setMaxLength(buffer_length);
}

void SingleLineEdit::apply_presentation() {
  Control::apply_presentation();
  QPalette pal = palette();
  if (colour_bg() != colour::Unset) pal.setColor(QPalette::Base, to_qcolor(colour_bg()));
  if (colour_fg() != colour::Unset) pal.setColor(QPalette::Text, to_qcolor(colour_fg()));
  setPalette(pal);
}

void SingleLineEdit::setData() { setData(dataLink ? dataLink(std::nullopt) : std::string()); }

void SingleLineEdit::setData(const std::string& text) { set_text(text); }

std::string SingleLineEdit::getData() {
  std::string t = text();
  if (dataLink) dataLink(t);
  return t;
}

std::string SingleLineEdit::text() const { return QLineEdit::text().toStdString(); }

void SingleLineEdit::set_text(const std::string& utf8) { setText(QString::fromStdString(utf8)); }

Marked SingleLineEdit::marked() const {
  if (!hasSelectedText()) return {cursorPosition() + 1, cursorPosition() + 1};
  return {selectionStart() + 1, selectionEnd() + 1};
}

void SingleLineEdit::set_marked(Marked m) {
  if (m.end <= m.start) {
    deselect();
    setCursorPosition(m.start - 1);
    return;
  }
  setSelection(m.start - 1, m.end - m.start);
}

void SingleLineEdit::set_first_char(int pos) {
  // Qt scrolls to keep the cursor visible: from the end back to pos brings pos to the left edge.
  setCursorPosition(QLineEdit::text().size());
  setCursorPosition(pos - 1);
}

int SingleLineEdit::first_char() const {
  const QMargins m = textMargins();
  auto* self = const_cast<SingleLineEdit*>(this);  // Qt lacks the const overload
  return self->cursorPositionAt(QPoint(m.left() + 3, height() / 2)) + 1;
}

}  // namespace orvex::gui
