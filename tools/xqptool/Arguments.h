#pragma once
// Command-line arguments of xqptool: positional arguments, "--name value"
// options and a few value-less flags, in any order.

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/common/ErrorText.h"

namespace tools {

inline constexpr int kExitUsage = 2;
inline constexpr int kExitFailure = 1;

struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
  bool flag(const std::string& name) const { return options.count(name) != 0; }
};

std::optional<Arguments> parseArguments(int argc, char** argv, int first);
std::optional<int32_t> intOption(const Arguments& args, const std::string& name, int32_t fallback);
bool onlyOptions(const Arguments& args, std::initializer_list<const char*> allowed);

}  // namespace tools
