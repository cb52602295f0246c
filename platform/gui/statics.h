#pragma once
// Static texts, push buttons and the pop-up menu.
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/control.h"

namespace orvex::gui {

class StaticText : public ControlOf<QLabel> {
 public:
  enum class Type { Text, Picture };
  // Options: where the caption sits.
  static constexpr int Left = 0x1, HCenter = 0x2, Right = 0x4, Top = 0x10, VCenter = 0x20,
                       Bottom = 0x40;

  StaticText(QWidget* parent, Point pos, Size size, PresParams pres = {}, bool visible = true);

  // Attributes, applied by create() and configure().
  std::string caption;
  QPixmap picture;  // shown when type is Picture
  Type type = Type::Text;
  int options = Left | VCenter;

  void configure() override;
};

class PushButton : public ControlOf<QPushButton> {
 public:
  PushButton(QWidget* parent, Point pos, Size size, PresParams pres = {}, bool visible = true);

  std::string caption;
  // Run by a completed click and by Event::Activate.
  std::function<void()> activate;

  void configure() override;
  void handle_activate() override;
};

// A pop-up menu; Qt runs it, its input is not ours to queue.
class PopupMenu {
 public:
  PopupMenu();
  ~PopupMenu();
  void add_item(const std::string& caption, std::function<void()> action);
  void add_separator();
  void set_enabled(int item, bool on);  // 1-based item number
  // Shows the menu at pos of the control, runs the chosen item's action; 0 when none chosen.
  int popup(Control& at, Point pos);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvex::gui
