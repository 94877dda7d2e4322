#include <gtest/gtest.h>

#include "DcFixture.h"
#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/Surfaces.h"
#include "platform/system/LastError.h"

namespace platform::gdi::testing {
namespace {

using ObjectTest = DcFixture;

TEST(StockObjects, HaveTheirKindsAndSurviveDeletion) {
  const std::pair<int, uint32_t> cases[] = {
      {WHITE_BRUSH, OBJ_BRUSH}, {NULL_BRUSH, OBJ_BRUSH},      {DC_BRUSH, OBJ_BRUSH},
      {BLACK_PEN, OBJ_PEN},     {NULL_PEN, OBJ_PEN},          {DC_PEN, OBJ_PEN},
      {SYSTEM_FONT, OBJ_FONT},  {DEFAULT_GUI_FONT, OBJ_FONT}, {DEFAULT_PALETTE, OBJ_PAL},
  };
  for (auto [index, type] : cases) {
    HGDIOBJ object = GetStockObject(index);
    ASSERT_NE(object, nullptr) << index;
    EXPECT_EQ(GetObjectType(object), type) << index;
    EXPECT_TRUE(DeleteObject(object));
    EXPECT_EQ(GetObjectType(object), type) << "stock objects are never deleted";
  }
  EXPECT_EQ(GetStockObject(9), nullptr);
  EXPECT_EQ(GetStockObject(-1), nullptr);
}

TEST(ObjectHandles, AStaleHandleIsRefusedAfterItsSlotIsReused) {
  HBRUSH first = CreateSolidBrush(1);
  ASSERT_TRUE(DeleteObject(first));
  HBRUSH second = CreateSolidBrush(2);
  EXPECT_NE(first, second);
  EXPECT_EQ(GetObjectType(first), 0u);
  EXPECT_FALSE(DeleteObject(first));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetObjectType(second), OBJ_BRUSH);
  DeleteObject(second);
  EXPECT_FALSE(DeleteObject(nullptr));
  EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(uintptr_t(0x12345678))), 0u);
}

