#include "tests/support/SpoolWriter.h"

namespace fbtest {

namespace {

void putU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void pokeU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Appends `text` as UTF-16LE with its terminating zero.
void putWide(std::vector<uint8_t>& out, const std::u16string& text) {
  for (const char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  out.push_back(0);
  out.push_back(0);
}

}  // namespace

SpoolWriter::SpoolWriter(const std::u16string& docName, const std::u16string& portName) {
  putU32(bytes_, 0x10000);  // dwVersion
  putU32(bytes_, 0);        // cjSize, known once the strings are in
  putU32(bytes_, 0);        // dpszDocName
  putU32(bytes_, 0);        // dpszOutput
  // An empty name is left out (offset 0), as the spooler does without one.
  if (!docName.empty()) {
    pokeU32(bytes_, 8, static_cast<uint32_t>(bytes_.size()));
    putWide(bytes_, docName);
  }
  if (!portName.empty()) {
    pokeU32(bytes_, 12, static_cast<uint32_t>(bytes_.size()));
    putWide(bytes_, portName);
  }
  bytes_.resize((bytes_.size() + 3) & ~size_t{3}, 0);
  pokeU32(bytes_, 4, static_cast<uint32_t>(bytes_.size()));
}

SpoolWriter& SpoolWriter::page(std::span<const uint8_t> emf) {
  lastPage_ = bytes_.size();
  return record(kSpoolMetafileData, emf);
}

SpoolWriter& SpoolWriter::pageExt() {
  const uint64_t back = bytes_.size() - lastPage_;
  std::vector<uint8_t> offset;
  putU32(offset, static_cast<uint32_t>(back));
  putU32(offset, static_cast<uint32_t>(back >> 32));
  return record(kSpoolMetafileExt, offset);
}

SpoolWriter& SpoolWriter::record(uint32_t type, std::span<const uint8_t> payload) {
  return rawRecord(type, static_cast<uint32_t>(payload.size()), payload);
}

SpoolWriter& SpoolWriter::rawRecord(uint32_t type, uint32_t declaredSize, std::span<const uint8_t> payload) {
  putU32(bytes_, type);
  putU32(bytes_, declaredSize);
  bytes_.insert(bytes_.end(), payload.begin(), payload.end());
  return *this;
}

}  // namespace fbtest
