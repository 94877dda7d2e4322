#pragma once
// The conversion of an EMF spool file into a page file: one forward pass
// over the spool file's records, keeping the EMF of every page record.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace viewxqp {

// The page file that the conversion of `spoolFileName` writes: the same
// folder and base name with the extension ".qzm" (replaced, or added when
// the name has none).
std::string pageFilePathFor(const std::string& spoolFileName);

// Points where tests make the conversion fail as a full memory or a full
// disk would; both default to "never fails".
struct ConversionFaults {
  // Asked before the n-th kept page (from 0) is recorded in the index list;
  // false makes the append fail as on exhausted memory.
  std::function<bool(size_t pageIndex)> listAppendSucceeds;
};

// Returns 1 when the page file has been written completely, 0 otherwise.
// Failures show a message box only where the page file library always has
// ("OPENFILE-ERROR", "List Add Error", "Get List Error").
int32_t buildXQPFile(const char* spoolFileName, const char* docName, int32_t orientation, int32_t paperSize,
                     const ConversionFaults& faults = {});

}  // namespace viewxqp
