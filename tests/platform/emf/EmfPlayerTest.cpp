// The metafile player on a recording surface: the frame mapped onto the
// caller's rectangle, the metafile's mapping and world transform nested in
// it, the caller's state given back, the handle table, clipping, text,
// bitmaps, enumeration and copying. Geometry in device pixels.

#include <gtest/gtest.h>

#include <QRegion>
#include <cstring>

#include "platform/system/LastError.h"
#include "tests/platform/emf/EmfTestSupport.h"
#include "tests/support/EmfRecorder.h"
#include "tests/support/TempDir.h"

namespace {

using namespace platform;
using emftest::near;
using emftest::RecordingTarget;
using fbtest::EmfRecorder;
using platform::gdi::OpKind;
using platform::gdi::RecordedOp;

constexpr COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255);

// The device rectangle of the n-th filled shape.
QRectF fillBounds(const RecordingTarget& target, size_t n = 0) {
  const auto fills = target.ops(OpKind::FillPath);
  return n < fills.size() ? fills[n]->bounds : QRectF();
}

// A metafile that fills its whole frame (400 x 200 recording pixels).
std::vector<uint8_t> frameFilling() {
  EmfRecorder rec;
  rec.SelectObject(EmfRecorder::stock(NULL_PEN)).Rectangle(0, 0, 401, 201);
  return rec.finish();
}

