#include "tests/support/TempDir.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace fbtest {

TempDir::TempDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = (tmp && *tmp ? fs::path(tmp) : fs::path("/tmp")) / "fbtest-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("TempDir: mkdtemp(" + pattern + "): " + std::strerror(errno));
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (fs::remove_all(path_, ec) != static_cast<std::uintmax_t>(-1) && !ec) return;
  // A test may have taken permissions away (read-only folders): give them
  // back and try once more.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& name) const { return (path_ / name).string(); }

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("writeFile: cannot write " + path);
}

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("readFile: cannot open " + path);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("readFile: cannot read " + path);
  return bytes;
}

bool fileExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

fs::path corpusDir() {
  const char* env = std::getenv("FB_CORPUS_DIR");
  const fs::path dir = env && *env ? fs::path(env) : fs::path(FB_CORPUS_DIR);
  std::error_code ec;
  return fs::is_directory(dir, ec) ? dir : fs::path();
}

std::vector<fs::path> corpusFiles(const std::string& sub) {
  std::vector<fs::path> files;
  const fs::path root = corpusDir();
  if (root.empty()) return files;
  std::error_code ec;
  for (auto it = fs::directory_iterator(root / sub, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file(ec)) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::set<std::string> namesIn(const std::string& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    names.insert(entry.path().filename().string());
  return names;
}

}  // namespace fbtest
