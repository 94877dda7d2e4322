// ExtTextOut and friends on a recording surface: where each character's
// origin lands in device pixels, and what is filled around it.

#include <QRegion>

#include "platform/system/CodePage.h"
#include "tests/platform/gdi/TextTestSupport.h"

namespace platform::gdi {
namespace {

struct AlignCase {
  uint32_t align;
  int x, y;  // first origin for the reference point (200, 300) and "AB" (width 134)
};

TEST_F(TextDc, AlignmentMovesTheRunByTheFontMetrics) {
  selectFont(makeLogfont(-100));
  SetBkMode(dc, TRANSPARENT);
  const AlignCase cases[] = {
      {TA_LEFT | TA_TOP, 200, 391},          {TA_RIGHT | TA_TOP, 66, 391},
      {TA_CENTER | TA_TOP, 133, 391},        {TA_LEFT | TA_BASELINE, 200, 300},
      {TA_RIGHT | TA_BASELINE, 66, 300},     {TA_CENTER | TA_BASELINE, 133, 300},
      {TA_LEFT | TA_BOTTOM, 200, 279},       {TA_RIGHT | TA_BOTTOM, 66, 279},
      {TA_CENTER | TA_BOTTOM, 133, 279},
  };
  for (const AlignCase& c : cases) {
    SCOPED_TRACE(c.align);
    surface->clear();
    SetTextAlign(dc, c.align);
    ASSERT_TRUE(TextOutW(dc, 200, 300, u"AB", 2));
    const auto runs = texts();
    ASSERT_EQ(runs.size(), 1u) << all();
    EXPECT_EQ(runs[0]->text, "AB");
    ASSERT_EQ(runs[0]->positions.size(), 2u);
    EXPECT_EQ(runs[0]->positions[0], QPointF(c.x, c.y));
    EXPECT_EQ(runs[0]->positions[1], QPointF(c.x + 67, c.y));
    EXPECT_EQ(runs[0]->font.pixelSize(), 100);
    EXPECT_EQ(runs[0]->angleDegrees, 0);
    EXPECT_TRUE(runs[0]->transform.isIdentity());
  }
}

TEST_F(TextDc, FlippedMappingKeepsTextUprightAndAlignsOnTheDevice) {
  // y up, two logical units per device pixel: the font is 50 pixels high and
  // TA_TOP still hangs the text below the reference point on the page.
  SetMapMode(dc, MM_ANISOTROPIC);
  SetWindowExtEx(dc, 1000, -1000, nullptr);
  SetViewportExtEx(dc, 500, 500, nullptr);
  SetViewportOrgEx(dc, 0, 500, nullptr);
  selectFont(makeLogfont(-100));
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_LEFT | TA_TOP);
  ASSERT_TRUE(TextOutW(dc, 100, 200, u"AB", 2));
  const auto runs = texts();
  ASSERT_EQ(runs.size(), 1u) << all();
  EXPECT_EQ(runs[0]->font.pixelSize(), 50);
  // Ascent at 50 pixels: 1854 * 50 / 2048 = 45.3; "A" advances 33.4 -> 33.
  EXPECT_EQ(runs[0]->positions[0], QPointF(50, 400 + 45));
  EXPECT_EQ(runs[0]->positions[1], QPointF(83, 445));
  EXPECT_TRUE(runs[0]->transform.isIdentity());
  EXPECT_EQ(runs[0]->angleDegrees, 0);
}

TEST_F(TextDc, DxAdvancesAccumulateInLogicalUnitsBeforeRounding) {
  // 1.5 device pixels per logical unit: advances of 3 are 4.5 pixels each,
  // so the origins are 0, 4.5, 9, 13.5 from the start, rounded one by one
  // (not 5 pixels per step).
  SetMapMode(dc, MM_ANISOTROPIC);
  SetWindowExtEx(dc, 2, 2, nullptr);
  SetViewportExtEx(dc, 3, 3, nullptr);
  selectFont(makeLogfont(-20));
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_BASELINE);
  const int32_t dx[] = {3, 3, 3, 3};
  ASSERT_TRUE(ExtTextOutW(dc, 10, 20, 0, nullptr, u"abcd", 4, dx));
  auto runs = texts();
  ASSERT_EQ(runs.size(), 1u) << all();
  const std::vector<QPointF> expected = {{15, 30}, {20, 30}, {24, 30}, {29, 30}};
  EXPECT_EQ(runs[0]->positions, expected);
  EXPECT_EQ(runs[0]->font.pixelSize(), 30);

