#pragma once
// Test-only: a data root on drive C: in a temporary folder, the operator's panels and buttons,
// the log table opened as at start-up, and a stand-in client that records how it was started.
// DataRoot < Desk < World: take the smallest one a test needs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "dispatch/mail_log.h"
#include "platform/files/drives.h"
#include "platform/pace/pace.h"
#include "platform/table/dbf.h"
#include "platform/table/ntx.h"

namespace orvex::testing {

namespace fs = std::filesystem;

class FakePanel : public TextPanel {
 public:
  std::string value;
  std::vector<std::string> history;  // every text set, in order
  std::string text() override { return value; }
  void setText(const std::string& t) override {
    value = t;
    history.push_back(t);
  }
};

class FakeButton : public SignalButton {
 public:
  std::vector<int> colours;
  int initial = -1;  // shown until a colour is set
  void setBackground(int c) override { colours.push_back(c); }
  int background() const override { return colours.empty() ? initial : colours.back(); }
};

struct WindowCall {
  std::string text, title;
  int width, height;
};

class FakeUi : public OperatorUi {
 public:
  std::vector<WindowCall> windows;
  bool confirm_answer = false;
  std::string confirm_title, confirm_text;  // of the last question
  void message_box(const std::string&) override {}
  bool confirm(const std::string& title, const std::string& text) override {
    confirm_title = title;
    confirm_text = text;
    return confirm_answer;
  }
  std::string message_window(const std::string& text, const std::string& title, int w, int h) override {
    windows.push_back({text, title, w, h});
    return text;
  }
  void tone(int, int) override {}
  bool wait_for_key(int) override { return false; }
  void set_title(const std::string&) override {}
};

inline void write_bytes(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

inline std::string read_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Output of a command run through the shell (test helpers only).
inline std::string run_capture(const std::string& cmd) {
  std::string out;
  if (FILE* f = popen(cmd.c_str(), "r")) {
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), f)) > 0) out.append(buf.data(), n);
    pclose(f);
  }
  return out;
}

inline std::vector<std::string> split_nul(const std::string& s) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\0') {
      parts.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

// Stand-in client: records its argv (NUL separated) in calls/, then writes the result file with
// the status found in status/<to-address> or status/default: accepted, failure, neither, none.
inline std::string fake_client_script(const fs::path& root) {
  return "#!/bin/sh\n"
         "dir='" + root.string() + "'\n"
         "rec=$(mktemp \"$dir/calls/XXXXXX\")\n"
         "printf '%s\\0' \"$@\" > \"$rec.tmp\" && mv \"$rec.tmp\" \"$rec.argv\" && rm -f \"$rec\"\n"
         "res=; to=\n"
         "for a in \"$@\"; do case \"$a\" in -results:*) res=${a#-results:};; -to:*) to=${a#-to:};; esac; done\n"
         "status=$(cat \"$dir/status/$to\" 2>/dev/null || cat \"$dir/status/default\")\n"
         "case \"$status\" in\n"
         "  none) exit 0;;\n"
         "  accepted) text='{\"status\": \"accepted\", \"recipients\": []}';;\n"
         "  failure) text='{\"status\": \"failure\", \"recipients\": []}';;\n"
         "  *) text='{\"status\": \"queued\"}';;\n"
         "esac\n"
         "printf '%s\\n' \"$text\" > \"$res.tmp\" && mv \"$res.tmp\" \"$res\"\n";
}

struct LogRow {
  std::string AUFTRNR, ART, FORMULAR, ADRESSE;
  bool operator==(const LogRow&) const = default;
};
inline std::ostream& operator<<(std::ostream& o, const LogRow& r) {
  return o << "{" << r.AUFTRNR << "," << r.ART << "," << r.FORMULAR << "," << r.ADRESSE << "}";
}

// A data root C:\XARV\ in a temporary folder with the outbox and its failure and quarantine
// folders; the app knows only the data root.
class DataRoot {
 public:
  fs::path root, c, data;
  App app;

