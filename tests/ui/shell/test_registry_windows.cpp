// RegistryClass and the shell registration on the Windows registry itself.
#ifdef _WIN32
#include "ui/shell/registry.h"
#include "ui/shell/shell_registration.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// The class's own root values, taken before <windows.h> turns these names into macros.
std::int32_t user_root() { return qn::RegistryClass().HKEY_CURRENT_USER(); }
std::int32_t machine_root() { return qn::RegistryClass().HKEY_LOCAL_MACHINE(); }

}  // namespace

#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "base/text.h"
#include "platform/program_folder.h"

namespace qn {
namespace {

// Every test works below this key of the current user and removes it afterwards.
const std::string kTestKey = "Software\\Quarnell Verify Tests";

struct RegValue {
  bool found = false;
  DWORD type = REG_NONE;
  std::string data;  // the raw bytes, a string's terminating NUL included
};

RegValue read_value(HKEY root, const std::string& key, const std::string& name) {
  RegValue v;
  HKEY h = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return v;
  DWORD size = 0;
  if (RegQueryValueExA(h, name.c_str(), nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
    v.data.resize(size);
    v.found = RegQueryValueExA(h, name.c_str(), nullptr, &v.type,
                               reinterpret_cast<BYTE*>(v.data.data()), &size) == ERROR_SUCCESS;
    v.data.resize(size);
  }
  RegCloseKey(h);
  return v;
}

bool key_exists(HKEY root, const std::string& key) {
  HKEY h = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

class WindowsRegistry : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey.c_str()); }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey.c_str()); }
  RegistryClass reg;
};

TEST_F(WindowsRegistry, StringWriteCreatesTheKeyAndItsParentsAndSetsTheDefaultValue) {
  const std::string key = kTestKey + "\\Classes\\Quarnell Resource File\\shell\\open\\command";
  ASSERT_FALSE(key_exists(HKEY_CURRENT_USER, kTestKey));
  std::string val = "C:\\Quarnell\\QuarnellVerify.exe %1";
  EXPECT_TRUE(reg.SetKeyValue(user_root(), key, reg.RegSZ(), "", val));
  EXPECT_EQ(val, "C:\\Quarnell\\QuarnellVerify.exe %1");

  RegValue v = read_value(HKEY_CURRENT_USER, key, "");
  ASSERT_TRUE(v.found);
  EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
  // The text and its terminating NUL.
  EXPECT_EQ(v.data, std::string("C:\\Quarnell\\QuarnellVerify.exe %1") + '\0');
}

TEST_F(WindowsRegistry, NamedValuesAreRewrittenAndOthersStay) {
  const std::string key = kTestKey + "\\Type";
  std::string a = "first", b = "second", c = "default";
  ASSERT_TRUE(reg.SetKeyValue(user_root(), key, 1, "FriendlyTypeName", a));
  ASSERT_TRUE(reg.SetKeyValue(user_root(), key, 1, "", c));
  ASSERT_TRUE(reg.SetKeyValue(user_root(), key, 1, "friendlytypename", b));
  EXPECT_EQ(read_value(HKEY_CURRENT_USER, key, "FriendlyTypeName").data, std::string("second") + '\0');
  EXPECT_EQ(read_value(HKEY_CURRENT_USER, key, "").data, std::string("default") + '\0');
}

TEST_F(WindowsRegistry, BinaryAndNumberValues) {
  const std::string key = kTestKey + "\\Values";
  std::string bin("A\0\xFF", 3), num = "&H1F", negative = "-2", bad = "12abc";
  EXPECT_TRUE(reg.SetKeyValue(user_root(), key, 3, "bin", bin));
  EXPECT_TRUE(reg.SetKeyValue(user_root(), key, reg.RegDWORD(), "n", num));
  EXPECT_TRUE(reg.SetKeyValue(user_root(), key, 4, "neg", negative));
  EXPECT_FALSE(reg.SetKeyValue(user_root(), key, 4, "bad", bad));
  EXPECT_EQ(bad, "");

  RegValue v = read_value(HKEY_CURRENT_USER, key, "bin");
  EXPECT_EQ(v.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(v.data, std::string("A\0\xFF", 3)) << "binary data carries no terminator";
  v = read_value(HKEY_CURRENT_USER, key, "n");
  EXPECT_EQ(v.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(v.data, std::string("\x1F\0\0\0", 4));
  EXPECT_EQ(read_value(HKEY_CURRENT_USER, key, "neg").data, std::string("\xFE\xFF\xFF\xFF", 4));
  EXPECT_FALSE(read_value(HKEY_CURRENT_USER, key, "bad").found);
}

TEST_F(WindowsRegistry, UnhandledTypeWritesNothingAndReportsWhetherTheKeyExisted) {
  const std::string key = kTestKey + "\\Unhandled";
  std::string val = "data";
  EXPECT_FALSE(reg.SetKeyValue(user_root(), key, 2, "", val));
  EXPECT_EQ(val, "");
  // The failed call still created the key, so this one opens it.
  EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, key));
  val = "data";
  EXPECT_TRUE(reg.SetKeyValue(user_root(), key, 2, "", val));
  EXPECT_EQ(val, "data");
  EXPECT_FALSE(read_value(HKEY_CURRENT_USER, key, "").found);
}

