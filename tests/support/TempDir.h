#pragma once
// A fresh folder per test, removed with everything in it afterwards, and
// whole-file helpers.

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace fbtest {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path of `name` inside the folder, as a string.
  std::string file(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFile(const std::string& path);
bool fileExists(const std::string& path);
// The names of the entries of a folder, so that left-over files show; empty
// when it cannot be read.
std::set<std::string> namesIn(const std::string& folder);

// The corpus of real-world files beside the checkout, or an empty path when
// it is absent (FB_CORPUS_DIR in the environment overrides the built-in one).
std::filesystem::path corpusDir();
// Sorted list of the regular files in corpusDir()/sub.
std::vector<std::filesystem::path> corpusFiles(const std::string& sub);

}  // namespace fbtest
