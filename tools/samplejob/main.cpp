// samplejob OUT.SPL: writes the sample print job, a three-page EMF spool
// file drawn in MM_LOMETRIC on an A4 frame, with a device-mode record before
// the first page and the page-offset record the spooler writes after each.

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/EmfWriter.h"
#include "tests/support/SpoolWriter.h"

namespace {

constexpr int32_t MM_LOMETRIC = 2;

std::vector<uint8_t> samplePage(int number) {
  fbtest::EmfWriter emf;
  emf.setMapMode(MM_LOMETRIC);
  // A frame 1 cm inside the A4 edges (y grows upwards in MM_LOMETRIC).
  emf.rectangle(100, -100, 2000, -2870);
  emf.ellipse(600, -600, 1500, -1500);
  emf.moveTo(100, -1800).lineTo(2000, -1800);
  emf.textOut(200, -200, u"Folisto Brelvane sample page " + std::u16string(1, static_cast<char16_t>(u'0' + number)));
  return emf.finish();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: samplejob OUT.SPL\n", stderr);
    return 2;
  }
  fbtest::SpoolWriter spool(u"Sample document");
  spool.record(fbtest::kSpoolDevMode, std::vector<uint8_t>(220, 0));
  for (int page = 1; page <= 3; ++page) {
    spool.page(samplePage(page));
    spool.record(fbtest::kSpoolMetafileExt, std::vector<uint8_t>(8, 0));
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  const auto& bytes = spool.bytes();
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "samplejob: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
