// Writes the seed inputs of the fuzz targets:
//   fuzz_seeds [--max-size BYTES] OUTDIR
// makes OUTDIR/fuzz_pagefile_reader (page files) and
// OUTDIR/fuzz_spool_conversion (spool files), OUTDIR/fuzz_emf_player (metafiles): a few built with the fixture
// writers, plus, when the shared corpus is there, its spool files as they
// are and its metafiles wrapped into one-page files. Seeds over the fuzzers'
// input limit are left out, since libFuzzer would cut them short and lose
// the trailer. The corpus is only read.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/EmfWriter.h"
#include "tests/support/PageFileBytes.h"
#include "tests/support/SpoolWriter.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class SeedFolder {
 public:
  SeedFolder(fs::path dir, size_t maxSize) : dir_(std::move(dir)), maxSize_(maxSize) { fs::create_directories(dir_); }

  void add(const std::string& name, const std::vector<uint8_t>& bytes) {
    if (bytes.size() > maxSize_) {
      ++skipped_;
      return;
    }
    fbtest::writeFile((dir_ / name).string(), bytes);
    ++written_;
  }

  void report(const char* what) const {
    std::printf("%s: %zu seeds in %s", what, written_, dir_.c_str());
    if (skipped_ > 0) std::printf(" (%zu over %zu bytes left out)", skipped_, maxSize_);
    std::printf("\n");
  }

 private:
  fs::path dir_;
  size_t maxSize_;
  size_t written_ = 0;
  size_t skipped_ = 0;
};

std::vector<uint8_t> drawing() {
  fbtest::EmfWriter w;
  w.setMapMode(1).moveTo(10, 10).lineTo(500, 700).rectangle(50, 50, 300, 200).ellipse(60, 60, 290, 190);
  w.textOut(100, 400, u"Page 1 of 3");
  return w.finish();
}

void pageFileSeeds(SeedFolder& seeds) {
  const auto small = fbtest::makeEmf();
  const auto page = drawing();

  seeds.add("fixture-empty.qzm", fbtest::pageFileBytes({{}, "Nothing printed", 9, 1}));
  seeds.add("fixture-one-page.qzm", fbtest::pageFileBytes({{page}, "Letter.docx", 9, 1}));
  seeds.add("fixture-three-pages.qzm",
            fbtest::pageFileBytes({{small, page, fbtest::makeEmf(4096)}, "Report - Q3.xlsx", 8, 2}));
  seeds.add("fixture-long-name.qzm", fbtest::pageFileBytes({{page, small}, std::string(259, 'N'), 1, 2}));

  // A first page whose index entry points past the end of the file.
  auto lying = fbtest::pageFileBytes({{page, small}, "Broken index", 9, 1});
  const size_t firstEntry = lying.size() - 268 - 2 * 12;
  fbtest::putU32(lying, firstEntry + 4, static_cast<uint32_t>(lying.size()));
  seeds.add("fixture-bad-entry.qzm", lying);

  for (const char* sub : {"emf", "emf-corrupted"}) {
    for (const fs::path& file : fbtest::corpusFiles(sub)) {
      const auto emf = fbtest::readFile(file.string());
      seeds.add("corpus-" + std::string(sub) + "-" + file.stem().string() + ".qzm",
                fbtest::pageFileBytes({{emf}, file.filename().string(), 9, 1}));
    }
  }
}

void spoolSeeds(SeedFolder& seeds) {
  const auto page = drawing();
  const std::vector<uint8_t> devMode(220, 0);

  seeds.add("fixture-header-only.spl", fbtest::SpoolWriter(u"Empty").bytes());
  {
    fbtest::SpoolWriter w(u"Letter.docx");
    w.record(fbtest::kSpoolDevMode, devMode).page(page).pageExt().page(fbtest::makeEmf(2048)).pageExt();
    seeds.add("fixture-two-pages.spl", w.bytes());
  }
  {
    // Pages of 100 bytes or less are dropped; fonts and a black-and-white page ride along.
    fbtest::SpoolWriter w(u"Mixed");
    const std::vector<uint8_t> tiny(100, 0x11), font(64, 0x22);
    w.record(fbtest::kSpoolEngineFontData, font).page(tiny).pageExt().page(page).pageExt();
    w.record(fbtest::kSpoolBwMetafileData, page).page(fbtest::makeEmf(164)).pageExt();
    seeds.add("fixture-mixed-records.spl", w.bytes());
  }
  {
    // The last page record says more than the file holds.
    fbtest::SpoolWriter w(u"Cut short");
    w.page(page).pageExt().rawRecord(fbtest::kSpoolMetafileData, 4096, page);
    seeds.add("fixture-truncated.spl", w.bytes());
  }

  for (const fs::path& file : fbtest::corpusFiles("spool"))
    seeds.add("corpus-" + file.filename().string(), fbtest::readFile(file.string()));
}

// Bare metafiles for the player: a drawing of our own and every corpus
// metafile, damaged ones included.
void metafileSeeds(SeedFolder& seeds) {
  seeds.add("fixture-drawing.emf", drawing());
  seeds.add("fixture-small.emf", fbtest::makeEmf());
  for (const char* sub : {"emf", "emf-corrupted"})
    for (const fs::path& file : fbtest::corpusFiles(sub))
      seeds.add(std::string("corpus-") + sub + "-" + file.filename().string(), fbtest::readFile(file.string()));
}

}  // namespace

int main(int argc, char** argv) {
  size_t maxSize = 256 * 1024;
  int arg = 1;
  if (arg + 1 < argc && std::string(argv[arg]) == "--max-size") {
    maxSize = std::strtoull(argv[arg + 1], nullptr, 10);
    arg += 2;
  }
  if (arg + 1 != argc || maxSize == 0) {
    std::fprintf(stderr, "usage: %s [--max-size BYTES] OUTDIR\n", argv[0]);
    return 2;
  }
  try {
    const fs::path out = argv[arg];
    if (fbtest::corpusDir().empty()) std::printf("no shared corpus found; fixture seeds only\n");
    SeedFolder pageFiles(out / "fuzz_pagefile_reader", maxSize);
    pageFileSeeds(pageFiles);
    pageFiles.report("fuzz_pagefile_reader");
    SeedFolder spools(out / "fuzz_spool_conversion", maxSize);
    spoolSeeds(spools);
    spools.report("fuzz_spool_conversion");
    SeedFolder metafiles(out / "fuzz_emf_player", maxSize);
    metafileSeeds(metafiles);
    metafiles.report("fuzz_emf_player");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fuzz_seeds: %s\n", e.what());
    return 1;
  }
  return 0;
}
