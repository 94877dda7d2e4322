#include "tests/support/CupsSandbox.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <map>

namespace fbtest {

namespace {

std::map<std::string, std::string>& sandboxValues() {
  static std::map<std::string, std::string> values;
  return values;
}

}  // namespace

bool useCupsSandbox(std::string& why) {
  const char* file = std::getenv("FB_CUPS_ENV");
  if (file == nullptr || *file == '\0') file = FB_CUPS_STATE;
  std::ifstream in(file);
  if (!in) {
    why = std::string("no private cupsd: ") + file + " is missing";
    return false;
  }
  std::map<std::string, std::string> values;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("export ", 0) == 0) line.erase(0, 7);
    const size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  for (const char* needed : {"CUPS_SERVER", "CUPS_SERVERROOT", "CUPS_STATEDIR", "HOME", "FB_CUPS_DIR"}) {
    if (!values.count(needed)) {
      why = std::string(file) + " lacks " + needed;
      return false;
    }
  }
  for (const char* name : {"CUPS_SERVER", "CUPS_SERVERROOT", "CUPS_STATEDIR", "HOME"})
    setenv(name, values[name].c_str(), 1);
  sandboxValues() = values;
  return true;
}

std::string cupsSandboxValue(const std::string& name) {
  const auto& values = sandboxValues();
  const auto it = values.find(name);
  return it == values.end() ? std::string() : it->second;
}

std::string cupsSandboxDir() { return cupsSandboxValue("FB_CUPS_DIR"); }

int runCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string shellQuote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'') quoted += "'\\''";
    else quoted += c;
  }
  return quoted + "'";
}

}  // namespace fbtest
