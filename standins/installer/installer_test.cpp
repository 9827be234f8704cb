// The package installer on a device root with the package the build makes: a first install, an
// install over a used installation, a removal, and both with the program running.
#include <gtest/gtest.h>

#include <filesystem>

#include "companions/testing/companion_test_support.h"
#include "core/chart_store.h"
#include "core/registry/registry_store.h"
#include "platform/linux/process.h"
#include "standins/installer/package_installer.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

constexpr char16_t kTodayKey[] = u"Software\\Microsoft\\Today\\Items\\\"Quillet\"";
constexpr char16_t kSyncKey[] = u"Windows CE Services\\Synchronization\\Objects\\Quillet";

class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    package = testing::BuiltProgram("package");
    if (!fs::exists(fs::path(package) / "Quillet.exe")) {
      GTEST_SKIP() << "the device package is built with the handheld program";
    }
  }
  Registry& registry() { return fx.ctx().registry(); }
  bool KeyExists(HKEY root, std::u16string_view path) {
    HKEY key = HKEY::None;
    if (registry().OpenKey(root, path, &key) != ERROR_SUCCESS) return false;
    registry().CloseKey(key);
    return true;
  }
  LONG Install() {
    std::string report;
    LONG rc = installer.Install(package, &report);
    EXPECT_EQ(rc, 0) << report;
    return rc;
  }

  testing::CompanionRoot fx;
  MessageBoxes boxes = [this] {
    MessageBoxes b;
    b.SetAnswerer(fx.boxes.AsAnswerer());
    return b;
  }();
  CPackageInstaller installer{fx.root(), boxes, fx.ctx().openedWith()};
  std::string package;
};

TEST_F(InstallerTest, AFirstInstallPlacesTheProgramAndLibrariesAndRegistersTheItem) {
  EXPECT_FALSE(installer.Installed());
  ASSERT_EQ(Install(), 0);
  EXPECT_TRUE(installer.Installed());
  for (const char* path : {"\\Program Files\\Quillet\\Quillet.exe", "\\Windows\\QuilletToday.dll",
                           "\\Windows\\QuilletPPC.dll", "\\Windows\\AppMgr\\QuilletSetup.dll"}) {
    EXPECT_TRUE(fs::exists(fx.HostPath(path))) << path;
  }
  DWORD enabled = 0;
  EXPECT_EQ(registry().GetDword(HKEY_LOCAL_MACHINE, kTodayKey, u"Enabled", &enabled), 0);
  EXPECT_EQ(enabled, 1u);
  std::u16string dll;
  EXPECT_EQ(registry().GetString(HKEY_LOCAL_MACHINE, kSyncKey, u"DLL", &dll), 0);
  EXPECT_EQ(dll, u"QuilletPPC.dll");
  ASSERT_EQ(fx.boxes.texts().size(), 1u);
  EXPECT_EQ(fx.boxes.texts()[0].rfind("Quillet is now installed on your Pocket PC!", 0), 0u);
}

TEST_F(InstallerTest, ReinstallingKeepsTheDataTheChartsAndTheItem) {
  ASSERT_EQ(Install(), 0);
  fx.SeedData();
  CEOID charts = 0;
  ASSERT_EQ(fx.ctx().objectStore().CreateDatabase(kChartDbName, 0, PROP_SERIES_NAME, 0, &charts),
            0);
  ASSERT_EQ(Install(), 0);
  auto saved = fx.LoadSaved();
  EXPECT_EQ(saved->stocks.size(), 2u);
  EXPECT_EQ(saved->notes.size(), 1u);
  EXPECT_EQ(saved->alerts.size(), 1u);
  EXPECT_EQ(fx.ctx().objectStore().FindDatabase(kChartDbName, &charts), 0);
  DWORD enabled = 0;
  EXPECT_EQ(registry().GetDword(HKEY_LOCAL_MACHINE, kTodayKey, u"Enabled", &enabled), 0);
  EXPECT_EQ(enabled, 1u);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Quillet"));
}

TEST_F(InstallerTest, RemovalTakesEverythingOfQuilletAndNothingElse) {
  ASSERT_EQ(Install(), 0);
  fx.SeedData();
  ASSERT_EQ(registry().SetDword(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Inkwell", u"Pages", 3), 0);
  std::string report;
  ASSERT_EQ(installer.Remove(&report), 0) << report;
  EXPECT_FALSE(installer.Installed());
  for (const char* path : {"\\Program Files\\Quillet", "\\Windows\\QuilletToday.dll",
                           "\\Windows\\QuilletPPC.dll", "\\Windows\\AppMgr\\QuilletSetup.dll"}) {
    EXPECT_FALSE(fs::exists(fx.HostPath(path))) << path;
  }
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTodayKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSyncKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Quillet"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Inkwell"));
  EXPECT_EQ(installer.Remove(&report), ERROR_FILE_NOT_FOUND) << "nothing left to remove";
}

TEST_F(InstallerTest, TheRunningProgramHasEndedBeforeItsFilesAreReplacedOrRemoved) {
  ASSERT_EQ(Install(), 0);
  fx.SeedData();
  auto program = fx.StartProgram();
  ASSERT_TRUE(program);
  ASSERT_EQ(Install(), 0);
  EXPECT_FALSE(ProcessRunning(program->pid));
  EXPECT_EQ(fx.LoadSaved()->stocks.size(), 2u);
  program = fx.StartProgram();
  ASSERT_TRUE(program) << "the reinstalled program starts";
  std::string report;
  ASSERT_EQ(installer.Remove(&report), 0) << report;
  EXPECT_FALSE(ProcessRunning(program->pid));
  EXPECT_FALSE(fs::exists(fx.HostPath("\\Program Files\\Quillet\\QuilletDB")));
}

TEST_F(InstallerTest, APackageWithoutItsFilesInstallsNothing) {
  testing::TempDir empty;
  std::string report;
  EXPECT_EQ(installer.Install(empty.path(), &report), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(installer.Installed());
  EXPECT_FALSE(fs::exists(fx.HostPath("\\Windows")));
}

}  // namespace
}  // namespace quillet
