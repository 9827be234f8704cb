#include "core/registry/registry_store.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/testing/test_support.h"

namespace quillet {
namespace {

class RegistryStoreTest : public ::testing::Test {
 protected:
  testing::TestRoot t;
  Registry& reg() { return t.ctx->registry(); }
};

TEST_F(RegistryStoreTest, ProductKeyAndValuesOfEveryKind) {
  RegistryStore store(reg());
  store.SetProductKey(u"Quillet");
  EXPECT_EQ(store.keyPath(), u"SOFTWARE\\Marrowby\\Quillet");
  EXPECT_EQ(store.GetDword(u"PrefSize", 7), 7u) << "missing key gives the default";
  ASSERT_TRUE(store.SetDword(u"PrefSize", 216));
  EXPECT_EQ(store.GetDword(u"PrefSize", 0), 216u);

  unsigned char rec[216];
  for (int i = 0; i < 216; ++i) rec[i] = static_cast<unsigned char>(i);
  ASSERT_TRUE(store.SetBinary(u"PrefBuf", rec, sizeof rec));
  unsigned char back[216];
  EXPECT_EQ(store.GetBinary(u"PrefBuf", back, sizeof back), 0);
  EXPECT_EQ(std::memcmp(rec, back, sizeof rec), 0);

  // The value went where the product key says, under HKEY_CURRENT_USER.
  DWORD v = 0;
  EXPECT_EQ(reg().GetDword(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Quillet", u"PrefSize", &v), 0);
  EXPECT_EQ(v, 216u);
}

TEST_F(RegistryStoreTest, ShortAndLongBinaryValues) {
  RegistryStore store(reg());
  store.SetProductKey(u"Quillet");
  unsigned char buf[8];
  std::memset(buf, 0xEE, sizeof buf);
  EXPECT_EQ(store.GetBinary(u"PrefBuf", buf, sizeof buf), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(buf[0], 0) << "the buffer is zero-filled even when nothing is read";
  const unsigned char shorter[3] = {9, 8, 7};
  store.SetBinary(u"PrefBuf", shorter, 3);
  std::memset(buf, 0xEE, sizeof buf);
  EXPECT_EQ(store.GetBinary(u"PrefBuf", buf, sizeof buf), 0);
  EXPECT_EQ(buf[2], 7);
  EXPECT_EQ(buf[3], 0) << "a shorter value leaves the rest zero";
  unsigned char two[2];
  EXPECT_EQ(store.GetBinary(u"PrefBuf", two, 2), ERROR_MORE_DATA);
  EXPECT_EQ(two[0], 9);
  EXPECT_EQ(two[1], 8) << "never more than the buffer's size is written";
}

TEST_F(RegistryStoreTest, GetStringReturnsBytesReadOrTheDefaultCut) {
  RegistryStore store(reg());
  store.SetProductKey(u"Quillet");
  char16_t buf[8];
  EXPECT_EQ(store.GetString(u"ProgramPath", u"fallback text", buf, 8), 7u);
  EXPECT_EQ(std::u16string(buf), u"fallbac");

  ASSERT_TRUE(store.SetString(u"ProgramPath", u"abc"));
  EXPECT_EQ(store.GetString(u"ProgramPath", u"x", buf, 8), 8u) << "bytes: 3 characters and NUL";
  EXPECT_EQ(std::u16string(buf), u"abc");
  EXPECT_EQ(store.GetString(u"ProgramPath", u"x"), u"abc");

  // A stored text without terminator: its last character read is forced to NUL.
  HKEY k;
  ASSERT_EQ(reg().OpenKey(HKEY_CURRENT_USER, store.keyPath(), &k), 0);
  const char raw[] = {'a', 0, 'b', 0, 'c', 0};
  reg().SetValue(k, u"Raw", REG_SZ, raw, 6);
  reg().CloseKey(k);
  EXPECT_EQ(store.GetString(u"Raw", u"x", buf, 8), 6u);
  EXPECT_EQ(std::u16string(buf), u"ab");

  ASSERT_TRUE(store.SetString(u"Long", u"0123456789"));
  EXPECT_EQ(store.GetString(u"Long", u"dflt", buf, 8), 4u) << "a value that does not fit";
  EXPECT_EQ(std::u16string(buf), u"dflt");
}

TEST_F(RegistryStoreTest, DeleteValueUnderKeyPathAndDeleteKeyUnderRoot) {
  RegistryStore store(reg());
  store.SetRoot(HKEY_LOCAL_MACHINE);
  store.SetKeyPath(u"Software\\Microsoft\\Today\\Items\\\"Quillet\"");
  ASSERT_TRUE(store.SetDword(u"Type", 4));
  ASSERT_TRUE(store.SetString(u"DLL", u"QuilletToday.dll"));
  EXPECT_EQ(store.DeleteValue(u"Type"), 0);
  EXPECT_EQ(store.DeleteValue(u"Type"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(store.GetDword(u"Type", 99), 99u);
  // DeleteKey takes a path from the root, not from szKeyPath.
  EXPECT_EQ(store.DeleteKey(u"Software\\Microsoft\\Today\\Items\\\"Quillet\""), 0);
  EXPECT_EQ(store.GetString(u"DLL", u"gone"), u"gone");
  EXPECT_EQ(store.DeleteKey(u"Software\\Microsoft\\Today\\Items\\\"Quillet\""),
            ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryStoreTest, KeyPathsAreCutTo255Characters) {
  RegistryStore store(reg());
  store.SetKeyPath(std::u16string(400, u'k'));
  EXPECT_EQ(store.keyPath().size(), 255u);
  EXPECT_TRUE(store.SetDword(u"v", 1));
  EXPECT_EQ(store.GetDword(u"v", 0), 1u);
}

}  // namespace
}  // namespace quillet
