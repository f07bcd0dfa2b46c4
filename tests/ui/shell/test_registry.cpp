// RegistryClass where there is no registry: the same keys and values kept in our file.
#ifndef _WIN32
#include <gtest/gtest.h>

#include "shell_test_env.h"
#include "ui/shell/registry.h"
#include "ui/shell/registry_store.h"

namespace qn {
namespace {

using registry_store::Store;
using registry_store::StoredValue;

const StoredValue* stored(const Store& store, const std::string& path, const std::string& name) {
  return store.find_value(path, name);
}

Store load_default() {
  Store store;
  EXPECT_TRUE(registry_store::load(registry_store::default_location(), store));
  return store;
}

TEST(RegistryClass, NewObjectHoldsInitialFieldsAndConstants) {
  RegistryClass reg;
  EXPECT_EQ(reg.RegSZ(), 1);
  EXPECT_EQ(reg.RegDWORD(), 4);
  EXPECT_EQ(reg.RootKey(), "Software");
  EXPECT_EQ(reg.HKeyNode(), -2147483646);
  EXPECT_EQ(reg.HKEY_LOCAL_MACHINE(), -2147483646);
  EXPECT_EQ(reg.HKEY_CURRENT_USER(), -2147483647);
  reg.RegSZ(3);
  reg.RootKey("Software\\Other");
  reg.HKeyNode(reg.HKEY_CURRENT_USER());
  EXPECT_EQ(reg.RegSZ(), 3);
  EXPECT_EQ(reg.RootKey(), "Software\\Other");
  EXPECT_EQ(reg.HKeyNode(), reg.HKEY_CURRENT_USER());
}

TEST(RegistryClass, StringWriteCreatesKeyAndParentsAndSetsDefaultValue) {
  test::TempHome home;
  RegistryClass reg;
  std::string val = "Quarnell Resource File";
  EXPECT_TRUE(reg.SetKeyValue(reg.HKEY_CURRENT_USER(), "Software\\Classes\\.qn", reg.RegSZ(), "",
                              val));
  EXPECT_EQ(val, "Quarnell Resource File");
  EXPECT_TRUE(std::filesystem::is_regular_file(home.config() / "quarnell-verify" / "registry"));

  Store store = load_default();
  const StoredValue* v = stored(store, "HKEY_CURRENT_USER\\Software\\Classes\\.qn", "");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->type, 1u);
  EXPECT_EQ(v->data, "Quarnell Resource File");
  EXPECT_TRUE(store.key_exists("HKEY_CURRENT_USER\\Software\\Classes"));
  EXPECT_FALSE(store.key_exists("HKEY_LOCAL_MACHINE\\Software\\Classes"));
}

TEST(RegistryClass, KeyAndValueNamesIgnoreLetterCaseAndOtherValuesStay) {
  test::TempHome home;
  RegistryClass reg;
  std::string a = "one", b = "two", c = "three";
  ASSERT_TRUE(reg.SetKeyValue(reg.HKEY_CURRENT_USER(), "Software\\Classes\\X", 1, "Name", a));
  ASSERT_TRUE(reg.SetKeyValue(reg.HKEY_CURRENT_USER(), "Software\\Classes\\Y", 1, "", b));
  ASSERT_TRUE(reg.SetKeyValue(reg.HKEY_CURRENT_USER(), "SOFTWARE\\classes\\x", 1, "NAME", c));

  Store store = load_default();
  ASSERT_EQ(store.keys().size(), 2u);
  EXPECT_EQ(stored(store, "HKEY_CURRENT_USER\\Software\\Classes\\X", "name")->data, "three");
  EXPECT_EQ(stored(store, "HKEY_CURRENT_USER\\Software\\Classes\\Y", "")->data, "two");
}

TEST(RegistryClass, UnhandledTypeWritesNothingAndReportsWhetherKeyExisted) {
  test::TempHome home;
  RegistryClass reg;
  std::string val = "data";
  EXPECT_FALSE(reg.SetKeyValue(reg.HKEY_CURRENT_USER(), "Software\\T", 2, "", val));
  EXPECT_EQ(val, "");
  // The failed call still created the key, so the second one opens it.
  val = "data";
  EXPECT_TRUE(reg.SetKeyValue(reg.HKEY_CURRENT_USER(), "Software\\T", 2, "", val));
  EXPECT_EQ(val, "data");
  Store store = load_default();
  EXPECT_TRUE(store.key_exists("HKEY_CURRENT_USER\\Software\\T"));
  EXPECT_EQ(stored(store, "HKEY_CURRENT_USER\\Software\\T", ""), nullptr);
}

TEST(RegistryClass, BinaryAndNumberValues) {
  test::TempHome home;
  RegistryClass reg;
  std::string bin("A\0\xFF", 3), num = "&H1F", bad = "12abc";
  EXPECT_TRUE(reg.SetKeyValue(reg.HKEY_CURRENT_USER(), "Software\\V", 3, "bin", bin));
  EXPECT_TRUE(reg.SetKeyValue(reg.HKEY_CURRENT_USER(), "Software\\V", reg.RegDWORD(), "n", num));
  EXPECT_FALSE(reg.SetKeyValue(reg.HKEY_CURRENT_USER(), "Software\\V", 4, "bad", bad));
  EXPECT_EQ(bad, "");

  Store store = load_default();
  EXPECT_EQ(stored(store, "HKEY_CURRENT_USER\\Software\\V", "bin")->data, std::string("A\0\xFF", 3));
  EXPECT_EQ(stored(store, "HKEY_CURRENT_USER\\Software\\V", "bin")->type, 3u);
  EXPECT_EQ(stored(store, "HKEY_CURRENT_USER\\Software\\V", "n")->data, "31");
  EXPECT_EQ(stored(store, "HKEY_CURRENT_USER\\Software\\V", "bad"), nullptr);
}

TEST(RegistryClass, FailuresEmptyKeyValAndReturnFalse) {
  test::TempHome home;
  RegistryClass reg;
  std::string val = "x";
  EXPECT_FALSE(reg.SetKeyValue(12345, "Software\\A", 1, "", val));  // not a root key
  EXPECT_EQ(val, "");
  val = "x";
  EXPECT_FALSE(reg.SetKeyValue(reg.HKEY_CURRENT_USER(), "Software\\\\A", 1, "", val));
  EXPECT_EQ(val, "");

  // The folder for our file cannot be made: a regular file stands where it must go.
  test::write_file(home.root() / "blocked", "not a folder");
  home.set("XDG_CONFIG_HOME", (home.root() / "blocked").string());
  val = "x";
  EXPECT_FALSE(reg.SetKeyValue(reg.HKEY_CURRENT_USER(), "Software\\A", 1, "", val));
  EXPECT_EQ(val, "");
}

TEST(RegistryStore, RoundTripsAwkwardNamesAndBytes) {
  Store store;
  store.set_value("HKEY_CURRENT_USER\\K[1]=%", {"", 1, "default"});
  store.set_value("HKEY_CURRENT_USER\\K[1]=%", {"@", 1, "at sign"});
  store.set_value("HKEY_CURRENT_USER\\K[1]=%", {"a=b#%", 1, "line\r\nnext %41 [x] \xE9"});
  store.set_value("HKEY_CURRENT_USER\\K[1]=%", {"bin", 3, std::string("\0\x01\xFF", 3)});
  store.set_value("HKEY_CURRENT_USER\\K[1]=%", {"n", 4, "-7"});
  store.create_key("HKEY_LOCAL_MACHINE\\Empty");

  Store back = Store::parse(store.serialise());
  const std::string k = "HKEY_CURRENT_USER\\K[1]=%";
  EXPECT_EQ(back.find_value(k, "")->data, "default");
  EXPECT_EQ(back.find_value(k, "@")->data, "at sign");
  EXPECT_EQ(back.find_value(k, "a=b#%")->data, "line\r\nnext %41 [x] \xE9");
  EXPECT_EQ(back.find_value(k, "bin")->data, std::string("\0\x01\xFF", 3));
  EXPECT_EQ(back.find_value(k, "n")->type, 4u);
  EXPECT_EQ(back.find_value(k, "n")->data, "-7");
  EXPECT_TRUE(back.key_exists("HKEY_LOCAL_MACHINE\\Empty"));
  EXPECT_EQ(back.serialise(), store.serialise());
}

TEST(RegistryStore, SkipsLinesThatDoNotParse) {
  Store s = Store::parse("junk before any key\n[HKEY_CURRENT_USER\\A]\nok=sz:1\nbroken\n"
                         "bad=sz:%G1\nn=dword:12x\n[]\nlast=sz:2\n");
  EXPECT_EQ(s.find_value("HKEY_CURRENT_USER\\A", "ok")->data, "1");
  EXPECT_EQ(s.find_value("HKEY_CURRENT_USER\\A", "bad"), nullptr);
  EXPECT_EQ(s.find_value("HKEY_CURRENT_USER\\A", "n"), nullptr);
  EXPECT_EQ(s.find_value("HKEY_CURRENT_USER\\A", "last")->data, "2");
}

TEST(ParseDwordText, DecimalAndHexadecimalIn32Bits) {
  std::int32_t n = 0;
  EXPECT_TRUE(parse_dword_text(" 42 ", n));
  EXPECT_EQ(n, 42);
  EXPECT_TRUE(parse_dword_text("-2147483648", n));
  EXPECT_EQ(n, INT32_MIN);
  EXPECT_TRUE(parse_dword_text("&hFFFFFFFF", n));
  EXPECT_EQ(n, -1);
  EXPECT_TRUE(parse_dword_text("+7", n));
  EXPECT_EQ(n, 7);
  for (const char* bad : {"", " ", "2147483648", "1.5", "&H", "&H123456789", "++1", "0x10", "-"})
    EXPECT_FALSE(parse_dword_text(bad, n)) << bad;
}

}  // namespace
}  // namespace qn
#endif
