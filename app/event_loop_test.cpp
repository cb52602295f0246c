#include "app/event_loop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QThread>
#include <QTimer>

#include <cstdlib>
#include <ctime>
#include <regex>

#include "app/demo_data.h"
#include "app/gui_operator_ui.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "dispatch/mail_log.h"
#include "platform/files/drives.h"
#include "platform/gui/boxes.h"
#include "platform/gui/events.h"
#include "platform/gui/keys.h"
#include "platform/pace/pace.h"
#include "platform/table/dbf.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;
using gui::Event;

TEST(TimerInterval, SixThousandHundredthsPerMinute) {
  struct Case {
    const char* text;
    int hundredths;
  } cases[] = {{"2", 12000}, {"5", 30000}, {"0.5", 3000}, {"abc", 0}, {"", 0}};
  for (const auto& c : cases) EXPECT_EQ(timer_hundredths(c.text), c.hundredths) << c.text;
}

TEST(NextDispatch, IsTheNextTickOfTheRunningTimer) {
  const Clock::time_point reg = Clock::from_time_t(1700000000);
  using std::chrono::seconds;
  EXPECT_EQ(next_tick(reg, reg + seconds(1), 12000), reg + seconds(120));
  EXPECT_EQ(next_tick(reg, reg + seconds(120), 12000), reg + seconds(240));  // at a tick: the one after
  EXPECT_EQ(next_tick(reg, reg + seconds(299), 30000), reg + seconds(300));  // interval 5, not 2
  EXPECT_EQ(next_tick(reg, reg + seconds(31), 3000), reg + seconds(60));
  EXPECT_EQ(next_tick(reg, reg + seconds(7), 0), reg + seconds(7));  // no timer
}

TEST(NextDispatch, TimeOfDayAfterMidnightIsValid) {
  std::tm tm{};
  tm.tm_year = 124;
  tm.tm_mon = 11;
  tm.tm_mday = 9;
  tm.tm_hour = 23;
  tm.tm_min = 59;
  tm.tm_sec = 10;
  tm.tm_isdst = -1;
  const Clock::time_point t = Clock::from_time_t(std::mktime(&tm));
  EXPECT_EQ(clock_text(t), "23:59:10");
  EXPECT_EQ(clock_text(next_tick(t - std::chrono::seconds(1), t, 12000)), "00:01:09");
}

constexpr const char* kRootVariable = "ORVEX_LOOP_TEST_ROOT";

// A real main window on the offscreen platform, a data root with an empty outbox, no pauses.
class Loop : public ::testing::Test {
 protected:
  void SetUp() override {
    // A death test's child runs this again in a new process: it takes the parent's root.
    if (const char* shared = std::getenv(kRootVariable)) {
      root_ = shared;
    } else {
      std::string tmpl = (fs::temp_directory_path() / "orvex-loop-XXXXXX").string();
      root_ = mkdtemp(tmpl.data());
    }
    layout_ = demo::layout_for(root_);
    demo::make_root(layout_, demo::Server{}, {}, {});
    files::clear_drives();
    files::set_drive('C', layout_.c_drive);
    files::set_drive('T', layout_.t_drive);
    set_pace_factor(0);
    qapp_ = std::make_unique<QApplication>(argc_, argv_);
    gui::set_headless(true);
    session_ = std::make_unique<gui::GuiSession>();
    gui::set_box_answerer([this](const gui::BoxRequest& r) {
      boxes_.push_back(r.text);
      return 0;
    });
    app_.ui = &ui_;
    app_.cTimerMin = "60";  // ticks in these tests are posted by hand
  }
  void TearDown() override {
    gui::set_box_answerer({});
    session_.reset();
    qapp_.reset();
    files::clear_drives();
    fs::remove_all(root_);
  }

  // Runs the steps one by one, each once the loop is waiting with nothing queued and no pause
  // or dialog has a loop of its own running; the last step must end the loop.
  void run(std::vector<std::function<void(MainWindow&)>> steps) {
    std::size_t next = 0;
    QTimer idle;
    MainWindow* win = nullptr;
    QObject::connect(&idle, &QTimer::timeout, [&] {
      if (win == nullptr || next >= steps.size() || QThread::currentThread()->loopLevel() != 0 ||
          gui::pending_events() != 0)
        return;
      steps[next++](*win);
    });
    idle.start(5);
    window_loop(app_, ui_, [&](MainWindow& w) { win = &w; });
    EXPECT_EQ(next, steps.size()) << "the loop ended before all steps ran";
  }

  static void click(QObject* target) { gui::postAppEvent(Event::LbClick, 0, 0, target); }
  static void key(long k) { gui::postAppEvent(Event::Key, k); }

  static inline int argc_ = 1;
  static inline char arg0_[] = "event_loop_test";
  static inline char* argv_[] = {arg0_, nullptr};