  // TA_RIGHT ends the string at the reference point by the sum of dx.
  surface->clear();
  SetTextAlign(dc, TA_BASELINE | TA_RIGHT);
  ASSERT_TRUE(ExtTextOutW(dc, 22, 20, 0, nullptr, u"abcd", 4, dx));
  runs = texts();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0]->positions.front(), QPointF(15, 30));  // (22 - 12) * 1.5

  // ETO_PDY: pairs of (along, across) advances; positive across moves up.
  surface->clear();
  SetTextAlign(dc, TA_BASELINE);
  const int32_t pairs[] = {4, 0, 4, 2, 4, -2};
  ASSERT_TRUE(ExtTextOutW(dc, 10, 20, ETO_PDY, nullptr, u"abc", 3, pairs));
  runs = texts();
  ASSERT_EQ(runs.size(), 1u);
  const std::vector<QPointF> withPdy = {{15, 30}, {21, 30}, {27, 27}};
  EXPECT_EQ(runs[0]->positions, withPdy);
}

TEST_F(TextDc, WithoutDxTheFontAdvancesAndCharacterExtraPlaceCharacters) {
  selectFont(makeLogfont(-100));
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_BASELINE);
  EXPECT_EQ(SetTextCharacterExtra(dc, 5), 0);
  ASSERT_TRUE(TextOutW(dc, 0, 100, u"ABH", 3));
  const auto runs = texts();
  ASSERT_EQ(runs.size(), 1u);
  const std::vector<QPointF> expected = {{0, 100}, {72, 100}, {144, 100}};
  EXPECT_EQ(runs[0]->positions, expected);
  SIZE size{};
  ASSERT_TRUE(GetTextExtentPoint32W(dc, u"ABH", 3, &size));
  EXPECT_EQ(size.cx, 67 + 67 + 72 + 15);
  EXPECT_EQ(size.cy, 91 + 21);
  EXPECT_EQ(SetTextCharacterExtra(dc, 0), 5);
}

TEST_F(TextDc, UpdateCpDrawsAtAndAdvancesTheCurrentPosition) {
  selectFont(makeLogfont(-100));
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_UPDATECP | TA_BASELINE);
  MoveToEx(dc, 10, 200, nullptr);
  ASSERT_TRUE(TextOutW(dc, 500, 500, u"AB", 2));  // x, y are ignored
  POINT cp{};
  GetCurrentPositionEx(dc, &cp);
  EXPECT_EQ(cp.x, 10 + 134);
  EXPECT_EQ(cp.y, 200);
  const int32_t dx[] = {30, 40};
  ASSERT_TRUE(ExtTextOutW(dc, 0, 0, 0, nullptr, u"AB", 2, dx));
  GetCurrentPositionEx(dc, &cp);
  EXPECT_EQ(cp.x, 10 + 134 + 70);
  auto runs = texts();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0]->positions[0], QPointF(10, 200));
  EXPECT_EQ(runs[1]->positions[0], QPointF(144, 200));
  EXPECT_EQ(runs[1]->positions[1], QPointF(174, 200));

  // Right-aligned: the string ends at the current position, which moves to
  // its start; centred strings leave it where it is.
  SetTextAlign(dc, TA_UPDATECP | TA_BASELINE | TA_RIGHT);
  ASSERT_TRUE(TextOutW(dc, 0, 0, u"AB", 2));
  GetCurrentPositionEx(dc, &cp);
  EXPECT_EQ(cp.x, 214 - 134);
  runs = texts();
  EXPECT_EQ(runs.back()->positions[0], QPointF(80, 200));
  SetTextAlign(dc, TA_UPDATECP | TA_BASELINE | TA_CENTER);
  ASSERT_TRUE(TextOutW(dc, 0, 0, u"AB", 2));
  GetCurrentPositionEx(dc, &cp);
  EXPECT_EQ(cp.x, 80);
}