TEST(EmfPlayerFrame, FrameMapsOntoTheRectangle) {
  struct Case {
    const char* name;
    RECT rect;
    QRectF expected;
  } cases[] = {
      {"same size", {0, 0, 400, 200}, {0, 0, 400, 200}},
      {"half size, offset", {100, 50, 300, 150}, {100, 50, 200, 100}},
      {"stretched", {0, 0, 800, 100}, {0, 0, 800, 100}},
      {"mirrored", {400, 200, 0, 0}, {0, 0, 400, 200}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingTarget target;
    ASSERT_TRUE(target.play(frameFilling(), c.rect));
    EXPECT_TRUE(near(fillBounds(target), c.expected, 2.01)) << target.dump();
  }
}

TEST(EmfPlayerFrame, FrameAwayFromTheOriginAndCallerMapping) {
  // Frame (10 mm, 5 mm)-(50 mm, 25 mm): recording pixels (100, 50)-(500, 250).
  EmfRecorder rec({1000, 500, 5000, 2500});
  rec.SelectObject(EmfRecorder::stock(NULL_PEN)).Rectangle(100, 50, 301, 151);
  const auto bytes = rec.finish();
  {
    RecordingTarget target;
    ASSERT_TRUE(target.play(bytes, {0, 0, 400, 200}));
    EXPECT_TRUE(near(fillBounds(target), {0, 0, 200, 100}, 2.01)) << target.dump();
  }
  {
    // The rectangle is in the caller's logical units: two of them per pixel.
    RecordingTarget target;
    SetMapMode(target.hdc, MM_ANISOTROPIC);
    SetWindowExtEx(target.hdc, 2, 2, nullptr);
    SetViewportExtEx(target.hdc, 1, 1, nullptr);
    SetViewportOrgEx(target.hdc, 10, 20, nullptr);
    ASSERT_TRUE(target.play(bytes, {0, 0, 800, 400}));
    EXPECT_TRUE(near(fillBounds(target), {10, 20, 200, 100}, 2.01)) << target.dump();
  }
}

TEST(EmfPlayerMapping, MetafileMappingRecordsActInsideTheFrame) {
  struct Case {
    const char* name;
    std::function<void(EmfRecorder&)> draw;
    QRectF expected;  // played onto (0, 0, 200, 100): half the recording pixels
  } cases[] = {
      {"MM_TEXT", [](EmfRecorder& r) { r.Rectangle(20, 10, 61, 31); }, {10, 5, 20, 10}},
      {"viewport origin",
       [](EmfRecorder& r) { r.SetViewportOrgEx(100, 40).Rectangle(0, 0, 21, 21); },
       {50, 20, 10, 10}},
      {"window origin",
       [](EmfRecorder& r) { r.SetWindowOrgEx(-100, -40).Rectangle(0, 0, 21, 21); },
       {50, 20, 10, 10}},
      {"MM_ANISOTROPIC",
       [](EmfRecorder& r) {
         r.SetMapMode(MM_ANISOTROPIC).SetWindowExtEx(1000, 1000).SetViewportExtEx(400, 200);
         r.Rectangle(0, 0, 1000, 1000);
       },
       {0, 0, 200, 100}},
      {"MM_ISOTROPIC keeps units square",
       [](EmfRecorder& r) {
         r.SetMapMode(MM_ISOTROPIC).SetWindowExtEx(100, 100).SetViewportExtEx(400, 200);
         r.Rectangle(0, 0, 100, 100);
       },
       {0, 0, 100, 100}},
      {"MM_LOMETRIC on the recording device (1 unit = 1 pixel, y up)",
       [](EmfRecorder& r) { r.SetMapMode(MM_LOMETRIC).Rectangle(0, 0, 200, -100); },
       {0, 0, 100, 50}},
      {"MM_HIMETRIC",
       [](EmfRecorder& r) { r.SetMapMode(MM_HIMETRIC).Rectangle(0, 0, 2000, -1000); },
       {0, 0, 100, 50}},
      {"world transform",
       [](EmfRecorder& r) { r.SetWorldTransform({2, 0, 0, 2, 10, 0}).Rectangle(0, 0, 50, 50); },
       {5, 0, 50, 50}},
      {"MWT_IDENTITY returns to the frame mapping",
       [](EmfRecorder& r) {
         r.SetWorldTransform({2, 0, 0, 2, 10, 0}).ModifyWorldTransform({1, 0, 0, 1, 0, 0}, MWT_IDENTITY);
         r.Rectangle(0, 0, 50, 50);
       },
       {0, 0, 25, 25}},
      {"MWT_LEFTMULTIPLY",
       [](EmfRecorder& r) {
         r.SetWorldTransform({2, 0, 0, 2, 10, 0}).ModifyWorldTransform({1, 0, 0, 1, 100, 0}, MWT_LEFTMULTIPLY);
         r.Rectangle(0, 0, 50, 50);
       },
       {105, 0, 50, 50}},
      {"MWT_RIGHTMULTIPLY",
       [](EmfRecorder& r) {
         r.SetWorldTransform({2, 0, 0, 2, 10, 0}).ModifyWorldTransform({1, 0, 0, 1, 100, 0}, MWT_RIGHTMULTIPLY);
         r.Rectangle(0, 0, 50, 50);
       },
       {55, 0, 50, 50}},
      {"SaveDC and RestoreDC within the metafile",
       [](EmfRecorder& r) {
         r.SaveDC().SetViewportOrgEx(100, 0).SetWorldTransform({3, 0, 0, 3, 0, 0}).RestoreDC(-1);
         r.Rectangle(0, 0, 21, 21);
       },
       {0, 0, 10, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EmfRecorder rec;
    rec.SelectObject(EmfRecorder::stock(NULL_PEN));
    c.draw(rec);
    RecordingTarget target;
    ASSERT_TRUE(target.play(rec.finish(), {0, 0, 200, 100}));
    EXPECT_TRUE(near(fillBounds(target), c.expected, 1.51)) << target.dump();
  }
}

TEST(EmfPlayerState, CallerStateComesBackAsItWas) {
  RecordingTarget target;
  const HDC hdc = target.hdc;
  SetMapMode(hdc, MM_ANISOTROPIC);
  SetWindowExtEx(hdc, 300, 300, nullptr);
  SetViewportExtEx(hdc, 100, 100, nullptr);
  SetWindowOrgEx(hdc, 5, 7, nullptr);
  SetGraphicsMode(hdc, GM_ADVANCED);
  const XFORM world{1, 0.5f, 0, 1, 3, 4};
  SetWorldTransform(hdc, &world);
  HPEN pen = CreatePen(PS_SOLID, 1, kBlue);
  HBRUSH brush = CreateSolidBrush(kRed);
  SelectObject(hdc, pen);
  SelectObject(hdc, brush);
  SetTextColor(hdc, RGB(1, 2, 3));
  SetBkMode(hdc, TRANSPARENT);
  IntersectClipRect(hdc, 0, 0, 600, 600);
  MoveToEx(hdc, 11, 12, nullptr);
  RECT clipBefore{};
  const int clipKind = GetClipBox(hdc, &clipBefore);

  // A metafile that changes everything and leaves two saves open.
  EmfRecorder rec;
  const uint32_t itsPen = rec.CreatePen(PS_DASH, 3, kRed);
  const uint32_t itsBrush = rec.CreateHatchBrush(HS_CROSS, kBlue);
  const uint32_t itsFont = rec.CreateFont(40, u"Arial");
  rec.SelectObject(itsPen).SelectObject(itsBrush).SelectObject(itsFont);
  rec.SaveDC().SetMapMode(MM_LOMETRIC).SetWorldTransform({0, 1, -1, 0, 50, 0}).SaveDC();
  rec.SetTextColor(kBlue).SetBkMode(OPAQUE).IntersectClipRect(10, 10, 20, 20).ExtSelectClipRgn({}, RGN_COPY);
  rec.MoveToEx(300, 300).Rectangle(0, 0, 100, -100).RestoreDC(-7);
  const auto bytes = rec.finish();

  std::vector<HGDIOBJ> madeByRecords;
  struct Capture {
    std::vector<HGDIOBJ>* objects;
  } capture{&madeByRecords};
  const auto keepTable = [](HDC dc, HANDLETABLE* table, const ENHMETARECORD* record, int count, void* data) -> int {
    const bool ok = PlayEnhMetaFileRecord(dc, table, record, static_cast<uint32_t>(count));
    if (record->iType == EMR_EOF) {
      for (int i = 1; i < count; ++i)
        if (table->objectHandle[i]) static_cast<Capture*>(data)->objects->push_back(table->objectHandle[i]);
    }
    return ok ? 1 : 0;
  };
  const emftest::Metafile metafile = emftest::load(bytes);
  const RECT rect{0, 0, 1200, 600};
  ASSERT_TRUE(PlayEnhMetaFile(hdc, metafile.get(), &rect));
  ASSERT_TRUE(EnumEnhMetaFile(hdc, metafile.get(), keepTable, &capture, &rect));

  EXPECT_EQ(GetMapMode(hdc), MM_ANISOTROPIC);
  SIZE ext{};
  GetWindowExtEx(hdc, &ext);
  EXPECT_EQ(ext.cx, 300);
  GetViewportExtEx(hdc, &ext);
  EXPECT_EQ(ext.cx, 100);
  POINT org{};
  GetWindowOrgEx(hdc, &org);
  EXPECT_EQ(org.x, 5);
  EXPECT_EQ(org.y, 7);
  EXPECT_EQ(GetGraphicsMode(hdc), GM_ADVANCED);
  XFORM after{};
  GetWorldTransform(hdc, &after);
  EXPECT_EQ(std::memcmp(&after, &world, sizeof world), 0);
  EXPECT_EQ(GetCurrentObject(hdc, OBJ_PEN), pen);
  EXPECT_EQ(GetCurrentObject(hdc, OBJ_BRUSH), brush);
  EXPECT_EQ(GetTextColor(hdc), RGB(1, 2, 3));
  EXPECT_EQ(GetBkMode(hdc), TRANSPARENT);
  RECT clipAfter{};
  EXPECT_EQ(GetClipBox(hdc, &clipAfter), clipKind);
  EXPECT_EQ(std::memcmp(&clipAfter, &clipBefore, sizeof clipAfter), 0);
  POINT cp{};
  GetCurrentPositionEx(hdc, &cp);
  EXPECT_EQ(cp.x, 11);
  EXPECT_EQ(cp.y, 12);

  // The records' objects were in the table during the enumeration and are gone after it.
  EXPECT_EQ(madeByRecords.size(), 3u);
  for (HGDIOBJ object : madeByRecords) EXPECT_EQ(GetObjectType(object), 0u);
  DeleteObject(pen);
  DeleteObject(brush);
}

TEST(EmfPlayerState, PlaybackStartsFromDefaultAttributes) {
  RecordingTarget target;
  HPEN pen = CreatePen(PS_SOLID, 1, kBlue);
  SelectObject(target.hdc, pen);
  SelectObject(target.hdc, GetStockObject(BLACK_BRUSH));
  EmfRecorder rec;
  rec.Rectangle(0, 0, 100, 100);
  ASSERT_TRUE(target.play(rec.finish(), {0, 0, 400, 200}));
  const auto strokes = target.ops(OpKind::StrokeCosmetic);
  const auto fills = target.ops(OpKind::FillPath);
  ASSERT_EQ(strokes.size(), 1u) << target.dump();
  ASSERT_EQ(fills.size(), 1u) << target.dump();
  EXPECT_EQ(strokes[0]->color, QColor(Qt::black));
  EXPECT_EQ(fills[0]->color, QColor(Qt::white));
  DeleteObject(pen);
}

TEST(EmfPlayerObjects, HandleTableAndStockObjects) {
  EmfRecorder rec;
  const uint32_t red = rec.CreatePen(PS_SOLID, 0, kRed);
  const uint32_t blue = rec.CreateSolidBrush(kBlue);
  rec.SelectObject(red).SelectObject(blue).Rectangle(0, 0, 10, 10);
  rec.SelectObject(EmfRecorder::stock(BLACK_PEN)).SelectObject(EmfRecorder::stock(NULL_BRUSH));
  rec.DeleteObject(red).DeleteObject(blue).Rectangle(20, 0, 30, 10);
  // A slot whose object is deleted names nothing: the selection is skipped.
  rec.SelectObject(red).Rectangle(40, 0, 50, 10);
  RecordingTarget target;
  EXPECT_FALSE(target.play(rec.finish(), {0, 0, 400, 200}));  // one record did not fit
  const auto strokes = target.ops(OpKind::StrokeCosmetic);
  const auto fills = target.ops(OpKind::FillPath);
  ASSERT_EQ(strokes.size(), 3u) << target.dump();
  ASSERT_EQ(fills.size(), 1u) << target.dump();  // the null brush fills nothing
  EXPECT_EQ(strokes[0]->color, QColor(Qt::red));
  EXPECT_EQ(fills[0]->color, QColor(Qt::blue));
  EXPECT_EQ(strokes[1]->color, QColor(Qt::black));
  EXPECT_EQ(strokes[2]->color, QColor(Qt::black));
}

TEST(EmfPlayerClip, ClipRecordsStayInsideTheCallersClip) {
  RecordingTarget target;
  IntersectClipRect(target.hdc, 0, 0, 150, 1000);
  EmfRecorder rec;
  rec.SelectObject(EmfRecorder::stock(NULL_PEN));
  // Regions are in recording pixels: (0, 0)-(200, 200) is (0, 0)-(100, 100) here.
  rec.ExtSelectClipRgn({{0, 0, 200, 200}}, RGN_COPY).Rectangle(0, 0, 400, 400);
  rec.ExtSelectClipRgn({}, RGN_COPY).Rectangle(0, 0, 400, 400);
  rec.IntersectClipRect(0, 0, 400, 100).Rectangle(0, 0, 400, 400);
  rec.SetMetaRgn().ExtSelectClipRgn({}, RGN_COPY).Rectangle(0, 0, 400, 400);
  ASSERT_TRUE(target.play(rec.finish(), {0, 0, 200, 100}));
  const auto fills = target.ops(OpKind::FillPath);
  ASSERT_EQ(fills.size(), 4u) << target.dump();
  const QRect expected[] = {{0, 0, 100, 100}, {0, 0, 150, 1000}, {0, 0, 150, 50}, {0, 0, 150, 50}};
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(fills[i]->clip.active);
    EXPECT_EQ(fills[i]->clip.region.boundingRect(), expected[i]);
  }
  // And the caller's clip is its own again.
  RECT box{};
  GetClipBox(target.hdc, &box);
  EXPECT_EQ(box.right, 150);
  EXPECT_EQ(box.bottom, 1000);
}

TEST(EmfPlayerDraw, SixteenBitAndPolyPolyRecords) {
  EmfRecorder rec;
  rec.Polygon16({{0, 0}, {100, 0}, {100, 100}});
  rec.Polyline16({{0, 200}, {200, 200}, {200, 0}});
  rec.PolyPolygon16({{{0, 0}, {40, 0}, {40, 40}}, {{100, 100}, {140, 100}, {140, 140}}});
  rec.PolyBezier16({{0, 0}, {0, 100}, {100, 100}, {100, 0}});
  rec.PolyPolyline({{{0, 10}, {20, 10}}, {{0, 30}, {20, 30}}});
  RecordingTarget target;
  ASSERT_TRUE(target.play(rec.finish(), {0, 0, 200, 100}));
  const auto fills = target.ops(OpKind::FillPath);
  const auto strokes = target.ops(OpKind::StrokeCosmetic);
  ASSERT_EQ(fills.size(), 2u) << target.dump();
  ASSERT_GE(strokes.size(), 4u) << target.dump();
  ASSERT_FALSE(fills[0]->polygons.empty());
  const QPolygonF& triangle = fills[0]->polygons[0];
  ASSERT_GE(triangle.size(), 3);
  EXPECT_EQ(triangle[0], QPointF(0, 0));
  EXPECT_EQ(triangle[1], QPointF(50, 0));
  EXPECT_EQ(triangle[2], QPointF(50, 50));
  EXPECT_TRUE(near(strokes[1]->bounds, {0, 0, 100, 100})) << target.dump();  // the polyline
  EXPECT_EQ(fills[1]->polygons.size(), 2u);                                 // one fill, two polygons
  EXPECT_TRUE(near(fills[1]->bounds, {0, 0, 70, 70})) << target.dump();
  EXPECT_TRUE(near(strokes[3]->bounds, {0, 0, 50, 37.5}, 1.5)) << target.dump();  // the curve
}

TEST(EmfPlayerText, TextRecordsLandAtTheirDevicePositions) {
  EmfRecorder rec;
  rec.SelectObject(rec.CreateFont(-40, u"Arial")).SetBkMode(TRANSPARENT);
  rec.ExtTextOutW(100, 40, 0, {0, 0, -1, -1}, u"AB", {60, 60});
  rec.SmallTextOut(200, 100, "Hi");
  RecordingTarget target;
  ASSERT_TRUE(target.play(rec.finish(), {0, 0, 200, 100}));
  const auto texts = target.ops(OpKind::DrawText);
  ASSERT_EQ(texts.size(), 2u) << target.dump();
  EXPECT_EQ(texts[0]->text, QString("AB"));
  ASSERT_EQ(texts[0]->positions.size(), 2u);
  // Top-aligned at (50, 20); the advances are 30 device pixels.
  EXPECT_NEAR(texts[0]->positions[1].x() - texts[0]->positions[0].x(), 30, 0.6);
  EXPECT_NEAR(texts[0]->positions[0].x(), 50, 0.6);
  EXPECT_GT(texts[0]->positions[0].y(), 20);
  EXPECT_LT(texts[0]->positions[0].y(), 45);
  EXPECT_NEAR(texts[0]->font.pixelSize(), 20, 1);
  EXPECT_EQ(texts[1]->text, QString("Hi"));
  EXPECT_NEAR(texts[1]->positions[0].x(), 100, 0.6);
}

TEST(EmfPlayerText, CompatibleTextStaysUprightUnderAFlippedMapping) {
  EmfRecorder rec;
  rec.SetMapMode(MM_LOMETRIC).SelectObject(rec.CreateFont(-40, u"Arial"));
  rec.ExtTextOutW(100, -40, 0, {0, 0, -1, -1}, u"Up");
  RecordingTarget target;
  ASSERT_TRUE(target.play(rec.finish(), {0, 0, 400, 200}));
  const auto texts = target.ops(OpKind::DrawText);
  ASSERT_EQ(texts.size(), 1u) << target.dump();
  EXPECT_GT(texts[0]->transform.m22(), 0) << target.dump();
  EXPECT_EQ(texts[0]->angleDegrees, 0);
  EXPECT_NEAR(texts[0]->positions[0].x(), 100, 0.6);
  EXPECT_GT(texts[0]->positions[0].y(), 40);  // below the top: y points up in the metafile
}

TEST(EmfPlayerBitmaps, DibRecordsMapTheirPixelsOntoTheDestination) {
  // Two rows: red over blue.
  const std::vector<uint32_t> pixels{0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF};
  EmfRecorder rec;
  rec.StretchDIBits(0, 0, 200, 100, 2, 2, pixels);
  rec.BitBlt(200, 0, 2, 2, 2, 2, pixels);
  rec.SelectObject(rec.CreateSolidBrush(kBlue)).PatBlt(0, 100, 100, 50, PATCOPY);
  RecordingTarget target;
  ASSERT_TRUE(target.play(rec.finish(), {0, 0, 200, 100}));
  const auto images = target.ops(OpKind::DrawImage);
  ASSERT_EQ(images.size(), 2u) << target.dump();
  EXPECT_TRUE(near(images[0]->bounds, {0, 0, 100, 50})) << target.dump();
  EXPECT_TRUE(near(images[1]->bounds, {100, 0, 1, 1})) << target.dump();
  const QImage& image = images[0]->image;
  ASSERT_FALSE(image.isNull());
  // Whatever part of the DIB the surface got, its top is red and its bottom blue.
  EXPECT_EQ(QColor(image.pixel(0, 0)).rgb() & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(QColor(image.pixel(0, image.height() - 1)).rgb() & 0xFFFFFF, 0x0000FFu);
  // The pattern blit without a source fills with the brush.
  bool patternFilled = false;
  for (const RecordedOp& op : target.surface->ops)
    if ((op.kind == OpKind::FillPath || op.kind == OpKind::FillRegion || op.kind == OpKind::WritePixels) &&
        near(op.bounds, {0, 50, 50, 25}))
      patternFilled = true;
  EXPECT_TRUE(patternFilled) << target.dump();
}

TEST(EmfPlayerComments, DualFileDrawsItsGdiRecords) {
  // An EMF+ header and a fill record as a dual file's comments carry them, then the GDI picture.
  std::vector<uint8_t> plus{0x01, 0x40, 0x01, 0x00, 0x1C, 0, 0, 0, 0x10, 0, 0, 0, 0x02, 0x10, 0xC0, 0xDB,
                            0x01, 0,    0,    0,    0x60, 0, 0, 0, 0x60, 0, 0, 0};
  EmfRecorder rec;
  rec.EmfPlusComment(plus).GdiComment({'G', 'D', 'I', 'C', 2, 0, 0, 0});
  rec.SelectObject(EmfRecorder::stock(NULL_PEN)).Rectangle(0, 0, 101, 101);
  RecordingTarget target;
  ASSERT_TRUE(target.play(rec.finish(), {0, 0, 400, 200}));
  ASSERT_EQ(target.surface->ops.size(), 1u) << target.dump();
  EXPECT_TRUE(near(fillBounds(target), {0, 0, 100, 100})) << target.dump();
}

struct Enumeration {
  std::vector<uint32_t> types;
  size_t stopAfter = SIZE_MAX;
  bool skipBitmaps = false;
  bool penInTable = false;
};

int enumerate(HDC hdc, HANDLETABLE* table, const ENHMETARECORD* record, int count, void* data) {
  auto& e = *static_cast<Enumeration*>(data);
  e.types.push_back(record->iType);
  if (record->iType == 43 && count > 1 && table->objectHandle[1] != nullptr)
    e.penInTable = GetObjectType(table->objectHandle[1]) == OBJ_PEN;
  if (e.types.size() >= e.stopAfter) return 0;
  if (e.skipBitmaps && record->iType == 81) return 1;
  if (hdc == nullptr) return 1;
  return PlayEnhMetaFileRecord(hdc, table, record, static_cast<uint32_t>(count)) ? 1 : 0;
}

TEST(EmfPlayerEnumeration, CallbackSeesEveryRecordAndPlaysThem) {
  EmfRecorder rec;
  rec.SelectObject(rec.CreatePen(PS_SOLID, 0, kRed)).Rectangle(0, 0, 100, 100);
  rec.StretchDIBits(0, 0, 10, 10, 1, 1, {0xFF0000});
  const emftest::Metafile metafile = emftest::load(rec.finish());
  const RECT rect{0, 0, 400, 200};
  const std::vector<uint32_t> all{EMR_HEADER, 38, 37, 43, 81, EMR_EOF};
  {
    RecordingTarget target;
    Enumeration e;
    EXPECT_TRUE(EnumEnhMetaFile(target.hdc, metafile.get(), enumerate, &e, &rect));
    EXPECT_EQ(e.types, all);
    EXPECT_TRUE(e.penInTable);
    EXPECT_EQ(target.ops(OpKind::StrokeCosmetic).size(), 1u);
    EXPECT_EQ(target.ops(OpKind::DrawImage).size(), 1u);
  }
  {
    // A filter that leaves out the bitmap, as the page viewer's does.
    RecordingTarget target;
    Enumeration e;
    e.skipBitmaps = true;
    EXPECT_TRUE(EnumEnhMetaFile(target.hdc, metafile.get(), enumerate, &e, &rect));
    EXPECT_EQ(target.ops(OpKind::StrokeCosmetic).size(), 1u);
    EXPECT_TRUE(target.ops(OpKind::DrawImage).empty());
  }
  {
    // A zero from the callback ends the enumeration.
    RecordingTarget target;
    Enumeration e;
    e.stopAfter = 3;
    EXPECT_FALSE(EnumEnhMetaFile(target.hdc, metafile.get(), enumerate, &e, &rect));
    EXPECT_EQ(e.types.size(), 3u);
    EXPECT_TRUE(target.surface->ops.empty());
  }
  {
    // Without a context the records are only listed.
    Enumeration e;
    EXPECT_TRUE(EnumEnhMetaFile(nullptr, metafile.get(), enumerate, &e, nullptr));
    EXPECT_EQ(e.types, all);
  }
}

TEST(EmfPlayerEnumeration, RecordsPlayOnlyDuringAnEnumerationOfTheirContext) {
  RecordingTarget target;
  const std::vector<int32_t> storage{43, 24, 0, 0, 10, 10};
  HANDLETABLE table{{nullptr}};
  EXPECT_FALSE(PlayEnhMetaFileRecord(target.hdc, &table, reinterpret_cast<const ENHMETARECORD*>(storage.data()), 1));
  EXPECT_TRUE(target.surface->ops.empty());
  EXPECT_FALSE(PlayEnhMetaFile(target.hdc, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(EmfPlayerCopy, CopyWritesTheBytesAndGivesANewHandle) {
  EmfRecorder rec;
  rec.Rectangle(0, 0, 10, 10);
  const auto bytes = rec.finish();
  const emftest::Metafile metafile = emftest::load(bytes);
  fbtest::TempDir dir;
  const std::string path = dir.file("Page 1.emf");
  fbtest::writeFile(path, {1, 2, 3});  // replaced, not appended to
  const emftest::Metafile copy(CopyEnhMetaFileA(metafile.get(), path.c_str()));
  ASSERT_TRUE(copy);
  EXPECT_NE(copy.get(), metafile.get());
  EXPECT_EQ(fbtest::readFile(path), bytes);
  std::vector<uint8_t> bits(GetEnhMetaFileBits(copy.get(), 0, nullptr));
  GetEnhMetaFileBits(copy.get(), static_cast<uint32_t>(bits.size()), bits.data());
  EXPECT_EQ(bits, bytes);

  const emftest::Metafile memoryOnly(CopyEnhMetaFileA(metafile.get(), nullptr));
  EXPECT_TRUE(memoryOnly);
  EXPECT_EQ(CopyEnhMetaFileA(metafile.get(), dir.file("no such folder/x.emf").c_str()), nullptr);
  EXPECT_EQ(CopyEnhMetaFileA(nullptr, path.c_str()), nullptr);
}

}  // namespace
