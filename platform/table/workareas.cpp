#include "platform/table/workareas.h"

#include <algorithm>
#include <cctype>

namespace orvex::table {
namespace {

std::string upper(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

}  // namespace

void WorkAreas::select(int area) {
  if (area < 1) throw TableError("Arbeitsbereich " + std::to_string(area) + " gibt es nicht");
  selected_ = area;
}

int WorkAreas::selected() const { return selected_; }

int WorkAreas::free_area() const {
  int n = 1;
  for (const auto& [number, a] : areas_) {
    if (number != n) break;
    ++n;
  }
  return n;
}

bool WorkAreas::use(const std::filesystem::path& file, OpenMode mode, std::string alias, bool read_only) {
  close_area();
  std::filesystem::path located = locate_file(file, ".dbf");
  if (alias.empty()) alias = located.stem().string();
  alias = upper(alias);
  if (area_of(alias) != 0) throw TableError("Alias " + alias + " ist schon in Gebrauch");
  auto dbf = Dbf::open(located, mode, read_only);
  neterr_ = dbf == nullptr;
  if (neterr_) return false;
  areas_[selected_] = Area{std::move(dbf), nullptr, alias};
  return true;
}

bool WorkAreas::neterr() const { return neterr_; }

void WorkAreas::set_index(const std::filesystem::path& ntx) {
  auto it = areas_.find(selected_);
  if (it == areas_.end()) throw TableError("Kein Index ohne Tabelle im Arbeitsbereich " + std::to_string(selected_));
  it->second.index = Ntx::open(ntx);
}

void WorkAreas::clear_indexes() {
  auto it = areas_.find(selected_);
  if (it != areas_.end()) it->second.index.reset();
}

bool WorkAreas::seek(std::string_view key) {
  auto it = areas_.find(selected_);
  if (it == areas_.end() || !it->second.index)
    throw TableError("Suchen ohne Index im Arbeitsbereich " + std::to_string(selected_));
  Dbf& dbf = *it->second.dbf;
  std::optional<std::uint32_t> recno = it->second.index->seek(key);
  // An index entry beyond the table (a stale index) is a miss, not a crash.
  if (recno && *recno >= 1 && *recno <= dbf.record_count()) {
    dbf.go_to(*recno);
    return true;
  }
  dbf.go_to(dbf.record_count() + 1);
  return false;
}

Dbf* WorkAreas::current() { return area(selected_); }

Dbf* WorkAreas::area(int n) {
  auto it = areas_.find(n);
  return it == areas_.end() ? nullptr : it->second.dbf.get();
}

Dbf* WorkAreas::by_alias(std::string_view alias) { return area(area_of(alias)); }

int WorkAreas::area_of(std::string_view alias) const {
  std::string wanted = upper(alias);
  for (const auto& [number, a] : areas_)
    if (a.alias == wanted) return number;
  return 0;
}

void WorkAreas::in_alias(std::string_view alias, const std::function<void()>& fn) {
  int target = area_of(alias);
  if (target == 0) throw TableError("Alias " + std::string(alias) + " ist nicht geöffnet");
  struct Restore {
    WorkAreas& self;
    int previous;
    ~Restore() { self.selected_ = previous; }
  } restore{*this, selected_};
  selected_ = target;
  fn();
}

void WorkAreas::close_area() { areas_.erase(selected_); }

void WorkAreas::commit_all() {
  for (auto& [number, a] : areas_) a.dbf->commit();
}

void WorkAreas::close_all() { areas_.clear(); }

}  // namespace orvex::table
