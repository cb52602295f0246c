#include "app/options.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cmath>
#include <sstream>

namespace orvex {

double leading_number(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  std::size_t start = i;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  bool digits = false;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
  }
  if (!digits) return 0.0;
  return std::strtod(std::string(text.substr(start, i - start)).c_str(), nullptr);
}

std::optional<std::string> interval_problem(std::string_view text) {
  // The whole text must be the number: "5x" would silently run as 5.
  std::size_t i = 0;
  bool digits = false;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
  }
  double minutes = digits ? leading_number(text) : 0.0;
  // 6000 * minutes must give at least one hundredth and fit the timer.
  if (!digits || i != text.size() || !(minutes * 6000.0 >= 1.0) || minutes > 100000.0) {
    return "Ungültiges Intervall \"" + std::string(text) +
           "\": bitte die Minuten zwischen zwei Sendungen als positive Zahl angeben, "
           "z. B. 2 oder 0.5.";
  }
  return std::nullopt;
}

ParsedOptions parse_options(int argc, const char* const* argv) {
  Options o;
  std::string interval = "2";
  CLI::App cli{"ORVEX-Mail - automatisches Mail-Programm", "orvex-mail"};
  cli.add_option("INTERVAL", interval, "Minuten zwischen zwei Sendungen (Vorgabe 2, auch 0.5)");
  cli.add_option("--drive", o.drives,
                 "Laufwerk L=VERZEICHNIS, mehrfach (auch ORVEX_DRIVES=\"C=/a;T=/b\")")
      ->type_name("L=DIR");
  cli.add_option("--pace", o.pace, "Faktor der Bedienerpausen (Vorgabe 1, 0 = keine Pausen)")
      ->check(CLI::NonNegativeNumber);
  cli.add_flag("--headless", o.headless,
               "ohne Bildschirm: Fenster offscreen, Meldungen nach Regel beantwortet, Anzeigen auf stdout");
  cli.add_flag("--once", o.once,
               "eine Sendung, dann normales Ende (Exit 0 nur, wenn die Runde vollständig lief)");
  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    return {std::nullopt, 0, cli.help()};
  } catch (const CLI::ParseError& e) {
    std::ostringstream out;
    out << e.what() << "\n" << "Hilfe: orvex-mail --help\n";
    return {std::nullopt, 2, out.str()};
  }
  if (auto problem = interval_problem(interval)) return {std::nullopt, 2, *problem + "\n"};
  o.cTimerMin = interval;
  return {o, 0, {}};
}

}  // namespace orvex
