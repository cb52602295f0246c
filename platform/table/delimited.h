#pragma once
// Reads a comma-separated text file as records (the delimited-text driver).
#include <filesystem>
#include <string>
#include <vector>

namespace orvex::table {

// One record per line (CR LF or LF); fields separated by ",", a field in double quotes may
// hold commas and doubled quotes. Short lines give fewer fields. Bytes are returned as stored.
// Throws TableError when the file cannot be read.
std::vector<std::vector<std::string>> read_delimited(const std::filesystem::path& file);

}  // namespace orvex::table
