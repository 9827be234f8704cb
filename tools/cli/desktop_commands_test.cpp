// The desktop commands of quillet-cli, run as a separate process on fresh roots.
#include <gtest/gtest.h>

#include "platform/linux/posix_file_system.h"
#include "platform/testing/test_support.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

using testing::RunCommand;
using testing::ShellQuote;

class DesktopCommandsTest : public ::testing::Test {
 protected:
  PosixFileSystem disk;  // the host's files, where the test puts and reads them
  int Cli(const std::string& args, std::string* out = nullptr) {
    return RunCommand(ShellQuote(testing::BuiltProgram("bin/quillet-cli")) + " --desktop-root " +
                          ShellQuote(desktop) + " --device-root " + ShellQuote(device) + " " +
                          args + " 2>&1",
                      out);
  }
  void Install() {
    ASSERT_EQ(Cli("reg --desktop --root HKLM set 'SOFTWARE\\Microsoft\\Windows CE Services' "
                  "InstalledDir --string 'C:\\Program Files\\Microsoft ActiveSync'"),
              0);
  }
  std::string Ini() {
    std::string bytes;
    disk.ReadAll(desktop + "/C/Program Files/Microsoft ActiveSync/Quillet/Quillet.ini", &bytes);
    return bytes;
  }
  testing::TempDir dir;
  std::string desktop = dir.path() + "/desktop root";
  std::string device = dir.path() + "/device root";
};

