#include "tools/xqptool/Arguments.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>


namespace tools {

namespace {
// Options that stand alone, without a value.
bool isFlag(const std::string& arg) { return arg == "--no-images" || arg == "--smooth"; }
}  // namespace

std::optional<Arguments> parseArguments(int argc, char** argv, int first) {
  Arguments args;
  for (int i = first; i < argc; ++i) {
    const std::string arg = argv[i];
    if (isFlag(arg)) {
      args.options[arg] = "1";
    } else if (arg.size() > 1 && arg[0] == '-') {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "xqptool: %s needs a value\n", arg.c_str());
        return std::nullopt;
      }
      args.options[arg] = argv[++i];
    } else {
      args.positional.push_back(arg);
    }
  }
  return args;
}

std::optional<int32_t> intOption(const Arguments& args, const std::string& name, int32_t fallback) {
  const auto it = args.options.find(name);
  if (it == args.options.end()) return fallback;
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(it->second.c_str(), &end, 0);
  if (errno != 0 || end == it->second.c_str() || *end != '\0' || value < INT32_MIN || value > INT32_MAX) {
    std::fprintf(stderr, "xqptool: %s wants an integer, not \"%s\"\n", name.c_str(), it->second.c_str());
    return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

bool onlyOptions(const Arguments& args, std::initializer_list<const char*> allowed) {
  for (const auto& [name, value] : args.options) {
    bool known = false;
    for (const char* a : allowed) known = known || name == a;
    if (!known) {
      std::fprintf(stderr, "xqptool: unknown option %s\n", name.c_str());
      return false;
    }
  }
  return true;
}


}  // namespace tools
