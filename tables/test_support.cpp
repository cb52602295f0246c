#include "tables/test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <exception>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/table/dbf.h"

namespace orvex::testing_support {

namespace {

bool read_line(int fd, std::string& line) {
  line.clear();
  char c;
  for (;;) {
    ssize_t n = ::read(fd, &c, 1);
    if (n <= 0) return false;
    if (c == '\n') return true;
    line.push_back(c);
  }
}

void write_all(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

std::string run(std::unique_ptr<table::Dbf>& dbf, const std::string& command) {
  std::istringstream in(command);
  std::string verb;
  in >> verb;
  if (verb == "open") {
    std::string mode, path;
    in >> mode;
    std::getline(in >> std::ws, path);
    dbf.reset();
    dbf = table::Dbf::open(path, mode == "E" ? table::OpenMode::Exclusive : table::OpenMode::Shared);
    return dbf ? "ok" : "busy";
  }
  if (verb == "close" || verb == "close-after") {
    int ms = 0;
    in >> ms;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    dbf.reset();
    return "ok";
  }
  if (!dbf) return "err no table";
  if (verb == "lock") {
    std::uint32_t recno = 0;
    in >> recno;
    return dbf->lock_record(recno, false) ? "ok" : "busy";
  }
  if (verb == "unlock") {
    dbf->unlock_all();
    return "ok";
  }
  if (verb == "append") return dbf->append_blank() ? "ok" : "busy";
  // The engine serialises appends on the lock byte of record 0.
  if (verb == "hold-append") return dbf->lock_record(0, false) ? "ok" : "busy";
  return "err unknown command " + verb;
}

[[noreturn]] void serve(int in_fd, int out_fd) {
  std::unique_ptr<table::Dbf> dbf;
  std::string command;
  while (read_line(in_fd, command)) {
    if (command.rfind("close-after", 0) == 0) {
      write_all(out_fd, "ok\n");  // the caller races against the delayed close
      run(dbf, command);
      continue;
    }
    std::string reply;
    try {
      reply = run(dbf, command);
    } catch (const std::exception& e) {
      reply = std::string("err ") + e.what();
    }
    write_all(out_fd, reply + "\n");
  }
  ::_exit(0);
}

}  // namespace

Peer::Peer() {
  int down[2], up[2];
  if (::pipe2(down, O_CLOEXEC) != 0 || ::pipe2(up, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork");
  if (pid_ == 0) {
    // Drop the parent's table descriptors: a shared open file description would keep the
    // parent's locks alive after the parent closes its table.
    ::dup2(down[0], 100);
    ::dup2(up[1], 101);
    ::close_range(3, 99, 0);
    ::close_range(102, ~0U, 0);
    serve(100, 101);
  }
  ::close(down[0]);
  ::close(up[1]);
  to_child_ = down[1];
  from_child_ = up[0];
}

Peer::~Peer() {
  ::close(to_child_);
  ::close(from_child_);
  int status = 0;
  ::waitpid(pid_, &status, 0);
}

std::string Peer::ask(const std::string& command) {
  write_all(to_child_, command + "\n");
  std::string reply;
  if (!read_line(from_child_, reply)) throw std::runtime_error("peer process gone");
  return reply;
}

bool FakeUi::confirm(const std::string& title, const std::string& message) {
  boxes.emplace_back(title, message);
  return answer(static_cast<int>(boxes.size()));
}

bool FakeUi::wait_for_key(int hundredths) {
  ++waits;
  if (really_wait) std::this_thread::sleep_for(std::chrono::milliseconds(10L * hundredths));
  if (on_wait) on_wait(waits);
  return false;
}

void make_name_table(const std::filesystem::path& file, const std::vector<std::string>& names) {
  std::filesystem::create_directories(file.parent_path());
  table::Dbf::create(file, {{"NAME", 'C', 10, 0}});
  auto dbf = table::Dbf::open(file, table::OpenMode::Exclusive);
  for (const auto& name : names) {
    dbf->append_blank();
    dbf->put("NAME", name);
  }
  dbf->commit();
}

}  // namespace orvex::testing_support
