#include "platform/system/MachineRoot.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/system/LastError.h"
#include "tests/support/TempDir.h"

namespace {

using namespace platform;

const char* const kVariables[] = {"FOLISTO_ROOT", "XDG_DATA_HOME", "HOME"};

// Tests change the three variables the root comes from; they are put back.
class MachineRootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (size_t i = 0; i < std::size(kVariables); ++i) {
      const char* value = std::getenv(kVariables[i]);
      if (value) saved_[i] = value;
    }
  }
  void TearDown() override {
    for (size_t i = 0; i < std::size(kVariables); ++i) set(kVariables[i], saved_[i]);
  }
  static void set(const char* name, const std::optional<std::string>& value) {
    if (value)
      ::setenv(name, value->c_str(), 1);
    else
      ::unsetenv(name);
  }

  std::optional<std::string> saved_[std::size(kVariables)];
};

std::string passwordHome() {
  const passwd* entry = ::getpwuid(::getuid());
  return entry && entry->pw_dir ? entry->pw_dir : "";
}

TEST_F(MachineRootTest, RootComesFromTheFirstUsableVariable) {
  struct Case {
    const char* what;
    std::optional<std::string> folistoRoot, xdgDataHome, home;
    std::string expected;  // "<passwd>" stands for the password database's home
  };
  const Case cases[] = {
      {"FOLISTO_ROOT wins", "/srv/fb", "/data", "/home/u", "/srv/fb"},
      {"its trailing slashes go", "/srv/fb//", std::nullopt, "/home/u", "/srv/fb"},
      {"an empty FOLISTO_ROOT is unset", "", "/data", "/home/u", "/data/folisto-brelvane"},
      {"XDG_DATA_HOME next", std::nullopt, "/data/", "/home/u", "/data/folisto-brelvane"},
      {"a relative XDG_DATA_HOME is ignored", std::nullopt, "rel/data", "/home/u",
       "/home/u/.local/share/folisto-brelvane"},
      {"an empty XDG_DATA_HOME is unset", std::nullopt, "", "/home/u", "/home/u/.local/share/folisto-brelvane"},
      {"HOME last", std::nullopt, std::nullopt, "/home/u/", "/home/u/.local/share/folisto-brelvane"},
      {"without HOME, the user's home", std::nullopt, std::nullopt, std::nullopt, "<passwd>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    set("FOLISTO_ROOT", c.folistoRoot);
    set("XDG_DATA_HOME", c.xdgDataHome);
    set("HOME", c.home);
    std::string expected = c.expected;
    if (expected == "<passwd>") {
      if (passwordHome().empty()) continue;
      expected = (passwordHome() == "/" ? "" : passwordHome()) + "/.local/share/folisto-brelvane";
    }
    // Each case runs after another in one process: a root remembered from
    // an earlier call would show here.
    EXPECT_EQ(machineRoot(), expected);
    EXPECT_EQ(windowsFolder(), expected + "/Windows");
    EXPECT_EQ(spoolFolder(), expected + "/Spool");
  }
}

TEST_F(MachineRootTest, EnsureCreatesTheRootItsParentsAndBothFolders) {
  fbtest::TempDir dir;
  const std::string root = dir.file("a/b/machine");
  set("FOLISTO_ROOT", root);
  const mode_t oldMask = ::umask(0);
  const bool made = ensureMachineRoot();
  ::umask(oldMask);
  ASSERT_TRUE(made) << GetLastError();
  for (const std::string& folder : {dir.file("a"), root, root + "/Windows", root + "/Spool"}) {
    SCOPED_TRACE(folder);
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0755u);
  }
  // A second call finds everything in place, and a file already inside is
  // left alone.
  fbtest::writeFile(root + "/Windows/keep.ini", {'x'});
  EXPECT_TRUE(ensureMachineRoot());
  EXPECT_EQ(fbtest::readFile(root + "/Windows/keep.ini"), std::vector<uint8_t>{'x'});
}

TEST_F(MachineRootTest, AFileWhereAFolderBelongsIsAFailure) {
  fbtest::TempDir dir;
  const std::string root = dir.file("machine");
  set("FOLISTO_ROOT", root);
  ASSERT_EQ(::mkdir(root.c_str(), 0755), 0);
  fbtest::writeFile(root + "/Windows", {'d', 'a', 't', 'a'});
  SetLastError(0);
  EXPECT_FALSE(ensureMachineRoot());
  EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
  EXPECT_EQ(fbtest::readFile(root + "/Windows"), (std::vector<uint8_t>{'d', 'a', 't', 'a'}));
}

// Without any variable and without an entry in the password database
// there is no root: it must not become "/.local/share/..." or "/Windows".
TEST_F(MachineRootTest, NoHomeAtAllGivesNoRoot) {
  constexpr uid_t kUnlistedUser = 54321;
  if (::geteuid() != 0 || ::getpwuid(kUnlistedUser) != nullptr)
    GTEST_SKIP() << "needs root, to become a user the password database does not list";
  set("FOLISTO_ROOT", std::nullopt);
  set("XDG_DATA_HOME", std::nullopt);
  set("HOME", std::nullopt);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (::setuid(kUnlistedUser) != 0) ::_exit(10);
    if (!machineRoot().empty() || !windowsFolder().empty() || !spoolFolder().empty()) ::_exit(11);
    if (ensureMachineRoot()) ::_exit(12);
    ::_exit(GetLastError() == ERROR_PATH_NOT_FOUND ? 0 : 13);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "10: setuid failed, 11: a root was made up, 12: ensure succeeded, 13: wrong error";
}

}  // namespace
