#include "app/demo_data.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "platform/table/dbf.h"
#include "platform/table/ntx.h"
#include "platform/text/codepage.h"

namespace orvex::demo {

namespace fs = std::filesystem;

namespace {

const std::string kCRLF = "\r\n";

void write_bytes(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out.flush()) throw std::runtime_error("cannot write " + file.string());
}

fs::path xarv(const Layout& l) { return l.c_drive / "XARV"; }

std::string right_aligned(int n, int width) {
  std::string s = std::to_string(n);
  return std::string(s.size() < static_cast<std::size_t>(width) ? width - s.size() : 0, ' ') + s;
}

// A one-page PDF with a line of text; offsets in the cross-reference table are computed.
std::string small_pdf(const std::string& line) {
  std::string stream = "BT /F1 18 Tf 72 720 Td (" + line + ") Tj ET";
  std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R "
      "/Resources << /Font << /F1 5 0 R >> >> >>",
      "<< /Length " + std::to_string(stream.size()) + " >>\nstream\n" + stream + "\nendstream",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
  };
  std::string pdf = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (auto off : offsets) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%010zu 00000 n \n", off);
    pdf += buf;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

}  // namespace

Layout layout_for(const fs::path& root) {
  return {root, root / "c", root / "t", root / "work"};
}

std::string form_pdf_winpath() { return "C:\\XARV\\Formulare\\Sterbefall.pdf"; }

void write_parameter_table(const fs::path& file, const std::string& datver, const std::string& f10,
                           bool with_datver) {
  fs::create_directories(file.parent_path());
  fs::remove(file);
  std::vector<table::FieldDef> fields;
  if (with_datver) fields.push_back({"DATVER", 'C', 40, 0});
  fields.push_back({"F10", 'C', 10, 0});
  table::Dbf::create(file, fields);
  auto t = table::Dbf::open(file, table::OpenMode::Exclusive);
  if (!t || !t->append_blank()) throw std::runtime_error("cannot fill " + file.string());
  if (with_datver) t->put("DATVER", datver);
  t->put("F10", f10);
  t->commit();
}

void write_order_table(const fs::path& folder, const std::vector<Order>& orders) {
  fs::create_directories(folder);
  fs::remove(folder / "best.dbf");
  table::Dbf::create(folder / "best.dbf",
                     {{"AUFTRNR", 'N', 6, 0}, {"KUNDE", 'C', 30, 0}, {"ANSP_KTOI", 'C', 60, 0}, {"NOTIZ", 'C', 200, 0}});
  auto t = table::Dbf::open(folder / "best.dbf", table::OpenMode::Exclusive);
  if (!t) throw std::runtime_error("cannot open the order table");
  std::vector<std::pair<std::string, std::uint32_t>> keys;
  for (const auto& o : orders) {
    if (!t->append_blank()) throw std::runtime_error("cannot append to the order table");
    t->put("AUFTRNR", right_aligned(o.auftrnr, 6));
    t->put("KUNDE", "Kunde " + std::to_string(o.auftrnr));
    t->put("ANSP_KTOI", o.ansp_ktoi);
    t->put("NOTIZ", o.notiz);
    keys.emplace_back(right_aligned(o.auftrnr, 6), t->recno());
  }
  t->commit();
  t.reset();
  table::Ntx::write(folder / "xauftrnr.ntx", "STR(AUFTRNR,6)", 6, std::move(keys));
}

