#include "tests/support/EmfWriter.h"

#include <algorithm>
#include <cstring>

namespace fbtest {

namespace {

using platform::RECTL;

constexpr uint32_t EMR_RECTANGLE = 43;
constexpr uint32_t EMR_ELLIPSE = 42;
constexpr uint32_t EMR_MOVETOEX = 27;
constexpr uint32_t EMR_LINETO = 54;
constexpr uint32_t EMR_SETMAPMODE = 17;
constexpr uint32_t EMR_GDICOMMENT = 70;
constexpr uint32_t EMR_EXTTEXTOUTW = 84;
constexpr uint32_t GM_COMPATIBLE = 1;

constexpr uint32_t kHeaderSize = 108;
constexpr uint32_t kEofSize = 20;

void putU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void putI32(std::vector<uint8_t>& out, int32_t v) { putU32(out, static_cast<uint32_t>(v)); }
void putRect(std::vector<uint8_t>& out, const RECTL& r) {
  putI32(out, r.left);
  putI32(out, r.top);
  putI32(out, r.right);
  putI32(out, r.bottom);
}
void pokeU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t peekU32(std::span<const uint8_t> in, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(in[at + i]) << (8 * i);
  return v;
}

size_t padded(size_t n) { return (n + 3) & ~size_t{3}; }

// Records that create a GDI object name its slot in the metafile's handle
// table first; the header's nHandles must cover the highest slot.
bool createsObject(uint32_t type) {
  switch (type) {
    case 38:   // EMR_CREATEPEN
    case 39:   // EMR_CREATEBRUSHINDIRECT
    case 49:   // EMR_CREATEPALETTE
    case 82:   // EMR_EXTCREATEFONTINDIRECTW
    case 93:   // EMR_CREATEMONOBRUSH
    case 94:   // EMR_CREATEDIBPATTERNBRUSHPT
    case 95:   // EMR_EXTCREATEPEN
    case 99:   // EMR_CREATECOLORSPACE
    case 122:  // EMR_CREATECOLORSPACEW
      return true;
    default:
      return false;
  }
}

}  // namespace

EmfWriter::EmfWriter(platform::RECTL frame, platform::RECTL bounds, platform::SIZEL devicePixels,
                     platform::SIZEL deviceMillimeters)
    : frame_(frame), bounds_(bounds), devicePixels_(devicePixels), deviceMillimeters_(deviceMillimeters) {
  start();
}

void EmfWriter::start() {
  bytes_.clear();
  bytes_.reserve(256);
  highestHandle_ = 0;
  putU32(bytes_, platform::EMR_HEADER);
  putU32(bytes_, kHeaderSize);
  putRect(bytes_, bounds_);
  putRect(bytes_, frame_);
  putU32(bytes_, platform::ENHMETA_SIGNATURE);
  putU32(bytes_, 0x10000);  // nVersion
  putU32(bytes_, 0);        // nBytes, filled in by finish()
  putU32(bytes_, 0);        // nRecords, filled in by finish()
  putU32(bytes_, 0);        // nHandles (u16) and sReserved, filled in by finish()
  putU32(bytes_, 0);        // nDescription
  putU32(bytes_, 0);        // offDescription
  putU32(bytes_, 0);        // nPalEntries
  putI32(bytes_, devicePixels_.cx);
  putI32(bytes_, devicePixels_.cy);
  putI32(bytes_, deviceMillimeters_.cx);
  putI32(bytes_, deviceMillimeters_.cy);
  putU32(bytes_, 0);  // cbPixelFormat
  putU32(bytes_, 0);  // offPixelFormat
  putU32(bytes_, 0);  // bOpenGL
  putI32(bytes_, deviceMillimeters_.cx * 1000);
  putI32(bytes_, deviceMillimeters_.cy * 1000);
  records_ = 1;
}

EmfWriter& EmfWriter::record(uint32_t type, std::span<const uint8_t> payload) {
  const size_t size = 8 + padded(payload.size());
  putU32(bytes_, type);
  putU32(bytes_, static_cast<uint32_t>(size));
  bytes_.insert(bytes_.end(), payload.begin(), payload.end());
  bytes_.resize(bytes_.size() + padded(payload.size()) - payload.size(), 0);
  ++records_;
  if (createsObject(type) && payload.size() >= 4) highestHandle_ = std::max(highestHandle_, peekU32(payload, 0));
  return *this;
}

EmfWriter& EmfWriter::record(uint32_t type, std::initializer_list<int32_t> payload) {
  std::vector<uint8_t> bytes;
  bytes.reserve(payload.size() * 4);
  for (const int32_t v : payload) putI32(bytes, v);
  return record(type, bytes);
}

EmfWriter& EmfWriter::setMapMode(int32_t mode) { return record(EMR_SETMAPMODE, {mode}); }

EmfWriter& EmfWriter::moveTo(int32_t x, int32_t y) { return record(EMR_MOVETOEX, {x, y}); }

EmfWriter& EmfWriter::lineTo(int32_t x, int32_t y) { return record(EMR_LINETO, {x, y}); }

EmfWriter& EmfWriter::rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return record(EMR_RECTANGLE, {left, top, right, bottom});
}

