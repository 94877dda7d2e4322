#pragma once
// A device context on a recording surface, for tests that assert what
// reaches the device.

#include <gtest/gtest.h>

#include <memory>

#include "platform/gdi/DcApi.h"
#include "platform/gdi/RecordingSurface.h"

namespace platform::gdi::testing {

inline DeviceDescription testDevice(int width = 1000, int height = 1000, int widthMm = 254, int heightMm = 254) {
  DeviceDescription d;
  d.width = width;
  d.height = height;
  d.widthMm = widthMm;
  d.heightMm = heightMm;
  d.dpiX = d.dpiY = 100;
  return d;
}

class DcFixture : public ::testing::Test {
 protected:
  explicit DcFixture(const DeviceDescription& device = testDevice(), bool keepPixels = false)
      : surface(std::make_shared<RecordingSurface>(device, keepPixels)), hdc(CreateSurfaceDC(surface)) {}
  ~DcFixture() override { DeleteDC(hdc); }

  const RecordedOp& only(OpKind kind) const {
    auto found = surface->opsOf(kind);
    EXPECT_EQ(found.size(), 1u) << surface->describeAll();
    static const RecordedOp none;
    return found.empty() ? none : *found.front();
  }

  std::shared_ptr<RecordingSurface> surface;
  HDC hdc;
};

inline int regionArea(const QRegion& region) {
  int area = 0;
  for (const QRect& r : region) area += r.width() * r.height();
  return area;
}

}  // namespace platform::gdi::testing
