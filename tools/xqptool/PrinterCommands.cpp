#include "tools/xqptool/PrinterCommands.h"

#include <cstdio>
#include <vector>

#include "platform/spooler/SpoolerApi.h"
#include "platform/system/CodePage.h"
#include "viewxqp/viewxqp.h"

namespace tools {

namespace {
const char* orEmpty(const char* text) { return text ? text : ""; }
}  // namespace

int listPrinters(const Arguments& args, const char* usage) {
  if (!args.positional.empty() || !onlyOptions(args, {})) {
    std::fputs(usage, stderr);
    return kExitUsage;
  }
  uint32_t needed = 0, returned = 0;
  const uint32_t flags = platform::PRINTER_ENUM_LOCAL | platform::PRINTER_ENUM_CONNECTIONS;
  platform::EnumPrintersA(flags, nullptr, 2, nullptr, 0, &needed, &returned);
  std::vector<uint8_t> buffer(needed);
  if (needed != 0 &&
      !platform::EnumPrintersA(flags, nullptr, 2, buffer.data(), needed, &needed, &returned)) {
    std::fprintf(stderr, "xqptool: the printers cannot be listed: %s\n", lastErrorText().c_str());
    return kExitFailure;
  }
  const auto* printers = reinterpret_cast<const platform::PRINTER_INFO_2A*>(buffer.data());
  for (uint32_t i = 0; i < returned && needed != 0; ++i) {
    std::printf("%s\t%s\t%s\n", platform::ansiToUtf8(orEmpty(printers[i].pPrinterName)).c_str(),
                platform::ansiToUtf8(orEmpty(printers[i].pDriverName)).c_str(),
                platform::ansiToUtf8(orEmpty(printers[i].pPortName)).c_str());
  }
  return 0;
}

int reprint(const Arguments& args, const char* usage) {
  if (args.positional.size() != 2 || !onlyOptions(args, {})) {
    std::fputs(usage, stderr);
    return kExitUsage;
  }
  const std::string printer = platform::utf8ToAnsi(args.positional[0]);
  if (RePrintEMF(printer.c_str(), args.positional[1].c_str()) != 1) {
    std::fprintf(stderr, "xqptool: %s could not be printed on %s\n", args.positional[1].c_str(),
                 args.positional[0].c_str());
    return kExitFailure;
  }
  return 0;
}

}  // namespace tools
