#include "platform/table/ntx.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "platform/table/dbf.h"
#include "platform/table/little_endian.h"
#include "platform/text/codepage.h"

namespace orvex::table {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPage = 1024;
// A B-tree of 2^32 keys with at least two per page is far shallower; deeper means a cycle.
constexpr int kMaxDepth = 40;

using Page = std::array<unsigned char, kPage>;

std::string fit_key(std::string_view utf8, int key_size) {
  std::string k = text::utf8_to_cp850(utf8);
  k.resize(static_cast<std::size_t>(key_size), ' ');
  return k;
}

int max_items_for(int key_size) {
  int max = static_cast<int>((kPage - 2) / static_cast<std::size_t>(key_size + 10)) - 1;
  return max % 2 ? max - 1 : max;
}

}  // namespace

struct Ntx::Impl {
  fs::path path;
  int fd = -1;
  int key_size = 0;
  int item_size = 0;
  int max_items = 0;
  std::string expression;

  ~Impl() {
    if (fd >= 0) ::close(fd);
  }

  [[noreturn]] void damaged(const std::string& why) const {
    throw TableError("Index " + path.string() + " ist beschädigt: " + why);
  }

  off_t file_size() const {
    struct stat st {};
    if (fstat(fd, &st) != 0) damaged("nicht lesbar");
    return st.st_size;
  }

  void read_page(std::uint32_t offset, Page& page, off_t size) const {
    if (offset == 0 || offset % kPage != 0 || static_cast<off_t>(offset) + static_cast<off_t>(kPage) > size)
      damaged("Seitenverweis " + std::to_string(offset) + " außerhalb der Datei");
    std::size_t got = 0;
    while (got < kPage) {
      ssize_t r = ::pread(fd, page.data() + got, kPage - got, static_cast<off_t>(offset + got));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) damaged("Seite " + std::to_string(offset) + " unvollständig");
      got += static_cast<std::size_t>(r);
    }
  }

  // Header fields are re-read on every seek: the owner may re-index while we hold it open.
  std::uint32_t read_header() {
    Page h{};
    off_t size = file_size();
    if (size < static_cast<off_t>(kPage) || ::pread(fd, h.data(), kPage, 0) != static_cast<ssize_t>(kPage))
      damaged("Datei kürzer als der Kopf");
    std::uint16_t sig = u16(&h[0]);
    if (sig != 6 && sig != 3) damaged("keine NTX-Kennung");
    key_size = u16(&h[14]);
    item_size = u16(&h[12]);
    max_items = u16(&h[18]);
    if (key_size < 1 || key_size > 256 || item_size != key_size + 8) damaged("Schlüssellänge");
    if (max_items < 2 ||
        2 + static_cast<std::size_t>(max_items + 1) * (2 + static_cast<std::size_t>(item_size)) > kPage)
      damaged("Einträge je Seite");
    const char* expr = reinterpret_cast<const char*>(&h[22]);
    expression.assign(expr, strnlen(expr, 256));
    return u32(&h[4]);
  }
};

Ntx::Ntx(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Ntx::~Ntx() = default;

std::unique_ptr<Ntx> Ntx::open(const fs::path& file_in) {
  auto impl = std::make_unique<Impl>();
  impl->path = locate_file(file_in, ".ntx");
  impl->fd = ::open(impl->path.c_str(), O_RDONLY | O_CLOEXEC);
  if (impl->fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) throw TableError("Index " + impl->path.string() + " nicht gefunden");
    throw TableError("Index " + impl->path.string() + " kann nicht geöffnet werden: " + std::strerror(errno));
  }
  std::uint32_t root = impl->read_header();
  Page page{};
  impl->read_page(root, page, impl->file_size());
  return std::unique_ptr<Ntx>(new Ntx(std::move(impl)));
}

int Ntx::key_size() const { return impl_->key_size; }
std::string Ntx::key_expression() const { return impl_->expression; }

std::optional<std::uint32_t> Ntx::seek(std::string_view key) {
  Impl& d = *impl_;
  std::uint32_t page_offset = d.read_header();
  off_t size = d.file_size();
  std::string sought = fit_key(key, d.key_size);
  auto ks = static_cast<std::size_t>(d.key_size);
  auto slots_begin = 2 + 2 * static_cast<std::size_t>(d.max_items + 1);

  std::optional<std::uint32_t> hit;
  Page page{};
  for (int depth = 0; page_offset != 0; ++depth) {
    if (depth > kMaxDepth) d.damaged("Seitenverweise im Kreis");
    d.read_page(page_offset, page, size);
    std::size_t n = u16(&page[0]);
    if (n > static_cast<std::size_t>(d.max_items)) d.damaged("Seite " + std::to_string(page_offset) + " überfüllt");
    auto item = [&](std::size_t i) -> const unsigned char* {
      std::size_t off = u16(&page[2 + 2 * i]);
      if (off < slots_begin || off + static_cast<std::size_t>(d.item_size) > kPage)
        d.damaged("Eintrag außerhalb der Seite " + std::to_string(page_offset));
      return &page[off];
    };
    // First item whose key is >= the sought one; its left subtree may hold an equal key first.
    std::size_t lo = 0, hi = n;
    while (lo < hi) {
      std::size_t mid = (lo + hi) / 2;
      if (std::memcmp(item(mid) + 8, sought.data(), ks) < 0)
        lo = mid + 1;
      else
        hi = mid;
    }
    const unsigned char* it = item(lo);
    if (lo < n) {
      if (std::memcmp(it + 8, sought.data(), ks) == 0)
        hit = u32(it + 4);
      else
        hit.reset();
    }
    page_offset = u32(it);
  }
  return hit;
}

