#pragma once
// Builds a complete data root for the demo, the end-to-end tests and the benchmarks:
// drives C and T, parameter table, connection data, whitelist, order table with its index,
// mail jobs and a small PDF form.
#include <filesystem>
#include <string>
#include <vector>

namespace orvex::demo {

// Folders of a demo root on Linux: drive C, drive T, and the working directory the
// dispatcher runs in (the order table "best" is found there).
struct Layout {
  std::filesystem::path root, c_drive, t_drive, work;
};
Layout layout_for(const std::filesystem::path& root);

struct Server {
  std::string host = "127.0.0.1";
  std::string user = "demo";
  std::string password = "geheim";
  int port = 2525;
  std::string from = "versand@orvex-mail.de";
  std::string back = "buero@orvex-mail.de";
};

struct Order {
  int auftrnr = 0;
  std::string ansp_ktoi;  // contact person's address
  std::string notiz;      // notes, lines separated by CR LF
};

// "C:\XARV\MWSTDAT.DBF" with the fields DATVER and F10 (datver may be empty: no such field).
void write_parameter_table(const std::filesystem::path& file, const std::string& datver, const std::string& f10,
                           bool with_datver = true);
// "best.dbf" + "xauftrnr.ntx" in folder, keys STR(AUFTRNR,6).
void write_order_table(const std::filesystem::path& folder, const std::vector<Order>& orders);

// The folder tree, parameter table, server file, connection data, whitelist, help text, form PDF
// and order table. The mail log table is left to the dispatcher (it creates it at start).
void make_root(const Layout& layout, const Server& server, const std::vector<std::string>& whitelist,
               const std::vector<Order>& orders);

// Writes one job file into the outbox ("CMail/Ausgang" below drive C's XARV); text in Windows-1252
// bytes as the business software writes it.
void write_job(const Layout& layout, const std::string& name, const std::string& cp1252_text);

// Windows-form path of the demo form PDF ("C:\XARV\Formulare\Sterbefall.pdf").
std::string form_pdf_winpath();

// The demo: a handful of jobs showing every road (direct address, lookup by "E-Mail" and by
// "Notizfeld", a multi-address job, a recipient not on the whitelist, one the server rejects).
// Returns the address the server must reject.
std::string make_demo(const Layout& layout, const Server& server);

// count single-address jobs to whitelisted recipients, for load and kill tests.
void make_bulk(const Layout& layout, const Server& server, int count, bool with_attachment = true);

}  // namespace orvex::demo
