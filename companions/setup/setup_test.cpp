// The package's setup library through its four entries, on a root with a running program,
// another product's settings and a window that stands for the Today screen.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "companions/testing/companion_test_support.h"
#include "core/chart_store.h"
#include "core/registry/registry_store.h"
#include "device/resource_ids.h"
#include "platform/linux/install_entries.h"
#include "platform/linux/process.h"
#include "platform/window_messages.h"

namespace quillet {
namespace {

constexpr char16_t kTodayKey[] = u"Software\\Microsoft\\Today\\Items\\\"Quillet\"";
constexpr char16_t kSyncKey[] = u"Windows CE Services\\Synchronization\\Objects\\Quillet";

// A top-level window on its own thread, as the Today screen is in its own process: it answers
// what is sent to it and remembers the settings changes.
class TodayScreenWindow {
 public:
  explicit TodayScreenWindow(const std::string& root) {
    thread_ = std::thread([this, root] {
      WindowStation station(root);
      HWND hwnd = station.CreateWindow("", "DesktopExplorerWindow", "\\Windows\\shell32.exe",
                                       [this](const WindowMessage& m) {
                                         if (m.msg == WM_SETTINGCHANGE) {
                                           std::lock_guard lock(mutex_);
                                           changes_.push_back(m.wParam);
                                         }
                                         return 0;
                                       });
      ready_ = hwnd != 0;
      while (!stop_) station.PumpFor(20);
    });
    while (!ready_) std::this_thread::yield();
  }
  ~TodayScreenWindow() {
    stop_ = true;
    thread_.join();
  }
  std::vector<std::uint64_t> changes() {
    std::lock_guard lock(mutex_);
    return changes_;
  }

 private:
  std::thread thread_;
  std::atomic<bool> ready_{false};
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::uint64_t> changes_;
};

class SetupLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fx.environment.messageBoxes = &boxes;
    boxes.SetAnswerer(fx.boxes.AsAnswerer());
    library = fx.Load("QuilletSetup", "\\Windows\\AppMgr\\QuilletSetup.dll");
    ASSERT_NE(library, nullptr);
    installInit = library->Proc<InstallInitProc>("Install_Init");
    installExit = library->Proc<InstallExitProc>("Install_Exit");
    uninstallInit = library->Proc<UninstallInitProc>("Uninstall_Init");
    uninstallExit = library->Proc<UninstallExitProc>("Uninstall_Exit");
    ASSERT_TRUE(installInit && installExit && uninstallInit && uninstallExit);
  }
  Registry& registry() { return fx.ctx().registry(); }
  bool KeyExists(HKEY root, std::u16string_view path) {
    HKEY key = HKEY::None;
    if (registry().OpenKey(root, path, &key) != ERROR_SUCCESS) return false;
    registry().CloseKey(key);
    return true;
  }
  DWORD TodayValue(std::u16string_view name) {
    DWORD v = 99;
    registry().GetDword(HKEY_LOCAL_MACHINE, kTodayKey, name, &v);
    return v;
  }
  void Install() {
    EXPECT_EQ(installInit(0, 1, 1, u"\\Program Files\\Quillet"), codeINSTALL_INIT_CONTINUE);
    EXPECT_EQ(installExit(0, u"\\Program Files\\Quillet", 0, 0, 0, 0, 0), codeINSTALL_EXIT_DONE);
  }
  void Uninstall() {
    EXPECT_EQ(uninstallInit(0, u"\\Program Files\\Quillet"), codeUNINSTALL_INIT_CONTINUE);
    EXPECT_EQ(uninstallExit(0), codeUNINSTALL_EXIT_DONE);
  }
  // What an installed and used handheld holds.
  void SeedInstallation(bool withCharts) {
    fx.SeedData();
    ASSERT_EQ(registry().SetDword(HKEY_LOCAL_MACHINE, kTodayKey, u"Enabled", 1), ERROR_SUCCESS);
    ASSERT_EQ(registry().SetString(HKEY_LOCAL_MACHINE, kSyncKey, u"DLL", u"QuilletPPC.dll"),
              ERROR_SUCCESS);
    std::ofstream(fx.HostPath("\\Windows\\QuilletToday.dll")) << "library";
    if (withCharts) {
      CEOID oid = 0;
      ASSERT_EQ(fx.ctx().objectStore().CreateDatabase(kChartDbName, 0, PROP_SERIES_NAME, 0, &oid),
                ERROR_SUCCESS);
    }
  }

  testing::CompanionRoot fx;
  MessageBoxes boxes;
  std::unique_ptr<LoadedLibrary> library;
  InstallInitProc installInit = nullptr;
  InstallExitProc installExit = nullptr;
  UninstallInitProc uninstallInit = nullptr;
  UninstallExitProc uninstallExit = nullptr;
};