void make_root(const Layout& l, const Server& s, const std::vector<std::string>& whitelist,
               const std::vector<Order>& orders) {
  const fs::path cmail = xarv(l) / "CMail";
  for (auto dir : {cmail / "Ausgang" / "failure", cmail / "Ausgang" / "quarantine", xarv(l) / "Formulare",
                   l.t_drive / "XARV", l.work})
    fs::create_directories(dir);
  write_parameter_table(xarv(l) / "MWSTDAT.DBF", "C:\\XARV\\", "LPT1");
  write_parameter_table(l.t_drive / "XARV" / "mwstdat.dbf", "T:\\XARV\\", "LPT1");
  write_bytes(cmail / "Verbindung.dat", s.host + kCRLF + s.user + kCRLF + s.password + kCRLF +
                                            std::to_string(s.port) + kCRLF + s.from + kCRLF + s.back + kCRLF);
  std::string wl;
  for (const auto& a : whitelist) wl += a + "," + kCRLF;
  write_bytes(cmail / "WhiteList.mad", wl);
  write_bytes(cmail / "F1.txt", text::utf8_to_cp1252("ORVEX-Mail - Hilfe\r\n\r\nSENDEN startet den Dauerlauf, "
                                                     "HALT hält ihn an, Ende beendet das Programm.\r\n"));
  write_bytes(xarv(l) / "Formulare" / "Sterbefall.pdf", small_pdf("ORVEX-Mail Demo-Formular"));
  write_order_table(l.work, orders);
}

void write_job(const Layout& l, const std::string& name, const std::string& cp1252_text) {
  write_bytes(xarv(l) / "CMail" / "Ausgang" / name, cp1252_text);
}

std::string make_demo(const Layout& l, const Server& s) {
  const std::string rejected = "abgelehnt@example.org";
  make_root(l, s,
            {"anna.berger@example.org", "bernd.keller@example.org", "carla.huber@example.org",
             "dora.lang@example.org", "emil.wolf@example.org", "felix.roth@example.org", rejected},
            {{4711, "", ""},
             {4712, "bernd.keller@example.org", ""},
             {4713, "", "Rückruf erbeten\r\nE-Mail: Carla.Huber@example.org\r\nBitte vormittags"},
             {4714, "", ""},
             {4715, "", ""},
             {4716, "", ""},
             {4717, "", ""}});
  auto job = [&](const std::string& name, const std::string& utf8) { write_job(l, name, text::utf8_to_cp1252(utf8)); };
  const std::string pdf = form_pdf_winpath();
  job("Sterbefall_2024-05-17_004711_1.ausg",
      "anna.berger@example.org|||Sterbefall 004711|||Sehr geehrte Frau Berger,\r\nanbei das Formular.\r\n"
      "Mit freundlichen Grüßen|||" + pdf);
  job("Sterbefall_2024-05-17_004712_1.ausg",
      "E-Mail|||Sterbefall 004712|||Guten Tag,\r\nanbei das Formular zum Auftrag 4712.|||" + pdf);
  job("Vorsorge_2024-05-17_004713_1.ausg",
      " Notizfeld |||Vorsorge 004713|||Guten Tag,\r\nanbei der Vorsorgevertrag.|||" + pdf);
  job("Rechnung_2024-05-17_004714_1.ausg",
      "{dora.lang@example.org,emil.wolf@example.org}|||Rechnung 004714|||Anbei die Rechnung.|||" + pdf);
  job("Sterbefall_2024-05-17_004715_1.ausg", "fremd@example.com|||Sterbefall 004715|||Nicht erlaubt.|||" + pdf);
  job("Sterbefall_2024-05-17_004716_1.ausg", rejected + "|||Sterbefall 004716|||Der Server lehnt ab.|||" + pdf);
  job("Auftrag_2024-05-18_004717_1.ausg", "felix.roth@example.org");
  return rejected;
}

void make_bulk(const Layout& l, const Server& s, int count, bool with_attachment) {
  std::vector<std::string> whitelist;
  for (int i = 1; i <= count; ++i) whitelist.push_back("kunde" + std::to_string(i) + "@example.org");
  make_root(l, s, whitelist, {});
  for (int i = 1; i <= count; ++i) {
    char order[8];
    std::snprintf(order, sizeof order, "%06d", i % 1000000);
    std::string text = "kunde" + std::to_string(i) + "@example.org|||Formular " + order + "|||Anbei das Formular.";
    if (with_attachment) text += "|||" + form_pdf_winpath();
    write_job(l, std::string("Sterbefall_2024-05-17_") + order + "_1.ausg", text);
  }
}

}  // namespace orvex::demo