TEST_F(TextDc, EscapementTurnsTheBaselineCounterClockwise) {
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_BASELINE);
  selectFont(makeLogfont(-100, u"Arial", 900));
  ASSERT_TRUE(TextOutW(dc, 300, 400, u"AB", 2));
  auto runs = texts();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0]->angleDegrees, 90);
  EXPECT_EQ(runs[0]->positions[0], QPointF(300, 400));
  EXPECT_EQ(runs[0]->positions[1], QPointF(300, 333));  // up the page

  // TA_TOP moves the baseline "down" in the glyphs' frame: to the right.
  surface->clear();
  SetTextAlign(dc, TA_TOP);
  ASSERT_TRUE(TextOutW(dc, 300, 400, u"AB", 2));
  runs = texts();
  EXPECT_EQ(runs[0]->positions[0], QPointF(391, 400));

  // On a page whose y axis points up the angle still turns from x towards
  // logical -y, which is down the page: axis titles of such pages use 2700
  // to run upwards, with upright (not mirrored) glyphs.
  surface->clear();
  SetMapMode(dc, MM_ANISOTROPIC);
  SetWindowExtEx(dc, 1, -1, nullptr);
  SetViewportExtEx(dc, 1, 1, nullptr);
  SetTextAlign(dc, TA_BASELINE);
  const int32_t dx[] = {50, 50};
  ASSERT_TRUE(ExtTextOutW(dc, 300, -400, 0, nullptr, u"AB", 2, dx));
  runs = texts();
  EXPECT_EQ(runs[0]->angleDegrees, 270);
  EXPECT_EQ(runs[0]->positions[1], QPointF(300, 450));
  EXPECT_TRUE(runs[0]->transform.isIdentity());
  surface->clear();
  selectFont(makeLogfont(-100, u"Arial", 2700));
  ASSERT_TRUE(ExtTextOutW(dc, 300, -400, 0, nullptr, u"AB", 2, dx));
  runs = texts();
  EXPECT_EQ(runs[0]->angleDegrees, 90);
  EXPECT_EQ(runs[0]->positions[1], QPointF(300, 350));

  // 45 degrees: the second origin at (cos, -sin) * 67.
  surface->clear();
  SetMapMode(dc, MM_TEXT);
  selectFont(makeLogfont(-100, u"Arial", 450));
  ASSERT_TRUE(TextOutW(dc, 300, 400, u"AB", 2));
  runs = texts();
  EXPECT_EQ(runs[0]->angleDegrees, 45);
  EXPECT_EQ(runs[0]->positions[1], QPointF(347, 353));  // 300 + 47.4, 400 - 47.4
}

TEST_F(TextDc, OpaqueRectangleAndBackgroundFill) {
  selectFont(makeLogfont(-100));
  SetBkColor(dc, RGB(255, 0, 0));
  SetTextColor(dc, RGB(0, 0, 255));
  SetBkMode(dc, TRANSPARENT);
  const RECT rect{10, 20, 50, 60};
  // ETO_OPAQUE fills whatever the background mode, with or without text.
  ASSERT_TRUE(ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr));
  ASSERT_EQ(surface->ops.size(), 1u) << all();
  EXPECT_EQ(surface->ops[0].kind, OpKind::FillPath);
  EXPECT_EQ(surface->ops[0].bounds, QRectF(10, 20, 40, 40));
  EXPECT_EQ(surface->ops[0].color, QColor(255, 0, 0));

  // Fill first, then the text; ETO_CLIPPED clips the glyphs to the rectangle.
  surface->clear();
  ASSERT_TRUE(ExtTextOutW(dc, 10, 20, ETO_OPAQUE | ETO_CLIPPED, &rect, u"AB", 2, nullptr));
  ASSERT_EQ(surface->ops.size(), 2u) << all();
  EXPECT_EQ(surface->ops[0].kind, OpKind::FillPath);
  EXPECT_EQ(surface->ops[1].kind, OpKind::DrawText);
  EXPECT_EQ(surface->ops[1].color, QColor(0, 0, 255));
  EXPECT_TRUE(surface->ops[1].clip.active);
  EXPECT_EQ(surface->ops[1].clip.region, QRegion(10, 20, 40, 40));

  // OPAQUE background mode fills the cells: the string's width by ascent
  // plus descent, from the top of the cell.
  surface->clear();
  SetBkMode(dc, OPAQUE);
  SetTextAlign(dc, TA_BASELINE);
  ASSERT_TRUE(TextOutW(dc, 100, 200, u"AB", 2));
  ASSERT_EQ(surface->ops.size(), 2u) << all();
  EXPECT_EQ(surface->ops[0].kind, OpKind::FillPath);
  EXPECT_EQ(surface->ops[0].bounds, QRectF(100, 200 - 91, 134, 91 + 21));
  EXPECT_EQ(surface->ops[0].color, QColor(255, 0, 0));
  EXPECT_FALSE(surface->ops[1].clip.active);
}

