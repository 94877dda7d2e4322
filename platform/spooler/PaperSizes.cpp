#include "platform/spooler/PaperSizes.h"

#include <cups/cups.h>

namespace platform::spooler {

namespace {

struct Paper {
  int16_t code;
  const char* pwg;
  const char* form;
};

constexpr Paper kPapers[] = {
    {1, "na_letter_8.5x11in", "Letter"},       {3, "na_ledger_11x17in", "Tabloid"},
    {5, "na_legal_8.5x14in", "Legal"},         {7, "na_executive_7.25x10.5in", "Executive"},
    {8, "iso_a3_297x420mm", "A3"},             {9, "iso_a4_210x297mm", "A4"},
    {11, "iso_a5_148x210mm", "A5"},            {12, "jis_b4_257x364mm", "B4 (JIS)"},
    {13, "jis_b5_182x257mm", "B5 (JIS)"},      {20, "na_number-10_4.125x9.5in", "Envelope #10"},
    {27, "iso_dl_110x220mm", "Envelope DL"},   {70, "iso_a6_105x148mm", "A6"},
};

pwg_media_t* lookUp(const std::string& media) {
  if (media.empty()) return nullptr;
  if (pwg_media_t* m = pwgMediaForPWG(media.c_str())) return m;
  if (pwg_media_t* m = pwgMediaForPPD(media.c_str())) return m;
  return pwgMediaForLegacy(media.c_str());
}

}  // namespace

const char* pwgMediaForPaper(int paperSize) {
  for (const Paper& p : kPapers)
    if (p.code == paperSize) return p.pwg;
  return nullptr;
}

std::string canonicalMedia(const std::string& media) {
  pwg_media_t* m = lookUp(media);
  return m != nullptr && m->pwg != nullptr ? m->pwg : "";
}

int16_t paperForMedia(const std::string& media) {
  const std::string pwg = canonicalMedia(media);
  for (const Paper& p : kPapers)
    if (pwg == p.pwg) return p.code;
  return 0;
}

std::string formNameForMedia(const std::string& media) {
  const std::string pwg = canonicalMedia(media);
  for (const Paper& p : kPapers)
    if (pwg == p.pwg) return p.form;
  return pwg;
}

bool mediaSize(const std::string& media, int& width, int& length) {
  pwg_media_t* m = lookUp(media);
  if (m == nullptr || m->width <= 0 || m->length <= 0) return false;
  width = m->width;
  length = m->length;
  return true;
}

}  // namespace platform::spooler
