// How close our drawing of the corpus is to the reference pictures, and how
// fast it is drawn:
//   bench_fidelity [--corpus DIR] [--out DIR] [--repeat N]
// For every corpus metafile with a reference picture: SSIM against it at
// its size, the non-white shares of both, and the median drawing time.
// Then the cost of an 8-per-sheet preview repaint (eight pages stretched
// into the cells of a 600 x 425 picture) and of one dense page at 600 dpi.

#include <QDir>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/emf/EnhMetaFile.h"
#include "platform/gdi/DcApi.h"
#include "platform/gdi/GuiApplication.h"
#include "platform/gdi/Surfaces.h"
#include "tools/common/PageRaster.h"
#include "tools/common/Ssim.h"
#include "viewxqp/PagePlayer.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Result {
  std::string name;
  double ssim = 0, oursInk = 0, referenceInk = 0, ms = 0;
};

}  // namespace

int main(int argc, char** argv) {
  std::string corpus = FB_CORPUS_DIR;
  std::string outDir;
  int repeat = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--corpus")) corpus = argv[i + 1];
    if (!std::strcmp(argv[i], "--out")) outDir = argv[i + 1];
    if (!std::strcmp(argv[i], "--repeat")) repeat = std::max(1, std::atoi(argv[i + 1]));
  }
  platform::gdi::ensureGuiApplication();
  const QDir emfDir(QString::fromStdString(corpus + "/emf"));
  const QDir referenceDir(QString::fromStdString(corpus + "/reference/emf"));
  const QStringList files = emfDir.entryList({"*.emf"}, QDir::Files, QDir::Name);
  if (files.isEmpty()) {
    std::fprintf(stderr, "bench_fidelity: no metafiles in %s/emf\n", corpus.c_str());
    return 1;
  }

  std::vector<Result> results;
  std::vector<HENHMETAFILE> loaded;
  size_t densest = 0, densestBytes = 0;
  for (const QString& file : files) {
    const QString base = file.left(file.size() - 4);
    const QImage reference(referenceDir.filePath(base + ".png"));
    std::string error;
    HENHMETAFILE metafile = tools::loadPageOrMetafile(emfDir.filePath(file).toStdString(), 1, error);
    if (metafile == nullptr) {
      std::printf("%-16s not loaded: %s\n", qPrintable(file), error.c_str());
      continue;
    }
    const size_t bytes = platform::GetEnhMetaFileBits(metafile, 0, nullptr);
    if (bytes > densestBytes) {
      densestBytes = bytes;
      densest = loaded.size();
    }
    loaded.push_back(metafile);
    if (reference.isNull()) continue;
    Result result;
    result.name = base.toStdString();
    std::vector<double> times;
    QImage ours;
    for (int r = 0; r < repeat; ++r) {
      const auto start = Clock::now();
      ours = tools::renderMetafile(metafile, reference.size(), {});
      times.push_back(msSince(start));
    }
    result.ms = median(times);
    result.ssim = tools::ssim(ours, reference);
    result.oursInk = tools::nonWhiteShare(ours);
    result.referenceInk = tools::nonWhiteShare(reference);
    if (!outDir.empty()) ours.save(QString::fromStdString(outDir + "/" + result.name + ".png"));
    results.push_back(result);
  }

  std::printf("%-16s %8s %8s %8s %9s\n", "file", "ssim", "ink", "ref ink", "ms");
  std::vector<double> scores, times;
  int belowFloor = 0;
  for (const Result& r : results) {
    std::printf("%-16s %8.4f %8.4f %8.4f %9.2f\n", r.name.c_str(), r.ssim, r.oursInk, r.referenceInk, r.ms);
    scores.push_back(r.ssim);
    times.push_back(r.ms);
    if (r.ssim < 0.80 && r.referenceInk > 0.001) ++belowFloor;
  }
  std::vector<Result> worst = results;
  std::sort(worst.begin(), worst.end(), [](const Result& a, const Result& b) { return a.ssim < b.ssim; });
  std::printf("\nfiles compared: %zu\nmedian SSIM: %.4f\nbelow 0.80 with ink in the reference: %d\n",
              results.size(), median(scores), belowFloor);
  std::printf("worst:");
  for (size_t i = 0; i < std::min<size_t>(8, worst.size()); ++i)
    std::printf(" %s (%.3f)", worst[i].name.c_str(), worst[i].ssim);
  std::printf("\nmedian ms per file at the reference size: %.2f\n", median(times));

  // Eight pages stretched into the cells of a 600 x 425 preview sheet.
  if (loaded.size() >= 8) {
    auto image = std::make_shared<QImage>(600, 425, QImage::Format_RGB32);
    platform::gdi::DeviceDescription description;
    description.width = 600;
    description.height = 425;
    description.widthMm = 159;
    description.heightMm = 112;
    std::vector<double> sheetTimes;
    for (int r = 0; r < std::max(5, repeat * 3); ++r) {
      image->fill(Qt::white);
      const auto start = Clock::now();
      HDC hdc = platform::CreateSurfaceDC(platform::gdi::makeRasterSurface(image, description));
      for (int cell = 0; cell < 8; ++cell) {
        const int col = cell % 4, row = cell / 4;
        viewxqp::PagePlayer player;
        player.EnumeratePage(hdc, loaded[size_t(cell) * loaded.size() / 8],
                             {col * 150 + 4, row * 212 + 4, col * 150 + 146, row * 212 + 208}, true);
      }
      platform::DeleteDC(hdc);
      sheetTimes.push_back(msSince(start));
    }
    std::printf("8 pages into a 600 x 425 sheet: %.2f ms (median of %zu)\n", median(sheetTimes), sheetTimes.size());
  }

  // The densest corpus page at 600 dpi on A4.
  if (!loaded.empty()) {
    std::vector<double> bigTimes;
    for (int r = 0; r < repeat; ++r) {
      const auto start = Clock::now();
      const QImage page = tools::renderMetafile(loaded[densest], QSize(4960, 7016), {});
      bigTimes.push_back(msSince(start));
    }
    std::printf("densest page (%zu bytes) at 4960 x 7016: %.1f ms\n", densestBytes, median(bigTimes));
  }
  for (HENHMETAFILE m : loaded) platform::DeleteEnhMetaFile(m);
  return 0;
}
