#include <gtest/gtest.h>

#include "DcFixture.h"
#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/Mapping.h"

namespace platform::gdi::testing {
namespace {

// 1000 x 500 pixels on 254 x 127 mm: 0.254 mm square pixels, so the
// English modes come out in whole numbers.
DeviceDescription squarePixels() { return testDevice(1000, 500, 254, 127); }

struct MetricCase {
  int mode;
  SIZE windowExt;
  POINT logical;
  POINT device;
};

class MappingTest : public DcFixture {
 protected:
  MappingTest() : DcFixture(squarePixels()) {}
  POINT toDevice(int x, int y) {
    POINT p{x, y};
    EXPECT_TRUE(LPtoDP(hdc, &p, 1));
    return p;
  }
};

TEST_F(MappingTest, MetricModesTakeTheirExtentsFromTheDeviceSize) {
  const MetricCase cases[] = {
      {MM_TEXT, {1, 1}, {10, 20}, {10, 20}},
      {MM_LOMETRIC, {2540, 1270}, {254, 127}, {100, -50}},
      {MM_HIMETRIC, {25400, 12700}, {2540, 1270}, {100, -50}},
      {MM_LOENGLISH, {1000, 500}, {100, 100}, {100, -100}},
      {MM_HIENGLISH, {10000, 5000}, {1000, 1000}, {100, -100}},
      {MM_TWIPS, {14400, 7200}, {1440, 1440}, {100, -100}},
      {MM_ISOTROPIC, {2540, 1270}, {254, 127}, {100, -50}},
  };
  for (const MetricCase& c : cases) {
    SCOPED_TRACE(c.mode);
    SetMapMode(hdc, c.mode);
    SIZE window, viewport;
    ASSERT_TRUE(GetWindowExtEx(hdc, &window));
    ASSERT_TRUE(GetViewportExtEx(hdc, &viewport));
    EXPECT_EQ(window.cx, c.windowExt.cx);
    EXPECT_EQ(window.cy, c.windowExt.cy);
    if (c.mode != MM_TEXT) {
      EXPECT_EQ(viewport.cx, 1000);
      EXPECT_EQ(viewport.cy, -500);
    }
    POINT p = toDevice(c.logical.x, c.logical.y);
    EXPECT_EQ(p.x, c.device.x);
    EXPECT_EQ(p.y, c.device.y);
    SetMapMode(hdc, MM_TEXT);
  }
}

TEST_F(MappingTest, FixedModesIgnoreExtentsAndRejectNothing) {
  SetMapMode(hdc, MM_LOMETRIC);
  SIZE old{};
  EXPECT_TRUE(SetWindowExtEx(hdc, 5, 5, &old));
  SIZE now{};
  GetWindowExtEx(hdc, &now);
  EXPECT_EQ(now.cx, 2540);
  EXPECT_EQ(old.cx, 2540);
}

TEST_F(MappingTest, ZeroExtentsAreRefused) {
  SetMapMode(hdc, MM_ANISOTROPIC);
  EXPECT_FALSE(SetWindowExtEx(hdc, 0, 5, nullptr));
  EXPECT_FALSE(SetViewportExtEx(hdc, 5, 0, nullptr));
  EXPECT_FALSE(ScaleWindowExtEx(hdc, 1, 0, 1, 1, nullptr));
}

TEST_F(MappingTest, AnisotropicMapsWindowOntoViewport) {
  SetMapMode(hdc, MM_ANISOTROPIC);
  SetWindowExtEx(hdc, 200, 100, nullptr);
  SetViewportExtEx(hdc, 100, 200, nullptr);
  SetWindowOrgEx(hdc, 10, 10, nullptr);
  SetViewportOrgEx(hdc, 5, 5, nullptr);
  POINT p = toDevice(30, 20);
  EXPECT_EQ(p.x, 15);
  EXPECT_EQ(p.y, 25);
  POINT back = p;
  ASSERT_TRUE(DPtoLP(hdc, &back, 1));
  EXPECT_EQ(back.x, 30);
  EXPECT_EQ(back.y, 20);
  ScaleViewportExtEx(hdc, 2, 1, 1, 2, nullptr);
  SIZE viewport;
  GetViewportExtEx(hdc, &viewport);
  EXPECT_EQ(viewport.cx, 200);
  EXPECT_EQ(viewport.cy, 100);
}

TEST_F(MappingTest, DeviceCoordinatesRoundHalfUp) {
  SetMapMode(hdc, MM_ANISOTROPIC);
  SetWindowExtEx(hdc, 2, 2, nullptr);
  SetViewportExtEx(hdc, 1, 1, nullptr);
  const std::pair<int, int> cases[] = {{1, 1}, {-1, 0}, {3, 2}, {-3, -1}, {2, 1}};
  for (auto [logical, device] : cases) EXPECT_EQ(toDevice(logical, 0).x, device) << logical;
}

TEST_F(MappingTest, SwitchingModesKeepsOrResetsExtentsAsGdiDoes) {
  SetMapMode(hdc, MM_LOMETRIC);
  SetMapMode(hdc, MM_ANISOTROPIC);
  SIZE window;
  GetWindowExtEx(hdc, &window);
  EXPECT_EQ(window.cx, 2540) << "anisotropic keeps the extents in force";
  SetMapMode(hdc, MM_ISOTROPIC);
  SetWindowExtEx(hdc, 10, 10, nullptr);
  SetMapMode(hdc, MM_ISOTROPIC);
  GetWindowExtEx(hdc, &window);
  EXPECT_EQ(window.cx, 10) << "setting the same scalable mode again changes nothing";
  SetMapMode(hdc, MM_TEXT);
  GetWindowExtEx(hdc, &window);
  EXPECT_EQ(window.cx, 1);
  EXPECT_EQ(SetMapMode(hdc, 99), 0);
}

struct IsotropicCase {
  DeviceDescription device;
  SIZE window, viewport;
  SIZE adjusted;
};

TEST(IsotropicMapping, ShrinksTheLargerViewportExtent) {
  const IsotropicCase cases[] = {
      // Square pixels: the viewport becomes square in pixels.
      {testDevice(1000, 500, 254, 127), {100, 100}, {1000, 500}, {500, 500}},
      {testDevice(1000, 500, 254, 127), {100, 100}, {200, 800}, {200, 200}},
      // Signs survive the adjustment.
      {testDevice(1000, 500, 254, 127), {100, -100}, {1000, -500}, {500, -500}},
      {testDevice(1000, 500, 254, 127), {100, 100}, {-1000, 500}, {-500, 500}},
      // Pixels twice as tall as wide: half as many pixels vertically.
      {testDevice(1000, 500, 254, 254), {100, 100}, {1000, 1000}, {1000, 500}},
      // A window twice as wide as tall.
      {testDevice(1000, 1000, 254, 254), {200, 100}, {1000, 1000}, {1000, 500}},
  };
  for (const IsotropicCase& c : cases) {
    DcState state;
    setMapMode(state, MM_ISOTROPIC, c.device);
    ASSERT_TRUE(setWindowExt(state, c.window.cx, c.window.cy, c.device));
    ASSERT_TRUE(setViewportExt(state, c.viewport.cx, c.viewport.cy, c.device));
    EXPECT_EQ(state.viewportExt.cx, c.adjusted.cx) << c.viewport.cx << "," << c.viewport.cy;
    EXPECT_EQ(state.viewportExt.cy, c.adjusted.cy) << c.viewport.cx << "," << c.viewport.cy;
  }
}

TEST_F(MappingTest, IsotropicThroughTheApi) {
  SetMapMode(hdc, MM_ISOTROPIC);
  SetWindowExtEx(hdc, 100, 100, nullptr);
  SetViewportExtEx(hdc, 1000, 500, nullptr);
  POINT p = toDevice(100, 100);
  EXPECT_EQ(p.x, 500);
  EXPECT_EQ(p.y, 500);
}

TEST_F(MappingTest, WorldTransformCountsOnlyInAdvancedMode) {
  const XFORM quarterTurn{0, 1, -1, 0, 0, 0};
  EXPECT_FALSE(SetWorldTransform(hdc, &quarterTurn)) << "refused in GM_COMPATIBLE";
  SetGraphicsMode(hdc, GM_ADVANCED);
  ASSERT_TRUE(SetWorldTransform(hdc, &quarterTurn));
  SetViewportOrgEx(hdc, 100, 100, nullptr);
  POINT p = toDevice(10, 20);
  EXPECT_EQ(p.x, 80);
  EXPECT_EQ(p.y, 110);
  const XFORM singular{1, 1, 1, 1, 0, 0};
  EXPECT_FALSE(SetWorldTransform(hdc, &singular));
  SetGraphicsMode(hdc, GM_COMPATIBLE);
  p = toDevice(10, 20);
  EXPECT_EQ(p.x, 110);
  EXPECT_EQ(p.y, 120);
}

TEST_F(MappingTest, ModifyWorldTransformMultipliesOnTheRequestedSide) {
  SetGraphicsMode(hdc, GM_ADVANCED);
  const XFORM scale{2, 0, 0, 2, 0, 0}, shift{1, 0, 0, 1, 10, 0};
  SetWorldTransform(hdc, &scale);
  ASSERT_TRUE(ModifyWorldTransform(hdc, &shift, MWT_LEFTMULTIPLY));
  EXPECT_EQ(toDevice(1, 0).x, 22) << "shift first, then scale";
  SetWorldTransform(hdc, &scale);
  ASSERT_TRUE(ModifyWorldTransform(hdc, &shift, MWT_RIGHTMULTIPLY));
  EXPECT_EQ(toDevice(1, 0).x, 12) << "scale first, then shift";
  ASSERT_TRUE(ModifyWorldTransform(hdc, nullptr, MWT_IDENTITY));
  EXPECT_EQ(toDevice(1, 0).x, 1);
  EXPECT_FALSE(ModifyWorldTransform(hdc, &shift, 9));
}

TEST_F(MappingTest, WorldTransformUnderAMetricMode) {
  SetMapMode(hdc, MM_LOMETRIC);
  SetGraphicsMode(hdc, GM_ADVANCED);
  const XFORM doubled{2, 0, 0, 2, 0, 0};
  SetWorldTransform(hdc, &doubled);
  POINT p = toDevice(127, 127);  // 254 tenths of a millimetre: 100 pixels
  EXPECT_EQ(p.x, 100);
  EXPECT_EQ(p.y, -100);
}

TEST_F(MappingTest, DeadHandlesFail) {
  HDC dead = CreateSurfaceDC(surface);
  DeleteDC(dead);
  EXPECT_EQ(SetMapMode(dead, MM_TEXT), 0);
  POINT p{};
  EXPECT_FALSE(LPtoDP(dead, &p, 1));
  EXPECT_FALSE(LPtoDP(hdc, nullptr, 1));
}

}  // namespace
}  // namespace platform::gdi::testing
