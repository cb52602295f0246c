#include "toolkit/magic_button.h"

#include <QtTest/QTest>

#include "platform/gui/dialog.h"
#include "platform/gui/test_support.h"

namespace orvex {
namespace {

using gui::Point;
namespace colour = gui::colour;

struct MagicButtonTest : ::testing::Test {
  gui::Dialog dlg{nullptr, {100, 100}, {400, 200}};
  MagicButton* button = new MagicButton(dlg.drawing_area(), nullptr, {10, 10}, {100, 30},
                                        {colour::Blue, colour::White, ""});
  int runs = 0;

  void SetUp() override {
    button->caption = " S E N D E N ";
    button->options = gui::StaticText::HCenter | gui::StaticText::VCenter;
    button->normalFG = colour::Blue;
    button->normalBG = colour::White;
    button->ActiveCLR = colour::Yellow;
    dlg.create();
    button->create();
    button->activate = [this](std::nullptr_t, std::nullptr_t, MagicButton&) { ++runs; };
    gui::testing::show_active(&dlg);
    gui::testing::take_all();
  }
  void TearDown() override {
    button->capture_mouse(false);
    gui::clear_events();
  }
  QColor painted() const { return button->palette().color(button->backgroundRole()); }
};

TEST_F(MagicButtonTest, EdgesCountAsOutside) {
  struct Case {
    Point p;
    bool inside;
  } cases[] = {{{1, 1}, true},     {{99, 29}, true},  {{50, 15}, true},  {{0, 15}, false},
               {{100, 15}, false}, {{50, 0}, false},  {{50, 30}, false}, {{-1, -1}, false}};
  for (const Case& c : cases) EXPECT_EQ(button->PosOnXbp(c.p), c.inside) << c.p.x << "," << c.p.y;
}

TEST_F(MagicButtonTest, HoverShowsTheShadowColourLeavingRestoresNormalBG) {
  button->motion({50, 15});
  EXPECT_TRUE(button->is_hovering());
  EXPECT_TRUE(button->has_mouse_capture());
  EXPECT_EQ(button->background(), colour::ButtonShadow);
  EXPECT_EQ(painted(), gui::to_qcolor(colour::ButtonShadow));
  button->motion({100, 15});  // on the edge: outside
  EXPECT_FALSE(button->is_hovering());
  EXPECT_FALSE(button->has_mouse_capture());
  EXPECT_EQ(button->background(), colour::White);
  EXPECT_EQ(runs, 0);
}

TEST_F(MagicButtonTest, ClickWhileHoveringRunsTheActionThenShowsActiveCLR) {
  button->motion({50, 15});
  int colour_during = -99;
  bool pressed_during = false;
  button->activate = [&](std::nullptr_t, std::nullptr_t, MagicButton& b) {
    ++runs;
    colour_during = b.background();
    pressed_during = b.is_pressed();
    b.motion({500, 500});  // movements while the action runs are ignored
    colour_during = b.background();
  };
  button->lbClick({50, 15});
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(pressed_during);
  EXPECT_EQ(colour_during, colour::ButtonShadow);
  EXPECT_TRUE(button->lIsActive);
  EXPECT_FALSE(button->is_hovering());
  EXPECT_FALSE(button->has_mouse_capture());
  EXPECT_EQ(button->background(), colour::Yellow);
  // Used buttons come back to ActiveCLR after the next hover, too.
  button->motion({50, 15});
  button->motion({-1, -1});
  EXPECT_EQ(button->background(), colour::Yellow);
}

TEST_F(MagicButtonTest, NeverHoveredKeepsTheConstructionColour) {
  button->normalBG = colour::Pink;
  EXPECT_EQ(painted(), gui::to_qcolor(colour::White));
  button->motion({50, 15});
  button->motion({-1, -1});
  EXPECT_EQ(painted(), gui::to_qcolor(colour::Pink));
}

TEST_F(MagicButtonTest, WithAHitPictureOnlyTheCaptionChanges) {
  QPixmap pic(10, 10);
  pic.fill(Qt::red);
  button->hit = pic;
  button->motion({50, 15});
  EXPECT_EQ(button->type, gui::StaticText::Type::Picture);
  EXPECT_EQ(button->background(), colour::White);
  button->motion({-1, -1});
  EXPECT_EQ(button->type, gui::StaticText::Type::Text);
  EXPECT_EQ(button->text().toStdString(), " S E N D E N ");
  EXPECT_EQ(button->background(), colour::White);
}

TEST_F(MagicButtonTest, ARealClickRunsTheActionOnlyWhenHandedOn) {
  QWindow* win = dlg.windowHandle();
  const QPoint centre = button->mapTo(&dlg, QPoint(50, 15));
  QTest::mouseMove(win, centre);
  QTest::mouseClick(win, Qt::LeftButton, {}, centre);
  auto events = gui::testing::take_all();
  EXPECT_EQ(runs, 0);
  bool clicked = false;
  for (const auto& e : events) {
    if (e.code == gui::Event::Motion && e.is_for(button)) {
      gui::handleEvent(e);
      EXPECT_EQ(button->background(), colour::ButtonShadow);
      continue;
    }
    clicked = clicked || (e.code == gui::Event::LbClick && e.is_for(button));
    gui::handleEvent(e);
  }
  EXPECT_TRUE(clicked);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(button->background(), colour::Yellow);
}

TEST_F(MagicButtonTest, SignalColoursGoThroughThePresentationParameters) {
  button->setBackground(colour::Cyan);
  EXPECT_EQ(button->background(), colour::Cyan);
  EXPECT_EQ(painted(), gui::to_qcolor(colour::Cyan));
}

}  // namespace
}  // namespace orvex
