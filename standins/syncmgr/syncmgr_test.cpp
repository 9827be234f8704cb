// The whole synchronisation across processes: the handheld program running on a device root
// with data of its own, the provider registered by the registration tool, and the sync manager
// started as the installer starts it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "companions/testing/companion_test_support.h"
#include "core/data_files.h"
#include "desktop/working_directory.h"
#include "platform/codepage.h"
#include "platform/linux/posix_file_system.h"
#include "platform/linux/remote_api.h"
#include "platform/linux/window_station.h"
#include "platform/testing/test_support.h"
#include "quotes/testing/quote_sim_process.h"
#include "standins/syncmgr/sync_manager.h"

namespace quillet {
namespace {

using testing::ShellQuote;

constexpr char kLibraryPath[] = "C:\\Program Files\\Microsoft ActiveSync\\Quillet\\Quillet.dll";

class SyncManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Registry& reg = desk.ctx->registry();
    HKEY key{};
    ASSERT_EQ(reg.CreateKey(HKEY_LOCAL_MACHINE, kDesktopSyncObjectsKey, &key), 0);
    reg.CloseKey(key);
    ASSERT_EQ(reg.SetString(HKEY_LOCAL_MACHINE, kActiveSyncKey, u"InstalledDir",
                            u"C:\\Program Files\\Microsoft ActiveSync"),
              0);
    dir = *FindWorkingDirectory(*desk.ctx);
    const std::filesystem::path target = *desk.ctx->HostPath(kLibraryPath);
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(testing::BuiltProgram("lib/QuilletDesk.so"), target,
                               std::filesystem::copy_options::overwrite_existing);
    // The provider's windows beside it, as the installer leaves them.
    std::filesystem::copy_file(testing::BuiltProgram("lib/QuilletDeskUi.so"),
                               target.parent_path() / "QuilletDeskUi.so",
                               std::filesystem::copy_options::overwrite_existing);
    // The handheld: the object type's library and its registration, the program's data.
    deviceLibrary = dev.Load("QuilletPPC", "\\Windows\\QuilletPPC.dll");
    ASSERT_EQ(dev.ctx().registry().SetString(HKEY_LOCAL_MACHINE,
                                             std::u16string(kDeviceSyncObjectsKey) + u"\\Quillet",
                                             u"DLL", u"QuilletPPC.dll"),
              0);
    dev.SeedData();
    ASSERT_EQ(ConnectDevice(disk, desk.ctx->root(), dev.root()), 0);
  }

  // Runs a tool to its end. Its output goes through a file: the handheld program it starts
  // again inherits its standard output and outlives it.
  int Tool(const std::string& program, const std::string& args, std::string* out = nullptr) {
    std::string env;
    if (sim) env = "QUILLET_QUOTE_SERVER=127.0.0.1:" + std::to_string(sim->port()) + " ";
    const std::string file = outputs.File("tool.out");
    const int rc = testing::RunCommand(env + ShellQuote(testing::BuiltProgram("bin/" + program)) +
                                       " --desktop-root " + ShellQuote(desk.ctx->root()) + " " +
                                       args + " >" + ShellQuote(file) + " 2>&1 </dev/null");
    if (out) {
      out->clear();
      disk.ReadAll(file, out);
    }
    return rc;
  }
  std::string LogFile() {
    std::string text;
    disk.ReadAll(dir.hostPath + "/QuilletLog.txt", &text);
    return text;
  }
  std::string DevicePrice(std::string_view symbol) {
    auto saved = dev.LoadSaved();
    for (const auto& r : saved->stocks) {
      if (r->Symbol() == symbol) return std::string(FieldText(r->szPrice));
    }
    return "<none>";
  }

  PosixFileSystem disk;
  testing::TempDir outputs;
  testing::TestRoot desk{PlatformContext::Kind::kDesktop};
  testing::CompanionRoot dev;
  WorkingDirectory dir;
  std::unique_ptr<LoadedLibrary> deviceLibrary;
  std::unique_ptr<testing::QuoteSimProcess> sim;
};

TEST_F(SyncManagerTest, RegistrationToolRegistersAndUnregistersWithItsExitStatus) {
  std::string out;
  EXPECT_EQ(Tool("quillet-regsvr", std::string("-s ") + ShellQuote(kLibraryPath), &out), 0) << out;
  EXPECT_EQ(out, "");
  auto providers = FindProviders(desk.ctx->registry());
  ASSERT_EQ(providers.size(), 1u);
  EXPECT_EQ(providers[0].objType, "Quillet");
  EXPECT_EQ(providers[0].progId, "Marrowby.Quillet");
  EXPECT_FALSE(providers[0].disabled);
  EXPECT_EQ(Tool("quillet-regsvr", std::string("-s -u ") + ShellQuote(kLibraryPath), &out), 0);
  EXPECT_TRUE(FindProviders(desk.ctx->registry()).empty());
  // Unregistering again finds no class: the failure is the exit status, and said without -s.
  EXPECT_NE(Tool("quillet-regsvr", std::string("-u ") + ShellQuote(kLibraryPath), &out), 0);
  EXPECT_NE(out.find("0x80070002"), std::string::npos) << out;
  EXPECT_NE(Tool("quillet-regsvr", "-s " + ShellQuote("C:\\missing.dll")), 0);
  EXPECT_EQ(Tool("quillet-regsvr", ""), 2);
}

