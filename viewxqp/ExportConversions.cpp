#include "viewxqp/ExportConversions.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/emf/EnhMetaFile.h"
#include "platform/emf/PlayerApi.h"
#include "platform/gdi/Gdi.h"
#include "platform/system/CodePage.h"
#include "platform/system/File.h"
#include "viewxqp/ErrorBox.h"
#include "viewxqp/PageFileReader.h"

namespace viewxqp {

namespace {

constexpr const char* kBadPage = "错误的EMF信息";
constexpr const char* kConversionFailed = "转换失败";

uint32_t readU32(std::span<const uint8_t> bytes, size_t offset) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + offset, 4);
  return value;
}

// Screen-dependent size of a page in pixels: the frame at the screen's
// pixels per millimetre, each edge truncated toward zero.
struct PixelSize {
  int32_t width = 0, height = 0;
};
PixelSize screenPixelSize(const platform::ENHMETAHEADER& header, HDC screen) {
  const double horzRes = platform::GetDeviceCaps(screen, platform::HORZRES);
  const double vertRes = platform::GetDeviceCaps(screen, platform::VERTRES);
  const double horzSize = platform::GetDeviceCaps(screen, platform::HORZSIZE) * 100.0;
  const double vertSize = platform::GetDeviceCaps(screen, platform::VERTSIZE) * 100.0;
  auto edge = [](double frame, double res, double size) {
    const double value = size == 0 ? 0 : std::trunc(frame * res / size);
    return value > 1e9 ? 1e9 : value < -1e9 ? -1e9 : value;
  };
  const double left = edge(header.rclFrame.left, horzRes, horzSize);
  const double right = edge(header.rclFrame.right, horzRes, horzSize);
  const double top = edge(header.rclFrame.top, vertRes, vertSize);
  const double bottom = edge(header.rclFrame.bottom, vertRes, vertSize);
  return {static_cast<int32_t>(std::fabs(left - right)), static_cast<int32_t>(std::fabs(top - bottom))};
}

// The page drawn on a white screen-compatible bitmap and read back as a
// packed DIB (header, colour table, pixels); empty when it cannot be read.
std::vector<uint8_t> pageAsDib(HDC screen, HENHMETAFILE page, PixelSize size) {
  std::vector<uint8_t> dib;
  HDC memory = platform::CreateCompatibleDC(screen);
  if (memory == nullptr) return dib;
  HBITMAP bitmap = platform::CreateCompatibleBitmap(screen, size.width, size.height);
  HGDIOBJ oldBitmap = bitmap ? platform::SelectObject(memory, bitmap) : nullptr;
  if (bitmap != nullptr) {
    platform::PatBlt(memory, 0, 0, size.width, size.height, platform::WHITENESS);
    const platform::RECT rect{0, 0, size.width, size.height};
    platform::PlayEnhMetaFile(memory, page, &rect);
  }

  HPALETTE palette = nullptr;
  if (platform::GetDeviceCaps(screen, platform::RASTERCAPS) & platform::RC_PALETTE) {
    // The first 255 of the system palette's entries, as the format has it.
    constexpr uint32_t kEntries = 255;
    std::vector<uint8_t> storage(sizeof(platform::LOGPALETTE) + kEntries * sizeof(platform::PALETTEENTRY));
    auto* logPalette = reinterpret_cast<platform::LOGPALETTE*>(storage.data());
    logPalette->palVersion = 0x300;
    logPalette->palNumEntries = kEntries;
    platform::GetSystemPaletteEntries(screen, 0, kEntries, logPalette->palPalEntry);
    palette = platform::CreatePalette(logPalette);
  }
  HPALETTE oldPalette = nullptr;
  if (palette != nullptr) {
    oldPalette = platform::SelectPalette(memory, palette, false);
    platform::RealizePalette(memory);
  }

  const int bitsPerPixel =
      platform::GetDeviceCaps(screen, platform::PLANES) * platform::GetDeviceCaps(screen, platform::BITSPIXEL);
  const uint32_t entries = bitsPerPixel <= 8 ? (1u << bitsPerPixel) : 0;
  platform::BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = size.width;
  header.biHeight = size.height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<uint16_t>(bitsPerPixel);
  header.biCompression = platform::BI_RGB;
  // Room for the header and a full colour table, whatever the depth.
  std::vector<uint8_t> info(sizeof header + 256 * sizeof(platform::RGBQUAD));
  std::memcpy(info.data(), &header, sizeof header);
  auto* bitmapInfo = reinterpret_cast<platform::BITMAPINFO*>(info.data());
  if (bitmap != nullptr &&
      platform::GetDIBits(memory, bitmap, 0, uint32_t(size.height), nullptr, bitmapInfo, platform::DIB_RGB_COLORS)) {
    platform::BITMAPINFOHEADER& filled = bitmapInfo->bmiHeader;
    filled.biCompression = platform::BI_RGB;
    filled.biXPelsPerMeter = filled.biYPelsPerMeter = 0;
    filled.biClrUsed = filled.biClrImportant = 0;
    if (filled.biSizeImage == 0) {
      filled.biSizeImage = uint32_t(((int64_t(size.width) * bitsPerPixel + 31) / 32) * 4 * size.height);
    }
    const size_t headerBytes = sizeof header + entries * sizeof(platform::RGBQUAD);
    dib.assign(headerBytes + filled.biSizeImage, 0);
    if (platform::GetDIBits(memory, bitmap, 0, uint32_t(size.height), dib.data() + headerBytes, bitmapInfo,
                            platform::DIB_RGB_COLORS) != 0) {
      std::memcpy(dib.data(), info.data(), headerBytes);
    } else {
      dib.clear();
    }
  }

  if (oldPalette != nullptr) platform::SelectPalette(memory, oldPalette, false);
  if (palette != nullptr) platform::DeleteObject(palette);
  if (oldBitmap != nullptr) platform::SelectObject(memory, oldBitmap);
  if (bitmap != nullptr) platform::DeleteObject(bitmap);
  platform::DeleteDC(memory);
  return dib;
}

