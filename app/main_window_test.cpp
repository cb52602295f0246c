#include "app/main_window.h"

#include <QtTest/QTest>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/files/drives.h"
#include "platform/gui/boxes.h"
#include "platform/gui/desktop.h"
#include "platform/gui/test_support.h"

namespace orvex {
namespace {

namespace colour = gui::colour;
namespace fs = std::filesystem;

struct Rect {
  int x, y, w, h;  // lower left origin
};

struct MainWindowTest : ::testing::Test {
  App app;
  fs::path root = fs::temp_directory_path() /
                  ("orvex_main_window_" + std::to_string(::getpid()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::map<std::string, int> calls;
  std::unique_ptr<MainWindow> win;

  void SetUp() override {
    fs::create_directories(root / "XARV" / "CMail" / "Ausgang" / "failure");
    fs::create_directories(root / "XARV" / "CMail" / "Ausgang" / "quarantine");
    files::set_drive('C', root);
    app.cMessage20 = "noch zu senden";
  }
  void TearDown() override {
    win.reset();
    gui::clear_events();
    fs::remove_all(root);
  }

  void build() {
    MainWindowTexts texts{[] { return std::string("Ausgang: 2 Mails"); },
                          [](int n) { return "Ordner " + std::to_string(n); }};
    MainWindowActions a;
    auto count = [this](const char* n) { return [this, n] { ++calls[n]; }; };
    a.senden = count("senden");
    a.halt = count("halt");
    a.log = count("log");
    a.leeren1 = count("leeren1");
    a.wiederholen1 = count("wiederholen1");
    a.leeren2 = count("leeren2");
    a.wiederholen2 = count("wiederholen2");
    a.ende = count("ende");
    a.not_aus = count("not_aus");
    win = std::make_unique<MainWindow>(app, texts, a);
    gui::testing::take_all();
  }

  // The control's place in the client area in the system's coordinates, read back from Qt.
  Rect placed(QWidget* w) {
    const int client_h = win->oCB().height();
    const QRect g = w->geometry();
    return {g.x(), client_h - (g.y() + g.height()), g.width(), g.height()};
  }
};

void expect_rect(const Rect& got, const Rect& want, const std::string& what) {
  EXPECT_EQ(got.x, want.x) << what;
  EXPECT_EQ(got.y, want.y) << what;
  EXPECT_EQ(got.w, want.w) << what;
  EXPECT_EQ(got.h, want.h) << what;
}

TEST_F(MainWindowTest, LayoutAt1200x750) {
  build();
  EXPECT_EQ(win->oCB().height(), 750);
  const std::pair<QWidget*, Rect> table[] = {
      {win->oMle1, {12, 48, 384, 648}},    {win->oMle20, {402, 375, 384, 322}},
      {win->oMle2, {402, 48, 384, 322}},   {win->oMle30, {792, 375, 384, 322}},
      {win->oMle3, {792, 48, 384, 322}},   {win->oXbpBna, {36, 11, 54, 26}},
      {win->oXbpBS, {156, 11, 102, 26}},   {win->oXbpBH, {270, 11, 42, 26}},
      {win->oXbpBlb, {348, 11, 48, 26}},   {win->oXbpBL1, {468, 11, 54, 26}},
      {win->oXbpBW1, {534, 11, 120, 26}},  {win->oXbpBL2, {858, 11, 54, 26}},
      {win->oXbpBW2, {924, 11, 120, 26}},  {win->oXbpBEn, {1098, 11, 54, 26}},
  };
  for (const auto& [w, want] : table) expect_rect(placed(w), want, w->objectName().toStdString());
  // Qt's own view of the top panel: 750 - (375 + 322) from the top.
  EXPECT_EQ(win->oMle20->geometry(), QRect(402, 53, 384, 322));
}

TEST_F(MainWindowTest, ResizeBeyondTenPixelsRebuildsAtTheNewSize) {
  build();
  app.nDauerlauf = 0;
  DlgResizer(app, {1200, 750}, {1000, 600}, win->dialog());
  EXPECT_EQ(app.nDauerlauf, 1);
  auto events = gui::testing::take_all();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].code, gui::Event::Close);
  EXPECT_DOUBLE_EQ(app.nX, 1.0);
  EXPECT_DOUBLE_EQ(app.nY, 0.6);
  win.reset();
  build();
  EXPECT_EQ(win->dialog().size(), QSize(1000, 600));
  const std::pair<QWidget*, Rect> table[] = {
      {win->oMle1, {10, 39, 320, 519}},  {win->oMle20, {335, 300, 320, 258}},
      {win->oMle2, {335, 39, 320, 258}}, {win->oMle30, {660, 300, 320, 258}},
      {win->oMle3, {660, 39, 320, 258}}, {win->oXbpBS, {130, 9, 85, 21}},
      {win->oXbpBEn, {915, 9, 45, 21}},
  };
  for (const auto& [w, want] : table) expect_rect(placed(w), want, w->objectName().toStdString());
}

TEST_F(MainWindowTest, DlgResizerActsOnlyBeyondTenPixels) {
  build();
  struct Case {
    gui::Size now;
    bool rebuild;
  } cases[] = {{{1210, 750}, false}, {{1190, 740}, false}, {{1211, 750}, true},
               {{1200, 739}, true},  {{1189, 760}, true}};
  for (const Case& c : cases) {
    app.nXSize = 1200, app.nYSize = 750, app.nDauerlauf = 0;
    EXPECT_TRUE(DlgResizer(app, {1200, 750}, c.now, win->dialog()));
    EXPECT_EQ(app.nDauerlauf, c.rebuild ? 1 : 0) << c.now.w << "x" << c.now.h;
    EXPECT_EQ(app.nXSize, c.rebuild ? c.now.w : 1200);
    EXPECT_EQ(gui::testing::take_all().size(), c.rebuild ? 1u : 0u);
  }
}

TEST_F(MainWindowTest, OperatorResizeRunsDlgResizerWhenHandedOn) {
  build();
  app.nDauerlauf = 0;
  win->dialog().resize(1220, 750);
  for (const auto& e : gui::testing::take_all()) gui::handleEvent(e);
  EXPECT_EQ(app.nXSize, 1220);
  EXPECT_EQ(app.nDauerlauf, 1);
  auto events = gui::testing::take_all();  // the close request DlgResizer posted
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].code, gui::Event::Close);
}

