// orvex-demo-data: writes a demo data root with our own table engine (the order table and the
// parameter table are dBase files that Python's readers cannot write).
#include <CLI/CLI.hpp>

#include <iostream>

#include "app/demo_data.h"

int main(int argc, char** argv) {
  std::string root;
  std::string kind = "demo";
  int count = 100;
  bool no_attachment = false;
  orvex::demo::Server server;
  CLI::App cli{"Legt Demodaten für ORVEX-Mail an", "orvex-demo-data"};
  cli.add_option("--root", root, "leeres Verzeichnis für die Demodaten")->required();
  cli.add_option("--port", server.port, "Port des SMTP-Servers")->required();
  cli.add_option("--host", server.host, "SMTP-Server");
  cli.add_option("--user", server.user, "Anmeldename");
  cli.add_option("--password", server.password, "Kennwort");
  cli.add_option("--kind", kind, "demo oder bulk")->check(CLI::IsMember({"demo", "bulk"}));
  cli.add_option("--count", count, "Anzahl Aufträge bei bulk")->check(CLI::PositiveNumber);
  cli.add_flag("--no-attachment", no_attachment, "bulk ohne Anhang");
  CLI11_PARSE(cli, argc, argv);
  try {
    auto layout = orvex::demo::layout_for(root);
    if (kind == "demo") {
      std::cout << "REJECT " << orvex::demo::make_demo(layout, server) << "\n";
    } else {
      orvex::demo::make_bulk(layout, server, count, !no_attachment);
    }
    std::cout << "DRIVES C=" << layout.c_drive.string() << ";T=" << layout.t_drive.string() << "\n"
              << "WORKDIR " << layout.work.string() << "\n";
  } catch (const std::exception& e) {
    std::cerr << "orvex-demo-data: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