  fs::path root_;
  demo::Layout layout_;
  std::unique_ptr<QApplication> qapp_;
  std::unique_ptr<gui::GuiSession> session_;
  App app_;
  GuiOperatorUi ui_;
  std::vector<std::string> boxes_;
};

const std::string kEmptyAfterRound = "\r\nMailAusgang ist leer";

// The title with the next dispatch time as "hh:mm:ss" after the given words.
bool title_with_time(const std::string& title, const std::string& words) {
  const std::string head = std::string(MainWindow::kTitle) + words;
  return title.rfind(head, 0) == 0 &&
         std::regex_match(title.substr(head.size()), std::regex(R"([0-2]\d:[0-5]\d:[0-5]\d)"));
}

TEST_F(Loop, SendenRunsARoundAndSwitchesContinuousOperationOn) {
  run({[&](MainWindow& w) {
         EXPECT_EQ(app_.nDauerlauf, 0);  // off after every build
         EXPECT_EQ(w.dialog().get_title(), MainWindow::kTitle);
         click(w.oXbpBS);
       },
       [&](MainWindow& w) {
         EXPECT_EQ(app_.nDauerlauf, 1);
         EXPECT_EQ(w.oMle1->text(), kEmptyAfterRound);
         EXPECT_EQ(w.oXbpBS->background(), gui::colour::Yellow);
         EXPECT_TRUE(title_with_time(w.dialog().get_title(), " - nächste Sendung um: ")) << w.dialog().get_title();
         key(gui::key::Esc);
       }});
  EXPECT_EQ(app_.nBeenden, 1);
  EXPECT_EQ(app_.nDauerlauf, 0);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(Loop, TimerTickStartsARoundOnlyWhileContinuousOperationIsOnAndNoRoundRuns) {
  struct Case {
    int nDauerlauf, nAufSendung;
    bool round;
  } cases[] = {{0, 0, false}, {1, 1, false}, {1, 0, true}};
  for (const auto& c : cases) {
    app_.nDauerlauf = 1;  // the first build
    run({[&](MainWindow& w) {
           w.oMle1->setText("vorher");
           app_.nDauerlauf = c.nDauerlauf;
           app_.nAufSendung = c.nAufSendung;
           gui::postAppEvent(Event::Timer);
         },
         [&](MainWindow& w) {
           app_.nAufSendung = 0;
           EXPECT_EQ(w.oMle1->text(), c.round ? kEmptyAfterRound : "vorher") << c.nDauerlauf << c.nAufSendung;
           EXPECT_EQ(title_with_time(w.dialog().get_title(), " - nächste Sendung: "), c.round);
           if (c.round) {
             EXPECT_EQ(w.oXbpBS->background(), gui::colour::Yellow);
             EXPECT_EQ(w.oXbpBW1->background(), gui::colour::White);  // oMle2 names no job
           }
           key(gui::key::Esc);
         }});
  }
  // Nothing ran the round twice or refused one.
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(Loop, HaltAndAltHStopTimedRounds) {
  for (bool by_key : {false, true}) {
    app_.nDauerlauf = 1;
    app_.nBeenden = 0;
    run({[&](MainWindow& w) { click(w.oXbpBS); },
         [&](MainWindow& w) {
           ASSERT_EQ(app_.nDauerlauf, 1);
           w.oMle1->setText("nach SENDEN");
           if (by_key) {
             w.oXbpBH->setBackground(gui::colour::Pink);
             key(gui::key::alt('H'));
           } else {
             click(w.oXbpBH);
           }
           gui::postAppEvent(Event::Timer);
         },
         [&](MainWindow& w) {
           EXPECT_EQ(app_.nDauerlauf, 0);
           EXPECT_EQ(w.oMle1->text(), "nach SENDEN") << "a tick after HALT started a round";
           if (by_key) {
             EXPECT_EQ(w.oXbpBH->background(), gui::colour::White);
           }
           key(gui::key::Esc);
         }});
  }
}

TEST_F(Loop, EscAltF4AndEndeEndTheLoop) {
  for (int way = 0; way < 3; ++way) {
    app_.nDauerlauf = 1;
    app_.nBeenden = 0;
    run({[&](MainWindow& w) {
      if (way == 0) key(gui::key::Esc);
      if (way == 1) key(gui::key::AltF4);
      if (way == 2) click(w.oXbpBEn);
    }});
    EXPECT_EQ(app_.nBeenden, 1) << way;
    EXPECT_EQ(app_.nDauerlauf, 0) << way;
  }
}

TEST_F(Loop, SendenIsRefusedOnceTheOperatorAskedToQuit) {
  run({[&](MainWindow& w) {
         w.oMle1->setText("unverändert");
         app_.nBeenden = 1;  // as Esc leaves it, before its close request is handled
         click(w.oXbpBS);
       },
       [&](MainWindow& w) {
         EXPECT_EQ(w.oMle1->text(), "unverändert");
         EXPECT_EQ(w.dialog().get_title(), MainWindow::kTitle);
         EXPECT_NE(w.oXbpBS->background(), gui::colour::Cyan);
         EXPECT_EQ(app_.nDauerlauf, 0);
         key(gui::key::Esc);
       }});
}

TEST_F(Loop, MouseOverARetryButtonSetsItsIndicatorFromTheFolder) {
  demo::write_job(layout_, "x.ausg", "a@b.c");
  fs::rename(layout_.c_drive / "XARV/CMail/Ausgang/x.ausg", layout_.c_drive / "XARV/CMail/Ausgang/failure/x.ausg");
  run({[&](MainWindow& w) {
         EXPECT_EQ(w.oXbpBW1->background(), gui::colour::Black);  // set at build
         EXPECT_EQ(w.oXbpBW2->background(), gui::colour::White);
         w.oXbpBW1->setBackground(gui::colour::White);
         gui::postAppEvent(Event::Motion, 0, 0, w.oXbpBW1);
       },
       [&](MainWindow& w) {
         EXPECT_EQ(w.oXbpBW1->background(), gui::colour::Black);
         key(gui::key::Esc);
       }});
}

TEST_F(Loop, ResizeBuildsTheWindowAgainWithContinuousOperationOff) {
  int builds = 0;
  std::size_t step = 0;
  QTimer idle;
  MainWindow* win = nullptr;
  QObject::connect(&idle, &QTimer::timeout, [&] {
    if (win == nullptr || QThread::currentThread()->loopLevel() != 0 || gui::pending_events() != 0) return;
    if (builds == 1 && step == 0) {
      ++step;
      click(win->oXbpBS);
    } else if (builds == 1 && step == 1 && app_.nDauerlauf == 1) {
      ++step;
      win->dialog().widget()->resize(1300, 800);
    } else if (builds == 2 && step == 2) {
      ++step;
      EXPECT_EQ(app_.nDauerlauf, 0);
      EXPECT_EQ(app_.nXSize, 1300);
      EXPECT_EQ(app_.nYSize, 800);
      EXPECT_EQ(win->dialog().get_title(), MainWindow::kTitle);
      key(gui::key::Esc);
    }
  });
  idle.start(5);
  window_loop(app_, ui_, [&](MainWindow& w) {
    win = &w;
    ++builds;
  });
  EXPECT_EQ(builds, 2);
  EXPECT_EQ(step, 3u);
}

// Main end to end in this process: start-up on a real data root, the loop, the normal end.
class MainRun : public Loop {
 protected:
  fs::path log_table() const { return layout_.c_drive / "XARV" / "CMail" / "LOG_BREVOR.DBF"; }
  bool log_table_closed() const {
    return table::Dbf::open(log_table(), table::OpenMode::Exclusive) != nullptr;
  }
};

TEST_F(MainRun, NormalEndClosesTheTables) {
  for (int way = 0; way < 2; ++way) {
    bool held_during_run = false;
    RunMode mode;
    mode.headless = true;
    mode.on_built = [&](App&, MainWindow& w) {
      held_during_run = !log_table_closed();
      if (way == 0) key(gui::key::Esc);
      if (way == 1) click(w.oXbpBEn);
    };
    EXPECT_EQ(Main("2", mode), kExitOk);
    EXPECT_TRUE(held_during_run);
    EXPECT_TRUE(log_table_closed());
  }
}

TEST_F(MainRun, EmergencyStopEndsTheProcessAtOnceWithTheLogWritten) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  setenv(kRootVariable, root_.c_str(), 1);
  for (int way = 0; way < 2; ++way) {
    RunMode mode;
    mode.headless = true;
    mode.on_built = [&](App& app, MainWindow& w) {
      dispatch::append_log(app.areas, {"004711", "M", "Notaus", "a@b.c"});
      if (way == 0) key(gui::key::alt('C'));
      if (way == 1) gui::postAppEvent(Event::LbDown, 0, 0, w.oXbpBna);
    };
    EXPECT_EXIT(
        {
          Main("2", mode);
          std::exit(42);  // Main returned: not an emergency stop
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(log_table_closed());
    auto log = table::Dbf::open(log_table(), table::OpenMode::Shared);
    ASSERT_EQ(log->record_count(), static_cast<std::uint32_t>(way + 1));
    log->go_bottom();
    EXPECT_EQ(log->get("FORMULAR").substr(0, 6), "Notaus");
  }
  unsetenv(kRootVariable);
}

}  // namespace
}  // namespace orvex
