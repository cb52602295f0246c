#include "tables/legacy.h"

#include <stdexcept>
#include <utility>

namespace orvex {

KeyAction KeyActions::set(int code, KeyAction action) {
  KeyAction previous;
  if (auto it = actions_.find(code); it != actions_.end()) {
    previous = std::move(it->second);
    actions_.erase(it);
  }
  if (action) actions_.emplace(code, std::move(action));
  return previous;
}

KeyAction KeyActions::get(int code) const {
  const auto it = actions_.find(code);
  return it == actions_.end() ? KeyAction{} : it->second;
}

void KeyActions::set_typer(std::function<void(const std::string&)> typer) { typer_ = std::move(typer); }

void KeyActions::type(const std::string& text) const {
  if (typer_) typer_(text);
}

void KeyActions::clear() {
  actions_.clear();
  typer_ = nullptr;
}

KeyActions& key_actions() {
  static KeyActions registry;
  return registry;
}

int function_key_code(int n) {
  if (n == 1) return 28;
  if (n >= 2 && n <= 10) return 1 - n;
  throw std::out_of_range("Funktionstaste F" + std::to_string(n) + " gibt es nicht (1 bis 10).");
}

KeyAction __SETFUNCTION(int nFKey, std::string cString) {
  return key_actions().set(function_key_code(nFKey),
                           [text = std::move(cString)] { key_actions().type(text); });
}

HparVars& hpar_vars() {
  static HparVars vars;
  return vars;
}

void hpar() {
  HparVars& v = hpar_vars();
  v.compat = false;
  v.upfehl = 0;
  v.vnetz = v.compat ? "J" : "N";
  v.schalt = " ";
  v.vara = ".F.";
}

}  // namespace orvex
