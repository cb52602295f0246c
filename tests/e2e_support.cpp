#include "e2e_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "testing/parsed_mail.h"
#include "testing/test_ca.h"

extern char** environ;

namespace orvex::e2e {

namespace fs = std::filesystem;

namespace {

struct Spawn {
  posix_spawn_file_actions_t actions{};
  Spawn() { posix_spawn_file_actions_init(&actions); }
  ~Spawn() { posix_spawn_file_actions_destroy(&actions); }
};

pid_t spawn(const std::vector<std::string>& args, const fs::path& cwd, int out_fd) {
  Spawn s;
  posix_spawn_file_actions_addopen(&s.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&s.actions, out_fd, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&s.actions, out_fd, STDERR_FILENO);
  posix_spawn_file_actions_addchdir_np(&s.actions, cwd.c_str());
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &s.actions, nullptr, argv.data(), environ) != 0)
    throw std::runtime_error("cannot start " + args[0]);
  return pid;
}

int exit_code_of(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

}  // namespace

fs::path orvex_mail_program() { return fs::path(ORVEX_BINARY_DIR) / "app" / "orvex-mail"; }
fs::path cmail_program() { return fs::path(ORVEX_BINARY_DIR) / "client" / "cmail"; }

std::string read_text(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

Root::Root() : layout_(demo::layout_for(dir_.path())) {}

fs::path Root::cmail_dir() const { return layout_.c_drive / "XARV" / "CMail"; }
fs::path Root::outbox() const { return cmail_dir() / "Ausgang"; }
fs::path Root::log_table() const { return cmail_dir() / "LOG_BREVOR.DBF"; }

void Root::install_cmail() const {
  fs::copy_file(cmail_program(), cmail_dir() / "cmail.exe", fs::copy_options::overwrite_existing);
  std::ofstream(cmail_dir() / "cmail.conf") << "cafile = " << cmail::testing::test_ca().ca_cert.string() << "\n";
}

void Root::install_script(const std::string& body) const {
  const fs::path exe = cmail_dir() / "cmail.exe";
  std::ofstream(exe) << "#!/bin/bash\n" << body << "\n";
  fs::permissions(exe, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
}

std::vector<std::string> Root::orvex_args(std::vector<std::string> extra) const {
  std::vector<std::string> args = {orvex_mail_program().string(), "--headless", "--pace", "0",
                                   "--drive", "C=" + layout_.c_drive.string(), "--drive",
                                   "T=" + layout_.t_drive.string()};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

RunResult Root::run(std::vector<std::string> extra) const {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  const pid_t pid = spawn(orvex_args(std::move(extra)), layout_.work, fds[1]);
  close(fds[1]);
  RunResult r;
  std::array<char, 4096> buf;
  for (ssize_t n; (n = read(fds[0], buf.data(), buf.size())) != 0;) {
    if (n > 0) r.output.append(buf.data(), static_cast<std::size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  r.exit_code = exit_code_of(status);
  return r;
}

pid_t Root::start(std::vector<std::string> extra, const fs::path& output_file) const {
  const int fd = open(output_file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot open " + output_file.string());
  const pid_t pid = spawn(orvex_args(std::move(extra)), layout_.work, fd);
  close(fd);
  return pid;
}

std::map<std::string, std::vector<std::string>> Root::job_places() const {
  std::map<std::string, std::vector<std::string>> places;
  for (const auto& e : fs::recursive_directory_iterator(cmail_dir())) {
    if (e.is_regular_file() && e.path().extension() == ".ausg")
      places[e.path().filename().string()].push_back(e.path().parent_path().lexically_relative(cmail_dir()).string());
  }
  return places;
}

std::vector<std::string> Root::log_rows() const {
  const std::string cmd = std::string(ORVEX_PYTHON) +
                          " -c \"import sys,dbfread\n"
                          "for r in dbfread.DBF(sys.argv[1], encoding='cp850'): "
                          "print('|'.join(str(v).strip() for v in r.values()))\" '" +
                          log_table().string() + "' 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) throw std::runtime_error("popen");
  std::string out;
  std::array<char, 4096> buf;
  for (std::size_t n; (n = fread(buf.data(), 1, buf.size(), p)) > 0;) out.append(buf.data(), n);
  if (pclose(p) != 0) throw std::runtime_error("dbfread cannot read the log table: " + out);
  std::vector<std::string> rows;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) rows.push_back(line);
  return rows;
}

std::unique_ptr<cmail::testing::TestServer> start_server(std::vector<std::string> reject) {
  cmail::testing::ServerOptions o;
  o.with_tls().with_auth("demo:geheim").with_dsn();
  for (auto& a : reject) o.rejecting(a);
  return std::make_unique<cmail::testing::TestServer>(o);
}

std::vector<Received> received(const cmail::testing::TestServer& server) {
  std::vector<Received> all;
  for (int n = 1; n <= server.stored(); ++n) {
    Received r;
    const nlohmann::json envelope = server.envelope(n);
    for (const auto& to : envelope["rcpt_tos"]) r.rcpt_tos.push_back(to.get<std::string>());
    const auto mail = cmail::testing::parse_mail(server.message(n));
    r.subject = mail.subject;
    for (const auto& part : mail.parts) {
      if (!part.file_name.empty()) {
        r.attachments.push_back(part.file_name);
      } else if (part.content_type == "text/plain" && r.body.empty()) {
        r.body = part.bytes;
      }
    }
    all.push_back(std::move(r));
  }
  return all;
}

std::vector<Received> received_at_least(const cmail::testing::TestServer& server, int count) {
  for (int i = 0; i < 6000 && server.stored() < count; ++i) usleep(10000);
  return received(server);
}

}  // namespace orvex::e2e
