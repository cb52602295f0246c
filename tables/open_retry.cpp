#include "tables/open_retry.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string_view>
#include <utility>

#include "platform/files/files.h"
#include "platform/table/dbf.h"
#include "tables/retry_support.h"

namespace orvex {

namespace {

std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

bool has_drive(const std::string& path) { return path.size() >= 2 && path[1] == ':'; }

bool has_extension(std::string_view winpath) {
  const auto slash = winpath.find_last_of("\\/");
  const auto name = slash == std::string_view::npos ? winpath : winpath.substr(slash + 1);
  return name.find('.') != std::string_view::npos;
}

// The Linux file behind a Windows-form table or index path. The extension is added before the
// lookup so that "MWSTDAT" also finds a file stored as "mwstdat.dbf".
std::filesystem::path linux_file(const std::string& winpath, std::string_view extension) {
  if (has_extension(winpath)) return files::resolve(winpath);
  return files::resolve(winpath + std::string(extension));
}

}  // namespace

bool Net_use(App& app, std::string file, bool ex_use, int wait) {
  const bool forever = wait == 0;
  while (forever || wait > 0) {
    app.areas.use(linux_file(file, ".dbf"), ex_use ? table::OpenMode::Exclusive : table::OpenMode::Default);
    if (!app.areas.neterr()) return true;
    wait_for_key(app, 100);
    --wait;
  }
  return false;
}

int DBaufmachen(App& app, std::string dat, std::optional<std::string> ind, std::string schalt) {
  // The parameter table is always the local one, whatever data root is configured.
  if (upper(dat) == "MWSTDAT") {
    dat = "C:\\XARV\\MWSTDAT";
  } else if (!has_drive(dat)) {
    dat = app.cDatver + dat;
  }
  if (ind && !has_drive(*ind)) *ind = app.cDatver + *ind;
  const bool vara = schalt == "E";

  for (;;) {
    if (Net_use(app, dat, vara, 5)) {
      if (ind) {
        app.areas.clear_indexes();
        app.areas.set_index(linux_file(*ind, ".ntx"));
      }
      return 0;
    }
    if (!ask_operator(app, "Datei " + dat + " kann nicht geöffnet werden!",
                      "Nochmal versuchen=JA - Programmabbruch=NEIN")) {
      end_program(app);
    }
  }
}

}  // namespace orvex
