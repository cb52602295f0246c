#pragma once
// For the tests of this folder: a second real process that opens and locks tables through
// our engine, and an operator that answers the retry boxes.
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"

namespace orvex::testing_support {

// A forked process that runs one command at a time and answers "ok", "busy" or "err <why>":
//   open S|E <path>, close, close-after <ms> (answers at once, closes later),
//   lock <recno> (kept with the others), unlock, append, hold-append (blocks appends).
class Peer {
 public:
  Peer();
  ~Peer();
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  std::string ask(const std::string& command);

 private:
  int pid_ = -1;
  int to_child_ = -1;
  int from_child_ = -1;
};

// Thrown by the tests' program-end hook, so that nothing after the end point runs.
struct Declined {
  int code;
};

// A new table with a NAME field (C 10) and one record per name, committed.
void make_name_table(const std::filesystem::path& file, const std::vector<std::string>& names);

struct FakeUi : OperatorUi {
  int waits = 0;
  bool really_wait = false;  // sleep the full pause, for races with a peer's timer
  std::function<void(int wait_number)> on_wait;
  std::vector<std::pair<std::string, std::string>> boxes;  // title, message
  std::function<bool(int box_number)> answer = [](int) { return false; };

  void message_box(const std::string&) override {}
  bool confirm(const std::string& title, const std::string& message) override;
  std::string message_window(const std::string& text, const std::string&, int, int) override { return text; }
  void tone(int, int) override {}
  bool wait_for_key(int hundredths) override;
  void set_title(const std::string&) override {}
};

}  // namespace orvex::testing_support