TEST_F(TextDc, UnderlineAndStrikeOutAreBarsAcrossTheString) {
  LOGFONTW lf = makeLogfont(-100);
  lf.lfUnderline = 1;
  lf.lfStrikeOut = 1;
  selectFont(lf);
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_BASELINE);
  SetTextColor(dc, RGB(0, 128, 0));
  ASSERT_TRUE(TextOutW(dc, 100, 200, u"AB", 2));
  const auto bars = surface->opsOf(OpKind::FillPath);
  ASSERT_EQ(bars.size(), 2u) << all();
  // Liberation Sans: underline top 67 units below the baseline, 150 thick;
  // strike-out top 530 above, 102 thick.
  EXPECT_EQ(bars[0]->bounds, QRectF(100, 203, 134, 7));
  EXPECT_EQ(bars[1]->bounds, QRectF(100, 174, 134, 5));
  EXPECT_EQ(bars[0]->color, QColor(0, 128, 0));
  EXPECT_FALSE(texts()[0]->font.underline());
}

TEST_F(TextDc, AnsiTextInADoubleByteCodePage) {
  ASSERT_TRUE(setActiveCodePage(936));
  selectFont(makeLogfont(-100));
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_BASELINE);
  // "A", 中 (two bytes) and "B": dx has one entry per byte, and the
  // character's advance is the sum of its bytes'.
  const char text[] = "A\xD6\xD0" "B";
  const int32_t dx[] = {10, 6, 6, 10};
  const bool drawn = ExtTextOutA(dc, 0, 100, 0, nullptr, text, 4, dx);
  SIZE size{};
  const bool measured = GetTextExtentPoint32A(dc, text, 4, &size);
  setActiveCodePage(CP_UTF8);
  ASSERT_TRUE(drawn);
  ASSERT_TRUE(measured);
  const auto runs = texts();
  // Arial lacks the ideograph: it comes in its own run of the CJK face.
  ASSERT_EQ(runs.size(), 3u) << all();
  EXPECT_EQ(runs[0]->text, "A");
  EXPECT_EQ(runs[1]->text, QString::fromUtf8("中"));
  EXPECT_EQ(runs[1]->font.family(), "WenQuanYi Micro Hei");
  EXPECT_EQ(runs[2]->text, "B");
  EXPECT_EQ(runs[0]->positions[0], QPointF(0, 100));
  EXPECT_EQ(runs[1]->positions[0], QPointF(10, 100));
  EXPECT_EQ(runs[2]->positions[0], QPointF(22, 100));
  EXPECT_EQ(size.cx, 67 + 100 + 67);  // the ideograph is one em wide
}

TEST_F(TextDc, GlyphIndicesPassThrough) {
  selectFont(makeLogfont(-100));
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_BASELINE);
  const char16_t glyphs[] = {36, 43};  // "A" and "H" in Liberation Sans
  ASSERT_TRUE(ExtTextOutW(dc, 0, 100, ETO_GLYPH_INDEX, nullptr, glyphs, 2, nullptr));
  const auto runs = texts();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_TRUE(runs[0]->glyphIndices);
  EXPECT_EQ(runs[0]->glyphs, (std::vector<uint32_t>{36, 43}));
  EXPECT_EQ(runs[0]->positions[1], QPointF(67, 100));
}

TEST_F(TextDc, AdvancedModeTakesTheWorldTransformWhole) {
  SetGraphicsMode(dc, GM_ADVANCED);
  const XFORM twice{2, 0, 0, 2, 10, 0};
  ASSERT_TRUE(SetWorldTransform(dc, &twice));
  selectFont(makeLogfont(-50));
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_BASELINE);
  ASSERT_TRUE(TextOutW(dc, 0, 100, u"AB", 2));
  auto runs = texts();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0]->font.pixelSize(), 100);
  EXPECT_TRUE(runs[0]->transform.isIdentity());
  EXPECT_EQ(runs[0]->positions[0], QPointF(10, 200));
  EXPECT_EQ(runs[0]->positions[1], QPointF(77, 200));

  // A mirroring world transform mirrors the glyphs too.
  surface->clear();
  const XFORM flip{1, 0, 0, -1, 0, 500};
  ASSERT_TRUE(SetWorldTransform(dc, &flip));
  ASSERT_TRUE(TextOutW(dc, 0, 100, u"AB", 2));
  runs = texts();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0]->font.pixelSize(), 50);
  EXPECT_EQ(runs[0]->transform.m22(), -1);
  EXPECT_EQ(runs[0]->positions[0], QPointF(0, 400));
}

TEST_F(TextDc, RefusesDeadContextsAndMissingText) {
  EXPECT_FALSE(ExtTextOutW(nullptr, 0, 0, 0, nullptr, u"A", 1, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(ExtTextOutW(dc, 0, 0, 0, nullptr, nullptr, 3, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(TextOutA(dc, 0, 0, "A", -1));
  EXPECT_TRUE(surface->ops.empty());
}

}  // namespace
}  // namespace platform::gdi
