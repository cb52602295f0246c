#pragma once
// dBase III tables (.DBF), shared between processes with OFD locks.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::table {

// A damaged or missing table, a write that failed. what() is German, for the operator.
class TableError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct FieldDef {
  std::string name;  // stored upper case, at most 10 characters
  char type = 'C';   // C, N, D, L
  int length = 1;
  int decimals = 0;
};

enum class OpenMode { Shared, Exclusive, Default /* = Shared */ };

// The file a table or index name refers to: a name without extension gets `extension`
// (".dbf", ".ntx"); an existing file whose name matches without regard to case is preferred,
// otherwise the name + upper-case extension (for creating).
std::filesystem::path locate_file(const std::filesystem::path& file, std::string_view extension);

class Dbf {
 public:
  // Creates a new empty table (CP850 language driver); fails if it exists.
  static void create(const std::filesystem::path& file, const std::vector<FieldDef>& fields);

  // Opens a table. Returns nullptr when another holder's sharing mode conflicts (the
  // network-error case); throws TableError when the file is missing or damaged.
  static std::unique_ptr<Dbf> open(const std::filesystem::path& file, OpenMode mode, bool read_only = false);

  ~Dbf();
  Dbf(const Dbf&) = delete;
  Dbf& operator=(const Dbf&) = delete;

  const std::vector<FieldDef>& fields() const;
  int field_index(std::string_view name) const;  // without regard to case; -1 if none
  bool has_field(std::string_view name) const { return field_index(name) >= 0; }

  std::uint32_t record_count();  // re-read from the header: other processes append
  std::uint32_t recno() const;   // 1-based; record_count()+1 at end of file
  bool eof() const;
  bool bof() const;
  void go_to(std::uint32_t recno);
  void go_top();
  void go_bottom();
  void skip(long n = 1);
  double relative_position();  // 0.0 at the top .. 1.0 at the bottom

  // Field values of the current record. Character fields come back UTF-8 (decoded from CP850),
  // padded as stored; at end of file every field reads as blanks.
  std::string get(std::string_view field);
  // Stores a value (encoded to CP850, cut to the field width) into the current record.
  void put(std::string_view field, std::string_view utf8_value);

  bool deleted();
  void mark_deleted(bool deleted);

  // Appends a blank record under the header lock and makes it current. False when the header
  // lock cannot be had (the network-error case).
  bool append_blank();
  // Writes pending changes and fdatasync.
  void commit();

  // Clipper record locks (byte 1,000,000,000 + recno).
  bool lock_record(std::uint32_t recno, bool release_others = true);
  void unlock_all();

  const std::filesystem::path& path() const;
  bool read_only() const;
  bool exclusive() const;
  // Set when the header's record count disagreed with the file size at open (German, for a
  // log); empty otherwise. The smaller count is used.
  const std::string& warning() const;

 private:
  struct Impl;
  explicit Dbf(std::unique_ptr<Impl>);
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvex::table
