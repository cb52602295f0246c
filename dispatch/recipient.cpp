#include "dispatch/recipient.h"

#include <cstdio>
#include <exception>
#include <filesystem>

#include "platform/files/files.h"
#include "platform/table/dbf.h"
#include "platform/table/ntx.h"
#include "platform/text/codepage.h"
#include "platform/text/lines.h"

namespace orvex::dispatch {

namespace {

const std::string_view kKeywords = "email e-mail notiz notizfeld";
const std::string_view kContactKeywords = "email e-mail";

std::string trim_space(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return std::string(s.substr(first, last - first + 1));
}

}  // namespace

bool is_lookup_keyword(std::string_view adr) {
  return !adr.empty() && kKeywords.find(adr) != std::string_view::npos;
}

std::string order_key(std::string_view cAuftrag) {
  std::size_t i = 0;
  while (i < cAuftrag.size() && cAuftrag[i] == ' ') ++i;
  bool negative = false;
  if (i < cAuftrag.size() && (cAuftrag[i] == '-' || cAuftrag[i] == '+')) negative = cAuftrag[i++] == '-';
  long value = 0;
  for (; i < cAuftrag.size() && cAuftrag[i] >= '0' && cAuftrag[i] <= '9' && value < 100000000; ++i)
    value = value * 10 + (cAuftrag[i] - '0');
  char buf[32];
  std::snprintf(buf, sizeof buf, "%6ld", negative ? -value : value);
  return buf;
}

std::string notes_address(std::string_view notiz) {
  const std::string lower = text::to_lower_ascii(notiz);  // same byte positions as the notes
  std::size_t start = std::string::npos;
  if (auto p = lower.find("email:"); p != std::string::npos) {
    start = p + 6;
  } else if (auto q = lower.find("e-mail:"); q != std::string::npos) {
    start = q + 7;
  }
  if (start == std::string::npos) return {};
  // Notes written with bare line feeds end their lines there too.
  auto end = notiz.find_first_of("\r\n", start);
  if (end == std::string_view::npos) end = notiz.size();
  return trim_space(notiz.substr(start, end - start));
}

Lookup lookup_recipient(std::string_view keyword, std::string_view cAuftrag) {
  const std::string key = order_key(cAuftrag);
  const std::string order = text::trim(key);
  try {
    const auto table_path = files::resolve("best.dbf");
    const auto index_path = files::resolve("xauftrnr.ntx");
    std::error_code ec;
    const auto where = std::filesystem::current_path(ec).string();
    if (!std::filesystem::is_regular_file(table_path, ec))
      return {{}, "Die Auftragstabelle best.dbf fehlt in " + where + "."};
    if (!std::filesystem::is_regular_file(index_path, ec))
      return {{}, "Der Index xauftrnr.ntx der Auftragstabelle fehlt in " + where + "."};

    // The business software works in this table meanwhile: shared, and we never write.
    auto best = table::Dbf::open(table_path, table::OpenMode::Shared, /*read_only=*/true);
    if (!best) return {{}, "Die Auftragstabelle best ist von einem anderen Programm gesperrt."};
    auto index = table::Ntx::open(index_path);

    const bool contact = kContactKeywords.find(keyword) != std::string_view::npos;
    const char* field = contact ? "ansp_ktoi" : "notiz";
    if (!best->has_field(field))
      return {{}, std::string("Der Auftragstabelle best fehlt das Feld ") + field + "."};

    const auto recno = index->seek(key);
    if (!recno || *recno < 1 || *recno > best->record_count())
      return {{}, "Auftrag " + order + " ist in der Auftragstabelle nicht zu finden."};
    best->go_to(*recno);

    std::string address = contact ? trim_space(best->get(field)) : notes_address(best->get(field));
    if (address.empty()) {
      return {{}, contact ? "Auftrag " + order + ": keine E-Mail-Adresse im Feld ansp_ktoi."
                          : "Auftrag " + order + ": kein \"email:\" oder \"e-mail:\" im Notizfeld."};
    }
    return {text::utf8_to_cp1252(address), {}};
  } catch (const std::exception& e) {
    return {{}, std::string("Auftragstabelle best nicht lesbar: ") + e.what()};
  }
}

}  // namespace orvex::dispatch
