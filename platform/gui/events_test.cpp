#include "platform/gui/events.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>
#include <QtTest/QTest>
#include <thread>

#include "platform/gui/dialog.h"
#include "platform/gui/edits.h"
#include "platform/gui/keys.h"
#include "platform/gui/statics.h"
#include "platform/gui/test_support.h"
#include "platform/gui/timer.h"
#include "platform/gui/waits.h"
#include "platform/pace/pace.h"

namespace orvex::gui {
namespace {

using testing::click_close_box;
using testing::handle_all;
using testing::show_active;
using testing::take_all;

std::vector<Event> codes(const std::vector<AppEvent>& events) {
  std::vector<Event> out;
  for (const auto& e : events) out.push_back(e.code);
  return out;
}

// A window with an editor and a push button, shown and active.
struct Window : ::testing::Test {
  Dialog dlg{nullptr, {100, 100}, {400, 300}};
  MultiLineEdit* edit = new MultiLineEdit(dlg.drawing_area(), {10, 100}, {200, 150});
  PushButton* button = new PushButton(dlg.drawing_area(), {10, 10}, {80, 30});
  int clicks = 0;

  void SetUp() override {
    button->caption = "OK";
    button->activate = [this] { ++clicks; };
    dlg.create();
    edit->create();
    button->create();
    show_active(&dlg);
    edit->set_focus();
    take_all();
  }
  void TearDown() override { clear_events(); }

