#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/linux/sqlite_registry.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using testing::TempDir;

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reg = SqliteRegistry::Open(dir.File("system.db"));
    ASSERT_TRUE(reg);
  }
  TempDir dir;
  std::unique_ptr<Registry> reg;
};

TEST_F(RegistryTest, ValuesOfEveryTypeReadBackAndKeysIgnoreCase) {
  HKEY k;
  DWORD disp = 0;
  ASSERT_EQ(reg->CreateKey(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Quillet", &k, &disp), 0);
  EXPECT_EQ(disp, REG_CREATED_NEW_KEY);
  DWORD d = 216;
  ASSERT_EQ(reg->SetValue(k, u"PrefSize", REG_DWORD, &d, 4), 0);
  const unsigned char bin[3] = {1, 0, 0xFF};
  ASSERT_EQ(reg->SetValue(k, u"PrefBuf", REG_BINARY, bin, 3), 0);
  ASSERT_EQ(reg->CloseKey(k), 0);

  ASSERT_EQ(reg->SetString(HKEY_CURRENT_USER, u"software\\marrowby\\QUILLET", u"ProgramPath",
                           u"\\Program Files\\Quillet\\Quillet.exe"),
            0);
  ASSERT_EQ(reg->CreateKey(HKEY_CURRENT_USER, u"Software\\Marrowby\\Quillet", &k, &disp), 0);
  EXPECT_EQ(disp, REG_OPENED_EXISTING_KEY);
  DWORD type = 0, size = 4, got = 0;
  ASSERT_EQ(reg->QueryValue(k, u"prefsize", &type, &got, &size), 0);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(got, 216u);
  unsigned char buf[8] = {};
  size = sizeof buf;
  ASSERT_EQ(reg->QueryValue(k, u"PrefBuf", &type, buf, &size), 0);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(buf[2], 0xFF);
  reg->CloseKey(k);

  std::u16string s;
  ASSERT_EQ(reg->GetString(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Quillet", u"ProgramPath", &s),
            0);
  EXPECT_EQ(s, u"\\Program Files\\Quillet\\Quillet.exe");
  // The roots are separate trees.
  EXPECT_EQ(reg->GetString(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Marrowby\\Quillet", u"ProgramPath", &s),
            ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, ErrorNumbersAreTheOnesCallersTest) {
  HKEY k;
  EXPECT_EQ(reg->OpenKey(HKEY_CURRENT_USER, u"Missing\\Key", &k), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(reg->CreateKey(HKEY_CURRENT_USER, u"A", &k), 0);
  DWORD type = 0, size = 4, v = 0;
  EXPECT_EQ(reg->QueryValue(k, u"nothing", &type, &v, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(reg->DeleteValue(k, u"nothing"), ERROR_FILE_NOT_FOUND);

  std::string bytes = EncodeRegString(u"twelve chars");
  ASSERT_EQ(reg->SetValue(k, u"s", REG_SZ, bytes.data(), static_cast<DWORD>(bytes.size())), 0);
  char small[4] = {'x', 'x', 'x', 'x'};
  size = sizeof small;
  EXPECT_EQ(reg->QueryValue(k, u"s", &type, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 26u) << "the size needed comes back with 234";
  EXPECT_EQ(small[0], 'x') << "a short buffer receives nothing";

  std::u16string name;
  EXPECT_EQ(reg->EnumKey(k, 0, &name), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(reg->EnumValue(k, 1, &name, &type, nullptr), ERROR_NO_MORE_ITEMS);
  reg->CloseKey(k);
  EXPECT_EQ(reg->CloseKey(k), ERROR_INVALID_HANDLE);
  EXPECT_EQ(reg->QueryValue(k, u"s", &type, nullptr, &size), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, EnumerationListsDirectChildrenInCreationOrder) {
  for (const char16_t* p : {u"Root\\Zeta", u"Root\\Alpha\\Deep", u"Root\\Mid", u"Root_x"}) {
    HKEY k;
    ASSERT_EQ(reg->CreateKey(HKEY_CURRENT_USER, p, &k), 0);
    reg->CloseKey(k);
  }
  HKEY root;
  ASSERT_EQ(reg->OpenKey(HKEY_CURRENT_USER, u"Root", &root), 0);
  std::vector<std::u16string> names;
  std::u16string n;
  for (DWORD i = 0; reg->EnumKey(root, i, &n) == 0; ++i) names.push_back(n);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Zeta", u"Alpha", u"Mid"}));

  DWORD one = 1;
  reg->SetValue(root, u"b", REG_DWORD, &one, 4);
  reg->SetValue(root, u"", REG_DWORD, &one, 4);   // the default value
  reg->SetValue(root, u"b", REG_DWORD, &one, 4);  // rewriting keeps its place
  std::vector<std::u16string> values;
  for (DWORD i = 0; reg->EnumValue(root, i, &n, nullptr, nullptr) == 0; ++i) values.push_back(n);
  EXPECT_EQ(values, (std::vector<std::u16string>{u"b", u""}));
  reg->CloseKey(root);
}

TEST_F(RegistryTest, DeleteKeyRefusesSubKeysAndDeleteTreeTakesThemAll) {
  HKEY k;
  ASSERT_EQ(reg->CreateKey(HKEY_LOCAL_MACHINE,
                           u"Software\\Microsoft\\Today\\Items\\\"Quillet\"\\Sub", &k),
            0);
  DWORD v = 4;
  reg->SetValue(k, u"Type", REG_DWORD, &v, 4);
  reg->CloseKey(k);
  EXPECT_EQ(reg->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Today\\Items\\\"Quillet\""),
            ERROR_ACCESS_DENIED);
  ASSERT_EQ(reg->DeleteTree(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Today\\Items\\\"Quillet\""),
            0);
  EXPECT_EQ(
      reg->OpenKey(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Today\\Items\\\"Quillet\"\\Sub", &k),
      ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(reg->OpenKey(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Today\\Items", &k), 0);
  reg->CloseKey(k);
  EXPECT_EQ(reg->DeleteTree(HKEY_LOCAL_MACHINE, u"Software\\Nothing"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, KeyNamesWithLikeWildcardsMatchOnlyThemselves) {
  HKEY k;
  ASSERT_EQ(reg->CreateKey(HKEY_CURRENT_USER, u"a%\\x", &k), 0);
  reg->CloseKey(k);
  ASSERT_EQ(reg->CreateKey(HKEY_CURRENT_USER, u"ab\\y", &k), 0);
  reg->CloseKey(k);
  ASSERT_EQ(reg->DeleteTree(HKEY_CURRENT_USER, u"a%"), 0);
  EXPECT_EQ(reg->OpenKey(HKEY_CURRENT_USER, u"ab\\y", &k), 0);
  reg->CloseKey(k);
}

// Scopes work through the interface alone: what a caller holding a Registry& writes in a scope
// is stored only when the outermost scope commits, and a scope ended without Commit takes back
// everything written in it, as seen by a second connection.
TEST_F(RegistryTest, TransactionScopesCommitOnlyAtTheOutermostAndRollBackWhenAbandoned) {
  Registry& registry = *reg;
  // Opened before any scope starts: it only reads, so it never waits for the writer.
  auto other = SqliteRegistry::Open(dir.File("system.db"));
  ASSERT_TRUE(other);
  auto stored = [&](std::u16string_view name) {
    DWORD v = 0;
    return other->GetDword(HKEY_CURRENT_USER, u"Scopes", name, &v) == ERROR_SUCCESS;
  };
  {
    Registry::Transaction outer(registry);
    ASSERT_TRUE(outer.active());
    ASSERT_EQ(registry.SetDword(HKEY_CURRENT_USER, u"Scopes", u"Outer", 1), 0);
    {
      Registry::Transaction inner(registry);
      ASSERT_EQ(registry.SetDword(HKEY_CURRENT_USER, u"Scopes", u"Inner", 2), 0);
      EXPECT_TRUE(inner.Commit());
      EXPECT_FALSE(inner.Commit()) << "a scope ends once";
    }
    EXPECT_FALSE(stored(u"Inner")) << "an inner commit only ends its scope";
    EXPECT_TRUE(outer.Commit());
  }
  EXPECT_TRUE(stored(u"Outer"));
  EXPECT_TRUE(stored(u"Inner"));

  {
    Registry::Transaction abandoned(registry);
    ASSERT_EQ(registry.SetDword(HKEY_CURRENT_USER, u"Scopes", u"Lost", 3), 0);
    ASSERT_EQ(registry.DeleteTree(HKEY_CURRENT_USER, u"Scopes"), 0);
  }
  EXPECT_TRUE(stored(u"Outer")) << "the deletion was rolled back";
  EXPECT_FALSE(stored(u"Lost"));
}

TEST_F(RegistryTest, ValuesSurviveANewConnection) {
  ASSERT_EQ(reg->SetDword(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Quillet", u"Alert", 1), 0);
  reg.reset();
  auto again = SqliteRegistry::Open(dir.File("system.db"));
  DWORD v = 0;
  ASSERT_EQ(again->GetDword(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Quillet", u"Alert", &v), 0);
  EXPECT_EQ(v, 1u);
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
  reg.reset();
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      auto r = SqliteRegistry::Open(dir.File("system.db"));
      int failures = r ? 0 : 1;
      for (int i = 0; r && i < 1000; ++i) {
        std::u16string name = u"v" + std::u16string(1, static_cast<char16_t>(u'0' + c)) + u"_";
        for (char ch : std::to_string(i)) name.push_back(static_cast<char16_t>(ch));
        if (r->SetDword(HKEY_CURRENT_USER, u"Shared", name, static_cast<DWORD>(i))) ++failures;
      }
      _exit(failures == 0 ? 0 : 1);
    }
    children[c] = pid;
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  auto r = SqliteRegistry::Open(dir.File("system.db"));
  HKEY k;
  ASSERT_EQ(r->OpenKey(HKEY_CURRENT_USER, u"Shared", &k), 0);
  DWORD count = 0;
  std::u16string n;
  while (r->EnumValue(k, count, &n, nullptr, nullptr) == 0) ++count;
  EXPECT_EQ(count, 2000u);
  r->CloseKey(k);
}

}  // namespace
}  // namespace quillet
