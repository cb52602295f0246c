#include "platform/table/dbf.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using namespace orvex::table;

namespace {

const std::vector<FieldDef> kLogSchema = {
    {"AUFTRNR", 'C', 6, 0}, {"ART", 'C', 1, 0},       {"DATUM", 'C', 10, 0},
    {"ZEIT", 'C', 8, 0},    {"FORMULAR", 'C', 50, 0}, {"ADRESSE", 'C', 50, 0},
};

std::string read_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Runs python3 with dbfread on the table; the script prints what the test compares.
std::string dbfread(const fs::path& table, const std::string& body) {
  fs::path script = table.parent_path() / "read.py";
  write_bytes(script, "import sys\nfrom dbfread import DBF\nt = DBF(sys.argv[1])\n" + body);
  std::string cmd = std::string("PYTHONIOENCODING=utf-8 ") + ORVEX_PYTHON + " " + script.string() + " " +
                    table.string() + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  std::array<char, 4096> buf{};
  std::size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  pclose(p);
  return out;
}

class DbfTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/orvex-dbf-XXXXXX";
    dir = mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir); }

  // A log table with three records; the second one deleted.
  fs::path three_records() {
    fs::path file = dir / "LOG_BREVOR.DBF";
    Dbf::create(file, kLogSchema);
    auto t = Dbf::open(file, OpenMode::Shared);
    const char* rows[3][3] = {{"4711", "M", "Müller@example.de"},
                              {"815", "F", "x@y.de"},
                              {"12", "Q", "ßüÖ"}};
    for (auto& r : rows) {
      EXPECT_TRUE(t->append_blank());
      t->put("AUFTRNR", r[0]);
      t->put("art", r[1]);
      t->put("Adresse", r[2]);
    }
    t->go_to(2);
    t->mark_deleted(true);
    t->commit();
    return file;
  }

  fs::path dir;
};

TEST_F(DbfTest, DbfreadReadsWhatWeWrote) {
  fs::path file = three_records();
  std::string out = dbfread(file,
                            "print(t.encoding, len(t), [f.name + f.type + str(f.length) for f in t.fields])\n"
                            "for r in t: print(repr(r['AUFTRNR']), r['ART'], r['ADRESSE'])\n"
                            "for r in t.deleted: print('deleted', r['AUFTRNR'])\n");
  EXPECT_EQ(out,
            "cp850 2 ['AUFTRNRC6', 'ARTC1', 'DATUMC10', 'ZEITC8', 'FORMULARC50', 'ADRESSEC50']\n"
            "'4711' M Müller@example.de\n"
            "'12' Q ßüÖ\n"
            "deleted 815\n");
}

TEST_F(DbfTest, HeaderAndRecordBytesAreDbaseThree) {
  fs::path file = dir / "T.DBF";
  Dbf::create(file, {{"NR", 'C', 3, 0}, {"MENGE", 'N', 5, 1}});
  {
    auto t = Dbf::open(file, OpenMode::Exclusive);
    ASSERT_TRUE(t->append_blank());
    t->put("NR", "ü12345");  // cut after encoding: ü is one CP850 byte
    t->put("MENGE", "2.5");
  }
  std::string b = read_bytes(file);
  // 32 header + 2 descriptors of 32 + 0x0D = 97; record = 1 + 3 + 5 = 9; then 0x1A.
  ASSERT_EQ(b.size(), 97u + 9u + 1u);
  EXPECT_EQ(b[0], '\x03');
  EXPECT_GE(static_cast<unsigned char>(b[1]), 124);  // year - 1900 (2024 and later)
  EXPECT_GE(b[2], 1);
  EXPECT_LE(b[2], 12);
  EXPECT_EQ(b.substr(4, 8), std::string("\x01\x00\x00\x00\x61\x00\x09\x00", 8));
  EXPECT_EQ(b[29], '\x02');  // CP850 language driver
  EXPECT_EQ(b.substr(32, 18), std::string("NR\0\0\0\0\0\0\0\0\0C\0\0\0\0\x03\0", 18));
  EXPECT_EQ(b.substr(64, 18), std::string("MENGE\0\0\0\0\0\0N\0\0\0\0\x05\x01", 18));
  EXPECT_EQ(b[96], '\x0D');
  EXPECT_EQ(b.substr(97), std::string(" \x81" "12  2.5\x1A", 10));
}