TEST_F(DesktopCommandsTest, SettingsAreReadAndWrittenAsTheCompanionDoes) {
  std::string out;
  EXPECT_EQ(Cli("settings get proxyPort", &out), 1);
  EXPECT_NE(out.find("InstalledDir"), std::string::npos);
  Install();

  ASSERT_EQ(Cli("settings get PROXYPORT", &out), 0);
  EXPECT_EQ(out, "8080\n");
  EXPECT_EQ(Ini(), "") << "a read writes nothing";
  ASSERT_EQ(Cli("settings set proxyAddress proxy.example", &out), 0) << out;
  ASSERT_EQ(Cli("settings set bProxyAuth 1", &out), 0) << out;
  ASSERT_EQ(Cli("settings set proxyPasswd secret", &out), 0) << out;
  EXPECT_NE(Ini().find("\r\nproxyAddress=proxy.example\r\n"), std::string::npos);
  EXPECT_NE(Ini().find("\r\nproxyPasswd=c2VjcmV0\r\n"), std::string::npos);
  ASSERT_EQ(Cli("settings get proxyPasswd", &out), 0);
  EXPECT_EQ(out, "secret\n");

  // Values go through the same rules as a load.
  ASSERT_EQ(Cli("settings set RestoreTime ../../x", &out), 0);
  EXPECT_NE(out.find("stored as \"\""), std::string::npos);
  ASSERT_EQ(Cli("settings set bProxyAuth 0", &out), 0);
  ASSERT_EQ(Cli("settings get proxyPasswd", &out), 0);
  EXPECT_EQ(out, "\n");

  EXPECT_EQ(Cli("settings set bDebug 0", &out), 2);
  EXPECT_EQ(Cli("settings set noSuchKey 1", &out), 2);
  EXPECT_EQ(Cli("settings set proxyPort", &out), 2);
  ASSERT_EQ(Cli("settings get", &out), 0);
  EXPECT_EQ(out.rfind("ConduitEnabled=1\nbDebug=1\nbUseProxy=0\nproxyPort=8080\n"
                      "proxyAddress=proxy.example\n",
                      0),
            0u)
      << out;
  EXPECT_NE(out.find("\nRestoreTime=\n"), std::string::npos);

  // Numbers are read whole and kept as typed, or refused with nothing saved.
  const std::string before = Ini();
  EXPECT_EQ(Cli("settings set proxyPort 80x", &out), 2);
  EXPECT_NE(out.find("proxyPort: \"80x\""), std::string::npos) << out;
  EXPECT_EQ(Cli("settings set proxyPort ' 3128'", &out), 2);
  EXPECT_EQ(Cli("settings set bUseProxy 300", &out), 2) << "a byte cannot keep 300";
  EXPECT_NE(out.find("bUseProxy: 300 is out of its range"), std::string::npos) << out;
  EXPECT_EQ(Cli("settings set ucSyncEvery abc", &out), 2);
  EXPECT_EQ(Ini(), before);
  ASSERT_EQ(Cli("settings set proxyPort 3128", &out), 0) << out;
  EXPECT_NE(Ini().find("\r\nproxyPort=3128\r\n"), std::string::npos);
  ASSERT_EQ(Cli("settings get PROXYPORT --json", &out), 0);
  EXPECT_EQ(out, "[\n {\"key\": \"proxyPort\", \"value\": 3128}\n]\n");
  ASSERT_EQ(Cli("settings get --json", &out), 0);
  EXPECT_NE(out.find("\n {\"key\": \"proxyAddress\", \"value\": \"proxy.example\"},\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(Cli("settings set proxyPort 80 --json", &out), 2);
}

TEST_F(DesktopCommandsTest, TheDeviceRootIsConnectedAndDisconnected) {
  std::string out;
  ASSERT_EQ(Cli("device show", &out), 0);
  EXPECT_EQ(out, "no device connected\n");
  ASSERT_EQ(Cli("device connect", &out), 0) << out;
  ASSERT_EQ(Cli("device show", &out), 0);
  EXPECT_EQ(out, device + "\n");
  ASSERT_EQ(Cli("device disconnect", &out), 0);
  ASSERT_EQ(Cli("device show", &out), 0);
  EXPECT_EQ(out, "no device connected\n");
  EXPECT_EQ(Cli("device plug", &out), 2);
}

TEST_F(DesktopCommandsTest, SyncRunsOneWholeDesktopRunAndSaysWhetherItWroteBack) {
  testing::QuoteSimProcess sim;
  ASSERT_TRUE(sim.running());
  const std::string env =
      "TZ=UTC QUILLET_NOW=1051891200 QUILLET_QUOTE_SERVER=127.0.0.1:" + std::to_string(sim.port()) +
      " ";
  auto sync = [&](const std::string& args, std::string* out) {
    return RunCommand(env + ShellQuote(testing::BuiltProgram("bin/quillet-cli")) +
                          " --desktop-root " + ShellQuote(desktop) + " sync " + args +
                          " 2>/dev/null",
                      out);
  };
  std::string out;
  Install();
  // No handheld in the cradle.
  EXPECT_EQ(sync("", &out), 1);
  EXPECT_NE(out.find("Error: Unable to initialize RAPI interface\n"), std::string::npos) << out;

  ASSERT_EQ(Cli("new-stock name=IBM symbol=IBM shares=10 buyPrice=70 price=80", &out), 0) << out;
  ASSERT_EQ(Cli("device connect", &out), 0) << out;
  ASSERT_EQ(Cli("settings set bUpdateAsk 1", &out), 0) << out;
  EXPECT_EQ(sync("--no", &out), 1);
  EXPECT_NE(out.find("Quillet: Update not performed.\n"), std::string::npos) << out;
  EXPECT_EQ(sync("--yes --no", &out), 2);

  ASSERT_EQ(sync("--yes", &out), 0) << out;
  EXPECT_EQ(out.rfind("Quillet log started: [02/05/2003 16:00:00]\n"
                      "Quillet v4.36 (Windows : PocketPC/Smartphone)\n"
                      "Query String: IBM\n",
                      0),
            0u)
      << out;
  EXPECT_NE(out.find("\nQuillet log ended: [02/05/2003 16:00:00]\n"), std::string::npos);
  ASSERT_EQ(Cli("dump prefs", &out), 0);
  EXPECT_NE(out.find("tLastUpdate: 1051891200"), std::string::npos) << out;
  ASSERT_EQ(Cli("settings get ucSyncLastTime", &out), 0);
  EXPECT_EQ(out, "1051891200\n");
}

}  // namespace
}  // namespace quillet
