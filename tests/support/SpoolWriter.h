#pragma once
// Writes EMF spool files as the Windows spooler records them: a header record
// of version 0x10000 with the document name, then data records of an 8-byte
// header (type, size of the data that follows) and their data.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace fbtest {

inline constexpr uint32_t kSpoolMetafileData = 12;  // EMRI_METAFILE_DATA: one page's EMF
inline constexpr uint32_t kSpoolEngineFontData = 2;
inline constexpr uint32_t kSpoolDevMode = 3;
inline constexpr uint32_t kSpoolMetafileExt = 13;  // offset of the page before it
inline constexpr uint32_t kSpoolBwMetafileData = 14;

class SpoolWriter {
 public:
  explicit SpoolWriter(const std::u16string& docName = u"Document", const std::u16string& portName = u"Kavero Port");

  // A page: a type 12 record carrying `emf`.
  SpoolWriter& page(std::span<const uint8_t> emf);
  // The type 13 record the spooler writes after each page: 8 bytes giving
  // the distance from this record back to the last page() record.
  SpoolWriter& pageExt();
  // Any record with this payload, its size field the payload's size; the
  // payload is not padded.
  SpoolWriter& record(uint32_t type, std::span<const uint8_t> payload = {});
  // A record header whose size field says `declaredSize`, followed by only
  // the `payload` actually given (for truncated and lying records).
  SpoolWriter& rawRecord(uint32_t type, uint32_t declaredSize, std::span<const uint8_t> payload = {});

  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t lastPage_ = 0;
};

}  // namespace fbtest
