#include <QFontInfo>

#include "platform/gui/colours.h"
#include "platform/gui/dialog.h"
#include "platform/gui/edits.h"
#include "platform/gui/statics.h"
#include "platform/gui/test_support.h"

namespace orvex::gui {
namespace {

TEST(Colours, PaletteNumbersAndSystemColours) {
  const QRgb expected[16] = {0xFFFFFF, 0x0000FF, 0xFF0000, 0xFF00FF, 0x00FF00, 0x00FFFF,
                             0xFFFF00, 0x000000, 0x808080, 0x000080, 0x800000, 0x800080,
                             0x008000, 0x008080, 0x808000, 0xC0C0C0};
  for (int n = 0; n < 16; ++n) EXPECT_EQ(to_qcolor(n).rgb() & 0xFFFFFF, expected[n]) << n;
  EXPECT_NE(to_qcolor(colour::ButtonShadow), to_qcolor(colour::White));
  EXPECT_THROW(to_qcolor(16), std::out_of_range);
}

TEST(Fonts, CompoundNamesWithMissingFamiliesFallBack) {
  struct Case {
    const char* name;
    int points;
    bool fixed;
  } cases[] = {{"12. consolas", 12, true}, {"10.COURIER NEW", 10, true}, {"12.Courier New", 12, true}};
  for (const Case& c : cases) {
    QFontInfo info(font_from_compound_name(c.name));
    EXPECT_EQ(info.pointSize(), c.points) << c.name;
    EXPECT_EQ(info.fixedPitch(), c.fixed) << c.name;
  }
  EXPECT_EQ(QFontInfo(font_from_compound_name("10.Times New Roman")).pointSize(), 10);
}

struct Controls : ::testing::Test {
  Dialog dlg{nullptr, {0, 0}, {300, 200}};
  void SetUp() override { dlg.create(); }
};

TEST_F(Controls, ChildrenKeepTheirPlaceFromTheLowerEdge) {
  auto* t = new StaticText(dlg.drawing_area(), {10, 20}, {100, 30});
  t->create();
  EXPECT_EQ(t->geometry(), QRect(10, 200 - 50, 100, 30));
  dlg.resize(300, 260);
  dlg.show();  // a hidden window gets its resize when shown
  EXPECT_EQ(t->geometry(), QRect(10, 260 - 50, 100, 30));
  dlg.resize(300, 240);
  EXPECT_EQ(t->geometry(), QRect(10, 240 - 50, 100, 30));
  EXPECT_EQ(t->current_pos(), (Point{10, 20}));
  clear_events();
}

TEST_F(Controls, NothingShowsBeforeCreate) {
  auto* t = new StaticText(dlg.drawing_area(), {10, 20}, {100, 30});
  dlg.show();
  EXPECT_FALSE(t->isVisible());
  t->create();
  EXPECT_TRUE(t->isVisible());
}

TEST_F(Controls, StaticCaptionsKeepTheirBlanks) {
  auto* t = new StaticText(dlg.drawing_area(), {0, 0}, {100, 30});
  t->caption = "A  L  T - C";
  t->create();
  EXPECT_EQ(t->text().toStdString(), "A  L  T - C");
  EXPECT_EQ(t->textFormat(), Qt::PlainText);
}

TEST_F(Controls, MultiLineDataLink) {
  std::string var = "aus der Variablen";
  auto* m = new MultiLineEdit(dlg.drawing_area(), {0, 0}, {200, 100});
  m->dataLink = [&var](std::optional<std::string> v) {
    if (v) var = *v;
    return var;
  };
  m->create();
  m->setData();
  EXPECT_EQ(m->text(), "aus der Variablen");
  m->setData("Zeile 1\r\nZeile 2");
  EXPECT_EQ(var, "aus der Variablen");
  EXPECT_EQ(m->getData(), "Zeile 1\r\nZeile 2");
  EXPECT_EQ(var, "Zeile 1\r\nZeile 2");
  m->set_marked({3, 6});
  EXPECT_EQ(m->marked(), (Marked{3, 6}));
  EXPECT_EQ(m->textCursor().selectedText().toStdString(), "ile");
}

TEST_F(Controls, SingleLineMarkedRangeAndBufferLength) {
  auto* s = new SingleLineEdit(dlg.drawing_area(), {0, 0}, {200, 24});
  s->buffer_length = 6;
  s->editable = false;
  s->create();
  s->set_text("ABCDEFGH");
  EXPECT_EQ(s->text(), "ABCDEF");
  EXPECT_TRUE(s->isReadOnly());
  s->set_marked({2, 4});
  EXPECT_EQ(s->marked(), (Marked{2, 4}));
  EXPECT_EQ(s->selectedText().toStdString(), "BC");
  s->set_marked({5, 5});
  EXPECT_EQ(s->marked(), (Marked{5, 5}));
  EXPECT_EQ(s->first_char(), 1);
}

}  // namespace
}  // namespace orvex::gui