EmfWriter& EmfWriter::ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return record(EMR_ELLIPSE, {left, top, right, bottom});
}

EmfWriter& EmfWriter::textOut(int32_t x, int32_t y, const std::u16string& text) {
  constexpr int32_t kAdvance = 10;
  // From the record's start: type and size 8, bounds, mode and scales 28, EMRTEXT 40.
  constexpr uint32_t kStringOffset = 76;
  const auto nChars = static_cast<uint32_t>(text.size());
  const size_t stringBytes = padded(text.size() * 2);
  const auto offDx = static_cast<uint32_t>(kStringOffset + stringBytes);
  const int32_t width = kAdvance * static_cast<int32_t>(nChars);

  std::vector<uint8_t> payload;
  payload.reserve(kStringOffset - 8 + stringBytes + 4 * text.size());
  putRect(payload, {x, y, x + width, y + 16});  // rclBounds
  putU32(payload, GM_COMPATIBLE);
  putU32(payload, 0);  // exScale 0.0f
  putU32(payload, 0);  // eyScale 0.0f
  // EMRTEXT
  putI32(payload, x);
  putI32(payload, y);
  putU32(payload, nChars);
  putU32(payload, kStringOffset);
  putU32(payload, 0);                // fOptions
  putRect(payload, {0, 0, -1, -1});  // rcl: no clipping or opaquing rectangle
  putU32(payload, offDx);
  for (const char16_t c : text) {
    payload.push_back(static_cast<uint8_t>(c & 0xFF));
    payload.push_back(static_cast<uint8_t>(c >> 8));
  }
  payload.resize(kStringOffset - 8 + stringBytes, 0);
  for (uint32_t i = 0; i < nChars; ++i) putI32(payload, kAdvance);
  return record(EMR_EXTTEXTOUTW, payload);
}

std::vector<uint8_t> EmfWriter::finish() {
  putU32(bytes_, platform::EMR_EOF);
  putU32(bytes_, kEofSize);
  putU32(bytes_, 0);         // nPalEntries
  putU32(bytes_, 16);        // offPalEntries
  putU32(bytes_, kEofSize);  // nSizeLast
  ++records_;
  pokeU32(bytes_, 48, static_cast<uint32_t>(bytes_.size()));
  pokeU32(bytes_, 52, records_);
  pokeU32(bytes_, 56, std::min<uint32_t>(highestHandle_ + 1, 0xFFFF));  // sReserved stays 0
  std::vector<uint8_t> result = std::move(bytes_);
  start();
  return result;
}

std::vector<uint8_t> makeEmf(size_t minSize) {
  constexpr size_t kBase = kHeaderSize + 24 + kEofSize;  // header, rectangle, EOF
  constexpr size_t kMinComment = 12;                     // type, size, cbData
  constexpr size_t kMaxComment = 64 * 1024;
  size_t extra = padded(std::max(minSize, kBase)) - kBase;
  if (extra > 0 && extra < kMinComment) extra = kMinComment;  // 4 or 8 bytes cannot be a record

  EmfWriter writer;
  writer.rectangle(100, 100, 400, 300);
  std::vector<uint8_t> data;
  while (extra > 0) {
    size_t size = std::min(extra, kMaxComment);
    if (extra - size != 0 && extra - size < kMinComment) size -= kMinComment;
    data.assign(size - 8, 0);
    const auto cbData = static_cast<uint32_t>(size - kMinComment);
    pokeU32(data, 0, cbData);
    for (size_t i = 4; i < data.size(); ++i) data[i] = static_cast<uint8_t>('a' + i % 26);
    writer.record(EMR_GDICOMMENT, data);
    extra -= size;
  }
  return writer.finish();
}

}  // namespace fbtest
