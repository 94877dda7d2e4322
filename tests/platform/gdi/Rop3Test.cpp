#include "platform/gdi/Rop3.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/gdi/GdiTypes.h"

namespace {

using namespace platform::gdi;

// The index is the operation's truth table: P = 0xF0, S = 0xCC, D = 0xAA
// in every byte give the index back in every byte.
TEST(Rop3, EveryIndexReproducesItsTruthTable) {
  for (int index = 0; index < 256; ++index) {
    const uint32_t result = rop3(uint8_t(index), 0xF0F0F0F0u, 0xCCCCCCCCu, 0xAAAAAAAAu);
    EXPECT_EQ(result, uint32_t(index) * 0x01010101u) << "index 0x" << std::hex << index;
  }
}

struct NamedRop {
  std::string name;
  uint32_t rop;
  uint32_t (*expected)(uint32_t p, uint32_t s, uint32_t d);
  bool usesP, usesS, usesD;
};
std::ostream& operator<<(std::ostream& out, const NamedRop& r) { return out << r.name; }

const NamedRop kNamed[] = {
    {"SRCCOPY", platform::SRCCOPY, [](uint32_t, uint32_t s, uint32_t) { return s; }, false, true, false},
    {"SRCPAINT", platform::SRCPAINT, [](uint32_t, uint32_t s, uint32_t d) { return s | d; }, false, true, true},
    {"SRCAND", platform::SRCAND, [](uint32_t, uint32_t s, uint32_t d) { return s & d; }, false, true, true},
    {"SRCINVERT", platform::SRCINVERT, [](uint32_t, uint32_t s, uint32_t d) { return s ^ d; }, false, true, true},
    {"SRCERASE", platform::SRCERASE, [](uint32_t, uint32_t s, uint32_t d) { return s & ~d; }, false, true, true},
    {"NOTSRCCOPY", platform::NOTSRCCOPY, [](uint32_t, uint32_t s, uint32_t) { return ~s; }, false, true, false},
    {"NOTSRCERASE", platform::NOTSRCERASE, [](uint32_t, uint32_t s, uint32_t d) { return ~(s | d); }, false, true,
     true},
    {"MERGECOPY", platform::MERGECOPY, [](uint32_t p, uint32_t s, uint32_t) { return p & s; }, true, true, false},
    {"MERGEPAINT", platform::MERGEPAINT, [](uint32_t, uint32_t s, uint32_t d) { return ~s | d; }, false, true,
     true},
    {"PATCOPY", platform::PATCOPY, [](uint32_t p, uint32_t, uint32_t) { return p; }, true, false, false},
    {"PATPAINT", platform::PATPAINT, [](uint32_t p, uint32_t s, uint32_t d) { return p | ~s | d; }, true, true,
     true},
    {"PATINVERT", platform::PATINVERT, [](uint32_t p, uint32_t, uint32_t d) { return p ^ d; }, true, false, true},
    {"DSTINVERT", platform::DSTINVERT, [](uint32_t, uint32_t, uint32_t d) { return ~d; }, false, false, true},
    {"BLACKNESS", platform::BLACKNESS, [](uint32_t, uint32_t, uint32_t) { return 0u; }, false, false, false},
    {"WHITENESS", platform::WHITENESS, [](uint32_t, uint32_t, uint32_t) { return 0xFFFFFFFFu; }, false, false,
     false},
    // PSDPxax: the pattern where the source is black, the destination elsewhere.
    {"PSDPxax", 0x00B8074A, [](uint32_t p, uint32_t s, uint32_t d) { return (p & ~s) | (s & d); }, true, true,
     true},
    // A general one without a fast path: DPSaon = ~(D | (P & S)).
    {"DPSaon", 0x00150000, [](uint32_t p, uint32_t s, uint32_t d) { return ~(d | (p & s)); }, true, true, true},
};

class NamedRops : public ::testing::TestWithParam<NamedRop> {};

TEST_P(NamedRops, ComputeTheirFormulaOnKnownPixels) {
  const NamedRop& r = GetParam();
  const uint8_t index = ropIndex(r.rop);
  const uint32_t samples[][3] = {{0xFF123456, 0xFF00FF00, 0xFFABCDEF},
                                 {0xFFFFFFFF, 0xFF000000, 0xFF808080},
                                 {0xFF0F0F0F, 0xFFF0F0F0, 0xFF3C3C3C}};
  for (const auto& px : samples) {
    EXPECT_EQ(rop3(index, px[0], px[1], px[2]), r.expected(px[0], px[1], px[2]));
    uint32_t row[1] = {px[2]};
    rop3Row(index, &px[0], &px[1], row, 1);
    EXPECT_EQ(row[0], r.expected(px[0], px[1], px[2]));
  }
  EXPECT_EQ(ropUsesPattern(index), r.usesP);
  EXPECT_EQ(ropUsesSource(index), r.usesS);
  EXPECT_EQ(ropUsesDestination(index), r.usesD);
}

INSTANTIATE_TEST_SUITE_P(Table, NamedRops, ::testing::ValuesIn(kNamed),
                         [](const auto& param) { return param.param.name; });

TEST(Rop3, RowMatchesPixelForEveryIndex) {
  const uint32_t p[3] = {0xFF123456, 0xFFFFFFFF, 0xFF0F0F0F};
  const uint32_t s[3] = {0xFF00FF00, 0xFF000000, 0xFFF0F0F0};
  const uint32_t d[3] = {0xFFABCDEF, 0xFF808080, 0xFF3C3C3C};
  for (int index = 0; index < 256; ++index) {
    uint32_t row[3] = {d[0], d[1], d[2]};
    rop3Row(uint8_t(index), p, s, row, 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(row[i], rop3(uint8_t(index), p[i], s[i], d[i])) << index;
  }
}

// Operations without a source are the ROP2 of the same truth table.
TEST(Rop3, SourcelessOperationsMapToRop2) {
  EXPECT_EQ(rop3ToRop2(ropIndex(platform::PATCOPY)), platform::R2_COPYPEN);
  EXPECT_EQ(rop3ToRop2(ropIndex(platform::PATINVERT)), platform::R2_XORPEN);
  EXPECT_EQ(rop3ToRop2(ropIndex(platform::DSTINVERT)), platform::R2_NOT);
  EXPECT_EQ(rop3ToRop2(ropIndex(platform::BLACKNESS)), platform::R2_BLACK);
  EXPECT_EQ(rop3ToRop2(ropIndex(platform::WHITENESS)), platform::R2_WHITE);
  EXPECT_EQ(rop3ToRop2(0xAA), platform::R2_NOP);
  EXPECT_EQ(rop3ToRop2(0x0F), platform::R2_NOTCOPYPEN);
}

}  // namespace
