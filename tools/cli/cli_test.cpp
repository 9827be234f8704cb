// quillet-cli driven as a script would drive it: as a separate process on a fresh root.
#include <gtest/gtest.h>

#include "platform/linux/sqlite_registry.h"
#include "platform/registry.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using testing::RunCommand;
using testing::ShellQuote;

class CliTest : public ::testing::Test {
 protected:
  int Cli(const std::string& args, std::string* out = nullptr) {
    std::string cmd = ShellQuote(testing::BuiltProgram("bin/quillet-cli")) + " --device-root " +
                      ShellQuote(root) + " " + args + " 2>&1";
    return RunCommand(cmd, out);
  }
  testing::TempDir dir;
  std::string root = dir.path() + "/device root";
};

TEST_F(CliTest, HelpListsTheCommandsAndBadCommandLinesExitWithTwo) {
  std::string out;
  EXPECT_EQ(Cli("--help", &out), 0);
  EXPECT_NE(out.find("reg "), std::string::npos);
  EXPECT_EQ(Cli("frobnicate", &out), 2);
  EXPECT_NE(out.find("unknown command"), std::string::npos);
  EXPECT_EQ(Cli("", &out), 2);
  EXPECT_EQ(Cli("reg set Key Name", &out), 2) << "a set without a value";
  EXPECT_EQ(Cli("reg set Key Name --dword 12abc", &out), 2);
}

TEST_F(CliTest, ValuesSetByOneProcessAreReadByTheNext) {
  ASSERT_EQ(Cli("reg set 'SOFTWARE\\Marrowby\\Quillet' Alert --dword 1"), 0);
  ASSERT_EQ(Cli("reg set 'SOFTWARE\\Marrowby\\Quillet' ProgramPath --string "
                "'\\Program Files\\Quillet\\Quillet.exe'"),
            0);
  ASSERT_EQ(Cli("reg --root HKLM set 'Software\\x' Blob --binary 00ff10"), 0);
  std::string out;
  ASSERT_EQ(Cli("reg get 'software\\marrowby\\quillet' Alert", &out), 0);
  EXPECT_EQ(out, "1\n");
  ASSERT_EQ(Cli("reg list 'SOFTWARE\\Marrowby\\Quillet'", &out), 0);
  EXPECT_EQ(out, "Alert dword 1\nProgramPath string \\Program Files\\Quillet\\Quillet.exe\n");
  ASSERT_EQ(Cli("reg --root HKLM get 'Software\\x' Blob", &out), 0);
  EXPECT_EQ(out, "00ff10\n");
  ASSERT_EQ(Cli("reg list 'Software\\x'", &out), 1) << "that key lives under HKLM only";

  // The values are in the root's own registry file, readable without the tool.
  auto reg = SqliteRegistry::Open(SystemDatabasePath(root));
  DWORD v = 0;
  ASSERT_EQ(reg->GetDword(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Quillet", u"Alert", &v), 0);
  EXPECT_EQ(v, 1u);

  ASSERT_EQ(Cli("reg delete 'SOFTWARE\\Marrowby\\Quillet' Alert"), 0);
  EXPECT_EQ(Cli("reg get 'SOFTWARE\\Marrowby\\Quillet' Alert", &out), 1);
  ASSERT_EQ(Cli("reg delete 'SOFTWARE\\Marrowby'"), 0);
  EXPECT_EQ(Cli("reg list 'SOFTWARE\\Marrowby\\Quillet'", &out), 1);
}

}  // namespace
}  // namespace quillet
