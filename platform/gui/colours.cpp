#include "platform/gui/colours.h"

#include <QFontDatabase>
#include <algorithm>
#include <array>
#include <cctype>
#include <stdexcept>

namespace orvex::gui {

QColor to_qcolor(int colour) {
  static const std::array<QRgb, 16> palette{
      0xFFFFFF, 0x0000FF, 0xFF0000, 0xFF00FF, 0x00FF00, 0x00FFFF, 0xFFFF00, 0x000000,
      0x808080, 0x000080, 0x800000, 0x800080, 0x008000, 0x008080, 0x808000, 0xC0C0C0};
  if (colour >= 0 && colour < 16) return QColor(palette[static_cast<std::size_t>(colour)]);
  switch (colour) {
    case colour::EntryFieldBG: return QColor(QRgb{0xFFFFFF});
    case colour::ButtonShadow: return QColor(QRgb{0xA0A0A0});
    case colour::WindowBG: return QColor(QRgb{0xF0F0F0});
    case colour::WindowText: return QColor(QRgb{0x000000});
    default: throw std::out_of_range("no such colour: " + std::to_string(colour));
  }
}

namespace {

std::string trim(std::string s) {
  auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  s.erase(s.begin(), std::find_if_not(s.begin(), s.end(), blank));
  s.erase(std::find_if_not(s.rbegin(), s.rend(), blank).base(), s.end());
  return s;
}

bool fixed_pitch_name(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const char* m : {"courier", "consolas", "lucida console", "fixedsys", "mono", "terminal"})
    if (name.find(m) != std::string::npos) return true;
  return false;
}

}  // namespace

QFont font_from_compound_name(const std::string& compound_name) {
  int points = 0;
  std::string family = compound_name;
  if (auto dot = compound_name.find('.'); dot != std::string::npos) {
    try {
      points = std::stoi(compound_name.substr(0, dot));
    } catch (const std::exception&) {
      points = 0;
    }
    family = compound_name.substr(dot + 1);
  }
  family = trim(family);
  QFont font;
  const QString qfamily = QString::fromStdString(family);
  if (QFontDatabase::hasFamily(qfamily)) {
    font = QFont(qfamily);
  } else if (fixed_pitch_name(family)) {
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  } else {
    font = QFont(qfamily);
    if (qfamily.toLower().contains("times")) {
      font.setStyleHint(QFont::Serif);
    } else {
      // Windows' narrow dialog fonts: the stand-in must not cut the captions they fit.
      font.setStyleHint(QFont::SansSerif);
      font.setStretch(QFont::Condensed);
    }
  }
  if (points > 0) font.setPointSize(points);
  return font;
}

}  // namespace orvex::gui
