#include "tests/support/PageFileBytes.h"

#include <stdexcept>

namespace fbtest {

namespace {

constexpr size_t kNameField = 260;
constexpr size_t kTrailerSize = 268;

void appendU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> pageFileBytes(const PageFileLayout& layout) {
  if (layout.docName.size() >= kNameField) throw std::invalid_argument("pageFileBytes: document name over 259 bytes");
  std::vector<uint8_t> out{'x', 'q', 'p', 0};
  appendU32(out, static_cast<uint32_t>(layout.pages.size()));
  std::vector<uint8_t> index;
  uint32_t number = 0;
  for (const auto& page : layout.pages) {
    appendU32(index, ++number);
    appendU32(index, static_cast<uint32_t>(out.size()));
    appendU32(index, static_cast<uint32_t>(page.size()));
    out.insert(out.end(), page.begin(), page.end());
  }
  out.insert(out.end(), index.begin(), index.end());
  const size_t trailer = out.size();
  out.resize(trailer + kTrailerSize, 0);
  std::copy(layout.docName.begin(), layout.docName.end(), out.begin() + static_cast<std::ptrdiff_t>(trailer));
  putU32(out, trailer + kNameField, static_cast<uint32_t>(layout.paperSize));
  putU32(out, trailer + kNameField + 4, static_cast<uint32_t>(layout.orientation));
  return out;
}

void putU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
  if (offset > bytes.size() || bytes.size() - offset < 4) throw std::out_of_range("putU32 beyond the bytes");
  for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t getU32(const std::vector<uint8_t>& bytes, size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < 4) throw std::out_of_range("getU32 beyond the bytes");
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
  return v;
}

}  // namespace fbtest