// A missing or unwritable file is left out; the conversion goes on.
void writeBitmapFile(const std::string& path, const std::vector<uint8_t>& dib) {
  platform::BITMAPINFOHEADER header;
  std::memcpy(&header, dib.data(), sizeof header);
  const uint32_t entries = header.biBitCount <= 8 ? (1u << header.biBitCount) : 0;
  platform::BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfSize = uint32_t(sizeof file + dib.size());
  file.bfOffBits = uint32_t(sizeof file + sizeof header + entries * sizeof(platform::RGBQUAD));
  auto out = platform::File::open(path, platform::FileMode::CreateAlways);
  if (!out) return;
  if (out.write(&file, sizeof file)) out.write(dib.data(), dib.size());
  out.close();
}

// The text of one text record, taken from the count at byte 44 and the
// offset at byte 48 of a wide-text record (`entry` is where that count
// lies), trimmed by the count's rule.
void appendRecordText(std::span<const uint8_t> record, size_t countAt, bool wide, std::string& text) {
  if (countAt + 8 > record.size()) return;
  const uint32_t count = readU32(record, countAt);
  const uint32_t offset = readU32(record, countAt + 4);
  if (count == 0 || offset >= record.size()) return;
  std::string converted;
  if (wide) {
    std::u16string units;
    for (size_t at = offset; at + 2 <= record.size(); at += 2) {
      char16_t unit;
      std::memcpy(&unit, record.data() + at, 2);
      if (unit == 0) break;
      units.push_back(unit);
    }
    if (units.empty() || units[0] < 0x20) return;
    converted = platform::wideToAnsi(units);
  } else {
    // The 8-bit records hold their text in the recording system's code
    // page already.
    for (size_t at = offset; at < record.size() && record[at] != 0; ++at) converted.push_back(char(record[at]));
    if (converted.empty() || uint8_t(converted[0]) < 0x20) return;
  }
  size_t length = converted.size();
  if (length > 2 * size_t(count) && length % count != 0) length = length / count * count;
  text.append(converted, 0, length);
}

}  // namespace

OutputName splitOutputName(const std::string& outFileName) {
  const size_t slash = outFileName.find_last_of("/\\");
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = outFileName.find_last_of('.');
  if (dot == std::string::npos || dot < nameStart) return {outFileName, ""};
  return {outFileName.substr(0, dot), outFileName.substr(dot)};
}

std::string pageOutputName(const OutputName& name, int32_t page, const std::string& extension) {
  return name.stem + "_" + std::to_string(page) + extension;
}