void Ntx::write(const fs::path& file_in, std::string_view key_expression, int key_size,
                std::vector<std::pair<std::string, std::uint32_t>> keys) {
  fs::path file = locate_file(file_in, ".ntx");
  if (key_size < 1 || key_size > 250) throw TableError("Index " + file.string() + ": Schlüssellänge ungültig");
  if (key_expression.size() > 255) throw TableError("Index " + file.string() + ": Schlüsselausdruck zu lang");
  for (auto& [k, r] : keys) k = fit_key(k, key_size);
  std::stable_sort(keys.begin(), keys.end());

  const int max = max_items_for(key_size);
  const std::size_t item_size = static_cast<std::size_t>(key_size) + 8;
  const std::size_t slots_begin = 2 + 2 * static_cast<std::size_t>(max + 1);
  std::vector<Page> pages;  // pages[i] lives at (i + 1) * 1024

  struct Level {
    std::vector<std::size_t> keys;         // indexes into `keys`
    std::vector<std::uint32_t> children;   // keys.size() + 1 page offsets (0 for leaves)
  };
  Level level;
  level.keys.resize(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) level.keys[i] = i;
  level.children.assign(keys.size() + 1, 0);

  // Bottom-up: split each level into pages of at most max keys; the key after each page
  // (but the last) moves up as the separator, so every key is stored exactly once.
  std::uint32_t root = 0;
  for (;;) {
    std::size_t s = level.keys.size();
    std::size_t page_count = std::max<std::size_t>(1, (s + 1 + static_cast<std::size_t>(max)) / (static_cast<std::size_t>(max) + 1));
    std::size_t in_pages = s - (page_count - 1);
    Level up;
    std::size_t at = 0;
    for (std::size_t p = 0; p < page_count; ++p) {
      std::size_t n = in_pages / page_count + (p < in_pages % page_count ? 1 : 0);
      Page page{};
      put16(&page[0], static_cast<std::uint32_t>(n));
      for (std::size_t i = 0; i <= static_cast<std::size_t>(max); ++i)
        put16(&page[2 + 2 * i], static_cast<std::uint32_t>(slots_begin + i * item_size));
      for (std::size_t i = 0; i < n; ++i) {
        unsigned char* slot = &page[slots_begin + i * item_size];
        const auto& [k, recno] = keys[level.keys[at + i]];
        put32(slot, level.children[at + i]);
        put32(slot + 4, recno);
        std::memcpy(slot + 8, k.data(), k.size());
      }
      put32(&page[slots_begin + n * item_size], level.children[at + n]);
      pages.push_back(page);
      auto offset = static_cast<std::uint32_t>(pages.size() * kPage);
      up.children.push_back(offset);
      at += n;
      if (p + 1 < page_count) up.keys.push_back(level.keys[at++]);
    }
    if (page_count == 1) {
      root = up.children[0];
      break;
    }
    level = std::move(up);
  }

  Page header{};
  put16(&header[0], 6);
  put16(&header[2], 1);
  put32(&header[4], root);
  put32(&header[8], 0);
  put16(&header[12], static_cast<std::uint32_t>(item_size));
  put16(&header[14], static_cast<std::uint32_t>(key_size));
  put16(&header[16], 0);
  put16(&header[18], static_cast<std::uint32_t>(max));
  put16(&header[20], static_cast<std::uint32_t>(max / 2));
  std::memcpy(&header[22], key_expression.data(), key_expression.size());

  // Built under a temporary name, so a reader never sees half an index.
  fs::path tmp = file;
  tmp += ".tmp";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw TableError("Index " + file.string() + " kann nicht angelegt werden: " + std::strerror(errno));
  std::vector<unsigned char> all;
  all.reserve((pages.size() + 1) * kPage);
  all.insert(all.end(), header.begin(), header.end());
  for (const Page& p : pages) all.insert(all.end(), p.begin(), p.end());
  std::size_t done = 0;
  while (done < all.size()) {
    ssize_t r = ::write(fd, all.data() + done, all.size() - done);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    done += static_cast<std::size_t>(r);
  }
  bool ok = done == all.size() && ::fdatasync(fd) == 0;
  ::close(fd);
  std::error_code ec;
  if (ok) fs::rename(tmp, file, ec);
  if (!ok || ec) {
    fs::remove(tmp, ec);
    throw TableError("Index " + file.string() + " kann nicht geschrieben werden");
  }
}

}  // namespace orvex::table