  DataRoot() {
    char tmpl[] = "/tmp/orvex_send_XXXXXX";
    root = mkdtemp(tmpl);
    c = root / "c";
    data = c / "XARV";
    fs::create_directories(failure());
    fs::create_directories(quarantine());
    files::clear_drives();
    files::set_drive('C', c);
    set_pace_factor(0);
    app.cDatver = "C:\\XARV\\";
  }
  ~DataRoot() {
    files::clear_drives();
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  DataRoot(const DataRoot&) = delete;
  DataRoot& operator=(const DataRoot&) = delete;

  fs::path outbox() const { return data / "CMail" / "Ausgang"; }
  fs::path failure() const { return outbox() / "failure"; }
  fs::path quarantine() const { return outbox() / "quarantine"; }
  void job(const std::string& name, const std::string& text) const { write_bytes(outbox() / name, text); }
};

// The data root with the operator's window: fake panels, buttons and dialogs wired into the app.
class Desk : public DataRoot {
 public:
  FakePanel mle1, mle2, mle3, mle20, mle30;
  FakeButton bs, bh, bw1, bw2;
  FakeUi ui;

  Desk() {
    app.oMle1 = &mle1;
    app.oMle2 = &mle2;
    app.oMle3 = &mle3;
    app.oMle20 = &mle20;
    app.oMle30 = &mle30;
    app.oXbpBS = &bs;
    app.oXbpBH = &bh;
    app.oXbpBW1 = &bw1;
    app.oXbpBW2 = &bw2;
    app.ui = &ui;
  }
};

// The desk plus the working directory beside the data root, the connection and whitelist files,
// the log table open as start-up leaves it, and the stand-in client.
class World : public Desk {
 public:
  fs::path work, old_cwd;

  World() {
    work = root / "work";
    fs::create_directories(work);
    fs::create_directories(root / "calls");
    fs::create_directories(root / "status");
    write_bytes(root / "status" / "default", "accepted");
    old_cwd = fs::current_path();
    fs::current_path(work);
    app.cPostmaster = "postmaster@orvex.test";

    connection("smtp.test", "user", "pw", "2525", "absender@orvex.test", "antwort@orvex.test");
    whitelist("kunde@example.com,\r\nzweiter@example.com,\r\n");
    const auto log = data / "CMail" / "LOG_BREVOR.DBF";
    table::Dbf::create(log, dispatch::log_fields());
    app.areas.select(28);
    app.areas.use(log, table::OpenMode::Shared, "LOG_BREVOR");
    install_client(fake_client_script(root));
  }

  ~World() {
    app.areas.close_all();
    fs::current_path(old_cwd);
  }

  fs::path sent(const std::string& order, const std::string& form) const {
    return data / "CMail" / "gesendet" / order / form;
  }

