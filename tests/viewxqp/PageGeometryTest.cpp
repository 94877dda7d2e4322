#include "viewxqp/PageGeometry.h"

#include <gtest/gtest.h>

#include <climits>

#include "viewxqp/PageRendering.h"

namespace {

platform::ENHMETAHEADER header(platform::RECTL frame, platform::SIZEL device, platform::SIZEL millimeters) {
  platform::ENHMETAHEADER h{};
  h.rclFrame = frame;
  h.szlDevice = device;
  h.szlMillimeters = millimeters;
  return h;
}

TEST(PageGeometryTest, MulDivRoundsHalvesAwayFromZeroAndRefusesWhatCannotBe) {
  struct Case {
    int32_t a, b, c, expected;
  } cases[] = {
      {10, 3, 4, 8},          // 7.5 -> 8
      {-10, 3, 4, -8},        // -7.5 -> -8
      {7, 1, 2, 4},           // 3.5 -> 4
      {5, 1, 3, 2},           // 1.67 -> 2
      {21000, 4960, 21000, 4960},
      {INT_MAX, INT_MAX, INT_MAX, INT_MAX},  // the 64-bit intermediate
      {INT_MAX, 2, 1, -1},    // does not fit
      {1, 1, 0, -1},          // no divisor
      {INT_MIN, 1, 1, INT_MIN},
  };
  for (const Case& c : cases)
    EXPECT_EQ(viewxqp::mulDiv(c.a, c.b, c.c), c.expected) << c.a << " * " << c.b << " / " << c.c;
}

TEST(PageGeometryTest, ResolutionIsTruncatedAndSizesAreSigned) {
  // 4960 pixels over 210 mm with a frame of 21000: 4960 x 2540 / 21000 = 599.9.
  const auto a4At600 = header({0, 0, 21000, 29700}, {4960, 7016}, {210, 297});
  EXPECT_EQ(viewxqp::pageResolution(a4At600), 599);
  EXPECT_EQ(viewxqp::pageWidthPixels(a4At600), 4960);
  EXPECT_EQ(viewxqp::pageHeightPixels(a4At600), 7016);

  const auto mirrored = header({21000, 29700, 0, 0}, {4960, 7016}, {210, 297});
  EXPECT_EQ(viewxqp::pageWidthPixels(mirrored), -4960);
  EXPECT_EQ(viewxqp::pageResolution(mirrored), 599);

  EXPECT_EQ(viewxqp::pageResolution(header({5, 0, 5, 100}, {4960, 7016}, {210, 297})), 0);
  // A header whose millimetres are zero gives MulDiv's -1, not a crash.
  EXPECT_EQ(viewxqp::pageWidthPixels(header({0, 0, 21000, 29700}, {4960, 7016}, {0, 0})), -1);
  // Extreme frames wrap as 32-bit arithmetic does, without undefined behaviour.
  viewxqp::pageResolution(header({INT_MIN, 0, INT_MAX, 1}, {INT_MAX, 1}, {1, 1}));
}

TEST(PageGeometryTest, SourceToDeviceExtentsReduceByTheGreatestCommonDivisor) {
  struct Case {
    int32_t source, device, window, viewport;
  } cases[] = {
      {600, 600, 1, 1}, {599, 600, 599, 600}, {300, 600, 1, 2}, {96, 600, 4, 25}, {0, 0, 0, 0}, {0, 600, 0, 1},
  };
  for (const Case& c : cases) {
    const auto extents = viewxqp::sourceToDeviceExtents(c.source, c.device);
    EXPECT_EQ(extents.window, c.window) << c.source << " on " << c.device;
    EXPECT_EQ(extents.viewport, c.viewport) << c.source << " on " << c.device;
  }
  EXPECT_EQ(viewxqp::greatestCommonDivisor(INT_MIN, -1), -1);  // no trap on the one overflowing quotient
}

}  // namespace