TEST_F(WindowsRegistry, FailuresReturnFalseAndEmptyKeyVal) {
  std::string val = "x";
  EXPECT_FALSE(reg.SetKeyValue(12345, kTestKey + "\\A", 1, "", val)) << "not a root key";
  EXPECT_EQ(val, "");
  val = "x";
  EXPECT_FALSE(reg.SetKeyValue(0, kTestKey + "\\A", 1, "", val));
  EXPECT_EQ(val, "");
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, kTestKey + "\\A"));
}

TEST(WindowsShellTexts, FolderGetsOneSeparatorAndNoQuoteMarks) {
  EXPECT_EQ(shell_command_text("C:\\Program Files\\Quarnell Verify\\QuarnellVerify.exe"),
            "C:\\Program Files\\Quarnell Verify\\QuarnellVerify.exe %1");
  EXPECT_EQ(shell_icon_text("C:\\Program Files\\Quarnell Verify\\QuarnellVerify.exe"),
            "C:\\Program Files\\Quarnell Verify\\QuarnellVerify.exe,0");
  // A drive root already ends in the separator.
  EXPECT_EQ(shell_command_text("D:\\QV.EXE"), "D:\\QV.exe %1");
  EXPECT_EQ(shell_command_text("D:\\Tools\\qv"), "D:\\Tools\\qv.exe %1");
}

// Standard output of a command run through the command interpreter.
std::string command_output(const std::string& command) {
  std::string out;
  FILE* pipe = _popen(command.c_str(), "rb");
  if (pipe == nullptr) return out;
  char buffer[512];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  _pclose(pipe);
  return out;
}

bool running_under_wine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The data of one value as "reg query" prints it: the line of the value, its type, its data.
std::string reg_query_data(const std::string& key, const std::string& name) {
  std::string command = "reg query \"" + key + "\" " + (name.empty() ? "/ve" : "/v \"" + name + "\"");
  std::string out = command_output(command + " 2>NUL");
  std::size_t at = out.find("REG_SZ");
  if (at == std::string::npos) return "<no REG_SZ value in: " + out + ">";
  std::size_t begin = out.find_first_not_of(' ', at + 6);
  std::size_t end = out.find_first_of("\r\n", begin);
  return out.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

TEST(WindowsShellRegistration, StartWithoutArgumentWritesTheSixValues) {
  // The real keys: only inside a Wine prefix of our own, never on a user's machine.
  if (!running_under_wine())
    GTEST_SKIP() << "writes the machine's real file associations; runs only under Wine";
  const std::string exe = platform::program_file_path();
  ASSERT_FALSE(exe.empty());
  const std::string folder = platform::program_folder();
  ASSERT_EQ(folder.back(), '\\');
  const std::string stem = folder + "test_shell";
  const std::string command = stem + ".exe %1";

  register_at_startup("", exe);

  const std::string verbs = "HKLM\\SOFTWARE\\Classes\\SystemFileAssociations\\";
  const std::string classes = "HKCU\\Software\\Classes\\";
  EXPECT_EQ(reg_query_data(verbs + ".mp3\\Shell\\Quarnell Verify\\command", ""), command);
  EXPECT_EQ(reg_query_data(verbs + ".jpg\\Shell\\Quarnell Verify\\command", ""), command);
  EXPECT_EQ(reg_query_data(classes + "Quarnell Resource File\\shell\\open\\command", ""), command);
  EXPECT_EQ(reg_query_data(classes + ".qn", ""), "Quarnell Resource File");
  EXPECT_EQ(reg_query_data(classes + "Quarnell Resource File", "FriendlyTypeName"),
            "Quarnell Resource File");
  EXPECT_EQ(reg_query_data(classes + "Quarnell Resource File\\DefaultIcon", ""), stem + ".exe,0");
  EXPECT_EQ(command.find('"'), std::string::npos);
}

TEST(WindowsShellRegistration, StartWithArgumentWritesNothing) {
  if (!running_under_wine())
    GTEST_SKIP() << "reads the machine's real file associations; runs only under Wine";
  const std::string key = "Software\\Classes\\Quarnell Resource File\\DefaultIcon";
  RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
  register_at_startup("Z:\\music\\u1964_001 - A - B.mp3", platform::program_file_path());
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, key));
  register_at_startup("", platform::program_file_path());
  EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, key));
}

TEST(WindowsShellRegistration, MachineWideWritesGoThroughTheClassRoots) {
  // The roots the class hands out are the predefined handles of the registry.
  EXPECT_EQ(reinterpret_cast<HKEY>(static_cast<LONG_PTR>(user_root())), HKEY_CURRENT_USER);
  EXPECT_EQ(reinterpret_cast<HKEY>(static_cast<LONG_PTR>(machine_root())), HKEY_LOCAL_MACHINE);
}

}  // namespace
}  // namespace qn
#endif  // _WIN32
