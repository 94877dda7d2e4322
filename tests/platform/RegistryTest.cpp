#include "platform/registry/Registry.h"

#include <dirent.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry/RegistryStore.h"
#include "platform/system/CodePage.h"
#include "platform/system/LastError.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace {

using namespace platform;
namespace reg = platform::registry;
using Strings = std::vector<std::string>;

// --- The store file -------------------------------------------------------

reg::Key key(std::string name, std::vector<reg::Value> values = {}, std::vector<reg::Key> children = {}) {
  return reg::Key{std::move(name), std::move(values), std::move(children)};
}

// Two trees are equal when names, data and order all match, byte for byte.
void expectSameTree(const reg::Key& a, const reg::Key& b, const std::string& where = "top") {
  SCOPED_TRACE(where);
  EXPECT_EQ(a.name, b.name);
  ASSERT_EQ(a.values.size(), b.values.size());
  for (size_t i = 0; i < a.values.size(); ++i) {
    EXPECT_EQ(a.values[i].name, b.values[i].name);
    EXPECT_EQ(a.values[i].data, b.values[i].data);
  }
  ASSERT_EQ(a.children.size(), b.children.size());
  for (size_t i = 0; i < a.children.size(); ++i) expectSameTree(a.children[i], b.children[i], where + "\\" + a.children[i].name);
}

TEST(RegistryStoreTest, WritesTheDocumentedFormat) {
  const reg::Key top = key("", {},
                           {key("SOFTWARE", {},
                                {key("Corvexa", {{"", "default"}, {"Install Dir", "/opt/fb"}, {"a=b", "50%;\n"}},
                                     {key("back\\slash")})}),
                            key("SYSTEM")});
  EXPECT_EQ(reg::formatStore(top),
            "; folisto-brelvane registry 1\n"
            "[SOFTWARE]\n"
            "[SOFTWARE\\Corvexa]\n"
            "=default\n"
            "Install Dir=/opt/fb\n"
            "a%3Db=50%25%3B%0A\n"
            "[SOFTWARE\\Corvexa\\back%5Cslash]\n"
            "[SYSTEM]\n");
  // Values of HKEY_LOCAL_MACHINE itself go under [].
  EXPECT_EQ(reg::formatStore(key("", {{"v", "1"}}, {key("K")})), "; folisto-brelvane registry 1\n[]\nv=1\n[K]\n");
}

TEST(RegistryStoreTest, EveryByteSurvivesAndEachItemStaysOnItsLine) {
  std::string everyByte;
  for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(b);
  const reg::Key top = key("", {{"top value", everyByte}},
                           {key(everyByte.substr(1, 91) + everyByte.substr(93),  // no '\\' (92) in key names
                                {{everyByte, everyByte}, {"", ""}, {"[x]", "=\r\n"}}, {key("child;[]", {{"%", "%"}})}),
                            key("\xE4\xB8\xAD\xE6\x96\x87", {{"\xC3\xA9", "\xF0\x9F\x96\xA8"}})});
  const std::string text = reg::formatStore(top);
  // Header, 4 key lines ([] included) and 6 values: no raw line break
  // inside any of them.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11);
  // UTF-8 is written as it is.
  EXPECT_NE(text.find("[\xE4\xB8\xAD\xE6\x96\x87]\n\xC3\xA9=\xF0\x9F\x96\xA8\n"), std::string::npos);
  const auto parsed = reg::parseStore(text);
  ASSERT_TRUE(parsed);
  expectSameTree(*parsed, top);
}

