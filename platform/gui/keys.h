#pragma once
// Key codes by meaning. A printable key is its character's code; other keys and
// combinations with Ctrl or Alt carry flags, so Ctrl+W is ctrl('W') and Alt+F4 is alt(F4).
class QKeyEvent;

namespace orvex::gui::key {

constexpr int None = 0;  // a modifier key alone, or a key we have no code for

constexpr int Special = 0x10000;
constexpr int Esc = Special + 1;
constexpr int Enter = Special + 2;  // Return and the keypad's Enter
constexpr int Tab = Special + 3;
constexpr int Backspace = Special + 4;
constexpr int Delete = Special + 5;
constexpr int Insert = Special + 6;
constexpr int Home = Special + 7;
constexpr int End = Special + 8;
constexpr int PgUp = Special + 9;
constexpr int PgDn = Special + 10;
constexpr int Left = Special + 11;
constexpr int Right = Special + 12;
constexpr int Up = Special + 13;
constexpr int Down = Special + 14;
constexpr int Space = ' ';
constexpr int F1 = Special + 0x101;  // F1..F12 are consecutive
constexpr int F2 = F1 + 1;
constexpr int F3 = F1 + 2;
constexpr int F4 = F1 + 3;
constexpr int F5 = F1 + 4;
constexpr int F6 = F1 + 5;
constexpr int F7 = F1 + 6;
constexpr int F8 = F1 + 7;
constexpr int F9 = F1 + 8;
constexpr int F10 = F1 + 9;
constexpr int F11 = F1 + 10;
constexpr int F12 = F1 + 11;

constexpr int ShiftFlag = 0x100000;
constexpr int CtrlFlag = 0x200000;
constexpr int AltFlag = 0x400000;

// Letters are given in upper case: ctrl('W'), alt('C').
constexpr int ctrl(int k) { return k | CtrlFlag; }
constexpr int alt(int k) { return k | AltFlag; }
constexpr int shift(int k) { return k | ShiftFlag; }

constexpr int AltF4 = alt(F4);
constexpr int CtrlF1 = ctrl(F1);
constexpr int ShiftTab = shift(Tab);

// Our code for a Qt key press. Shift only counts with keys that have no character.
int key_code(const QKeyEvent& event);

}  // namespace orvex::gui::key
