#include "tools/xqptool/RenderCommands.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/emf/EnhMetaFile.h"
#include "platform/system/CodePage.h"
#include "tools/common/PageRaster.h"
#include "viewxqp/viewxqp.h"

namespace tools {

namespace {

// "WxH" with both sides from 1 to 32767.
bool parseSize(const std::string& text, QSize& size) {
  int width = 0, height = 0;
  char x = 0, extra = 0;
  if (std::sscanf(text.c_str(), "%d%c%d%c", &width, &x, &height, &extra) != 3 || x != 'x') return false;
  if (width < 1 || height < 1 || width > 32767 || height > 32767) return false;
  size = {width, height};
  return true;
}

// Draws one page to a PNG file; false with `error` set on failure.
bool renderOne(const std::string& input, int page, const std::string& output, std::optional<QSize> size, double dpi,
               const RenderOptions& options, std::string& error) {
  HENHMETAFILE metafile = loadPageOrMetafile(input, page, error);
  if (metafile == nullptr) return false;
  QSize pictureSize = size ? *size : frameSizeAt(metafile, dpi);
  if (pictureSize.width() < 1 || pictureSize.height() < 1 || pictureSize.width() > 32767 ||
      pictureSize.height() > 32767) {
    platform::DeleteEnhMetaFile(metafile);
    error = input + ": the picture would be " + std::to_string(pictureSize.width()) + "x" +
            std::to_string(pictureSize.height()) + " pixels";
    return false;
  }
  const QImage picture = renderMetafile(metafile, pictureSize, options);
  platform::DeleteEnhMetaFile(metafile);
  if (!picture.save(QString::fromStdString(output), "PNG")) {
    error = output + ": cannot be written";
    return false;
  }
  return true;
}

int renderBatch(const std::string& listFile) {
  std::ifstream list(listFile);
  if (!list) {
    std::fprintf(stderr, "xqptool: %s cannot be read\n", listFile.c_str());
    return kExitFailure;
  }
  std::string line;
  int failures = 0;
  while (std::getline(list, line)) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    std::string input, pageText, output, widthText, heightText;
    std::getline(fields, input, '\t');
    std::getline(fields, pageText, '\t');
    std::getline(fields, output, '\t');
    std::getline(fields, widthText, '\t');
    std::getline(fields, heightText, '\t');
    QSize size;
    int page = 0;
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    bool ok = std::sscanf(pageText.c_str(), "%d", &page) == 1 && parseSize(widthText + "x" + heightText, size);
    if (!ok) {
      error = "the line needs INPUT, PAGE, OUT, W and H separated by tabs";
    } else {
      ok = renderOne(input, page, output, size, 96, {}, error);
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (ok) {
      std::printf("OK %.2f\n", ms);
    } else {
      ++failures;
      std::printf("FAIL %s\n", error.c_str());
    }
    std::fflush(stdout);
  }
  return failures == 0 ? 0 : kExitFailure;
}

}  // namespace

int render(const Arguments& args, const char* usage) {
  if (args.options.count("--batch")) {
    if (!args.positional.empty() || !onlyOptions(args, {"--batch"})) {
      std::fputs(usage, stderr);
      return kExitUsage;
    }
    return renderBatch(args.options.at("--batch"));
  }
  if (args.positional.size() != 1 || !args.options.count("-o") ||
      !onlyOptions(args, {"--page", "--size", "--dpi", "--no-images", "--smooth", "-o"}) ||
      (args.options.count("--size") && args.options.count("--dpi"))) {
    std::fputs(usage, stderr);
    return kExitUsage;
  }
  const auto page = intOption(args, "--page", 1);
  const auto dpi = intOption(args, "--dpi", 96);
  if (!page || !dpi) return kExitUsage;
  if (*dpi < 1 || *dpi > 2400) {
    std::fprintf(stderr, "xqptool: --dpi wants 1 to 2400\n");
    return kExitUsage;
  }
  std::optional<QSize> size;
  if (args.options.count("--size")) {
    QSize parsed;
    if (!parseSize(args.options.at("--size"), parsed)) {
      std::fprintf(stderr, "xqptool: --size wants WxH, each 1 to 32767\n");
      return kExitUsage;
    }
    size = parsed;
  }
  RenderOptions options;
  options.drawImages = !args.flag("--no-images");
  options.smoothText = args.flag("--smooth");
  std::string error;
  if (!renderOne(args.positional[0], *page, args.options.at("-o"), size, *dpi, options, error)) {
    std::fprintf(stderr, "xqptool: %s\n", error.c_str());
    return kExitFailure;
  }
  return 0;
}

int exportFile(const Arguments& args, const char* usage) {
  if (args.positional.size() != 1 || !args.options.count("-o") || !args.options.count("--format") ||
      !onlyOptions(args, {"--format", "-o"})) {
    std::fputs(usage, stderr);
    return kExitUsage;
  }
  const std::string& format = args.options.at("--format");
  const char* file = args.positional[0].c_str();
  // Names on the command line are UTF-8; the library takes the ANSI code page.
  const std::string out = platform::utf8ToAnsi(args.options.at("-o"));
  int32_t result = 0;
  if (format == "bmp") {
    result = ConvertXQPToBMP(file, out.c_str(), 0);
  } else if (format == "emf") {
    result = ConvertXQPToEMF(file, out.c_str());
  } else if (format == "txt") {
    result = ConvertXQPToTxt(file, out.c_str());
  } else {
    std::fprintf(stderr, "xqptool: --format wants bmp, emf or txt\n");
    return kExitUsage;
  }
  if (result != 1) {
    std::fprintf(stderr, "xqptool: %s could not be converted to %s\n", file, format.c_str());
    return kExitFailure;
  }
  return 0;
}

}  // namespace tools
