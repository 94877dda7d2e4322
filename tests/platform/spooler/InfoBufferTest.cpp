#include "platform/spooler/InfoBuffer.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/system/LastError.h"

namespace {

using namespace platform::spooler;

bool fillTwo(uint8_t* buffer, uint32_t size, uint32_t* needed) {
  const char* names[] = {"first", "second printer"};
  return packRecords<platform::PRINTER_INFO_4A>(2, buffer, size, needed,
                                                [&](InfoPacker& p, size_t i, platform::PRINTER_INFO_4A& r) {
                                                  r.pPrinterName = p.string(names[i]);
                                                  r.Attributes = static_cast<uint32_t>(i + 1);
                                                });
}

TEST(InfoBuffer, TheSizeQueryThenTheFillKeepEveryStringInsideTheBuffer) {
  uint32_t needed = 0;
  platform::SetLastError(0);
  EXPECT_FALSE(fillTwo(nullptr, 0, &needed));
  EXPECT_EQ(platform::GetLastError(), platform::ERROR_INSUFFICIENT_BUFFER);
  ASSERT_GT(needed, 2 * sizeof(platform::PRINTER_INFO_4A));

  std::vector<uint8_t> small(needed - 1);
  EXPECT_FALSE(fillTwo(small.data(), needed - 1, &needed));

  std::vector<uint8_t> buffer(needed);
  ASSERT_TRUE(fillTwo(buffer.data(), needed, &needed));
  const auto* records = reinterpret_cast<const platform::PRINTER_INFO_4A*>(buffer.data());
  EXPECT_STREQ(records[0].pPrinterName, "first");
  EXPECT_STREQ(records[1].pPrinterName, "second printer");
  EXPECT_EQ(records[1].Attributes, 2u);
  for (int i = 0; i < 2; ++i) {
    const auto* p = reinterpret_cast<const uint8_t*>(records[i].pPrinterName);
    EXPECT_GE(p, buffer.data() + 2 * sizeof(platform::PRINTER_INFO_4A));
    EXPECT_LT(p, buffer.data() + buffer.size());
  }
}

}  // namespace
