#include "platform/spooler/PrinterDC.h"

#include <gtest/gtest.h>

namespace {

using platform::spooler::PrinterSetup;
using platform::spooler::printerDescription;

PrinterSetup a4(int dpi, int orientation) {
  PrinterSetup s;
  s.width = 21000;
  s.length = 29700;
  s.dpiX = s.dpiY = dpi;
  s.orientation = orientation;
  // Margins of 18 points, as the test queue's driver has them.
  s.left = s.bottom = s.right = s.top = 635;
  return s;
}

TEST(PrinterDescription, A4At300DpiWithQuarterInchMargins) {
  const auto d = printerDescription(a4(300, 3));
  EXPECT_EQ(d.technology, 2);  // DT_RASPRINTER
  EXPECT_EQ(d.dpiX, 300);
  EXPECT_EQ(d.physicalWidth, 2480);
  EXPECT_EQ(d.physicalHeight, 3508);
  EXPECT_EQ(d.physicalOffsetX, 75);
  EXPECT_EQ(d.physicalOffsetY, 75);
  EXPECT_EQ(d.width, 2330);
  EXPECT_EQ(d.height, 3358);
  EXPECT_EQ(d.widthMm, 197);
  EXPECT_EQ(d.heightMm, 284);
}

TEST(PrinterDescription, LandscapeTurnsThePaperAndTakesTheBottomMarginAsTheLeftOffset) {
  PrinterSetup s = a4(600, 4);
  s.left = 500;
  s.bottom = 1270;
  s.right = 300;
  s.top = 400;
  const auto d = printerDescription(s);
  EXPECT_EQ(d.physicalWidth, 7016);
  EXPECT_EQ(d.physicalHeight, 4961);
  EXPECT_EQ(d.physicalOffsetX, 300);  // the portrait bottom margin
  EXPECT_EQ(d.physicalOffsetY, 118);  // the portrait left margin
  EXPECT_EQ(d.width, 7016 - 300 - 94);   // less the portrait top margin
  EXPECT_EQ(d.height, 4961 - 118 - 71);  // less the portrait right margin
}

TEST(PrinterDescription, BorderlessPaperIsAllPrintable) {
  PrinterSetup s = a4(300, 3);
  s.left = s.bottom = s.right = s.top = 0;
  const auto d = printerDescription(s);
  EXPECT_EQ(d.width, d.physicalWidth);
  EXPECT_EQ(d.height, d.physicalHeight);
  EXPECT_EQ(d.physicalOffsetX, 0);
}

}  // namespace
