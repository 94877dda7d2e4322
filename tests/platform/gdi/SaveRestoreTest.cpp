#include <gtest/gtest.h>

#include "DcFixture.h"
#include "platform/gdi/DeviceContext.h"
#include "platform/system/LastError.h"

namespace platform::gdi::testing {
namespace {

using SaveRestoreTest = DcFixture;

TEST_F(SaveRestoreTest, LevelsCountUpAndRestoreAbsoluteOrRelative) {
  EXPECT_EQ(SaveDC(hdc), 1);
  SetTextColor(hdc, 0x11);
  EXPECT_EQ(SaveDC(hdc), 2);
  SetTextColor(hdc, 0x22);
  EXPECT_EQ(SaveDC(hdc), 3);
  SetTextColor(hdc, 0x33);

  ASSERT_TRUE(RestoreDC(hdc, -1));
  EXPECT_EQ(GetTextColor(hdc), 0x22u);
  ASSERT_TRUE(RestoreDC(hdc, 1));
  EXPECT_EQ(GetTextColor(hdc), 0u);
  EXPECT_FALSE(RestoreDC(hdc, -1)) << "nothing left to restore";
  EXPECT_EQ(SaveDC(hdc), 1) << "levels start again from one";
}

TEST_F(SaveRestoreTest, RefusesLevelsThatDoNotExist) {
  SaveDC(hdc);
  SaveDC(hdc);
  EXPECT_FALSE(RestoreDC(hdc, 0));
  EXPECT_FALSE(RestoreDC(hdc, 3));
  EXPECT_FALSE(RestoreDC(hdc, -3));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(RestoreDC(hdc, -2));
  EXPECT_FALSE(RestoreDC(hdc, 1));
}

TEST_F(SaveRestoreTest, RestoresMappingObjectsClipAndAttributes) {
  HPEN red = CreatePen(PS_SOLID, 3, RGB(255, 0, 0));
  SaveDC(hdc);
  SetMapMode(hdc, MM_ANISOTROPIC);
  SetWindowExtEx(hdc, 10, 10, nullptr);
  SetViewportExtEx(hdc, 20, 20, nullptr);
  SetViewportOrgEx(hdc, 7, 7, nullptr);
  SetGraphicsMode(hdc, GM_ADVANCED);
  const XFORM shift{1, 0, 0, 1, 3, 0};
  SetWorldTransform(hdc, &shift);
  HGDIOBJ oldPen = SelectObject(hdc, red);
  IntersectClipRect(hdc, 0, 0, 10, 10);
  SetBkMode(hdc, TRANSPARENT);
  SetROP2(hdc, R2_XORPEN);
  MoveToEx(hdc, 5, 5, nullptr);

  ASSERT_TRUE(RestoreDC(hdc, -1));
  EXPECT_EQ(GetMapMode(hdc), MM_TEXT);
  EXPECT_EQ(GetGraphicsMode(hdc), GM_COMPATIBLE);
  POINT p{1, 1};
  LPtoDP(hdc, &p, 1);
  EXPECT_EQ(p.x, 1);
  EXPECT_EQ(GetCurrentObject(hdc, OBJ_PEN), oldPen);
  EXPECT_EQ(GetBkMode(hdc), OPAQUE);
  EXPECT_EQ(SetROP2(hdc, R2_COPYPEN), R2_COPYPEN);
  RECT box;
  EXPECT_EQ(GetClipBox(hdc, &box), SIMPLEREGION);
  EXPECT_EQ(box.right, 1000) << "no clip: the whole device";
  POINT cp;
  GetCurrentPositionEx(hdc, &cp);
  EXPECT_EQ(cp.x, 0);
  DeleteObject(red);
}

TEST_F(SaveRestoreTest, ASavedStateKeepsADeletedPenUsable) {
  HPEN blue = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
  SelectObject(hdc, blue);
  SaveDC(hdc);
  SelectObject(hdc, GetStockObject(BLACK_PEN));
  EXPECT_TRUE(DeleteObject(blue));
  RestoreDC(hdc, -1);
  MoveToEx(hdc, 0, 0, nullptr);
  LineTo(hdc, 10, 0);
  EXPECT_EQ(only(OpKind::StrokeCosmetic).color, QColor(0, 0, 255));
}

}  // namespace
}  // namespace platform::gdi::testing
