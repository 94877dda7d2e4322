#pragma once
// Page files to other formats: one BMP or EMF file per page, or one text
// file with the text of every page.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace viewxqp {

// outFileName split the system's way: everything before the extension
// (drive, folder and base name) and the extension with its dot.
struct OutputName {
  std::string stem;
  std::string extension;
};
OutputName splitOutputName(const std::string& outFileName);
// stem + "_" + n + extension
std::string pageOutputName(const OutputName& name, int32_t page, const std::string& extension);

int32_t convertXQPToBMP(const char* fileName, const char* outFileName);
int32_t convertXQPToEMF(const char* fileName, const char* outFileName);
int32_t convertXQPToTxt(const char* fileName, const char* outFileName);

// The text of one page's metafile bytes, in the active code page, as the
// text conversion writes it. Stops at a record it cannot walk past.
std::string extractPageText(std::span<const uint8_t> emf);

// The longest output name the bitmap conversion takes.
inline constexpr size_t kMaxBitmapOutputName = 255;

}  // namespace viewxqp