TEST_F(MainWindowTest, ScreenCenterWithFalseOnlyComputes) {
  build();
  win->dialog().resize(301, 751);
  win->dialog().set_pos({5, 7});
  const QPoint before = win->dialog().pos();
  const gui::Size desk = gui::desktop_size();
  CenterPos c = ScreenCenter(win->dialog(), false);
  EXPECT_DOUBLE_EQ(c.x, (desk.w - 301) / 2.0);
  EXPECT_DOUBLE_EQ(c.y, (desk.h - 751) / 2.0);
  EXPECT_EQ(win->dialog().pos(), before);
  ScreenCenter(win->dialog(), true);
  EXPECT_EQ(win->dialog().current_pos(), (gui::Point{static_cast<int>(c.x), static_cast<int>(c.y)}));
}

TEST_F(MainWindowTest, WindowAttributesCaptionsAndColours) {
  build();
  gui::Dialog& d = win->dialog();
  EXPECT_EQ(d.windowTitle().toStdString(), "ORVEX-Mail - automatisches Mail-Programm (Hilfe mit F1)");
  EXPECT_FALSE(d.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(d.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(d.windowModality(), Qt::ApplicationModal);
  EXPECT_EQ(win->oCB().palette().color(QPalette::Window), gui::to_qcolor(colour::DarkPink));
  EXPECT_TRUE(win->oMle1->hasFocus());
  EXPECT_EQ(QFontInfo(win->oMle1->font()).pointSize(), 12);
  EXPECT_TRUE(QFontInfo(win->oMle1->font()).fixedPitch());

  struct Case {
    MagicButton* b;
    const char* caption;
    int bg, normalBG, active;
  } cases[] = {{win->oXbpBna, "A  L  T - C", 4, 4, 4},
               {win->oXbpBS, " S E N D E N ", 0, 0, 6},
               {win->oXbpBH, " HALT", 0, 0, 3},
               {win->oXbpBlb, "  L  O  G  ", 0, 0, 0},
               {win->oXbpBL1, "leeren", 0, 0, 0},
               {win->oXbpBW1, "W I E D E R H O L E N", 0, 0, 0},
               {win->oXbpBL2, "leeren", 0, 0, 0},
               {win->oXbpBW2, "W I E D E R H O L E N", 0, 0, 0},
               {win->oXbpBEn, "Ende", 0, 0, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(c.b->text().toStdString(), c.caption);
    EXPECT_EQ(c.b->background(), c.bg) << c.caption;
    EXPECT_EQ(c.b->normalBG, c.normalBG) << c.caption;
    EXPECT_EQ(c.b->ActiveCLR, c.active) << c.caption;
    EXPECT_EQ(c.b->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
  }
  EXPECT_EQ(win->oXbpBna->palette().color(QPalette::WindowText), gui::to_qcolor(colour::White));
}

TEST_F(MainWindowTest, PanelsAreFilledAndLinkedToTheirVariables) {
  build();
  EXPECT_EQ(win->oMle1->text(), "Ausgang: 2 Mails");
  EXPECT_EQ(win->oMle2->text(), "Ordner 1");
  EXPECT_EQ(win->oMle3->text(), "Ordner 2");
  EXPECT_EQ(win->oMle20->text(), "noch zu senden");
  EXPECT_EQ(app.cMessage1, "Ordner 1");

  win->oMle30->setText("Mail an\r\nkunde@example.de");
  EXPECT_EQ(app.cMessage30, "");  // filling with a text leaves the variable
  EXPECT_EQ(win->oMle30->text(), "Mail an\r\nkunde@example.de");
  EXPECT_EQ(app.cMessage30, "Mail an\r\nkunde@example.de");  // reading stores it
  app.cMessage30 = "neu";
  win->oMle30->fill();
  EXPECT_EQ(win->oMle30->gui::MultiLineEdit::text(), "neu");
}

TEST_F(MainWindowTest, AppPointersSetByTheBuildClearedByTheDestruction) {
  build();
  EXPECT_EQ(app.oMle1, win->oMle1);
  EXPECT_EQ(app.oMle30, win->oMle30);
  EXPECT_EQ(app.oXbpBS, win->oXbpBS);
  EXPECT_EQ(app.oXbpBna, win->oXbpBna);
  win.reset();
  EXPECT_EQ(app.oMle1, nullptr);
  EXPECT_EQ(app.oXbpBW2, nullptr);
}

TEST_F(MainWindowTest, ButtonsRunTheirActionsWhenClickedTheCloseBoxRunsNotAus) {
  build();
  win->oXbpBS->lbClick({1, 1});
  win->oXbpBW2->lbClick({1, 1});
  win->oXbpBna->lbClick({1, 1});
  EXPECT_EQ(calls["senden"], 1);
  EXPECT_EQ(calls["wiederholen2"], 1);
  EXPECT_EQ(calls.size(), 2u);
  EXPECT_EQ(win->oXbpBS->background(), colour::Yellow);

  gui::testing::click_close_box(&win->dialog());
  for (const auto& e : gui::testing::take_all()) gui::handleEvent(e);
  EXPECT_EQ(calls["not_aus"], 1);
}

TEST_F(MainWindowTest, RetryIndicatorsFollowTheFolders) {
  std::ofstream(root / "XARV" / "CMail" / "Ausgang" / "failure" / "R123456.ausg") << "x";
  std::ofstream(root / "XARV" / "CMail" / "Ausgang" / "quarantine" / "note.txt") << "x";
  build();
  set_retry_indicator(app, 1);
  set_retry_indicator(app, 2);
  EXPECT_EQ(win->oXbpBW1->background(), colour::Black);
  EXPECT_EQ(win->oXbpBW2->background(), colour::White);
  fs::remove(root / "XARV" / "CMail" / "Ausgang" / "failure" / "R123456.ausg");
  set_retry_indicator(app, 1);
  EXPECT_EQ(win->oXbpBW1->background(), colour::White);
}

TEST_F(MainWindowTest, HeadlessPanelChangesAreEchoed) {
  build();
  gui::set_headless(true);
  ::testing::internal::CaptureStdout();
  win->oMle30->setText("Mail an\r\nkunde@example.de");
  win->oMle20->setText("");
  const std::string out = ::testing::internal::GetCapturedStdout();
  gui::set_headless(false);
  EXPECT_NE(out.find("] oMle30:\n  Mail an\n  kunde@example.de\n"), std::string::npos) << out;
  EXPECT_NE(out.find("] oMle20: (leer)\n"), std::string::npos) << out;
  EXPECT_EQ(out.front(), '[');
}

}  // namespace
}  // namespace orvex
