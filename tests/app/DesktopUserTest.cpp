// Who sits at the desktop: the walk over a process table laid out as /proc
// is, and the export on the machine's own /proc with a process of ours
// named like the desktop shell.

#include "viewxqp/DesktopUser.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

extern "C" const char* GetCurrentUserName();
extern char** environ;

namespace {

std::string accountOf(uid_t uid) {
  const passwd* entry = getpwuid(uid);
  return entry != nullptr ? entry->pw_name : "";
}

std::string processName(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

struct FakeProcess {
  std::string pid, name;
  long uid;  // -1: no Uid line
};

std::string desktopUserAmong(const std::vector<FakeProcess>& processes) {
  fbtest::TempDir proc;
  for (const auto& p : processes) {
    std::filesystem::create_directories(proc.path() / p.pid);
    std::ofstream status(proc.path() / p.pid / "status");
    status << "Name:\t" << p.name << "\nUmask:\t0022\nState:\tS (sleeping)\n";
    if (p.uid >= 0) status << "Uid:\t" << p.uid << "\t" << p.uid << "\t" << p.uid << "\t" << p.uid << "\n";
  }
  return viewxqp::desktopUserName(proc.path().string());
}

TEST(DesktopUserTest, FirstShellInProcessIdOrder) {
  const std::string root = accountOf(0), nobody = accountOf(65534);
  ASSERT_FALSE(root.empty());
  const struct {
    const char* what;
    std::vector<FakeProcess> processes;
    std::string expected;
  } cases[] = {
      {"no shell", {{"1", "init", 0}, {"40", "explorer", 0}, {"41", "explorer.exe2", 0}}, ""},
      {"ids in numeric order, not by name", {{"100", "explorer.exe", 0}, {"12", "gnome-shell", 65534}}, nobody},
      {"names compare without case", {{"7", "bash", 65534}, {"300", "EXPLORER.EXE", 0}}, root},
      {"other folders are not processes", {{"self", "explorer.exe", 65534}, {"9", "PlasmaShell", 0}}, root},
      // The first match decides, even when its owner has no account.
      {"first match only", {{"5", "explorer.exe", 3999999999}, {"6", "explorer.exe", 0}}, ""},
      {"owner unreadable", {{"5", "xfce4-session", -1}, {"6", "explorer.exe", 0}}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(desktopUserAmong(c.processes), c.expected) << c.what;
  EXPECT_EQ(viewxqp::desktopUserName("/no/such/proc"), "");
}

// The machine's own processes; skipped where a desktop shell runs already.
TEST(DesktopUserTest, ExportNamesTheOwnerOfAProcessNamedLikeTheShell) {
  if (!viewxqp::desktopUserName().empty()) GTEST_SKIP() << "a desktop shell runs on this machine";
  EXPECT_STREQ(GetCurrentUserName(), "");

  fbtest::TempDir dir;
  const std::string shell = dir.file("explorer.exe");
  std::filesystem::copy_file("/bin/sleep", shell);
  std::filesystem::permissions(shell, std::filesystem::perms::owner_all);
  char* argv[] = {const_cast<char*>(shell.c_str()), const_cast<char*>("60"), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, shell.c_str(), nullptr, nullptr, argv, environ), 0);
  // The kernel may let posix_spawn return before the process bears its new
  // name; wait (boundedly) until it does.
  for (int i = 0; i < 500 && processName(pid) != "explorer.exe"; ++i) usleep(10000);
  ASSERT_EQ(processName(pid), "explorer.exe");
  const char* first = GetCurrentUserName();
  const std::string expected = accountOf(getuid());
  EXPECT_EQ(std::string(first), expected);
  // An earlier result stays readable after later calls.
  const char* second = GetCurrentUserName();
  EXPECT_EQ(std::string(first), expected);
  EXPECT_EQ(std::string(second), expected);

  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  EXPECT_STREQ(GetCurrentUserName(), "");
}

}  // namespace
