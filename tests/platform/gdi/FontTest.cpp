// LOGFONT to device fonts: sizes, faces, metrics in logical units.

#include <cmath>

#include "tests/platform/gdi/TextTestSupport.h"

namespace platform::gdi {
namespace {

struct HeightCase {
  int32_t lfHeight;
  int devicePerLogical96;  // viewport extent for a window extent of 96
  int pixelSize;           // em of the realised font in device pixels
  int tmHeight, tmAscent, tmInternalLeading;  // logical units
};

TEST_F(TextDc, HeightSignChoosesEmOrCellHeight) {
  const HeightCase cases[] = {
      // Negative: the em. Ascent 1854 and descent 434 of 2048 units.
      {-100, 96, 100, 112, 91, 12},
      // Positive: the cell (ascent + descent) is 100, so the em is
      // 100 * 2048 / 2288 = 89.5 -> 90.
      {100, 96, 90, 100, 81, 10},
      // At 600 dpi a 16-unit em is 100 device pixels; metrics come back in
      // logical units: 91 / 6.25 -> 15, 21 / 6.25 -> 3.
      {-16, 600, 100, 18, 15, 2},
      // Zero: the default of 12 points, 16 pixels on a 96 dpi device.
      {0, 96, 16, 17, 14, 1},
  };
  for (const HeightCase& c : cases) {
    SCOPED_TRACE(c.lfHeight);
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, 96, 96, nullptr);
    SetViewportExtEx(dc, c.devicePerLogical96, c.devicePerLogical96, nullptr);
    selectFont(makeLogfont(c.lfHeight));
    surface->clear();
    ASSERT_TRUE(TextOutW(dc, 0, 0, u"A", 1));
    ASSERT_EQ(texts().size(), 1u);
    EXPECT_EQ(texts()[0]->font.pixelSize(), c.pixelSize);
    TEXTMETRICW tm{};
    ASSERT_TRUE(GetTextMetricsW(dc, &tm));
    EXPECT_EQ(tm.tmHeight, c.tmHeight);
    EXPECT_EQ(tm.tmAscent, c.tmAscent);
    EXPECT_EQ(tm.tmDescent, c.tmHeight - c.tmAscent);
    EXPECT_EQ(tm.tmInternalLeading, c.tmInternalLeading);
  }
}

struct FaceCase {
  const char16_t* face;
  uint8_t charSet, pitchAndFamily;
  const char* family;
};

TEST_F(TextDc, WindowsFacesDrawWithTheirMetricCompatibleFamilies) {
  const FaceCase cases[] = {
      {u"Arial", ANSI_CHARSET, 0, "Liberation Sans"},
      {u"ARIAL", DEFAULT_CHARSET, 0, "Liberation Sans"},
      {u"Times New Roman", ANSI_CHARSET, 0, "Liberation Serif"},
      {u"Courier New", ANSI_CHARSET, 0, "Liberation Mono"},
      {u"Calibri", ANSI_CHARSET, 0, "Carlito"},
      {u"Cambria", ANSI_CHARSET, 0, "Caladea"},
      {u"MS Sans Serif", DEFAULT_CHARSET, 0, "Liberation Sans"},
      {u"Tahoma", ANSI_CHARSET, 0, "DejaVu Sans"},
      {u"SimSun", GB2312_CHARSET, 0, "WenQuanYi Micro Hei"},
      {u"宋体", GB2312_CHARSET, 0, "WenQuanYi Micro Hei"},
      {u"ＭＳ ゴシック", SHIFTJIS_CHARSET, 0, "WenQuanYi Micro Hei"},
      {u"@SimSun", GB2312_CHARSET, 0, "WenQuanYi Micro Hei"},
      {u"DejaVu Serif", ANSI_CHARSET, 0, "DejaVu Serif"},
      // Faces not installed: charset, then family and pitch decide.
      {u"No Such Face", GB2312_CHARSET, 0, "WenQuanYi Micro Hei"},
      {u"No Such Face", ANSI_CHARSET, FF_ROMAN | VARIABLE_PITCH, "Liberation Serif"},
      {u"No Such Face", ANSI_CHARSET, FIXED_PITCH, "Liberation Mono"},
      {u"", ANSI_CHARSET, 0, "Liberation Sans"},
  };
  for (const FaceCase& c : cases) {
    LOGFONTW lf = makeLogfont(-20, c.face);
    lf.lfCharSet = c.charSet;
    lf.lfPitchAndFamily = c.pitchAndFamily;
    selectFont(lf);
    surface->clear();
    ASSERT_TRUE(TextOutW(dc, 0, 0, u"A", 1));
    ASSERT_EQ(texts().size(), 1u);
    EXPECT_EQ(texts()[0]->font.family().toStdString(), c.family) << QString::fromUtf16(c.face).toStdString();
  }
}

TEST_F(TextDc, WidthWeightAndItalicShapeTheFont) {
  // Twice the average width (1187 units: 58 pixels at an em of 100)
  // stretches glyphs and advances alike.
  LOGFONTW lf = makeLogfont(-100);
  lf.lfWidth = 116;
  selectFont(lf);
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_BASELINE);
  ASSERT_TRUE(TextOutW(dc, 0, 100, u"AB", 2));
  auto runs = texts();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0]->positions[1], QPointF(133, 100));  // 66.69 * 2.001
  EXPECT_NEAR(runs[0]->transform.m11(), 2.0, 0.01);
  EXPECT_NEAR(runs[0]->transform.m22(), 1.0, 1e-9);
  TEXTMETRICW tm{};
  ASSERT_TRUE(GetTextMetricsW(dc, &tm));
  EXPECT_EQ(tm.tmAveCharWidth, 116);

  // The bold italic face has its own average: the stretch is relative to it.
  lf.lfWeight = FW_BOLD;
  lf.lfItalic = 1;
  selectFont(lf);
  surface->clear();
  ASSERT_TRUE(TextOutW(dc, 0, 100, u"AB", 2));
  runs = texts();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0]->font.weight(), QFont::Bold);
  EXPECT_TRUE(runs[0]->font.italic());
  ASSERT_TRUE(GetTextMetricsW(dc, &tm));
  EXPECT_EQ(tm.tmAveCharWidth, 116);
  EXPECT_EQ(tm.tmWeight, FW_BOLD);
  EXPECT_EQ(tm.tmItalic, 1);
}