TEST_F(DbfTest, FieldsReadBackDecodedAndPadded) {
  fs::path file = three_records();
  auto t = Dbf::open(file, OpenMode::Shared, true);
  EXPECT_EQ(t->record_count(), 3u);
  EXPECT_EQ(t->get("adresse"), std::string("Müller@example.de") + std::string(33, ' '));
  EXPECT_EQ(t->get("AUFTRNR"), "4711  ");
  EXPECT_TRUE(t->has_field("Formular"));
  EXPECT_FALSE(t->has_field("NOTIZ"));
  EXPECT_THROW(t->get("NOTIZ"), TableError);
  EXPECT_THROW(t->put("ART", "X"), TableError);  // read only
  t->go_to(2);
  EXPECT_TRUE(t->deleted());
  t->go_to(3);
  EXPECT_FALSE(t->deleted());
  EXPECT_EQ(t->get("ADRESSE").substr(0, 6), "ßüÖ");
}

TEST_F(DbfTest, NavigationFollowsDbase) {
  fs::path file = three_records();
  auto t = Dbf::open(file, OpenMode::Shared);
  EXPECT_EQ(t->recno(), 1u);
  EXPECT_FALSE(t->eof());
  EXPECT_DOUBLE_EQ(t->relative_position(), 0.0);
  t->skip(2);
  EXPECT_EQ(t->recno(), 3u);
  EXPECT_DOUBLE_EQ(t->relative_position(), 1.0);
  t->skip();
  EXPECT_TRUE(t->eof());
  EXPECT_EQ(t->recno(), 4u);
  EXPECT_EQ(t->get("AUFTRNR"), "      ");
  EXPECT_FALSE(t->deleted());
  t->put("AUFTRNR", "999");  // nothing to change at end of file
  t->skip(-1);
  EXPECT_FALSE(t->eof());
  EXPECT_EQ(t->recno(), 3u);
  t->skip(-10);
  EXPECT_TRUE(t->bof());
  EXPECT_EQ(t->recno(), 1u);
  EXPECT_EQ(t->get("AUFTRNR"), "4711  ");
  t->go_bottom();
  EXPECT_EQ(t->recno(), 3u);
  t->go_to(2);
  EXPECT_DOUBLE_EQ(t->relative_position(), 0.5);
  t->go_to(0);
  EXPECT_TRUE(t->eof());
  t->go_to(99);
  EXPECT_TRUE(t->eof());
  EXPECT_EQ(t->recno(), 4u);
}

TEST_F(DbfTest, EmptyTableIsEofAndBof) {
  fs::path file = dir / "E.DBF";
  Dbf::create(file, kLogSchema);
  auto t = Dbf::open(file, OpenMode::Shared);
  EXPECT_TRUE(t->eof());
  EXPECT_TRUE(t->bof());
  t->go_bottom();
  EXPECT_TRUE(t->eof());
  t->skip(-1);
  EXPECT_TRUE(t->eof());
  EXPECT_TRUE(t->bof());
  EXPECT_EQ(t->recno(), 1u);
  EXPECT_EQ(dbfread(file, "print(len(t))\n"), "0\n");
}

TEST_F(DbfTest, CreateRefusesExistingFileAndBadFields) {
  fs::path file = dir / "X.DBF";
  Dbf::create(file, kLogSchema);
  EXPECT_THROW(Dbf::create(file, kLogSchema), TableError);
  EXPECT_THROW(Dbf::create(dir / "Y.DBF", {}), TableError);
  EXPECT_THROW(Dbf::create(dir / "Y.DBF", {{"ZUWEITERNAME", 'C', 5, 0}}), TableError);
  EXPECT_THROW(Dbf::create(dir / "Y.DBF", {{"A", 'C', 0, 0}}), TableError);
  EXPECT_THROW(Dbf::create(dir / "Y.DBF", {{"A", 'X', 5, 0}}), TableError);
}

TEST_F(DbfTest, NumericFieldsRightAlignedAndOverflowVisible) {
  fs::path file = dir / "N.DBF";
  Dbf::create(file, {{"MENGE", 'N', 4, 0}});
  auto t = Dbf::open(file, OpenMode::Shared);
  ASSERT_TRUE(t->append_blank());
  t->put("MENGE", " 42 ");
  EXPECT_EQ(t->get("MENGE"), "  42");
  t->put("MENGE", "12345");
  EXPECT_EQ(t->get("MENGE"), "****");
}