TEST_F(ObjectTest, SelectObjectSwapsAndReportsThePrevious) {
  EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(hdc)), OBJ_DC);
  EXPECT_EQ(GetCurrentObject(hdc, OBJ_PEN), GetStockObject(BLACK_PEN));
  EXPECT_EQ(GetCurrentObject(hdc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(GetCurrentObject(hdc, OBJ_FONT), GetStockObject(SYSTEM_FONT));
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  EXPECT_EQ(SelectObject(hdc, brush), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(SelectObject(hdc, GetStockObject(BLACK_BRUSH)), brush);
  EXPECT_EQ(SelectObject(hdc, nullptr), nullptr);
  EXPECT_EQ(SelectObject(hdc, GetStockObject(DEFAULT_PALETTE)), nullptr) << "palettes use SelectPalette";
  HRGN region = CreateRectRgn(0, 0, 5, 5);
  EXPECT_EQ(reinterpret_cast<intptr_t>(SelectObject(hdc, region)), SIMPLEREGION);
  DeleteObject(region);
  DeleteObject(brush);
}

TEST_F(ObjectTest, DeletingASelectedBrushKeepsDrawingWithIt) {
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  SelectObject(hdc, green);
  SelectObject(hdc, GetStockObject(NULL_PEN));
  EXPECT_TRUE(DeleteObject(green));
  EXPECT_TRUE(Rectangle(hdc, 0, 0, 10, 10));
  EXPECT_EQ(only(OpKind::FillPath).color, QColor(0, 255, 0));
}

TEST_F(ObjectTest, DcPenAndBrushTakeTheContextsColours) {
  SelectObject(hdc, GetStockObject(DC_PEN));
  SelectObject(hdc, GetStockObject(DC_BRUSH));
  EXPECT_EQ(SetDCPenColor(hdc, RGB(255, 0, 0)), 0u);
  EXPECT_EQ(SetDCBrushColor(hdc, RGB(0, 0, 255)), 0xFFFFFFu);
  Rectangle(hdc, 0, 0, 10, 10);
  EXPECT_EQ(only(OpKind::FillPath).color, QColor(0, 0, 255));
  EXPECT_EQ(only(OpKind::StrokeCosmetic).color, QColor(255, 0, 0));
}

TEST(PenCreation, ExtCreatePenChecksItsStyle) {
  const LOGBRUSH solid{BS_SOLID, RGB(1, 2, 3), 0};
  const uint32_t dashes[] = {4, 2};
  struct Case {
    uint32_t style;
    uint32_t count;
    const uint32_t* styles;
    bool valid;
  };
  const Case cases[] = {
      {PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT | PS_JOIN_MITER, 0, nullptr, true},
      {PS_COSMETIC | PS_ALTERNATE, 0, nullptr, true},
      {PS_GEOMETRIC | PS_ALTERNATE, 0, nullptr, false},
      {PS_GEOMETRIC | PS_USERSTYLE, 2, dashes, true},
      {PS_GEOMETRIC | PS_USERSTYLE, 0, nullptr, false},
      {PS_GEOMETRIC | PS_USERSTYLE, 17, dashes, false},
      {PS_GEOMETRIC | 9, 0, nullptr, false},
      {PS_GEOMETRIC | 0x300, 0, nullptr, false},
      {PS_GEOMETRIC | 0x3000, 0, nullptr, false},
      {0x30000, 0, nullptr, false},
  };
  for (const Case& c : cases) {
    HPEN pen = ExtCreatePen(c.style, 5, &solid, c.count, c.styles);
    EXPECT_EQ(pen != nullptr, c.valid) << std::hex << c.style;
    if (pen) EXPECT_EQ(GetObjectType(pen), OBJ_EXTPEN);
    DeleteObject(pen);
  }
  EXPECT_EQ(ExtCreatePen(PS_GEOMETRIC, 5, nullptr, 0, nullptr), nullptr);
  HPEN plain = CreatePen(PS_DASH, 1, 0);
  EXPECT_EQ(GetObjectType(plain), OBJ_PEN);
  DeleteObject(plain);
}

TEST(BrushCreation, RefusesUnknownHatchesAndUncheckedPatterns) {
  EXPECT_EQ(CreateHatchBrush(6, 0), nullptr);
  EXPECT_EQ(CreateHatchBrush(-1, 0), nullptr);
  HBRUSH cross = CreateHatchBrush(HS_CROSS, 0);
  EXPECT_EQ(GetObjectType(cross), OBJ_BRUSH);
  DeleteObject(cross);
  const LOGBRUSH dib{BS_DIBPATTERNPT, 0, 0};
  EXPECT_EQ(CreateBrushIndirect(&dib), nullptr);
  const uint8_t junk[10] = {};
  EXPECT_EQ(CreateDIBPatternBrushPt(junk, DIB_RGB_COLORS, sizeof junk), nullptr);
}

TEST(Palettes, CreateChangeAndResize) {
  struct {
    LOGPALETTE header;
    PALETTEENTRY more[3];
  } data{{0x300, 4, {{1, 2, 3, 0}}}, {{4, 5, 6, 0}, {7, 8, 9, 0}, {10, 11, 12, 0}}};
  HPALETTE palette = CreatePalette(&data.header);
  ASSERT_EQ(GetObjectType(palette), OBJ_PAL);
  const PALETTEENTRY red{255, 0, 0, 0};
  EXPECT_EQ(SetPaletteEntries(palette, 3, 5, &red), 1u);
  EXPECT_EQ(SetPaletteEntries(palette, 4, 1, &red), 0u);
  EXPECT_TRUE(ResizePalette(palette, 8));
  EXPECT_EQ(SetPaletteEntries(palette, 7, 1, &red), 1u);
  EXPECT_FALSE(ResizePalette(GetStockObject(DEFAULT_PALETTE), 8));
  DeleteObject(palette);
}

class ScreenTest : public ::testing::Test {
 protected:
  ~ScreenTest() override { setScreenDescription(ScreenDescription{}); }
};

TEST_F(ScreenTest, ScreenCapsComeFromTheScreenDescription) {
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  const std::pair<int, int> cases[] = {
      {HORZRES, 1920}, {VERTRES, 1080}, {HORZSIZE, 508}, {VERTSIZE, 286}, {LOGPIXELSX, 96},
      {LOGPIXELSY, 96}, {BITSPIXEL, 32}, {PLANES, 1},    {TECHNOLOGY, DT_RASDISPLAY},
      {SIZEPALETTE, 0}, {NUMRESERVED, 0}, {NUMCOLORS, -1}, {PHYSICALWIDTH, 0}, {12345, 0},
  };
  for (auto [index, value] : cases) EXPECT_EQ(GetDeviceCaps(screen, index), value) << index;
  EXPECT_EQ(GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE, 0);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 0);
}

TEST_F(ScreenTest, AnEightBitScreenIsAPaletteDevice) {
  ScreenDescription eight;
  eight.bitsPerPixel = 8;
  setScreenDescription(eight);
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 8);
  EXPECT_NE(GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE, 0);
  EXPECT_EQ(GetDeviceCaps(screen, SIZEPALETTE), 256);
  EXPECT_EQ(GetDeviceCaps(screen, NUMRESERVED), 20);
  EXPECT_EQ(GetDeviceCaps(screen, NUMCOLORS), 20);
  PALETTEENTRY entries[256];
  EXPECT_EQ(GetSystemPaletteEntries(screen, 0, 256, entries), 256u);
  EXPECT_EQ(entries[255].peRed, 255);
  EXPECT_EQ(entries[1].peRed, 0x80);
  HDC memory = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(memory, SIZEPALETTE), 256) << "memory contexts report their reference device";
  EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(memory)), OBJ_MEMDC);
  EXPECT_EQ(GetObjectType(GetCurrentObject(memory, OBJ_BITMAP)), OBJ_BITMAP);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

TEST(DeviceCaps, PrinterCapsComeFromTheSurface) {
  DeviceDescription printer = testDevice(4800, 6600, 203, 279);
  printer.technology = DT_RASPRINTER;
  printer.dpiX = printer.dpiY = 600;
  printer.physicalWidth = 5100;
  printer.physicalHeight = 6900;
  printer.physicalOffsetX = 150;
  printer.physicalOffsetY = 140;
  HDC hdc = CreateSurfaceDC(std::make_shared<RecordingSurface>(printer));
  const std::pair<int, int> cases[] = {
      {TECHNOLOGY, DT_RASPRINTER}, {HORZRES, 4800},         {VERTRES, 6600},         {HORZSIZE, 203},
      {LOGPIXELSX, 600},           {PHYSICALWIDTH, 5100},   {PHYSICALHEIGHT, 6900},  {PHYSICALOFFSETX, 150},
      {PHYSICALOFFSETY, 140},      {SCALINGFACTORX, 0},
  };
  for (auto [index, value] : cases) EXPECT_EQ(GetDeviceCaps(hdc, index), value) << index;
  HDC memory = CreateCompatibleDC(hdc);
  EXPECT_EQ(GetDeviceCaps(memory, LOGPIXELSX), 600);
  DeleteDC(memory);
  DeleteDC(hdc);
  EXPECT_FALSE(DeleteDC(hdc));
}

}  // namespace
}  // namespace platform::gdi::testing
