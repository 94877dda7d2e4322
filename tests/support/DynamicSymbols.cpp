#include "tests/support/DynamicSymbols.h"

#include <cstdio>

namespace fbtest {

std::set<std::string> dynamicSymbols(const std::string& library) {
  std::set<std::string> symbols;
  const std::string command = "nm -D --defined-only --extern-only '" + library + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return symbols;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    char address[64], type[8], name[400];
    if (std::sscanf(line, "%63s %7s %399s", address, type, name) != 3) continue;
    symbols.insert(name);
  }
  pclose(pipe);
  return symbols;
}

}  // namespace fbtest