TEST_F(DbfTest, NameWithoutExtensionFindsFileRegardlessOfCase) {
  Dbf::create(dir / "mwstdat", {{"DATVER", 'C', 20, 0}});
  EXPECT_TRUE(fs::exists(dir / "mwstdat.DBF"));
  fs::rename(dir / "mwstdat.DBF", dir / "MwStDat.dbf");
  auto t = Dbf::open(dir / "MWSTDAT", OpenMode::Shared);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->path(), dir / "MwStDat.dbf");
}

// Damage that must be refused with a German message naming the file.
struct Damage {
  const char* name;
  std::size_t at;       // byte to patch
  std::string bytes;    // patched in; empty = truncate the file to `at`
  const char* message;  // part of what()
};

void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }

class DamagedDbf : public DbfTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedDbf, IsRefused) {
  fs::path file = three_records();
  std::string b = read_bytes(file);
  const Damage& d = GetParam();
  if (d.bytes.empty())
    b.resize(d.at);
  else
    b.replace(d.at, d.bytes.size(), d.bytes);
  write_bytes(file, b);
  try {
    Dbf::open(file, OpenMode::Shared);
    FAIL() << "opened a damaged table";
  } catch (const TableError& e) {
    std::string what = e.what();
    EXPECT_NE(what.find(file.string()), std::string::npos) << what;
    EXPECT_NE(what.find(d.message), std::string::npos) << what;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Headers, DamagedDbf,
    ::testing::Values(Damage{"version", 0, "\x30", "unbekannte Version"},
                      Damage{"header_too_short_for_fields", 8, std::string("\x41\x00", 2), "Zahl der Felder"},
                      Damage{"header_too_long_for_fields", 8, std::string("\x01\x01", 2), "Kopflänge"},
                      Damage{"record_length", 10, std::string("\x80\x00", 2), "Satzlänge"},
                      Damage{"shorter_than_header", 20, "", "kürzer als der Kopf"},
                      Damage{"descriptors_cut", 100, "", "Kopflänge"},
                      Damage{"zero_field_length", 32 + 16, std::string("\x00", 1), "Feldbeschreibung"}),
    [](const auto& info) { return std::string(info.param.name); });

// The business software's order table may keep its notes in a dBase III memo file.
TEST_F(DbfTest, MemoFieldsAreReadFromTheDbt) {
  std::string h(32, '\0');
  h[0] = '\x83';
  h[4] = 2;              // records
  h[8] = 32 + 64 + 1;    // header length
  h[10] = 1 + 3 + 10;    // record length
  h[29] = 2;
  std::string nr("NR\0\0\0\0\0\0\0\0\0C\0\0\0\0\x03", 17);
  std::string notiz("NOTIZ\0\0\0\0\0\0M\0\0\0\0\x0a", 17);
  nr.resize(32, '\0');
  notiz.resize(32, '\0');
  write_bytes(dir / "best.dbf", h + nr + notiz + "\x0d" + "  12         1" + "  13          " + "\x1a");
  std::string dbt(512, '\0');
  dbt[0] = 2;  // next free block
  dbt += "Herr M\x81ller\r\nemail: m@x.de\x1a\x1a";
  write_bytes(dir / "best.dbt", dbt);

  auto t = Dbf::open(dir / "best", OpenMode::Shared, true);
  EXPECT_EQ(t->get("NOTIZ"), "Herr Müller\r\nemail: m@x.de");
  t->skip();
  EXPECT_EQ(t->get("NOTIZ"), "");
  EXPECT_EQ(dbfread(dir / "best.dbf", "print([r['NOTIZ'] for r in t])\n"),
            "['Herr Müller\\r\\nemail: m@x.de', None]\n");
}

TEST_F(DbfTest, MissingTableIsNamed) {
  try {
    Dbf::open(dir / "FEHLT", OpenMode::Shared);
    FAIL();
  } catch (const TableError& e) {
    EXPECT_NE(std::string(e.what()).find("FEHLT.DBF nicht gefunden"), std::string::npos) << e.what();
  }
}

TEST_F(DbfTest, RecordCountBeyondFileTrustsTheFile) {
  fs::path file = three_records();
  std::string b = read_bytes(file);
  b.replace(4, 4, std::string("\x10\x27\x00\x00", 4));  // claims 10,000 records
  write_bytes(file, b);
  auto t = Dbf::open(file, OpenMode::Shared);
  EXPECT_EQ(t->record_count(), 3u);
  EXPECT_NE(t->warning().find("10000"), std::string::npos);
  t->go_bottom();
  EXPECT_EQ(t->recno(), 3u);
  EXPECT_EQ(t->get("AUFTRNR"), "12    ");
  // The next append repairs the count.
  ASSERT_TRUE(t->append_blank());
  EXPECT_EQ(t->recno(), 4u);
  t->commit();
  EXPECT_EQ(dbfread(file, "print(len(t), len(t.deleted))\n"), "3 1\n");
}

TEST_F(DbfTest, MissingEndMarkAndNameGarbageAreTolerated) {
  fs::path file = three_records();
  std::string b = read_bytes(file);
  ASSERT_EQ(b.back(), '\x1A');
  b.pop_back();
  b.replace(32 + 8, 3, "\0Zq", 3);  // "AUFTRNR\0" then garbage
  write_bytes(file, b);
  auto t = Dbf::open(file, OpenMode::Shared);
  EXPECT_EQ(t->fields()[0].name, "AUFTRNR");
  EXPECT_EQ(t->record_count(), 3u);
  t->go_bottom();
  EXPECT_EQ(t->get("AUFTRNR"), "12    ");
  ASSERT_TRUE(t->append_blank());
  t->put("AUFTRNR", "5");
  t->commit();
  t.reset();
  EXPECT_EQ(read_bytes(file).back(), '\x1A');
  EXPECT_EQ(dbfread(file, "print([r['AUFTRNR'] for r in t])\n"), "['4711', '12', '5']\n");
}

TEST_F(DbfTest, SharingModesConflictWithinOneProcess) {
  fs::path file = three_records();
  {
    auto a = Dbf::open(file, OpenMode::Shared);
    auto b = Dbf::open(file, OpenMode::Default);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(Dbf::open(file, OpenMode::Exclusive), nullptr);
  }
  {
    auto x = Dbf::open(file, OpenMode::Exclusive);
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(Dbf::open(file, OpenMode::Shared), nullptr);
    EXPECT_EQ(Dbf::open(file, OpenMode::Shared, true), nullptr);
    EXPECT_EQ(Dbf::open(file, OpenMode::Exclusive), nullptr);
  }
  EXPECT_NE(Dbf::open(file, OpenMode::Exclusive), nullptr);  // all released on close
}

TEST_F(DbfTest, RecordLocksWithinOneProcess) {
  fs::path file = three_records();
  auto a = Dbf::open(file, OpenMode::Shared);
  auto b = Dbf::open(file, OpenMode::Shared);
  EXPECT_TRUE(a->lock_record(1));
  EXPECT_TRUE(a->lock_record(2, false));
  EXPECT_FALSE(b->lock_record(1));
  EXPECT_FALSE(b->lock_record(2));
  EXPECT_TRUE(a->lock_record(3));  // releases 1 and 2
  EXPECT_TRUE(b->lock_record(1));
  EXPECT_TRUE(b->lock_record(2, false));
  EXPECT_FALSE(a->lock_record(2));
  b->unlock_all();
  EXPECT_TRUE(a->lock_record(2));
}

// A child process that follows a script of steps, each answered over pipes.
class Child {
 public:
  template <typename Fn>
  explicit Child(Fn body) {
    int to[2], from[2];
    if (pipe(to) != 0 || pipe(from) != 0) std::abort();
    pid_ = fork();
    if (pid_ == 0) {
      ::close(to[1]);
      ::close(from[0]);
      in_ = to[0];
      out_ = from[1];
      int rc = 0;
      try {
        body(*this);
      } catch (...) {
        rc = 2;
      }
      _exit(rc);  // no destructors: the child shares the parent's test state
    }
    ::close(to[0]);
    ::close(from[1]);
    in_ = from[0];
    out_ = to[1];
  }
  ~Child() {
    ::close(in_);
    ::close(out_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  void send(char c) { EXPECT_EQ(write(out_, &c, 1), 1); }
  char receive() {
    char c = 0;
    return read(in_, &c, 1) == 1 ? c : '\0';
  }
  int wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
};

TEST_F(DbfTest, SharingModesConflictAcrossProcesses) {
  fs::path file = three_records();
  {
    Child c([&](Child& me) {
      auto t = Dbf::open(file, OpenMode::Shared);
      me.send(t ? 'o' : 'x');
      me.receive();
    });
    ASSERT_EQ(c.receive(), 'o');
    EXPECT_EQ(Dbf::open(file, OpenMode::Exclusive), nullptr);
    EXPECT_NE(Dbf::open(file, OpenMode::Shared), nullptr);
    c.send('q');
    EXPECT_EQ(c.wait(), 0);
  }
  EXPECT_NE(Dbf::open(file, OpenMode::Exclusive), nullptr);  // the child's lock died with it
  {
    Child c([&](Child& me) {
      auto t = Dbf::open(file, OpenMode::Exclusive);
      me.send(t ? 'o' : 'x');
      me.receive();
    });
    ASSERT_EQ(c.receive(), 'o');
    EXPECT_EQ(Dbf::open(file, OpenMode::Shared), nullptr);
    EXPECT_EQ(Dbf::open(file, OpenMode::Shared, true), nullptr);
    c.send('q');
  }
}

TEST_F(DbfTest, RecordLockHeldByAnotherProcess) {
  fs::path file = three_records();
  Child c([&](Child& me) {
    auto t = Dbf::open(file, OpenMode::Shared);
    me.send(t && t->lock_record(2) ? 'l' : 'x');
    me.receive();
    t->unlock_all();
    me.send('u');
    me.receive();
  });
  auto t = Dbf::open(file, OpenMode::Shared);
  ASSERT_EQ(c.receive(), 'l');
  EXPECT_FALSE(t->lock_record(2));
  EXPECT_TRUE(t->lock_record(3));
  c.send('g');
  ASSERT_EQ(c.receive(), 'u');
  EXPECT_TRUE(t->lock_record(2));
  c.send('q');
  EXPECT_EQ(c.wait(), 0);
}

TEST_F(DbfTest, AppendsFromTwoProcessesInterleave) {
  fs::path file = dir / "LOG.DBF";
  Dbf::create(file, kLogSchema);
  constexpr int kEach = 300;
  auto writer = [&](const char* who) {
    auto t = Dbf::open(file, OpenMode::Shared);
    for (int i = 0; i < kEach; ++i) {
      if (!t->append_blank()) throw TableError("append");
      t->put("ART", who);
      t->put("AUFTRNR", std::to_string(i));
      t->commit();
    }
  };
  Child c([&](Child& me) {
    me.receive();
    writer("C");
  });
  c.send('g');
  writer("P");
  EXPECT_EQ(c.wait(), 0);
  auto t = Dbf::open(file, OpenMode::Shared);
  EXPECT_EQ(t->record_count(), 2u * kEach);
  EXPECT_EQ(dbfread(file,
                    "from collections import Counter\n"
                    "c = Counter(r['ART'] for r in t)\n"
                    "print(len(t), c['C'], c['P'], all(r['AUFTRNR'] != '' for r in t))\n"),
            "600 300 300 True\n");
}

TEST_F(DbfTest, CrashAfterAppendLeavesReadableFile) {
  fs::path file = three_records();
  Child c([&](Child& /*me*/) {
    auto t = Dbf::open(file, OpenMode::Shared);
    t->append_blank();
    t->put("AUFTRNR", "lost");  // never written: the process dies first
    _exit(0);
  });
  EXPECT_EQ(c.wait(), 0);
  EXPECT_EQ(dbfread(file, "print(len(t.deleted), [r['AUFTRNR'] for r in t])\n"), "1 ['4711', '12', '']\n");
  auto t = Dbf::open(file, OpenMode::Exclusive);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->record_count(), 4u);
}

TEST_F(DbfTest, AppendFailsWhileAnotherHolderHasTheHeaderLock) {
  fs::path file = three_records();
  Child c([&](Child& me) {
    auto t = Dbf::open(file, OpenMode::Shared);
    // The header byte is record 0's lock byte in the Clipper range.
    me.send(t->lock_record(0) ? 'h' : 'x');
    me.receive();
  });
  ASSERT_EQ(c.receive(), 'h');
  auto t = Dbf::open(file, OpenMode::Shared);
  EXPECT_FALSE(t->append_blank());
  EXPECT_EQ(t->record_count(), 3u);
  c.send('q');
  EXPECT_EQ(c.wait(), 0);
  EXPECT_TRUE(t->append_blank());
  EXPECT_EQ(t->recno(), 4u);
}

}  // namespace