  void connection(const std::string& host, const std::string& user, const std::string& pw, const std::string& port,
                  const std::string& from, const std::string& back) {
    write_bytes(data / "CMail" / "Verbindung.dat",
                host + "\r\n" + user + "\r\n" + pw + "\r\n" + port + "\r\n" + from + "\r\n" + back + "\r\n");
  }
  void whitelist(const std::string& text) { write_bytes(data / "CMail" / "WhiteList.mad", text); }
  void install_client(const std::string& script) {
    const auto exe = data / "CMail" / "cmail.exe";
    write_bytes(exe, script);
    fs::permissions(exe, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  }
  // What the stand-in client answers for a recipient.
  void answer(const std::string& to, const std::string& status) { write_bytes(root / "status" / to, status); }

  std::vector<std::vector<std::string>> calls() const {
    std::vector<std::pair<fs::file_time_type, fs::path>> found;
    for (const auto& e : fs::directory_iterator(root / "calls"))
      if (e.path().extension() == ".argv") found.emplace_back(fs::last_write_time(e.path()), e.path());
    std::sort(found.begin(), found.end());
    std::vector<std::vector<std::string>> result;
    for (const auto& f : found) result.push_back(split_nul(read_bytes(f.second)));
    return result;
  }

  // The error mail is started without waiting; give the stand-in time to record it.
  std::vector<std::string> wait_for_error_mail() const {
    for (int i = 0; i < 1000; ++i) {
      for (const auto& call : calls())
        if (!call.empty() && call.back().find("Fehlermail.result") != std::string::npos) return call;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
  }

  // Waits until every client this process started has ended (they are started without waiting),
  // so that what they recorded is complete.
  static void settle() {
    const std::string me = std::to_string(getpid());
    for (int i = 0; i < 2000; ++i) {
      bool child = false;
      for (const auto& e : fs::directory_iterator("/proc")) {
        std::ifstream stat(e.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // pid (comm) state ppid ...
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 1));
        std::string state, ppid;
        rest >> state >> ppid;
        if (ppid == me) child = true;
      }
      if (!child) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  // The log table as another dBase reader sees it.
  std::vector<LogRow> log_rows() const {
    const std::string script =
        "import dbfread,sys\n"
        "for r in dbfread.DBF(sys.argv[1], encoding='cp850', char_decode_errors='replace'):\n"
        "    print('\\x1f'.join(r[k].rstrip() for k in ('AUFTRNR','ART','FORMULAR','ADRESSE')), end='\\x1e')\n";
    const auto py = root / "read_log.py";
    write_bytes(py, script);
    const std::string out = run_capture(std::string(ORVEX_PYTHON) + " '" + py.string() + "' '" +
                                        (data / "CMail" / "LOG_BREVOR.DBF").string() + "'");
    std::vector<LogRow> rows;
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\x1e', start)) != std::string::npos; start = end + 1) {
      std::vector<std::string> f;
      std::stringstream line(out.substr(start, end - start));
      for (std::string part; std::getline(line, part, '\x1f');) f.push_back(part);
      f.resize(4);
      rows.push_back({f[0], f[1], f[2], f[3]});
    }
    return rows;
  }
};

#ifdef CMAIL_EXECUTABLE
// The real client as CMail\cmail.exe, trusting the test CA through cmail.conf beside it.
inline void install_real_cmail(const World& w, const fs::path& ca_cert) {
  const auto exe = w.data / "CMail" / "cmail.exe";
  fs::copy_file(CMAIL_EXECUTABLE, exe, fs::copy_options::overwrite_existing);
  write_bytes(w.data / "CMail" / "cmail.conf", "cafile = " + ca_cert.string() + "\ntimeout = 10\n");
}
#endif

// The business software's order table "best" with its index "xauftrnr" in the working
// directory: (order number, ansp_ktoi, notiz) per record.
struct Order {
  int number;
  std::string ansp_ktoi, notiz;
};

inline void write_order_table(const fs::path& dir, const std::vector<Order>& orders, bool with_index = true) {
  const auto file = dir / "best.dbf";
  table::Dbf::create(file, {{"AUFTRNR", 'C', 6, 0}, {"ANSP_KTOI", 'C', 60, 0}, {"NOTIZ", 'C', 200, 0}});
  auto t = table::Dbf::open(file, table::OpenMode::Exclusive);
  std::vector<std::pair<std::string, std::uint32_t>> keys;
  for (const auto& o : orders) {
    char key[16];
    std::snprintf(key, sizeof key, "%6d", o.number);
    t->append_blank();
    t->put("AUFTRNR", key);
    t->put("ANSP_KTOI", o.ansp_ktoi);
    t->put("NOTIZ", o.notiz);
    keys.emplace_back(key, t->recno());
  }
  t->commit();
  t.reset();
  std::sort(keys.begin(), keys.end());
  if (with_index) table::Ntx::write(dir / "xauftrnr.ntx", "STR(AUFTRNR,6)", 6, keys);
}

}  // namespace orvex::testing