TEST(RegistryStoreTest, DamagedTextsDoNotParse) {
  const std::string h = "; folisto-brelvane registry 1\n";
  const std::pair<const char*, std::string> cases[] = {
      {"no header", "[A]\nv=1\n"},
      {"another format", "; folisto-brelvane registry 2\n[A]\n"},
      {"binary garbage", std::string("\x00\xFF\x13garbage\n", 11)},
      {"cut off in the last line", h + "[A]\nv=1"},
      {"a bad escape", h + "[A]\nv=%G0\n"},
      {"a cut escape", h + "[A]\nv=%4\n"},
      {"a value before any key", h + "v=1\n[A]\n"},
      {"a line that is neither", h + "[A]\njust text\n"},
      {"an unclosed key", h + "[A\n"},
      {"an empty name in a path", h + "[A\\\\B]\n"},
      {"a leading backslash", h + "[\\A]\n"},
      {"a trailing backslash", h + "[A\\]\n"},
      {"a key twice", h + "[A]\n[B]\n[a]\n"},
      {"a value twice", h + "[A]\nName=1\nNAME=2\n"},
  };
  for (const auto& [what, text] : cases) {
    SCOPED_TRACE(what);
    EXPECT_FALSE(reg::parseStore(text));
  }
}

TEST(RegistryStoreTest, AcceptsWhatAHandEditMayLeave) {
  const std::string h = "; folisto-brelvane registry 1\n";
  EXPECT_TRUE(reg::parseStore(""));
  EXPECT_TRUE(reg::parseStore(h));
  const auto edited = reg::parseStore(
      "; folisto-brelvane registry 1\r\n"
      "; a note\r\n"
      "\r\n"
      "[A\\B]\r\n"        // A is implied
      "v=%c3%a9 raw=\r\n"  // lower-case escapes, a raw '=' in the data
      "[A]\r\n"
      "w=\r\n");
  ASSERT_TRUE(edited);
  expectSameTree(*edited, key("", {}, {key("A", {{"w", ""}}, {key("B", {{"v", "\xC3\xA9 raw="}})})}));
}

TEST(RegistryStoreTest, KeyPathsSplitAtBackslashes) {
  const std::pair<std::string, std::optional<Strings>> cases[] = {
      {"", Strings{}},
      {"A", Strings{"A"}},
      {"SOFTWARE\\Corvexa\\Folisto Brelvane", Strings{"SOFTWARE", "Corvexa", "Folisto Brelvane"}},
      {"A\\", Strings{"A"}},
      {"\\A", std::nullopt},
      {"A\\\\B", std::nullopt},
      {"A\\\\", std::nullopt},
      {"\\", std::nullopt},
  };
  for (const auto& [path, expected] : cases) {
    SCOPED_TRACE(path);
    EXPECT_EQ(reg::splitKeyPath(path), expected);
  }
}

// --- The calls --------------------------------------------------------------

using fbtest::becomeOrdinaryUser;
using fbtest::inChild;

LSTATUS setString(HKEY key, const char* name, const std::string& bytes) {
  // As callers pass a C string: its length and the terminating zero.
  return RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const uint8_t*>(bytes.c_str()),
                       static_cast<uint32_t>(bytes.size() + 1));
}

// The value without its terminating zero; nullopt with the error in `error`.
std::optional<std::string> queryString(HKEY key, const char* name, LSTATUS* error = nullptr) {
  uint32_t size = 0;
  LSTATUS status = RegQueryValueEx(key, name, nullptr, nullptr, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    std::vector<uint8_t> buffer(size);
    status = RegQueryValueEx(key, name, nullptr, nullptr, buffer.data(), &size);
    if (status == ERROR_SUCCESS && size >= 1 && buffer[size - 1] == 0)
      return std::string(buffer.begin(), buffer.begin() + size - 1);
  }
  if (error) *error = status;
  return std::nullopt;
}

