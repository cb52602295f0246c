#pragma once
// Clipper NTX indexes: seek a character key, write an index for a table.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvex::table {

class Ntx {
 public:
  // Throws TableError when the file is missing, truncated or not an NTX index.
  static std::unique_ptr<Ntx> open(const std::filesystem::path& file);

  // Writes a new index from (key, recno) pairs; keys are padded/cut to key_size.
  // Keys here are UTF-8, as the table fields; the file holds them in CP850 like the table.
  static void write(const std::filesystem::path& file, std::string_view key_expression, int key_size,
                    std::vector<std::pair<std::string, std::uint32_t>> keys);

  ~Ntx();
  int key_size() const;
  std::string key_expression() const;
  // The record number of the first key >= key (compared as bytes over key_size; a shorter key
  // compares its own length, like a soft prefix seek is NOT done: exact match required).
  // nullopt when no key equals the sought key.
  std::optional<std::uint32_t> seek(std::string_view key);

 private:
  struct Impl;
  explicit Ntx(std::unique_ptr<Impl>);
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvex::table
