#pragma once
// Windows paper codes (dmPaperSize) and the PWG media names CUPS uses.

#include <cstdint>
#include <string>

namespace platform::spooler {

// The PWG self-describing name of a paper code, or null for a code with
// no fixed size here. DMPAPER_B5 is the JIS size, as Windows defines it.
const char* pwgMediaForPaper(int paperSize);

// The paper code of a media name (PWG, PPD or legacy IPP), 0 when it has
// none (a custom size).
int16_t paperForMedia(const std::string& media);

// The PWG name of any media name CUPS knows, or empty.
std::string canonicalMedia(const std::string& media);

// The form name Windows shows for a paper ("A4", "Letter"), or the PWG
// name for sizes without a code.
std::string formNameForMedia(const std::string& media);

// The nominal size in hundredths of millimetres; false for an unknown name.
// Nominal, not the PPD's whole points: A4 is 21000 x 29700.
bool mediaSize(const std::string& media, int& width, int& length);

}  // namespace platform::spooler
