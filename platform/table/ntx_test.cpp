#include "platform/table/ntx.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "platform/table/dbf.h"

namespace fs = std::filesystem;
using namespace orvex::table;

namespace {

std::string read_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string order_key(long n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%6ld", n);
  return buf;
}

std::uint32_t u32(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
  return v;
}

class NtxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/orvex-ntx-XXXXXX";
    dir = mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Even order numbers 2..2n with recno = number / 2, written in shuffled order.
  fs::path big(int n) {
    std::vector<std::pair<std::string, std::uint32_t>> keys;
    for (int i = 1; i <= n; ++i) keys.emplace_back(order_key(2L * i), static_cast<std::uint32_t>(i));
    std::shuffle(keys.begin(), keys.end(), std::mt19937(7));
    fs::path file = dir / "XAUFTRNR.NTX";
    Ntx::write(file, "STR(AUFTRNR,6)", 6, keys);
    return file;
  }

  fs::path dir;
};

TEST_F(NtxTest, HeaderAndLeafBytesAreClipperLayout) {
  fs::path file = dir / "xauftrnr";
  Ntx::write(file, "STR(AUFTRNR,6)", 6, {{"  4711", 1}, {"    12", 2}, {"   815", 3}});
  std::string b = read_bytes(dir / "xauftrnr.NTX");
  ASSERT_EQ(b.size(), 2048u);
  // signature 6, version, root at 1024, no free page, item 14, key 6, decimals 0, max 62, half 31
  EXPECT_EQ(b.substr(0, 22), std::string("\x06\x00\x01\x00\x00\x04\x00\x00\x00\x00\x00\x00"
                                         "\x0e\x00\x06\x00\x00\x00\x3e\x00\x1f\x00", 22));
  EXPECT_EQ(b.substr(22, 15), std::string("STR(AUFTRNR,6)\0", 15));
  const std::size_t page = 1024;
  EXPECT_EQ(b.substr(page, 2), std::string("\x03\x00", 2));
  // 63 slot offsets: the slots start after count + offsets = 2 + 126 = 128, 14 bytes apart.
  for (std::size_t i = 0; i < 63; ++i) {
    auto off = static_cast<std::size_t>(static_cast<unsigned char>(b[page + 2 + 2 * i])) |
               static_cast<std::size_t>(static_cast<unsigned char>(b[page + 3 + 2 * i])) << 8;
    ASSERT_EQ(off, 128 + 14 * i) << i;
  }
  EXPECT_EQ(b.substr(page + 128, 42), std::string("\0\0\0\0\x02\0\0\0    12"
                                                  "\0\0\0\0\x03\0\0\0   815"
                                                  "\0\0\0\0\x01\0\0\0  4711", 42));
  auto ntx = Ntx::open(file);
  EXPECT_EQ(ntx->key_size(), 6);
  EXPECT_EQ(ntx->key_expression(), "STR(AUFTRNR,6)");
  EXPECT_EQ(ntx->seek("  4711"), 1u);
  EXPECT_EQ(ntx->seek("   815"), 3u);
  EXPECT_EQ(ntx->seek("  4712"), std::nullopt);
  EXPECT_EQ(ntx->seek("4711"), std::nullopt);  // padded to "4711  ": no soft seek
  EXPECT_EQ(ntx->seek("     1"), std::nullopt);
  EXPECT_EQ(ntx->seek("999999"), std::nullopt);
}

TEST_F(NtxTest, ManyKeysOverSeveralLevelsAreAllFound) {
  constexpr int kKeys = 5000;
  fs::path file = big(kKeys);
  std::string b = read_bytes(file);
  std::uint32_t root = u32(b, 4);
  ASSERT_NE(u32(b, root + 128), 0u) << "root must be an interior page";
  ASSERT_GE(b.size() / 1024, 1u + kKeys / 63);
  auto ntx = Ntx::open(file);
  for (int i = 1; i <= kKeys; ++i) {
    ASSERT_EQ(ntx->seek(order_key(2L * i)), static_cast<std::uint32_t>(i)) << i;
    ASSERT_EQ(ntx->seek(order_key(2L * i + 1)), std::nullopt) << i;
  }
  EXPECT_EQ(ntx->seek(order_key(0)), std::nullopt);
  EXPECT_EQ(ntx->seek(order_key(-5)), std::nullopt);
}

TEST_F(NtxTest, EveryKeyStoredOnceAndPagesHalfFull) {
  fs::path file = big(5000);
  std::string b = read_bytes(file);
  std::uint32_t root = u32(b, 4);
  std::size_t items = 0;
  for (std::size_t p = 1024; p < b.size(); p += 1024) {
    std::size_t n = static_cast<unsigned char>(b[p]) | static_cast<std::size_t>(static_cast<unsigned char>(b[p + 1])) << 8;
    if (p != root) {
      EXPECT_GE(n, 31u) << "page " << p;
    }
    EXPECT_LE(n, 62u);
    items += n;
  }
  EXPECT_EQ(items, 5000u);
}

