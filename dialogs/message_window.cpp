#include "dialogs/message_window.h"

#include <QApplication>
#include <QPointer>

#include "platform/gui/boxes.h"
#include "platform/gui/desktop.h"
#include "platform/gui/dialog.h"
#include "platform/gui/edits.h"
#include "platform/gui/events.h"
#include "platform/gui/statics.h"
#include "platform/pace/pace.h"

namespace orvex {

namespace {

std::string without_leading_blanks(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : s.substr(first);
}

int Int(double v) { return static_cast<int>(v); }

}  // namespace

std::string Modaldialog_ml(const std::string& cString, const std::string& cTitle, QWidget* oDlg1,
                           int nXsize, int nYsize, bool lModal) {
  if (gui::headless()) {
    gui::echo(cTitle + "\n" + cString);
    return without_leading_blanks(cString);
  }
  QPointer<QWidget> focus_before = QApplication::focusWidget();
  const double nV = gui::desktop_size().w / 800.0;

  // Only the editor's size gets a given place; others are centred on the desktop.
  const gui::Size desk = gui::desktop_size();
  gui::Point pos{(desk.w - nXsize) / 2, (desk.h - nYsize) / 2};
  if (nXsize == 800 && nYsize == 600 && oDlg1 != nullptr) pos = {oDlg1->width() / 2, Int(20 * nV)};

  gui::Dialog dlg(oDlg1, pos, {nXsize, nYsize});
  dlg.title = cTitle;
  dlg.task_list = true;
  dlg.min_button = false;
  dlg.max_button = false;
  dlg.create();
  QWidget* area = dlg.drawing_area();

  std::string buffer = cString;
  auto* oMle = new gui::MultiLineEdit(area, {Int(30 * nV), Int(40 * nV)},
                                      {nXsize - Int(60 * nV), nYsize - Int(70 * nV)},
                                      {gui::colour::Unset, gui::colour::EntryFieldBG,
                                       "10.Times New Roman"});
  oMle->setObjectName("oMle");
  oMle->word_wrap = true;
  oMle->horiz_scroll = false;
  oMle->editable = true;
  oMle->dataLink = [&buffer](std::optional<std::string> v) {
    if (v) buffer = *v;
    return buffer;
  };
  oMle->create();
  oMle->setData();

  const int button_w = Int(72 * nV);
  auto* ok = new gui::PushButton(area, {(area->width() - button_w) / 2, Int(12 * nV)},
                                 {button_w, Int(24 * nV)});
  ok->setObjectName("ok");
  ok->caption = "OK";
  ok->set_tab_stop(true);
  ok->activate = [&buffer, oMle] {
    buffer = without_leading_blanks(oMle->getData());
    gui::post_close_request();
  };
  ok->create();

  oMle->set_focus();
  if (lModal) {
    dlg.set_modal_state(true);
    dlg.show();
    dlg.activateWindow();
    for (;;) {
      gui::AppEvent e = gui::appEvent();
      gui::handleEvent(e);
      if (e.code == gui::Event::Close) break;
    }
    dlg.set_modal_state(false);
  } else {
    dlg.show();
    pace(1000);
  }
  dlg.destroy();
  if (focus_before) focus_before->setFocus();
  return without_leading_blanks(buffer);
}

}  // namespace orvex