std::string extractPageText(std::span<const uint8_t> emf) {
  std::string text;
  size_t offset = 0;
  while (offset + 8 <= emf.size()) {
    const uint32_t type = readU32(emf, offset);
    const uint32_t size = readU32(emf, offset + 4);
    if (type < 1 || type > 104) break;
    // A size that cannot move the walk forward, or runs past the page,
    // ends it: the page's text is what came before.
    if (size < 8 || size > emf.size() - offset) break;
    const auto record = emf.subspan(offset, size);
    switch (type) {
      case 84:  // EMR_EXTTEXTOUTW
        appendRecordText(record, 44, true, text);
        break;
      case 83:  // EMR_EXTTEXTOUTA
        appendRecordText(record, 44, false, text);
        break;
      case 96:    // EMR_POLYTEXTOUTA
      case 97: {  // EMR_POLYTEXTOUTW: a count of strings, then 40-byte entries
        if (record.size() < 40) break;
        const uint32_t strings = readU32(record, 36);
        for (uint64_t i = 0; i < strings && 40 + (i + 1) * 40 <= record.size(); ++i) {
          appendRecordText(record, size_t(40 + i * 40 + 8), type == 97, text);
        }
        break;
      }
      default:
        break;
    }
    if (type == 14) break;  // EMR_EOF
    offset += size;
  }
  return text;
}

int32_t convertXQPToBMP(const char* fileName, const char* outFileName) {
  const std::string out = outFileName ? outFileName : "";
  // The name would not fit the conversion's buffer: refuse it rather than
  // write a cut name, which would be another file.
  if (out.size() > kMaxBitmapOutputName) {
    ShowNotice(kConversionFailed);
    return 0;
  }
  HDC screen = platform::GetDC(nullptr);
  const int32_t pages = CountPages(fileName);
  const OutputName name = splitOutputName(out);
  int32_t result = 1;
  for (int32_t n = 1; n <= pages; ++n) {
    HENHMETAFILE page = LoadPage(fileName, n);
    if (page == nullptr) {
      ShowNotice(kBadPage);
      ShowNotice(kConversionFailed);
      result = 0;
      break;
    }
    platform::ENHMETAHEADER header{};
    if (platform::GetEnhMetaFileHeader(page, 100, &header) == 0) {
      platform::DeleteEnhMetaFile(page);
      ShowNotice(kConversionFailed);
      result = 0;
      break;
    }
    const std::vector<uint8_t> dib = pageAsDib(screen, page, screenPixelSize(header, screen));
    if (dib.empty()) {
      platform::DeleteEnhMetaFile(page);
      ShowNotice(kConversionFailed);
      result = 0;
      break;
    }
    writeBitmapFile(pageOutputName(name, n, name.extension), dib);
    platform::DeleteEnhMetaFile(page);
  }
  platform::ReleaseDC(nullptr, screen);
  return result;
}

int32_t convertXQPToEMF(const char* fileName, const char* outFileName) {
  const OutputName name = splitOutputName(outFileName ? outFileName : "");
  const int32_t pages = CountPages(fileName);
  for (int32_t n = 1; n <= pages; ++n) {
    HENHMETAFILE page = LoadPage(fileName, n);
    if (page == nullptr) {
      ShowNotice(kBadPage);
      continue;
    }
    const std::string path = pageOutputName(name, n, ".emf");
    HENHMETAFILE copy = platform::CopyEnhMetaFileA(page, path.c_str());
    if (copy != nullptr) platform::DeleteEnhMetaFile(copy);
    platform::DeleteEnhMetaFile(page);
  }
  return 1;
}

int32_t convertXQPToTxt(const char* fileName, const char* outFileName) {
  const OutputName name = splitOutputName(outFileName ? outFileName : "");
  auto out = platform::File::open(name.stem + ".txt", platform::FileMode::CreateAlways);
  if (!out) return 0;
  const int32_t pages = CountPages(fileName);
  for (int32_t n = 1; n <= pages; ++n) {
    HENHMETAFILE page = LoadPage(fileName, n);
    if (page == nullptr) {
      out.close();
      return 0;
    }
    const uint32_t size = platform::GetEnhMetaFileBits(page, 0, nullptr);
    std::vector<uint8_t> bytes(size, 0);
    if (size == 0 || platform::GetEnhMetaFileBits(page, size, bytes.data()) != size) {
      platform::DeleteEnhMetaFile(page);
      out.close();
      return 0;
    }
    const std::string text = extractPageText(bytes);
    platform::DeleteEnhMetaFile(page);
    if (!text.empty() && !out.write(text.data(), text.size())) {
      out.close();
      return 0;
    }
  }
  return out.close() ? 1 : 0;
}

}  // namespace viewxqp