TEST_F(NtxTest, DuplicateKeysSeekTheFirst) {
  std::vector<std::pair<std::string, std::uint32_t>> keys;
  for (std::uint32_t i = 1; i <= 400; ++i) keys.emplace_back(order_key(i % 3 == 0 ? 500 : i), i);
  fs::path file = dir / "D.NTX";
  Ntx::write(file, "STR(AUFTRNR,6)", 6, keys);
  auto ntx = Ntx::open(file);
  EXPECT_EQ(ntx->seek(order_key(500)), 3u);
  EXPECT_EQ(ntx->seek(order_key(400)), 400u);
}

TEST_F(NtxTest, EmptyIndexFindsNothing) {
  Ntx::write(dir / "E.NTX", "NAME", 10, {});
  auto ntx = Ntx::open(dir / "E.NTX");
  EXPECT_EQ(ntx->seek("x"), std::nullopt);
}

TEST_F(NtxTest, KeysAreStoredInCp850AndPadded) {
  Ntx::write(dir / "N.NTX", "NAME", 8, {{"Müller", 1}, {"Maier", 2}, {"Zimmermannshaus", 3}});
  auto ntx = Ntx::open(dir / "N.NTX");
  EXPECT_EQ(ntx->seek("Müller"), 1u);
  EXPECT_EQ(ntx->seek("Maier   "), 2u);
  EXPECT_EQ(ntx->seek("Zimmermann"), 3u);  // both cut to the key size
  EXPECT_NE(read_bytes(dir / "N.NTX").find("M\x81ller  "), std::string::npos);
}

TEST_F(NtxTest, OlderSignatureIsRead) {
  fs::path file = big(200);
  std::string b = read_bytes(file);
  b[0] = 3;
  write_bytes(file, b);
  EXPECT_EQ(Ntx::open(file)->seek(order_key(200)), 100u);
}

// Damage patched into a valid three-level index; open or seek must throw, never hang or crash.
struct Damage {
  const char* name;
  std::function<void(std::string&)> patch;
};

void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }

class DamagedNtx : public NtxTest, public ::testing::WithParamInterface<Damage> {};

void put32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}

TEST_P(DamagedNtx, IsRefused) {
  fs::path file = big(5000);
  std::string b = read_bytes(file);
  GetParam().patch(b);
  write_bytes(file, b);
  try {
    auto ntx = Ntx::open(file);
    for (int i = 1; i <= 5000; i += 7) ntx->seek(order_key(2L * i));
    FAIL() << "damage not noticed";
  } catch (const TableError& e) {
    EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedNtx,
    ::testing::Values(
        Damage{"truncated_header", [](std::string& b) { b.resize(500); }},
        Damage{"truncated_pages", [](std::string& b) { b.resize(b.size() / 2); }},
        Damage{"garbage", [](std::string& b) { std::fill(b.begin(), b.end(), '\x5A'); }},
        Damage{"bad_signature", [](std::string& b) { b[0] = 0x34; b[1] = 0x12; }},
        Damage{"item_size", [](std::string& b) { b[12] = 99; }},
        Damage{"max_items_too_many", [](std::string& b) { b[18] = static_cast<char>(200); }},
        Damage{"root_beyond_file", [](std::string& b) { put32(b, 4, 0x7FFFFC00); }},
        Damage{"root_not_page_aligned", [](std::string& b) { put32(b, 4, 1030); }},
        Damage{"root_points_to_header", [](std::string& b) { put32(b, 4, 0); }},
        Damage{"cycle", [](std::string& b) {
                 std::uint32_t root = u32(b, 4);
                 for (std::size_t i = 0; i <= 62; ++i) put32(b, root + 128 + 14 * i, root);
               }},
        Damage{"count_above_max", [](std::string& b) { b[u32(b, 4)] = 70; }},
        Damage{"slot_offset_outside_page", [](std::string& b) {
                 std::uint32_t root = u32(b, 4);
                 for (std::size_t i = 0; i <= 62; ++i) { b[root + 2 + 2 * i] = '\xFA'; b[root + 3 + 2 * i] = '\x03'; }
               }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NtxTest, MissingIndexIsNamed) {
  try {
    Ntx::open(dir / "xauftrnr");
    FAIL();
  } catch (const TableError& e) {
    EXPECT_NE(std::string(e.what()).find("xauftrnr.NTX nicht gefunden"), std::string::npos) << e.what();
  }
}

}  // namespace
