#include "platform/spooler/PaperSizes.h"

#include <gtest/gtest.h>

#include "platform/spooler/DevModes.h"

namespace {

using namespace platform::spooler;

TEST(PaperSizes, PaperCodesMapToPwgNamesBothWays) {
  const struct {
    int code;
    const char* pwg;
    int width, length;
  } cases[] = {
      {1, "na_letter_8.5x11in", 21590, 27940}, {5, "na_legal_8.5x14in", 21590, 35560},
      {8, "iso_a3_297x420mm", 29700, 42000},   {9, "iso_a4_210x297mm", 21000, 29700},
      {11, "iso_a5_148x210mm", 14800, 21000},  {13, "jis_b5_182x257mm", 18200, 25700},
  };
  for (const auto& c : cases) {
    ASSERT_STREQ(pwgMediaForPaper(c.code), c.pwg);
    EXPECT_EQ(paperForMedia(c.pwg), c.code);
    int w = 0, l = 0;
    ASSERT_TRUE(mediaSize(c.pwg, w, l)) << c.pwg;
    EXPECT_EQ(w, c.width) << c.pwg;
    EXPECT_EQ(l, c.length) << c.pwg;
  }
  EXPECT_EQ(pwgMediaForPaper(0), nullptr);
  EXPECT_EQ(pwgMediaForPaper(256), nullptr);
}

TEST(PaperSizes, PpdAndLegacyNamesAreUnderstood) {
  EXPECT_EQ(paperForMedia("A4"), 9);
  EXPECT_EQ(paperForMedia("Letter"), 1);
  EXPECT_EQ(paperForMedia("na_index-4x6_4x6in"), 0);  // a size without a code
  EXPECT_EQ(canonicalMedia("nonsense"), "");
  EXPECT_EQ(formNameForMedia("iso_a5_148x210mm"), "A5");
}

TEST(DevModes, OnlyTheFieldsDmFieldsNamesAndCupsCanTakeBecomeChanges) {
  platform::DEVMODEA mode{};
  mode.dmOrientation = 2;
  mode.dmPaperSize = 11;
  mode.dmCopies = 3;
  EXPECT_FALSE(changeFrom(mode).media || changeFrom(mode).orientation || changeFrom(mode).copies);

  mode.dmFields = platform::DM_ORIENTATION | platform::DM_PAPERSIZE | platform::DM_COPIES;
  DefaultsChange change = changeFrom(mode);
  EXPECT_EQ(change.media.value_or(""), "iso_a5_148x210mm");
  EXPECT_EQ(change.orientation.value_or(0), 4);
  EXPECT_EQ(change.copies.value_or(0), 3);

  mode.dmPaperSize = 999;
  mode.dmOrientation = 7;
  mode.dmCopies = 0;
  change = changeFrom(mode);
  EXPECT_FALSE(change.media || change.orientation || change.copies);
}

TEST(DevModes, TheDeviceModeOfASetupCarriesItsPaperOrientationCopiesAndResolution) {
  PrinterSetup setup;
  setup.media = "iso_a5_148x210mm";
  setup.width = 14800;
  setup.length = 21000;
  setup.orientation = 4;
  setup.copies = 3;
  setup.dpiX = setup.dpiY = 600;
  const platform::DEVMODEA mode = devModeFor("Folisto Brelvane", setup);
  EXPECT_STREQ(mode.dmDeviceName, "Folisto Brelvane");
  EXPECT_EQ(mode.dmSize, sizeof(platform::DEVMODEA));
  EXPECT_EQ(mode.dmOrientation, 2);
  EXPECT_EQ(mode.dmPaperSize, 11);
  EXPECT_EQ(mode.dmPaperWidth, 1480);
  EXPECT_EQ(mode.dmPaperLength, 2100);
  EXPECT_EQ(mode.dmCopies, 3);
  EXPECT_EQ(mode.dmPrintQuality, 600);
  EXPECT_STREQ(mode.dmFormName, "A5");
  EXPECT_NE(mode.dmFields & platform::DM_PAPERSIZE, 0u);
}

}  // namespace
