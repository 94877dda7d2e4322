#pragma once
// A device context on a recording surface with one font selected, for the
// text tests. Liberation Sans (what "Arial" draws with) has 2048 units per
// em, a Windows ascent of 1854 and descent of 434, and advances of 1366 for
// "A" and "B", 1479 for "H": at an em of 100 pixels that is an ascent of 91,
// a descent of 21 and advances of 67, 67 and 72.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/GuiApplication.h"
#include "platform/gdi/RecordingSurface.h"
#include "platform/system/LastError.h"

namespace platform::gdi {

inline LOGFONTW makeLogfont(int32_t height, const char16_t* face = u"Arial", int32_t escapement = 0) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfEscapement = escapement;
  lf.lfOrientation = escapement;
  lf.lfWeight = FW_NORMAL;
  for (int i = 0; face[i] && i < LF_FACESIZE - 1; ++i) lf.lfFaceName[i] = face[i];
  return lf;
}

class TextDc : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureGuiApplication();
    surface = std::make_shared<RecordingSurface>();
    dc = CreateSurfaceDC(surface);
    ASSERT_NE(dc, nullptr);
  }
  void TearDown() override {
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    if (font) DeleteObject(font);
    DeleteDC(dc);
  }
  void selectFont(const LOGFONTW& lf) {
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    if (font) DeleteObject(font);
    font = CreateFontIndirectW(&lf);
    ASSERT_NE(font, nullptr);
    SelectObject(dc, font);
  }
  std::vector<const RecordedOp*> texts() const { return surface->opsOf(OpKind::DrawText); }
  std::string all() const { return surface->describeAll(); }

  std::shared_ptr<RecordingSurface> surface;
  HDC dc = nullptr;
  HFONT font = nullptr;
};

}  // namespace platform::gdi