Strings subkeys(HKEY key) {
  Strings names;
  for (uint32_t i = 0;; ++i) {
    char name[256];
    uint32_t length = sizeof name;
    const LSTATUS status = RegEnumKeyEx(key, i, name, &length);
    if (status != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

Strings valueNames(HKEY key) {
  Strings names;
  for (uint32_t i = 0;; ++i) {
    char name[256];
    uint32_t length = sizeof name;
    if (RegEnumValue(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* root = std::getenv("FOLISTO_ROOT")) savedRoot_ = root;
    root_ = dir_.file("machine");
    ::setenv("FOLISTO_ROOT", root_.c_str(), 1);
    savedCodePage_ = GetACP();
  }
  void TearDown() override {
    for (HKEY k : opened_) RegCloseKey(k);
    ASSERT_TRUE(setActiveCodePage(savedCodePage_));
    if (savedRoot_)
      ::setenv("FOLISTO_ROOT", savedRoot_->c_str(), 1);
    else
      ::unsetenv("FOLISTO_ROOT");
  }

  // A key created below HKEY_LOCAL_MACHINE, closed after the test.
  HKEY create(const char* path, REGSAM access = KEY_ALL_ACCESS) {
    HKEY k = nullptr;
    const LSTATUS status = RegCreateKeyEx(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                          nullptr, &k, nullptr);
    EXPECT_EQ(status, ERROR_SUCCESS) << path;
    if (k) opened_.push_back(k);
    return k;
  }
  HKEY open(HKEY parent, const char* path, REGSAM access = KEY_ALL_ACCESS, LSTATUS* error = nullptr) {
    HKEY k = nullptr;
    const LSTATUS status = RegOpenKeyEx(parent, path, 0, access, &k);
    if (error) *error = status;
    if (k) opened_.push_back(k);
    return k;
  }

  std::string storeFile() const { return root_ + "/registry.ini"; }
  std::string storeBytes() const {
    const auto bytes = fbtest::readFile(storeFile());
    return std::string(bytes.begin(), bytes.end());
  }
  void writeStore(const std::string& text) {
    ASSERT_EQ(::mkdir(root_.c_str(), 0755), 0);
    fbtest::writeFile(storeFile(), std::vector<uint8_t>(text.begin(), text.end()));
  }
  std::set<std::string> namesInRoot() const { return fbtest::namesIn(root_); }

  fbtest::TempDir dir_;
  std::string root_;
  std::vector<HKEY> opened_;
  std::optional<std::string> savedRoot_;
  uint32_t savedCodePage_ = CP_UTF8;
};

const std::set<std::string> kStoreFiles = {"registry.ini", "registry.lock"};

TEST_F(RegistryTest, ValuesKeepTheirBytesAndTheRootIsMadeOnTheFirstWrite) {
  ASSERT_FALSE(fbtest::fileExists(root_));
  HKEY k = create("SOFTWARE\\Corvexa\\Folisto Brelvane");
  ASSERT_NE(k, nullptr);
  const std::string odd = "a=b\\c\n[d];e%41\r\t\x7F";
  const std::string high = "\xE2\x82\xAC \x80\x81\xFE\xFF";
  ASSERT_EQ(setString(k, "Odd", odd), ERROR_SUCCESS);
  ASSERT_EQ(setString(k, "High", high), ERROR_SUCCESS);
  ASSERT_EQ(setString(k, nullptr, "default"), ERROR_SUCCESS);
  ASSERT_EQ(setString(k, "Empty", ""), ERROR_SUCCESS);
  const std::string withZero("a\0b", 3);  // zero bytes inside are kept
  ASSERT_EQ(RegSetValueEx(k, "Zero", 0, REG_SZ, reinterpret_cast<const uint8_t*>(withZero.data()), 3), ERROR_SUCCESS);

  // Read through a second handle opened afresh: nothing comes from memory.
  HKEY again = open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvexa\\Folisto Brelvane", KEY_READ);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(queryString(again, "Odd"), odd);
  EXPECT_EQ(queryString(again, "High"), high);
  EXPECT_EQ(queryString(again, ""), "default");
  EXPECT_EQ(queryString(again, nullptr), "default");
  EXPECT_EQ(queryString(again, "Empty"), "");
  EXPECT_EQ(queryString(again, "Zero"), withZero);
  EXPECT_EQ(namesInRoot(), kStoreFiles) << "a temporary file was left";
  EXPECT_TRUE(reg::parseStore(storeBytes()));
}

TEST_F(RegistryTest, QueriesFollowTheBufferSizeContract) {
  HKEY k = create("Sizes");
  ASSERT_EQ(setString(k, "v", "abc"), ERROR_SUCCESS);
  uint32_t type = 0;
  uint32_t size = 0;
  EXPECT_EQ(RegQueryValueEx(k, "v", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 4u) << "the size counts the terminating zero";

  uint8_t buffer[8];
  std::memset(buffer, 0xAA, sizeof buffer);
  size = 3;
  EXPECT_EQ(RegQueryValueEx(k, "v", nullptr, nullptr, buffer, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(buffer[0], 0xAA) << "a too small buffer was written to";
  EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);

  size = 4;
  EXPECT_EQ(RegQueryValueEx(k, "v", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), std::string("abc\0", 4));
  EXPECT_EQ(buffer[4], 0xAA) << "written past the data";

  EXPECT_EQ(RegQueryValueEx(k, "v", nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueEx(k, "v", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS) << "an existence check";

  // Data given without its zero, or with one, is the same string.
  ASSERT_EQ(RegSetValueEx(k, "bare", 0, REG_SZ, reinterpret_cast<const uint8_t*>("xyz"), 3), ERROR_SUCCESS);
  EXPECT_EQ(queryString(k, "bare"), "xyz");
  ASSERT_EQ(RegSetValueEx(k, "none", 0, REG_SZ, nullptr, 0), ERROR_SUCCESS);
  EXPECT_EQ(queryString(k, "none"), "");
  EXPECT_EQ(RegSetValueEx(k, "bad", 0, REG_SZ, nullptr, 4), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueEx(k, "dword", 0, 4 /* REG_DWORD */, buffer, 4), ERROR_NOT_SUPPORTED);
  EXPECT_EQ(valueNames(k), (Strings{"v", "bare", "none"}));
}

TEST_F(RegistryTest, NamesIgnoreAsciiCaseAndKeepTheirFirstSpelling) {
  HKEY k = create("SOFTWARE\\Corvexa");
  ASSERT_EQ(setString(k, "InstallDir", "/opt/a"), ERROR_SUCCESS);
  ASSERT_EQ(setString(k, "INSTALLDIR", "/opt/b"), ERROR_SUCCESS);
  EXPECT_EQ(valueNames(k), Strings{"InstallDir"});
  EXPECT_EQ(queryString(k, "installdir"), "/opt/b");

  HKEY upper = nullptr;
  uint32_t disposition = 0;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "software\\CORVEXA", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &upper,
                           &disposition),
            ERROR_SUCCESS);
  opened_.push_back(upper);
  EXPECT_EQ(disposition, static_cast<uint32_t>(REG_OPENED_EXISTING_KEY));
  EXPECT_EQ(queryString(upper, "InstallDir"), "/opt/b");
  EXPECT_EQ(subkeys(HKEY_LOCAL_MACHINE), Strings{"SOFTWARE"});
  EXPECT_EQ(subkeys(open(HKEY_LOCAL_MACHINE, "Software")), Strings{"Corvexa"});
  EXPECT_EQ(RegDeleteValue(upper, "installDIR"), ERROR_SUCCESS);
  EXPECT_EQ(valueNames(k), Strings{});
}

TEST_F(RegistryTest, MissingKeysAndValuesAreNotFoundAndReadingCreatesNothing) {
  LSTATUS status = ERROR_SUCCESS;
  HKEY sentinel = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1234));
  HKEY out = sentinel;
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nobody", 0, KEY_READ, &out), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, "v", &status), std::nullopt);
  EXPECT_EQ(status, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(subkeys(HKEY_LOCAL_MACHINE), Strings{});
  EXPECT_FALSE(fbtest::fileExists(root_)) << "a read made the machine root";

  HKEY k = create("A\\B");
  EXPECT_EQ(queryString(k, "v", &status), std::nullopt);
  EXPECT_EQ(status, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValue(k, "v"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "A\\C"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteTree(HKEY_LOCAL_MACHINE, "Z"), ERROR_FILE_NOT_FOUND);
  open(k, "C", KEY_READ, &status);
  EXPECT_EQ(status, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, BadHandlesAndPathsAreRefused) {
  HKEY closed = create("Closed");
  ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
  opened_.clear();
  const HKEY bad[] = {nullptr, closed, reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)),
                      reinterpret_cast<HKEY>(static_cast<uintptr_t>(0xDEAD0))};
  for (HKEY h : bad) {
    SCOPED_TRACE(reinterpret_cast<uintptr_t>(h));
    HKEY out = nullptr;
    char name[16];
    uint32_t length = sizeof name;
    uint32_t size = 0;
    EXPECT_EQ(RegOpenKeyEx(h, "x", 0, KEY_READ, &out), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCreateKeyEx(h, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueEx(h, "x", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(setString(h, "x", "y"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteValue(h, "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteKey(h, "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteTree(h, "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegEnumKeyEx(h, 0, name, &length), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegEnumValue(h, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(h), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);

  for (const char* path : {"\\A", "A\\\\B", "\\"}) {
    SCOPED_TRACE(path);
    HKEY out = nullptr;
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &out), ERROR_INVALID_PARAMETER);
  }
  HKEY out = nullptr;
  EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, nullptr, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "A", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, nullptr), ERROR_INVALID_PARAMETER);
  // A trailing backslash is allowed.
  EXPECT_NE(create("Trailing\\"), nullptr);
  EXPECT_EQ(subkeys(HKEY_LOCAL_MACHINE), (Strings{"Closed", "Trailing"}));
}

TEST_F(RegistryTest, HandlesKeepTheAccessTheyWereOpenedWith) {
  HKEY full = create("App");
  ASSERT_EQ(setString(full, "v", "1"), ERROR_SUCCESS);
  HKEY reader = open(HKEY_LOCAL_MACHINE, "App", KEY_READ);
  HKEY writer = open(HKEY_LOCAL_MACHINE, "App", KEY_WRITE);
  ASSERT_NE(reader, nullptr);
  ASSERT_NE(writer, nullptr);
  const std::string before = storeBytes();

  EXPECT_EQ(setString(reader, "v", "2"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValue(reader, "v"), ERROR_ACCESS_DENIED);
  HKEY out = nullptr;
  EXPECT_EQ(RegCreateKeyEx(reader, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(storeBytes(), before);
  EXPECT_EQ(queryString(reader, "v"), "1");

  LSTATUS status = ERROR_SUCCESS;
  EXPECT_EQ(queryString(writer, "v", &status), std::nullopt);
  EXPECT_EQ(status, ERROR_ACCESS_DENIED);
  char name[16];
  uint32_t length = sizeof name;
  EXPECT_EQ(RegEnumKeyEx(writer, 0, name, &length), ERROR_ACCESS_DENIED);
  EXPECT_EQ(setString(writer, "v", "3"), ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyEx(writer, "Sub", 0, nullptr, 0, KEY_READ, nullptr, &out, nullptr), ERROR_SUCCESS);
  opened_.push_back(out);
  // An existing key opens through a handle that could not create it.
  HKEY existing = nullptr;
  EXPECT_EQ(RegCreateKeyEx(reader, "sub", 0, nullptr, 0, KEY_READ, nullptr, &existing, nullptr), ERROR_SUCCESS);
  opened_.push_back(existing);
  EXPECT_EQ(queryString(full, "v"), "3");
}

TEST_F(RegistryTest, DeletingKeys) {
  HKEY app = create("SOFTWARE\\App");
  HKEY leaf = create("SOFTWARE\\App\\Leaf");
  ASSERT_EQ(setString(leaf, "v", "1"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\App"), ERROR_ACCESS_DENIED) << "it has a subkey";
  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED) << "HKEY_LOCAL_MACHINE itself";
  EXPECT_EQ(RegDeleteKey(app, "LEAF"), ERROR_SUCCESS);
  EXPECT_EQ(subkeys(app), Strings{});

  // The handle to the deleted key stays open but reaches nothing, and
  // writing through it does not bring the key back.
  LSTATUS status = ERROR_SUCCESS;
  EXPECT_EQ(queryString(leaf, "v", &status), std::nullopt);
  EXPECT_EQ(status, ERROR_KEY_DELETED);
  EXPECT_EQ(setString(leaf, "v", "2"), ERROR_KEY_DELETED);
  HKEY out = nullptr;
  EXPECT_EQ(RegCreateKeyEx(leaf, "Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr), ERROR_KEY_DELETED);
  EXPECT_EQ(subkeys(app), Strings{});
  // A key made again at the same path is what the handle names.
  create("SOFTWARE\\App\\Leaf");
  EXPECT_EQ(setString(leaf, "v", "3"), ERROR_SUCCESS);

  // An empty name deletes the handle's own key.
  EXPECT_EQ(RegDeleteKey(leaf, ""), ERROR_SUCCESS);
  EXPECT_EQ(subkeys(app), Strings{});

  create("SOFTWARE\\App\\A\\B\\C");
  ASSERT_EQ(setString(app, "kept", "no"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTree(app, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(subkeys(app), Strings{});
  EXPECT_EQ(valueNames(app), Strings{});
  create("SOFTWARE\\Other");
  EXPECT_EQ(RegDeleteTree(HKEY_LOCAL_MACHINE, "software\\app"), ERROR_SUCCESS);
  EXPECT_EQ(subkeys(open(HKEY_LOCAL_MACHINE, "SOFTWARE")), Strings{"Other"});
}

TEST_F(RegistryTest, SubkeysListSortedAndValuesInCreationOrder) {
  HKEY k = create("List");
  for (const char* name : {"gamma", "_under", "Alpha", "beta", "Zed"}) create((std::string("List\\") + name).c_str());
  // Upper-case folding puts '_' after the letters, as Windows lists them.
  EXPECT_EQ(subkeys(k), (Strings{"Alpha", "beta", "gamma", "Zed", "_under"}));

  char name[8];
  std::memset(name, 'x', sizeof name);
  uint32_t length = 6;  // "_under" needs 7 with its zero
  EXPECT_EQ(RegEnumKeyEx(k, 4, name, &length), ERROR_MORE_DATA);
  EXPECT_EQ(length, 7u);
  EXPECT_EQ(name[0], 'x');
  length = 7;
  EXPECT_EQ(RegEnumKeyEx(k, 4, name, &length), ERROR_SUCCESS);
  EXPECT_EQ(length, 6u);
  EXPECT_STREQ(name, "_under");
  EXPECT_EQ(RegEnumKeyEx(k, 5, name, &length), ERROR_NO_MORE_ITEMS);

  for (const char* value : {"z", "a", "M"}) ASSERT_EQ(setString(k, value, value), ERROR_SUCCESS);
  EXPECT_EQ(valueNames(k), (Strings{"z", "a", "M"}));
  uint8_t data[4];
  uint32_t dataSize = 1;
  length = sizeof name;
  EXPECT_EQ(RegEnumValue(k, 2, name, &length, nullptr, nullptr, data, &dataSize), ERROR_MORE_DATA);
  EXPECT_EQ(dataSize, 2u);
  EXPECT_EQ(length, 2u);
  uint32_t type = 0;
  length = sizeof name;
  dataSize = sizeof data;
  EXPECT_EQ(RegEnumValue(k, 2, name, &length, nullptr, &type, data, &dataSize), ERROR_SUCCESS);
  EXPECT_EQ(std::string(name, length), "M");
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), dataSize), std::string("M\0", 2));
  EXPECT_EQ(RegEnumValue(k, 3, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

// Shift-JIS characters may end in the byte of '\\' or of an ASCII letter.
TEST_F(RegistryTest, DoubleByteNamesStayWhole) {
  ASSERT_TRUE(setActiveCodePage(932));
  const std::string table = "\x95\x5C";  // its second byte is '\\'
  HKEY k = create(("A\\" + table + "\\B").c_str());
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(subkeys(open(HKEY_LOCAL_MACHINE, "A")), Strings{table});
  EXPECT_NE(open(HKEY_LOCAL_MACHINE, ("a\\" + table + "\\b").c_str()), nullptr);
  // 82 61 and 82 41 are two characters, not one in two cases.
  ASSERT_EQ(setString(k, "\x82\x61", "lower"), ERROR_SUCCESS);
  ASSERT_EQ(setString(k, "\x82\x41", "upper"), ERROR_SUCCESS);
  EXPECT_EQ(queryString(k, "\x82\x61"), "lower");
  EXPECT_EQ(queryString(k, "\x82\x41"), "upper");
}

TEST_F(RegistryTest, ADamagedStoreReadsAsEmptyAndIsNeverRewritten) {
  const std::string valid = "; folisto-brelvane registry 1\n[App]\nv=1\n";
  const std::pair<const char*, std::string> cases[] = {
      {"garbage", std::string("\x7F" "ELF\x02\x01\x00\x00 binary", 15)},
      {"cut off", valid.substr(0, valid.size() - 2)},
      {"a newer format", "; folisto-brelvane registry 9\n[App]\nv=1\n"},
  };
  for (const auto& [what, content] : cases) {
    SCOPED_TRACE(what);
    fbtest::TempDir scratch;
    root_ = scratch.file("machine");
    ::setenv("FOLISTO_ROOT", root_.c_str(), 1);
    writeStore(content);
    LSTATUS status = ERROR_SUCCESS;
    HKEY app = open(HKEY_LOCAL_MACHINE, "App", KEY_ALL_ACCESS, &status);
    EXPECT_EQ(status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(app, nullptr);
    EXPECT_EQ(subkeys(HKEY_LOCAL_MACHINE), Strings{});
    HKEY out = nullptr;
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "App", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr),
              ERROR_BADDB);
    EXPECT_EQ(setString(HKEY_LOCAL_MACHINE, "v", "2"), ERROR_BADDB);
    EXPECT_EQ(RegDeleteTree(HKEY_LOCAL_MACHINE, nullptr), ERROR_BADDB);
    EXPECT_EQ(storeBytes(), content);
  }
}

TEST_F(RegistryTest, AStoreThatCannotBeCreatedIsAFailure) {
  fbtest::writeFile(dir_.file("file"), {'x'});
  ::setenv("FOLISTO_ROOT", dir_.file("file/machine").c_str(), 1);
  HKEY out = nullptr;
  EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "App", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr),
            ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(subkeys(HKEY_LOCAL_MACHINE), Strings{});
}

TEST_F(RegistryTest, AReadOnlyStoreStillReads) {
  HKEY k = create("App");
  ASSERT_EQ(setString(k, "v", "1"), ERROR_SUCCESS);
  const std::string before = storeBytes();
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);  // the ordinary user may enter
  ASSERT_EQ(::chmod(root_.c_str(), ::geteuid() == 0 ? 0755 : 0555), 0);
  const int status = inChild([&] {
    if (!becomeOrdinaryUser()) return 250;
    HKEY child = nullptr;
    uint32_t disposition = 0;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, "App", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, &disposition) !=
            ERROR_SUCCESS ||
        disposition != REG_OPENED_EXISTING_KEY)
      return 251;
    if (queryString(child, "v") != "1") return 252;
    if (setString(child, "v", "1") != ERROR_SUCCESS) return 253;  // no change: nothing to write
    HKEY out = nullptr;
    if (RegCreateKeyEx(child, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr) != ERROR_ACCESS_DENIED)
      return 254;
    return static_cast<int>(setString(child, "v", "2") & 0xFF);
  });
  ASSERT_EQ(::chmod(root_.c_str(), 0755), 0);
  EXPECT_EQ(status, static_cast<int>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(storeBytes(), before);
  EXPECT_EQ(namesInRoot(), kStoreFiles);
}

// A store that exists but cannot be read must not be replaced by one that
// holds only the new value.
TEST_F(RegistryTest, AnUnreadableStoreIsNotReplaced) {
  HKEY k = create("App");
  ASSERT_EQ(setString(k, "keep", "me"), ERROR_SUCCESS);
  const std::string before = storeBytes();
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(root_.c_str(), 0777), 0);  // the folder itself is writable
  ASSERT_EQ(::chmod(storeFile().c_str(), 0200), 0);
  const int status = inChild([&] {
    if (!becomeOrdinaryUser()) return 250;
    if (queryString(HKEY_LOCAL_MACHINE, "x")) return 251;
    return static_cast<int>(setString(HKEY_LOCAL_MACHINE, "new", "1") & 0xFF);
  });
  ASSERT_EQ(::chmod(storeFile().c_str(), 0644), 0);
  EXPECT_EQ(status, static_cast<int>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(storeBytes(), before);
}

// A full disk, simulated by a file size limit in a child.
TEST_F(RegistryTest, AFailedWriteKeepsTheOldStore) {
  HKEY k = create("App");
  ASSERT_EQ(setString(k, "big", std::string(64 * 1024, 'x')), ERROR_SUCCESS);
  const std::string before = storeBytes();
  const int status = inChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 250;
    return static_cast<int>(setString(k, "more", "y") & 0xFF);
  });
  EXPECT_EQ(status, static_cast<int>(ERROR_FILE_TOO_LARGE));
  EXPECT_EQ(storeBytes(), before);
  EXPECT_EQ(namesInRoot(), kStoreFiles);
}

// Several processes, each with two threads, set values in one key at once:
// every change re-reads the store under its lock, so none is lost.
TEST_F(RegistryTest, ConcurrentWritersLoseNoValues) {
  HKEY k = create("Shared");
  constexpr int kProcesses = 3;
  constexpr int kThreads = 2;
  constexpr int kValuesEach = 15;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::atomic<bool> ok{true};
      std::vector<std::thread> threads;
      for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&ok, p, t] {
          HKEY own = nullptr;
          if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Shared", 0, KEY_ALL_ACCESS, &own) != ERROR_SUCCESS) {
            ok = false;
            return;
          }
          for (int v = 0; v < kValuesEach; ++v) {
            const std::string name = "p" + std::to_string(p) + "t" + std::to_string(t) + "v" + std::to_string(v);
            if (setString(own, name.c_str(), name) != ERROR_SUCCESS) ok = false;
          }
          RegCloseKey(own);
        });
      }
      for (std::thread& thread : threads) thread.join();
      ::_exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(valueNames(k).size(), static_cast<size_t>(kProcesses * kThreads * kValuesEach));
  for (int p = 0; p < kProcesses; ++p) {
    for (int t = 0; t < kThreads; ++t) {
      for (int v = 0; v < kValuesEach; ++v) {
        const std::string name = "p" + std::to_string(p) + "t" + std::to_string(t) + "v" + std::to_string(v);
        EXPECT_EQ(queryString(k, name.c_str()), name);
      }
    }
  }
  EXPECT_EQ(namesInRoot(), kStoreFiles);
}

}  // namespace