TEST_F(TextDc, MetricsReportPitchAndWidths) {
  selectFont(makeLogfont(-100, u"Courier New"));
  TEXTMETRICW mono{};
  ASSERT_TRUE(GetTextMetricsW(dc, &mono));
  EXPECT_EQ(mono.tmAveCharWidth, 60);  // 1229 units
  EXPECT_EQ(mono.tmMaxCharWidth, 60);
  EXPECT_EQ(mono.tmPitchAndFamily & 1, 0);  // clear bit: fixed pitch
  SIZE size{};
  ASSERT_TRUE(GetTextExtentPoint32A(dc, "iiiii", 5, &size));
  EXPECT_EQ(size.cx, 300);

  selectFont(makeLogfont(-100, u"Arial"));
  TEXTMETRICW sans{};
  ASSERT_TRUE(GetTextMetricsW(dc, &sans));
  EXPECT_EQ(sans.tmPitchAndFamily & 1, 1);
  EXPECT_EQ(sans.tmAveCharWidth, 58);
  EXPECT_EQ(sans.tmExternalLeading, 3);  // hhea line gap 67 units
}

TEST_F(TextDc, SymbolFaceDrawsItsCodesAsTheirCharacters) {
  LOGFONTW lf = makeLogfont(-40, u"Symbol");
  lf.lfCharSet = SYMBOL_CHARSET;
  selectFont(lf);
  ASSERT_TRUE(TextOutW(dc, 0, 0, u"a\xF062", 2));
  QString drawn;
  for (const RecordedOp* op : texts()) drawn += op->text;
  EXPECT_EQ(drawn, QString::fromUtf8("αβ"));
}

TEST_F(TextDc, CreateFontAKeepsTheAnsiFaceName) {
  HFONT f = CreateFontA(-30, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Times New Roman");
  ASSERT_NE(f, nullptr);
  SelectObject(dc, f);
  ASSERT_TRUE(TextOutA(dc, 0, 0, "A", 1));
  ASSERT_EQ(texts().size(), 1u);
  EXPECT_EQ(texts()[0]->font.family(), "Liberation Serif");
  EXPECT_EQ(texts()[0]->font.pixelSize(), 30);
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  DeleteObject(f);
  EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
}  // namespace platform::gdi
