// xqptool: the page file library from the command line.
//
//   xqptool build SPOOLFILE [--doc NAME] [--orientation N] [--paper N]
//   xqptool info FILE
//   xqptool extract FILE --page N -o OUT.emf
//   xqptool render INPUT [--page N] [--size WxH | --dpi D] [--no-images] [--smooth] -o OUT.png
//   xqptool render --batch LISTFILE      (lines: INPUT TAB PAGE TAB OUT.png TAB W TAB H)
//   xqptool export FILE --format bmp|emf|txt -o OUT
//   xqptool printers                      (name, driver, port per line)
//   xqptool reprint PRINTER FILE
//   xqptool setup [--install-folder DIR] | add-printer NAME | delete-printers
//
// Errors go to standard error, with a non-zero exit status.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/emf/EnhMetaFile.h"
#include "platform/system/CodePage.h"
#include "platform/system/File.h"
#include "platform/system/LastError.h"
#include "platform/system/SystemMessage.h"
#include "viewxqp/PageFileReader.h"
#include "viewxqp/SpoolConversion.h"
#include "viewxqp/viewxqp.h"
#include "tools/xqptool/Arguments.h"
#include "tools/xqptool/RenderCommands.h"
#include "tools/xqptool/PrinterCommands.h"
#include "tools/xqptool/InstallCommands.h"

namespace {

using namespace tools;

const char* const kUsage =
    "usage:\n"
    "  xqptool build SPOOLFILE [--doc NAME] [--orientation N] [--paper N]\n"
    "  xqptool info FILE\n"
    "  xqptool extract FILE --page N -o OUT.emf\n"
    "  xqptool render INPUT [--page N] [--size WxH | --dpi D] [--no-images] [--smooth] -o OUT.png\n"
    "  xqptool render --batch LISTFILE\n"
    "  xqptool export FILE --format bmp|emf|txt -o OUT\n"
    "  xqptool printers\n"
    "  xqptool reprint PRINTER FILE\n";

int build(const Arguments& args) {
  if (args.positional.size() != 1 || !onlyOptions(args, {"--doc", "--orientation", "--paper"})) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const auto orientation = intOption(args, "--orientation", 1);
  const auto paper = intOption(args, "--paper", 9);
  if (!orientation || !paper) return kExitUsage;
  const std::string& spool = args.positional[0];
  const auto doc = args.options.find("--doc");
  // Names on the command line are UTF-8; the library takes the ANSI code page.
  const std::string docName = platform::utf8ToAnsi(doc != args.options.end() ? doc->second : spool);
  if (BuildXQPFile(spool.c_str(), docName.c_str(), *orientation, *paper) != 1) {
    std::fprintf(stderr, "xqptool: %s could not be converted\n", spool.c_str());
    return kExitFailure;
  }
  std::printf("%s\n", viewxqp::pageFilePathFor(spool).c_str());
  return 0;
}

int info(const Arguments& args) {
  if (args.positional.size() != 1 || !onlyOptions(args, {})) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const char* file = args.positional[0].c_str();
  const int32_t pages = GetXQPFilePageNo(file);
  const auto trailer = viewxqp::ReadTrailer(file);
  if (pages == 0 && !trailer) {
    std::fprintf(stderr, "xqptool: %s: %s\n", file, lastErrorText().c_str());
    return kExitFailure;
  }
  const std::vector<viewxqp::PageLocation> index = viewxqp::ReadIndex(file);
  std::printf("pages: %d\n", pages);
  if (trailer) {
    std::printf("document: %s\n", platform::ansiToUtf8(trailer->docNameText()).c_str());
    std::printf("paper size: %d\n", trailer->paperSize);
    std::printf("orientation: %d\n", trailer->orientation);
  }
  for (size_t i = 0; i < index.size(); ++i)
    std::printf("page %zu: offset %u size %u\n", i + 1, index[i].offset, index[i].size);
  if (pages > 0 && index.empty()) {
    std::fprintf(stderr, "xqptool: %s: the page index is damaged\n", file);
    return kExitFailure;
  }
  return 0;
}

int extract(const Arguments& args) {
  if (args.positional.size() != 1 || !args.options.count("-o") || !onlyOptions(args, {"--page", "-o"})) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const auto page = intOption(args, "--page", 1);
  if (!page) return kExitUsage;
  const char* file = args.positional[0].c_str();
  HENHMETAFILE emf = GetXQPEMFHandle(file, *page);
  if (emf == nullptr) {
    std::fprintf(stderr, "xqptool: %s: page %d cannot be loaded: %s\n", file, *page, lastErrorText().c_str());
    return kExitFailure;
  }
  std::vector<uint8_t> bytes(platform::GetEnhMetaFileBits(emf, 0, nullptr));
  platform::GetEnhMetaFileBits(emf, static_cast<uint32_t>(bytes.size()), bytes.data());
  platform::DeleteEnhMetaFile(emf);
  const std::string& outPath = args.options.at("-o");
  platform::File out = platform::File::open(outPath, platform::FileMode::CreateAlways);
  if (!out || !out.write(bytes.data(), bytes.size()) || !out.close()) {
    std::fprintf(stderr, "xqptool: %s: %s\n", outPath.c_str(), lastErrorText().c_str());
    return kExitFailure;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  if (const int rc = tools::runInstallCommand(argc, argv); rc != -1) return rc;
  const std::string command = argv[1];
  const auto args = parseArguments(argc, argv, 2);
  if (!args) return kExitUsage;
  if (command == "build") return build(*args);
  if (command == "info") return info(*args);
  if (command == "extract") return extract(*args);
  if (command == "render") return tools::render(*args, kUsage);
  if (command == "export") return tools::exportFile(*args, kUsage);
  if (command == "printers") return tools::listPrinters(*args, kUsage);
  if (command == "reprint") return tools::reprint(*args, kUsage);
  if (command == "--help" || command == "help") {
    std::fputs(kUsage, stdout);
    std::fputs(tools::kInstallUsage, stdout);
    return 0;
  }
  std::fprintf(stderr, "xqptool: unknown command \"%s\"\n%s", command.c_str(), kUsage);
  return kExitUsage;
}
