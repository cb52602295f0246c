#pragma once
// Old process-wide pieces the form toolkit still refers to: function-key macros, the switches
// set by hpar, and stand-ins for features this system does not contain.
#include <functional>
#include <map>
#include <string>

namespace orvex {

// What happens when a key is pressed. Empty: nothing installed.
using KeyAction = std::function<void()>;

// The process's key actions by text-mode key code (F1 = 28, Fn = 1 - n).
class KeyActions {
 public:
  // Installs action on code (an empty action removes it); returns the one installed before.
  KeyAction set(int code, KeyAction action);
  KeyAction get(int code) const;
  // The window layer's way of putting text into the keyboard buffer as if typed.
  void set_typer(std::function<void(const std::string&)> typer);
  void type(const std::string& text) const;
  void clear();  // forgets the actions and the typer

 private:
  std::map<int, KeyAction> actions_;
  std::function<void(const std::string&)> typer_;
};

// The one registry of the process.
KeyActions& key_actions();

// Key code of function key Fn, n = 1..10; throws std::out_of_range for other n.
int function_key_code(int n);

// Makes F<nFKey> type cString; returns the action that was installed on that key before.
// (The name is the system's own, although C++ reserves names that begin with "__".)
KeyAction __SETFUNCTION(int nFKey, std::string cString);

// The five process-wide switches hpar sets.
struct HparVars {
  bool compat = false;  // the compatibility switch, false when freshly declared
  int upfehl = 0;
  std::string vnetz;
  std::string schalt;
  std::string vara;
};

// The process's switches (one instance, read and written by reference).
HparVars& hpar_vars();
void hpar();

// Stand-ins for features of the form toolkit this system does not contain: they accept any
// arguments, do nothing and return false.
template <class... Args> bool HiliteSle(Args&&...) { return false; }
template <class... Args> bool DeHiliteSle(Args&&...) { return false; }
template <class... Args> bool Satzsp(Args&&...) { return false; }
template <class... Args> bool ClickCalc(Args&&...) { return false; }
template <class... Args> bool XbpMleColumn(Args&&...) { return false; }
template <class... Args> bool XbpCOMBOBOXColumn(Args&&...) { return false; }
template <class... Args> bool COMBOBOXGET(Args&&...) { return false; }

}  // namespace orvex
