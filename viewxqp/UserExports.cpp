// The export that names the user at the desktop.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "viewxqp/DesktopUser.h"
#include "viewxqp/ExportGuard.h"
#include "viewxqp/viewxqp.h"

namespace {

// The strings handed out live as long as the library: callers copy them and
// never release them, and a later call must not pull an earlier result away
// from under its reader, so each distinct name is kept once.
const char* keptCopy(const std::string& name) {
  static std::mutex lock;
  static std::vector<std::unique_ptr<std::string>> kept;
  const std::lock_guard<std::mutex> guard(lock);
  for (const auto& s : kept)
    if (*s == name) return s->c_str();
  kept.push_back(std::make_unique<std::string>(name));
  return kept.back()->c_str();
}

}  // namespace

extern "C" const char* GetCurrentUserName() {
  return viewxqp::guarded<const char*>("", [] { return keptCopy(viewxqp::desktopUserName()); });
}