  QWindow* handle() { return dlg.windowHandle(); }
  QPoint centre_of(QWidget* w) { return w->mapTo(&dlg, w->rect().center()); }
};

TEST(KeyCodes, ByMeaning) {
  struct Case {
    int qt_key;
    Qt::KeyboardModifiers mods;
    QString text;
    int expected;
  } cases[] = {
      {Qt::Key_Escape, Qt::NoModifier, "\x1b", key::Esc},
      {Qt::Key_Return, Qt::NoModifier, "\r", key::Enter},
      {Qt::Key_Enter, Qt::KeypadModifier, "\r", key::Enter},
      {Qt::Key_F1, Qt::NoModifier, "", key::F1},
      {Qt::Key_F10, Qt::NoModifier, "", key::F10},
      {Qt::Key_F1, Qt::ControlModifier, "", key::CtrlF1},
      {Qt::Key_F4, Qt::AltModifier, "", key::AltF4},
      {Qt::Key_W, Qt::ControlModifier, "\x17", key::ctrl('W')},
      {Qt::Key_C, Qt::AltModifier, "c", key::alt('C')},
      {Qt::Key_H, Qt::AltModifier | Qt::ShiftModifier, "H", key::alt('H')},
      {Qt::Key_A, Qt::NoModifier, "a", 'a'},
      {Qt::Key_A, Qt::ShiftModifier, "A", 'A'},
      {Qt::Key_Adiaeresis, Qt::NoModifier, QString::fromUtf8("ä"), 0xE4},
      {Qt::Key_Tab, Qt::NoModifier, "\t", key::Tab},
      {Qt::Key_Backtab, Qt::ShiftModifier, "", key::ShiftTab},
      {Qt::Key_Shift, Qt::ShiftModifier, "", key::None},
      {Qt::Key_Control, Qt::ControlModifier, "", key::None},
  };
  for (const Case& c : cases) {
    QKeyEvent ev(QEvent::KeyPress, c.qt_key, c.mods, c.text);
    EXPECT_EQ(key::key_code(ev), c.expected) << "Qt key " << std::hex << c.qt_key;
  }
}

TEST(Geometry, LowerLeftOriginConvertsToQt) {
  EXPECT_EQ(to_qt_rect({12, 48}, {384, 648}, 750), QRect(12, 54, 384, 648));
  EXPECT_EQ(to_system_pos(QRect(12, 54, 384, 648), 750), (Point{12, 48}));
  // The top pixel row of a widget 26 high is row 25 counted from below.
  EXPECT_EQ(to_system_point(QPoint(0, 0), 26), (Point{0, 25}));
  EXPECT_EQ(to_system_point(QPoint(5, 25), 26), (Point{5, 0}));
  EXPECT_EQ(to_qt_point({5, 0}, 26), QPoint(5, 25));
}

TEST_F(Window, TypedKeysReachTheEditorOnlyWhenHandedOn) {
  QTest::keyClicks(edit, "ab");
  EXPECT_EQ(edit->text(), "");
  auto events = take_all();
  ASSERT_EQ(codes(events), (std::vector<Event>{Event::Key, Event::KeyUp, Event::Key, Event::KeyUp}));
  EXPECT_EQ(events[0].mp1, 'a');
  EXPECT_TRUE(events[0].is_for(edit));
  for (const auto& e : events) handleEvent(e);
  EXPECT_EQ(edit->text(), "ab");
}

TEST_F(Window, AltLetterIsNotTypedCtrlLetterNeither) {
  QTest::keyClick(edit, Qt::Key_X, Qt::AltModifier);
  QTest::keyClick(edit, Qt::Key_W, Qt::ControlModifier);
  auto events = take_all();
  std::vector<long> keys;
  for (const auto& e : events)
    if (e.code == Event::Key && e.mp1 != key::None) keys.push_back(e.mp1);
  EXPECT_EQ(keys, (std::vector<long>{key::alt('X'), key::ctrl('W')}));
  for (const auto& e : events) handleEvent(e);
  EXPECT_EQ(edit->text(), "");
}

TEST_F(Window, ClickRunsTheButtonOnlyWhenHandedOn) {
  QTest::mouseClick(handle(), Qt::LeftButton, {}, button->mapTo(&dlg, QPoint(40, 15)));
  auto events = take_all();
  auto c = codes(events);
  EXPECT_NE(std::find(c.begin(), c.end(), Event::LbDown), c.end());
  ASSERT_NE(std::find(c.begin(), c.end(), Event::LbClick), c.end());
  EXPECT_EQ(clicks, 0);
  for (const auto& e : events) {
    if (e.code == Event::LbClick) {
      EXPECT_TRUE(e.is_for(button));
      EXPECT_EQ(e.pos, (Point{40, 14}));  // Qt row 15 of 30 is row 14 from below
    }
    handleEvent(e);
  }
  EXPECT_EQ(clicks, 1);
}

TEST_F(Window, ReleaseOutsideThePressedControlIsNoClick) {
  QTest::mousePress(handle(), Qt::LeftButton, {}, centre_of(button));
  QTest::mouseRelease(handle(), Qt::LeftButton, {}, centre_of(button) + QPoint(200, 0));
  auto events = take_all();
  auto c = codes(events);
  EXPECT_EQ(std::find(c.begin(), c.end(), Event::LbClick), c.end());
  EXPECT_NE(std::find(c.begin(), c.end(), Event::LbUp), c.end());
  for (const auto& e : events) handleEvent(e);
  EXPECT_EQ(clicks, 0);
}

TEST_F(Window, EnterOnAPushButtonIsAnActivateTheLoopPosts) {
  postAppEvent(Event::Activate, 0, 0, button);
  auto events = take_all();
  ASSERT_EQ(codes(events), (std::vector<Event>{Event::Activate}));
  handleEvent(events[0]);
  EXPECT_EQ(clicks, 1);
}

TEST_F(Window, ConsecutiveMovesToOneControlMerge) {
  const QPoint at = edit->mapTo(&dlg, QPoint(0, 0));
  QTest::mouseMove(handle(), at + QPoint(20, 20));
  QTest::mouseMove(handle(), at + QPoint(30, 40));
  auto events = take_all();
  std::vector<AppEvent> moves;
  for (auto& e : events)
    if (e.code == Event::Motion) moves.push_back(e);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_TRUE(moves[0].is_for(edit));
  EXPECT_EQ(moves[0].pos, (Point{30, 150 - 1 - 40}));
}

TEST_F(Window, CloseBoxQueuesACloseRequestAndTheWindowStays) {
  int closes = 0;
  dlg.on_close = [&] { ++closes; };
  click_close_box(&dlg);
  EXPECT_TRUE(dlg.isVisible());
  auto events = take_all();
  ASSERT_EQ(codes(events), (std::vector<Event>{Event::Close}));
  EXPECT_TRUE(events[0].is_for(&dlg));
  EXPECT_EQ(closes, 0);
  handleEvent(events[0]);
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(dlg.isVisible());
}

TEST_F(Window, ProgrammaticCloseIsNotQueued) {
  dlg.QWidget::close();
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_TRUE(take_all().empty());
}

TEST_F(Window, InputToQtsOwnBoxesIsNotOurs) {
  QMessageBox box(QMessageBox::Information, "t", "x", QMessageBox::Ok);
  box.show();
  QTest::keyClick(&box, Qt::Key_Escape);
  EXPECT_TRUE(take_all().empty());
  EXPECT_FALSE(box.isVisible());
}

TEST_F(Window, ResizeIsQueuedWithOldAndNewSizeMerged) {
  Size seen_old, seen_new;
  dlg.on_resize = [&](Size o, Size n) { seen_old = o, seen_new = n; };
  dlg.resize(405, 300);
  dlg.resize(420, 310);
  auto events = take_all();
  ASSERT_EQ(codes(events), (std::vector<Event>{Event::Resize}));
  handleEvent(events[0]);
  EXPECT_EQ(seen_old, (Size{400, 300}));
  EXPECT_EQ(seen_new, (Size{420, 310}));
}

TEST_F(Window, PostedFromAnotherThreadAddressedToTheFocus) {
  std::thread t([] { postAppEvent(Event::Timer, 7); });
  t.join();
  AppEvent e = appEvent();
  EXPECT_EQ(e.code, Event::Timer);
  EXPECT_EQ(e.mp1, 7);
  EXPECT_TRUE(e.is_for(edit));
}

TEST_F(Window, TimerEventsDuringAPaceComeAfterwardsInOrder) {
  set_pace_factor(1);
  postAppEvent(Event::Timer, 1);
  postAppEvent(Event::Timer, 2);
  QTimer::singleShot(0, [] { postAppEvent(Event::Timer, 3); });
  pace(2);
  EXPECT_EQ(pending_events(), 3u);
  for (long n = 1; n <= 3; ++n) {
    AppEvent e = appEvent();
    EXPECT_EQ(e.code, Event::Timer);
    EXPECT_EQ(e.mp1, n);
    EXPECT_TRUE(e.is_for(edit));
    handleEvent(e);  // a timer tick does nothing to its target
  }
  EXPECT_EQ(edit->text(), "");
}

TEST_F(Window, TheTimerTicksToTheFocusUntilStopped) {
  set_timer(1);
  EXPECT_EQ(timer_interval(), 1);
  AppEvent e = appEvent();
  while (e.code != Event::Timer) e = appEvent();
  EXPECT_TRUE(e.is_for(edit));
  set_timer(6000);
  set_timer(3000);
  EXPECT_EQ(timer_interval(), 3000);
  set_timer(0);
  EXPECT_EQ(timer_interval(), 0);
  EXPECT_THROW(set_timer(-1), std::invalid_argument);
}

TEST_F(Window, AKeyEndsWaitForKeyAndIsConsumed) {
  QTimer::singleShot(0, [this] { QTest::keyClick(edit, Qt::Key_Q); });
  EXPECT_TRUE(wait_for_key(360000));
  auto c = codes(take_all());
  EXPECT_EQ(std::find(c.begin(), c.end(), Event::Key), c.end());
  EXPECT_EQ(edit->text(), "");
  EXPECT_FALSE(wait_for_key(1));
}

TEST_F(Window, AppEventRunsDeferredDeletes) {
  QPointer<QWidget> doomed = new QWidget;
  doomed->deleteLater();
  postAppEvent(Event::User);
  EXPECT_EQ(appEvent().code, Event::User);
  EXPECT_TRUE(doomed.isNull());
}

}  // namespace
}  // namespace orvex::gui