TEST_F(SetupLibraryTest, InstallingOverAnInstallationKeepsTheItemEnabledAndTheData) {
  SeedInstallation(true);
  TodayScreenWindow today(fx.root());
  Install();
  EXPECT_EQ(TodayValue(u"Type"), 4u);
  EXPECT_EQ(TodayValue(u"Options"), 0u);
  EXPECT_EQ(TodayValue(u"Enabled"), 1u);
  std::u16string dll;
  EXPECT_EQ(registry().GetString(HKEY_LOCAL_MACHINE, kTodayKey, u"DLL", &dll), ERROR_SUCCESS);
  EXPECT_EQ(dll, u"QuilletToday.dll");
  auto saved = fx.LoadSaved();
  EXPECT_EQ(saved->stocks.size(), 2u);
  EXPECT_EQ(saved->notes.size(), 1u);
  CEOID oid = 0;
  EXPECT_EQ(fx.ctx().objectStore().FindDatabase(kChartDbName, &oid), ERROR_SUCCESS);
  ASSERT_EQ(fx.boxes.shown().size(), 1u);
  const MessageBoxRequest& box = fx.boxes.shown()[0];
  EXPECT_EQ(box.caption, "Quillet");
  EXPECT_EQ(box.text,
            "Quillet is now installed on your Pocket PC!\n\nTo enable the Quillet Today feature, "
            "open the Start menu, select Settings and then the Today applet.");
  EXPECT_EQ(box.flags & MB_ICONMASK, MB_ICONINFORMATION);
  // The item was dropped and the Today screen told (and it had answered) before the package's
  // files were placed; it is told again once the item is back.
  for (int i = 0; i < 500 && today.changes().size() < 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(today.changes(), (std::vector<std::uint64_t>{0xF2, 0xF2}));
}

TEST_F(SetupLibraryTest, TheInstallerWaitsUntilTheRunningProgramHasSavedAndEnded) {
  if (!fx.InstallProgram()) GTEST_SKIP() << "the handheld program is not built";
  SeedInstallation(false);
  auto program = fx.StartProgram();
  ASSERT_TRUE(program);
  // A dialog of the program is open (its title is the program's name too).
  ASSERT_TRUE(fx.station.PostMessage(program->hwnd, WM_COMMAND, ID_APP_ABOUT, 0));
  EXPECT_EQ(installInit(0, 1, 1, u"\\Program Files\\Quillet"), codeINSTALL_INIT_CONTINUE);
  EXPECT_FALSE(ProcessRunning(program->pid)) << "the files would be replaced under the program";
  EXPECT_EQ(fx.LoadSaved()->stocks.size(), 2u);
}

TEST_F(SetupLibraryTest, UninstallingRemovesFilesAndKeysButLeavesOtherProductsSettings) {
  SeedInstallation(false);
  ASSERT_EQ(
      registry().SetString(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Inkwell", u"Theme", u"dark"),
      ERROR_SUCCESS);
  // A sync stopped between its two renames (the stock file moved aside, the new one not yet in)
  // and saves of the program stopped before their own renames.
  const std::string folder = "\\Program Files\\Quillet\\";
  std::filesystem::rename(fx.HostPath(folder + "QuilletDB"), fx.HostPath(folder + "QuilletDB.old"));
  for (const char* left : {"QuilletDB.tmp", "StockNoteDB.tmp", "StockAlertDB.tmp"}) {
    std::ofstream(fx.HostPath(folder + left)) << "partial";
  }
  Uninstall();
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTodayKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSyncKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Quillet"));
  std::u16string theme;
  EXPECT_EQ(
      registry().GetString(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Inkwell", u"Theme", &theme),
      ERROR_SUCCESS);
  EXPECT_EQ(theme, u"dark");
  for (const char* file :
       {"\\Program Files\\Quillet\\QuilletDB", "\\Program Files\\Quillet\\StockNoteDB",
        "\\Program Files\\Quillet\\StockAlertDB", "\\Windows\\QuilletToday.dll"}) {
    EXPECT_FALSE(std::filesystem::exists(fx.HostPath(file))) << file;
  }
  EXPECT_FALSE(std::filesystem::exists(fx.HostPath("\\Program Files\\Quillet")));
  EXPECT_TRUE(fx.boxes.shown().empty());
  // Installed again, the program starts with nothing of the removed installation's.
  Install();
  auto saved = fx.LoadSaved();
  ASSERT_TRUE(saved);
  EXPECT_TRUE(saved->stocks.empty());
}

TEST_F(SetupLibraryTest, UninstallingDeletesTheChartsAndAVendorKeyLeftEmpty) {
  SeedInstallation(true);
  TodayScreenWindow today(fx.root());
  EXPECT_EQ(uninstallInit(0, u"\\Program Files\\Quillet"), codeUNINSTALL_INIT_CONTINUE);
  // The Today screen had answered the refresh before the removal went on to delete its library.
  EXPECT_EQ(today.changes(), std::vector<std::uint64_t>{0xF2});
  EXPECT_EQ(uninstallExit(0), codeUNINSTALL_EXIT_DONE);
  CEOID oid = 0;
  EXPECT_NE(fx.ctx().objectStore().FindDatabase(kChartDbName, &oid), ERROR_SUCCESS);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, u"SOFTWARE")) << "only the vendor's key goes";
  // A second removal finds nothing to remove and still says nothing.
  Uninstall();
  EXPECT_TRUE(fx.boxes.shown().empty());
}

TEST_F(SetupLibraryTest, AVendorKeyWithAValueOfItsOwnStays) {
  SeedInstallation(false);
  ASSERT_EQ(registry().SetDword(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby", u"Registered", 1),
            ERROR_SUCCESS);
  Uninstall();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Quillet"));
  DWORD registered = 0;
  EXPECT_EQ(
      registry().GetDword(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby", u"Registered", &registered),
      ERROR_SUCCESS);
}

}  // namespace
}  // namespace quillet
