#include "platform/table/delimited.h"

#include <fstream>
#include <iterator>

#include "platform/table/dbf.h"

namespace orvex::table {

std::vector<std::vector<std::string>> read_delimited(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw TableError("Datei " + file.string() + " nicht gefunden oder nicht lesbar");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw TableError("Datei " + file.string() + " kann nicht gelesen werden");
  // DOS tools end text files with Ctrl-Z.
  if (!text.empty() && text.back() == '\x1A') text.pop_back();

  std::vector<std::vector<std::string>> records;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t eol = text.find('\n', pos);
    std::size_t end = eol == std::string::npos ? text.size() : eol;
    std::string_view line(text.data() + pos, end - pos);
    pos = eol == std::string::npos ? text.size() : eol + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    std::vector<std::string> fields;
    if (!line.empty()) {
      std::string field;
      bool quoted = false;
      for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted) {
          if (c != '"')
            field.push_back(c);
          else if (i + 1 < line.size() && line[i + 1] == '"')
            field.push_back(line[++i]);
          else
            quoted = false;
        } else if (c == '"') {
          quoted = true;
        } else if (c == ',') {
          fields.push_back(std::move(field));
          field.clear();
        } else {
          field.push_back(c);
        }
      }
      fields.push_back(std::move(field));
    }
    records.push_back(std::move(fields));
  }
  return records;
}

}  // namespace orvex::table
