// export, import, backup, restore and backups of quillet-cli, run as a separate process on
// fresh roots, and a sync that carries out the asked-for restore and import.
#include <gtest/gtest.h>

#include "platform/linux/posix_file_system.h"
#include "platform/testing/test_support.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

using testing::RunCommand;
using testing::ShellQuote;

class DeskFileCommandsTest : public ::testing::Test {
 protected:
  PosixFileSystem disk;
  int Cli(const std::string& args, std::string* out = nullptr, bool withErrors = true) {
    return RunCommand("TZ=UTC QUILLET_NOW=1051891200 " + quoteServer +
                          ShellQuote(testing::BuiltProgram("bin/quillet-cli")) +
                          " --desktop-root " + ShellQuote(desktop) + " --device-root " +
                          ShellQuote(device) + " " + args + (withErrors ? " 2>&1" : " 2>/dev/null"),
                      out);
  }
  std::string Working(const std::string& name) {
    std::string bytes;
    disk.ReadAll(desktop + "/C/Program Files/Microsoft ActiveSync/Quillet/" + name, &bytes);
    return bytes;
  }
  testing::TempDir dir;
  std::string desktop = dir.path() + "/desktop root";
  std::string device = dir.path() + "/device root";
  std::string quoteServer;
};

TEST_F(DeskFileCommandsTest, ExportBackupThenRestoreAndImportAtTheNextSync) {
  std::string out;
  ASSERT_EQ(Cli("reg --desktop --root HKLM set 'SOFTWARE\\Microsoft\\Windows CE Services' "
                "InstalledDir --string 'C:\\Program Files\\Microsoft ActiveSync'"),
            0);
  EXPECT_EQ(Cli("export", &out), 1);  // no device yet
  EXPECT_NE(out.find("no device connected"), std::string::npos) << out;
  ASSERT_EQ(Cli("new-stock name=IBM symbol=IBM shares=10 buyPrice=70 price=80", &out), 0) << out;
  ASSERT_EQ(Cli("device connect", &out), 0) << out;

  ASSERT_EQ(Cli("backups", &out), 0);
  EXPECT_EQ(out, "");
  ASSERT_EQ(Cli("export", &out), 0) << out;
  const std::string csv = Working("Quillet.csv");
  EXPECT_EQ(csv.rfind("Name,Symbol,Category,Buy Date,", 0), 0u) << csv;
  EXPECT_NE(csv.find("\nIBM,IBM,"), std::string::npos) << csv;
  ASSERT_EQ(Cli("export --scheduled", &out), 0);  // the frequency is "never"
  EXPECT_NE(out.find("no export is due"), std::string::npos) << out;
  EXPECT_EQ(Cli("export --now", &out), 2);

  ASSERT_EQ(Cli("backup", &out), 0) << out;
  EXPECT_NE(out.find("Data backed up to: C:\\Program Files\\Microsoft ActiveSync\\Quillet\\Backup"),
            std::string::npos)
      << out;
  ASSERT_EQ(Cli("backups", &out, false), 0);
  EXPECT_EQ(out, "20030502\n");
  ASSERT_EQ(Cli("settings get BackupLastTime", &out), 0);
  EXPECT_EQ(out, "1051891200\n");

  EXPECT_EQ(Cli("restore 2003", &out), 2);
  EXPECT_EQ(Cli("restore 20000101", &out), 1);
  EXPECT_NE(out.find("there is no backup of 20000101"), std::string::npos) << out;
  ASSERT_EQ(Cli("restore 20030502", &out), 0) << out;
  ASSERT_EQ(Cli("settings get RestoreTime", &out), 0);
  EXPECT_EQ(out, "20030502\n");

  // After the backup the device gets a stock that the restore takes away again.
  ASSERT_EQ(Cli("new-stock name=Later symbol=LTR shares=1 buyPrice=1 price=1", &out), 0) << out;
  ASSERT_EQ(disk.CreateFolders(desktop + "/C/data"), 0);
  ASSERT_EQ(disk.WriteAll(desktop + "/C/data/new.csv", "Apple,AAPL,Tech,1/31/2003,10,12.50,5\r\n"),
            0);
  EXPECT_EQ(Cli("import", &out), 2);
  EXPECT_EQ(Cli("import 'C:\\data\\missing.csv'", &out), 1);
  ASSERT_EQ(Cli("import 'C:\\data\\new.csv'", &out), 0) << out;
  ASSERT_EQ(Cli("settings get bImportNextSync", &out), 0);
  EXPECT_EQ(out, "1\n");

  testing::QuoteSimProcess sim;
  ASSERT_TRUE(sim.running());
  quoteServer = "QUILLET_QUOTE_SERVER=127.0.0.1:" + std::to_string(sim.port()) + " ";
  ASSERT_EQ(Cli("sync --yes", &out, false), 0) << out;
  EXPECT_NE(out.find("Quillet Data from [20030502] restored\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Quillet: Imported [1] records\n"), std::string::npos) << out;
  ASSERT_EQ(Cli("dump stocks", &out), 0);
  EXPECT_NE(out.find("IBM"), std::string::npos) << out;
  EXPECT_NE(out.find("Apple"), std::string::npos) << out;
  EXPECT_EQ(out.find("Later"), std::string::npos) << out;
  ASSERT_EQ(Cli("portfolio list", &out), 0);
  EXPECT_NE(out.find("Tech"), std::string::npos) << out;
  ASSERT_EQ(Cli("settings get bImportNextSync", &out), 0);
  EXPECT_EQ(out, "0\n");
  ASSERT_EQ(Cli("settings get bRestoreNextTime", &out), 0);
  EXPECT_EQ(out, "0\n");
}

}  // namespace
}  // namespace quillet
