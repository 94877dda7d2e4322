#include "platform/emf/EnhMetaFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/LastError.h"
#include "tests/support/EmfWriter.h"
#include "tests/support/PageFileBytes.h"
#include "tests/support/TempDir.h"

namespace {

using namespace platform;
using fbtest::getU32;
using fbtest::putU32;
using Bytes = std::vector<uint8_t>;

// Header field offsets.
constexpr size_t kType = 0, kSize = 4, kSignature = 40, kBytes = 48, kRecords = 52;

struct HandleDeleter {
  void operator()(HENHMETAFILE__* h) const { DeleteEnhMetaFile(h); }
};
using Handle = std::unique_ptr<HENHMETAFILE__, HandleDeleter>;

Handle fromBytes(const Bytes& bytes) {
  static const uint8_t nothing = 0;  // a non-null pointer for an empty buffer
  return Handle(SetEnhMetaFileBits(static_cast<uint32_t>(bytes.size()), bytes.empty() ? &nothing : bytes.data()));
}

Bytes bitsOf(HENHMETAFILE h) {
  Bytes out(GetEnhMetaFileBits(h, 0, nullptr));
  if (!out.empty()) out.resize(GetEnhMetaFileBits(h, static_cast<uint32_t>(out.size()), out.data()));
  return out;
}

// A page as a printer driver would record it: 96 dpi A4 on a 600 dpi device.
Bytes samplePage() {
  return fbtest::EmfWriter({0, 0, 21000, 29700}, {10, 20, 790, 1100}, {4960, 7016}, {210, 297})
      .setMapMode(1)
      .rectangle(10, 20, 790, 1100)
      .textOut(100, 100, u"Invoice 42")
      .finish();
}

// Walks the records by their sizes: the number of records when they fill
// the metafile exactly and the last is EMR_EOF, else -1.
int countRecords(const Bytes& emf) {
  size_t at = 0;
  int count = 0;
  uint32_t last = 0;
  while (at < emf.size()) {
    if (emf.size() - at < 8) return -1;
    const uint32_t size = getU32(emf, at + 4);
    if (size < 8 || size % 4 != 0 || size > emf.size() - at) return -1;
    last = getU32(emf, at);
    at += size;
    ++count;
  }
  return last == EMR_EOF ? count : -1;
}

// The metafile with its 108-byte header cut to the 88 bytes of the oldest
// header form.
Bytes withShortHeader(Bytes emf) {
  emf.erase(emf.begin() + 88, emf.begin() + 108);
  putU32(emf, kSize, 88);
  putU32(emf, kBytes, static_cast<uint32_t>(emf.size()));
  return emf;
}

// The metafile with a description string stored inside its header record,
// as most producers write it.
Bytes withDescription(Bytes emf) {
  const char16_t description[] = u"Kavero\0Page 12\0";  // 16 units with both zeros
  Bytes bytes(sizeof description);
  std::memcpy(bytes.data(), description, sizeof description);
  emf.insert(emf.begin() + 108, bytes.begin(), bytes.end());
  putU32(emf, kSize, 108 + static_cast<uint32_t>(bytes.size()));
  putU32(emf, 60, static_cast<uint32_t>(std::size(description)));  // nDescription
  putU32(emf, 64, 108);                                             // offDescription
  putU32(emf, kBytes, static_cast<uint32_t>(emf.size()));
  return emf;
}

TEST(EnhMetaFile, CorruptHeadersAreRefused) {
  struct Case {
    const char* name;
    std::function<void(Bytes&)> damage;
  };
  const Case cases[] = {
      {"type is not EMR_HEADER", [](Bytes& b) { putU32(b, kType, 2); }},
      {"type is EMR_EOF", [](Bytes& b) { putU32(b, kType, EMR_EOF); }},
      {"signature byte-swapped", [](Bytes& b) { putU32(b, kSignature, 0x20464D45); }},
      {"signature zero", [](Bytes& b) { putU32(b, kSignature, 0); }},
      {"header size 0", [](Bytes& b) { putU32(b, kSize, 0); }},
      {"header size 84", [](Bytes& b) { putU32(b, kSize, 84); }},
      {"header size 90", [](Bytes& b) { putU32(b, kSize, 90); }},
      {"header size 107", [](Bytes& b) { putU32(b, kSize, 107); }},
      {"header size beyond nBytes", [](Bytes& b) { putU32(b, kSize, getU32(b, kBytes) + 4); }},
      {"nBytes smaller than the header", [](Bytes& b) { putU32(b, kBytes, 104); }},
      {"nBytes beyond the buffer", [](Bytes& b) { putU32(b, kBytes, static_cast<uint32_t>(b.size()) + 4); }},
      {"nBytes huge", [](Bytes& b) { putU32(b, kBytes, 0xFFFFFFFC); }},
      {"nBytes not a multiple of 4", [](Bytes& b) { putU32(b, kBytes, static_cast<uint32_t>(b.size()) - 2); }},
      {"buffer of 87 bytes", [](Bytes& b) { b.resize(87); }},
      {"buffer of 8 bytes", [](Bytes& b) { b.resize(8); }},
      {"empty buffer", [](Bytes& b) { b.clear(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = samplePage();
    c.damage(bytes);

    SetLastError(0);
    Handle copied = fromBytes(bytes);
    EXPECT_FALSE(copied);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);

    SetLastError(0);
    Handle taken(SetEnhMetaFileBits(std::move(bytes)));
    EXPECT_FALSE(taken);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
  }
  SetLastError(0);
  EXPECT_EQ(SetEnhMetaFileBits(100, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(EnhMetaFile, UnusualButValidLayoutsAreAccepted) {
  const Bytes page = samplePage();
  struct Case {
    const char* name;
    Bytes bytes;
    Bytes expected;  // what GetEnhMetaFileBits gives back
    uint32_t headerSize;
  };
  Bytes trailing = page;
  trailing.insert(trailing.end(), {0xDE, 0xAD, 0xBE, 0xEF, 1, 2, 3, 4, 5, 6, 7, 8});
  Bytes oddTrailing = page;
  oddTrailing.insert(oddTrailing.end(), {9, 9, 9});
  Bytes headerOnly(page.begin(), page.begin() + 108);
  putU32(headerOnly, kBytes, 108);
  const Case cases[] = {
      {"as written", page, page, 108},
      {"bytes after nBytes", trailing, page, 108},
      {"an odd number of bytes after nBytes", oddTrailing, page, 108},
      {"88-byte header", withShortHeader(page), withShortHeader(page), 88},
      {"description inside the header", withDescription(page), withDescription(page), 108},
      {"nothing but the header", headerOnly, headerOnly, 108},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Handle h = fromBytes(c.bytes);
    ASSERT_TRUE(h) << "error " << GetLastError();
    EXPECT_EQ(GetEnhMetaFileHeader(h.get(), 0, nullptr), c.headerSize);
    EXPECT_EQ(bitsOf(h.get()), c.expected);
    Handle taken(SetEnhMetaFileBits(Bytes(c.bytes)));
    ASSERT_TRUE(taken);
    EXPECT_EQ(bitsOf(taken.get()), c.expected);
  }
}

TEST(EnhMetaFile, HeaderComesBackAsWritten) {
  const Bytes page = samplePage();
  Handle h = fromBytes(page);
  ASSERT_TRUE(h);
  ASSERT_EQ(GetEnhMetaFileHeader(h.get(), 0, nullptr), sizeof(ENHMETAHEADER));

  ENHMETAHEADER header;
  std::memset(&header, 0xAB, sizeof header);
  ASSERT_EQ(GetEnhMetaFileHeader(h.get(), sizeof header, &header), sizeof header);
  EXPECT_EQ(std::memcmp(&header, page.data(), sizeof header), 0) << "the header is not the stored bytes";
  EXPECT_EQ(header.iType, EMR_HEADER);
  EXPECT_EQ(header.nSize, 108u);
  EXPECT_EQ(header.dSignature, ENHMETA_SIGNATURE);
  EXPECT_EQ(header.nVersion, 0x10000u);
  EXPECT_EQ(header.nBytes, page.size());
  EXPECT_EQ(header.nRecords, 5u);  // header, map mode, rectangle, text, EOF
  EXPECT_EQ(header.nHandles, 1u);
  EXPECT_EQ(header.rclFrame.right, 21000);
  EXPECT_EQ(header.rclFrame.bottom, 29700);
  EXPECT_EQ(header.rclBounds.left, 10);
  EXPECT_EQ(header.rclBounds.bottom, 1100);
  EXPECT_EQ(header.szlDevice.cx, 4960);
  EXPECT_EQ(header.szlDevice.cy, 7016);
  EXPECT_EQ(header.szlMillimeters.cx, 210);
  EXPECT_EQ(header.szlMillimeters.cy, 297);
  EXPECT_EQ(header.szlMicrometers.cx, 210000);
  EXPECT_EQ(header.szlMicrometers.cy, 297000);
  EXPECT_EQ(countRecords(page), static_cast<int>(header.nRecords));

  // A smaller buffer gets the start of the header and nothing past its size.
  std::memset(&header, 0xAB, sizeof header);
  EXPECT_EQ(GetEnhMetaFileHeader(h.get(), 12, &header), 12u);
  EXPECT_EQ(header.iType, EMR_HEADER);
  EXPECT_EQ(header.nSize, 108u);
  EXPECT_EQ(header.rclBounds.left, 10);
  EXPECT_EQ(static_cast<uint32_t>(header.rclBounds.top), 0xABABABABu);
}

TEST(EnhMetaFile, ShortHeaderReadsItsMissingFieldsAsZero) {
  // In an 88-byte header, the bytes where the longer form keeps the pixel
  // format and micrometre size belong to the next record.
  const Bytes emf = withShortHeader(samplePage());
  Handle h = fromBytes(emf);
  ASSERT_TRUE(h);
  const EnhMetaFile* metafile = enhMetaFileFromHandle(h.get());
  ASSERT_NE(metafile, nullptr);
  EXPECT_EQ(metafile->header().cbPixelFormat, 0u);
  EXPECT_EQ(metafile->header().offPixelFormat, 0u);
  EXPECT_EQ(metafile->header().bOpenGL, 0u);
  EXPECT_EQ(metafile->header().szlMicrometers.cx, 0);
  EXPECT_EQ(metafile->header().szlMicrometers.cy, 0);
  EXPECT_EQ(metafile->header().szlMillimeters.cx, 210);

  ENHMETAHEADER header;
  std::memset(&header, 0xAB, sizeof header);
  EXPECT_EQ(GetEnhMetaFileHeader(h.get(), sizeof header, &header), 88u);
  EXPECT_EQ(header.nSize, 88u);
  EXPECT_EQ(header.szlDevice.cx, 4960);
}

TEST(EnhMetaFile, BitsNeedABufferOfTheWholeSize) {
  const Bytes page = samplePage();
  Handle h = fromBytes(page);
  ASSERT_TRUE(h);
  const auto size = static_cast<uint32_t>(page.size());
  EXPECT_EQ(GetEnhMetaFileBits(h.get(), 0, nullptr), size);
  EXPECT_EQ(GetEnhMetaFileBits(h.get(), 4, nullptr), size) << "a null buffer asks for the size whatever size is given";

  Bytes buffer(size + 8, 0xCC);
  EXPECT_EQ(GetEnhMetaFileBits(h.get(), size + 8, buffer.data()), size);
  EXPECT_TRUE(std::equal(page.begin(), page.end(), buffer.begin()));
  EXPECT_EQ(buffer[size], 0xCC);

  std::fill(buffer.begin(), buffer.end(), uint8_t{0xCC});
  SetLastError(0);
  EXPECT_EQ(GetEnhMetaFileBits(h.get(), size - 1, buffer.data()), 0u);
  EXPECT_EQ(GetEnhMetaFileBits(h.get(), 0, buffer.data()), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(buffer, Bytes(size + 8, 0xCC)) << "a short buffer was written to";
}

TEST(EnhMetaFile, HandleKeepsItsOwnCopy) {
  Bytes page = samplePage();
  const Bytes original = page;
  Handle h = fromBytes(page);
  ASSERT_TRUE(h);
  putU32(page, kRecords, 999);
  std::fill(page.begin() + 108, page.end(), uint8_t{0});
  EXPECT_EQ(bitsOf(h.get()), original);
}

TEST(EnhMetaFile, DeletedHandleIsRefusedEverywhere) {
  HENHMETAFILE h = fromBytes(samplePage()).release();
  ASSERT_NE(h, nullptr);
  Handle other = fromBytes(samplePage());
  ASSERT_TRUE(other);
  ASSERT_NE(other.get(), h);

  EXPECT_TRUE(DeleteEnhMetaFile(h));
  SetLastError(0);
  EXPECT_FALSE(DeleteEnhMetaFile(h));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  SetLastError(0);
  EXPECT_EQ(GetEnhMetaFileHeader(h, 0, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  SetLastError(0);
  EXPECT_EQ(GetEnhMetaFileBits(h, 0, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(enhMetaFileFromHandle(h), nullptr);

  EXPECT_EQ(bitsOf(other.get()), samplePage()) << "deleting one handle touched another";
}

TEST(EnhMetaFile, MadeUpHandlesAreNeverFollowed) {
  Handle live = fromBytes(samplePage());
  ASSERT_TRUE(live);
  ENHMETAHEADER onTheStack{};
  const HENHMETAFILE madeUp[] = {
      nullptr,
      reinterpret_cast<HENHMETAFILE>(&onTheStack),
      reinterpret_cast<HENHMETAFILE>(uintptr_t{1}),
      reinterpret_cast<HENHMETAFILE>(reinterpret_cast<uintptr_t>(live.get()) + 8),  // inside a live one
  };
  for (const HENHMETAFILE h : madeUp) {
    SCOPED_TRACE(reinterpret_cast<uintptr_t>(h));
    ENHMETAHEADER header{};
    uint8_t buffer[16];
    SetLastError(0);
    EXPECT_EQ(GetEnhMetaFileHeader(h, sizeof header, &header), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(0);
    EXPECT_EQ(GetEnhMetaFileBits(h, sizeof buffer, buffer), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(0);
    EXPECT_FALSE(DeleteEnhMetaFile(h));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(enhMetaFileFromHandle(h), nullptr);
  }
  EXPECT_NE(enhMetaFileFromHandle(live.get()), nullptr);
}

// The fixture metafiles every other test starts from must be well formed,
// and of the sizes asked for.
TEST(EnhMetaFile, FixtureMetafilesOfGivenSizesAreValid) {
  struct Case {
    size_t minSize;
    size_t size;
  };
  const Case cases[] = {
      {0, 152},          {100, 152},     {101, 152},     {104, 152},     {152, 152},
      {153, 164},        {156, 164},     {160, 164},     {164, 164},     {165, 168},
      {1000, 1000},      {65688, 65688},  // one comment record of the largest size
      {65692, 65692},    {65700, 65700},  // a remainder too small for a record of its own
      {1 << 20, 1 << 20}, {(1 << 20) + 1, (1 << 20) + 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.minSize);
    const Bytes emf = fbtest::makeEmf(c.minSize);
    EXPECT_EQ(emf.size(), c.size);
    ASSERT_GE(emf.size(), 108u);
    EXPECT_EQ(getU32(emf, kBytes), emf.size());
    EXPECT_EQ(countRecords(emf), static_cast<int>(getU32(emf, kRecords)));
    Handle h = fromBytes(emf);
    EXPECT_TRUE(h) << "error " << GetLastError();
  }
}

// Real files: whatever their state, a handle's header is the file's own, and
// every undamaged one is accepted.
TEST(EnhMetaFile, CorpusFilesAreAcceptedOrRefusedCleanly) {
  const auto good = fbtest::corpusFiles("emf");
  const auto damaged = fbtest::corpusFiles("emf-corrupted");
  if (good.empty() && damaged.empty()) GTEST_SKIP() << "no EMF corpus (set FB_CORPUS_DIR to its folder)";

  const auto check = [](const std::filesystem::path& file, bool mustLoad) {
    SCOPED_TRACE(file.string());
    const Bytes bytes = fbtest::readFile(file.string());
    SetLastError(0);
    Handle h = fromBytes(bytes);
    if (!h) {
      EXPECT_FALSE(mustLoad) << "refused with error " << GetLastError();
      EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
      return;
    }
    ENHMETAHEADER header{};
    const uint32_t n = GetEnhMetaFileHeader(h.get(), sizeof header, &header);
    ASSERT_GE(n, 88u);
    ASSERT_LE(n, sizeof header);
    EXPECT_EQ(std::memcmp(&header, bytes.data(), n), 0);
    EXPECT_EQ(header.iType, EMR_HEADER);
    EXPECT_EQ(header.dSignature, ENHMETA_SIGNATURE);
    ASSERT_LE(header.nBytes, bytes.size());
    const Bytes bits = bitsOf(h.get());
    ASSERT_EQ(bits.size(), header.nBytes);
    EXPECT_TRUE(std::equal(bits.begin(), bits.end(), bytes.begin()));
  };
  for (const auto& file : good) check(file, true);
  for (const auto& file : damaged) check(file, false);
}

}  // namespace