TEST_F(SyncManagerTest, SyncNowClosesTheProgramUpdatesItsFilesAndStartsItAgain) {
  if (!dev.InstallProgram()) GTEST_SKIP() << "the handheld program is not built";
  const std::string fixture = dir.hostPath + "/../quotes.csv";
  ASSERT_EQ(disk.WriteAll(fixture,
                          "A,81.5,+1.5,80,82,80,1000000,81.4,81.6,60,90\n"
                          "B,12.25,-0.5,12,13,12.75,5000,12.2,12.3,10,20\n"),
            0);
  sim = std::make_unique<testing::QuoteSimProcess>(std::vector<std::string>{"--fixture", fixture});
  ASSERT_TRUE(sim->running());
  ASSERT_EQ(Tool("quillet-regsvr", std::string("-s ") + ShellQuote(kLibraryPath)), 0);
  auto before = dev.StartProgram();
  ASSERT_TRUE(before.has_value());
  ASSERT_EQ(DevicePrice("A"), "7");

  std::string out;
  EXPECT_EQ(Tool("quillet-syncmgr", "/syncnow /quit", &out), 0) << out;
  EXPECT_NE(out.find("Provider Quillet: loaded"), std::string::npos) << out;
  EXPECT_NE(out.find("Provider Quillet: 5 packets sent"), std::string::npos) << out;
  EXPECT_NE(out.find("Synchronized: 1 item(s) sent"), std::string::npos) << out;
  // The program was closed (a new process runs now), the files hold the simulator's prices.
  auto after = dev.WaitForProgramWindow(60000);
  ASSERT_TRUE(after.has_value());
  EXPECT_NE(after->pid, before->pid);
  EXPECT_TRUE(DevicePrice("A").starts_with("81.5")) << DevicePrice("A");
  EXPECT_TRUE(DevicePrice("B").starts_with("12.25")) << DevicePrice("B");
  EXPECT_EQ(dev.LoadSaved()->notes.size(), 1u);
  const std::string log = LogFile();
  for (const char* line : {"Quillet log started", "Quillet log ended"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  }
  // The stored copy of the item is the manager's own file, read back at the next start.
  EXPECT_TRUE(std::filesystem::exists(desk.ctx->root() + "/run/syncmgr/Quillet.repl"));
  // Nothing is left of the manager's window.
  WindowStation look(desk.ctx->root(), disk);
  EXPECT_EQ(look.FindWindow("", kActiveSyncTitle), 0u);
}

TEST_F(SyncManagerTest, DisabledProvidersAreSkippedAndTheOptionsDialogIsConfirmedByCommandOne) {
  ASSERT_EQ(Tool("quillet-regsvr", std::string("-s ") + ShellQuote(kLibraryPath)), 0);
  ASSERT_EQ(desk.ctx->registry().SetDword(HKEY_LOCAL_MACHINE,
                                          std::u16string(kDesktopSyncObjectsKey) + u"\\Quillet",
                                          u"Disabled", 1),
            0);
  std::string out;
  EXPECT_EQ(Tool("quillet-syncmgr", "/syncnow /quit", &out), 0) << out;
  EXPECT_NE(out.find("Provider Quillet: disabled"), std::string::npos) << out;
  EXPECT_NE(out.find("Synchronized: 0 item(s) sent"), std::string::npos) << out;

  // The dialog as the uninstaller finds it: a dialog holding a dialog holding the list.
  const std::string command = ShellQuote(testing::BuiltProgram("bin/quillet-syncmgr")) +
                              " --desktop-root " + ShellQuote(desk.ctx->root()) +
                              " /syncmgr /quit >/dev/null 2>&1 & echo $!";
  std::string pidText;
  ASSERT_EQ(testing::RunCommand(command, &pidText), 0);
  const pid_t pid = static_cast<pid_t>(std::stol(pidText));
  WindowStation look(desk.ctx->root(), disk);
  HWND confirmed = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!confirmed && std::chrono::steady_clock::now() < deadline) {
    for (const WindowInfo& top : look.EnumWindows()) {
      if (top.className != "#32770") continue;
      for (const WindowInfo& page : look.EnumChildWindows(top.hwnd)) {
        for (const WindowInfo& list : look.EnumChildWindows(page.hwnd)) {
          if (page.className == "#32770" && list.className == "SysListView32") {
            EXPECT_NE(list.title.find("Quillet"), std::string::npos) << list.title;
            confirmed = top.hwnd;
          }
        }
      }
    }
    if (!confirmed) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_NE(confirmed, 0u);
  EXPECT_NE(look.FindWindow("", kActiveSyncTitle), 0u);
  EXPECT_TRUE(look.PostMessage(confirmed, WM_COMMAND, 1, 0));
  // The manager ends once the dialog is confirmed, and its window with it.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (::kill(pid, 0) == 0 && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_NE(::kill(pid, 0), 0);
  EXPECT_EQ(look.FindWindow("", kActiveSyncTitle), 0u);
}

}  // namespace
}  // namespace quillet
