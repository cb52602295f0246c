#pragma once
// Numbered work areas with aliases: the table operations act on the selected area.
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/table/dbf.h"
#include "platform/table/ntx.h"

namespace orvex::table {

class WorkAreas {
 public:
  void select(int area);
  int selected() const;
  int free_area() const;  // the lowest area without a table

  // Opens a table in the selected area (closing what it held). alias empty = file base name
  // upper case. Returns false and sets the network-error flag on a sharing conflict;
  // throws TableError for a missing or damaged file. read_only for tables of other programs.
  bool use(const std::filesystem::path& file, OpenMode mode, std::string alias = {}, bool read_only = false);
  bool neterr() const;

  void set_index(const std::filesystem::path& ntx);  // the area's only open index
  void clear_indexes();
  // Seeks in the area's index; positions on the record found, else at end of file.
  bool seek(std::string_view key);

  Dbf* current();  // nullptr when the selected area is empty
  Dbf* area(int n);
  Dbf* by_alias(std::string_view alias);
  int area_of(std::string_view alias) const;  // 0 when none

  // Runs fn with the area of alias selected, then restores the previous selection.
  void in_alias(std::string_view alias, const std::function<void()>& fn);

  void close_area();  // closes the selected area
  void commit_all();
  void close_all();

 private:
  struct Area {
    std::unique_ptr<Dbf> dbf;
    std::unique_ptr<Ntx> index;
    std::string alias;
  };
  std::map<int, Area> areas_;
  int selected_ = 1;
  bool neterr_ = false;
};

}  // namespace orvex::table
