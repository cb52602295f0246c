#pragma once
// Colours by palette number 0..15, negative numbers for system colours; fonts by compound name.
#include <QColor>
#include <QFont>
#include <string>

namespace orvex::gui {

namespace colour {
constexpr int White = 0;
constexpr int Blue = 1;
constexpr int Red = 2;
constexpr int Pink = 3;
constexpr int Green = 4;
constexpr int Cyan = 5;
constexpr int Yellow = 6;
constexpr int Black = 7;
constexpr int DarkGrey = 8;
constexpr int DarkBlue = 9;
constexpr int DarkRed = 10;
constexpr int DarkPink = 11;
constexpr int DarkGreen = 12;
constexpr int DarkCyan = 13;
constexpr int Brown = 14;
constexpr int PaleGrey = 15;

constexpr int EntryFieldBG = -1;   // background of entry fields and text panels
constexpr int ButtonShadow = -2;   // dark edge of three-dimensional buttons
constexpr int WindowBG = -3;       // plain window background
constexpr int WindowText = -4;
constexpr int Unset = -1000;       // no presentation colour given
}  // namespace colour

// Throws std::out_of_range for an unknown number.
QColor to_qcolor(int colour);

// "12.Courier New", "12. consolas": size in points, a dot, the family. A family the machine
// lacks falls back to a monospace font for fixed-pitch names and to Qt's matching otherwise.
QFont font_from_compound_name(const std::string& compound_name);

}  // namespace orvex::gui
