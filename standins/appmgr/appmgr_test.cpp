#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/linux/remote_api.h"
#include "platform/testing/test_support.h"
#include "standins/appmgr/app_manager.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::TestRoot;

class AppManagerTest : public ::testing::Test {
 protected:
  AppManagerTest() : desk(PlatformContext::Kind::kDesktop) {
    folder = desk.ctx->root() + "/C/Program Files/Microsoft ActiveSync/Quillet/";
    fs::create_directories(folder);
  }
  std::string Describe(const std::string& text) {
    std::ofstream(folder + "QuilletInstall.ini") << text;
    return folder + "QuilletInstall.ini";
  }
  LONG Install(const std::string& path) {
    return InstallDescribedPackage(*desk.ctx, path, boxes, services, &report);
  }
  TestRoot desk;
  std::string folder;
  MessageBoxes boxes;
  PlatformServices services = desk.host.services();
  std::string report;
};

constexpr char kDescription[] =
    "[CEAppManager]\r\nVersion = 1.0\r\nComponent = Quillet\r\n\r\n[Quillet]\r\n"
    "Description = Stock portfolio manager\r\n"
    "CabFiles = quillet.ppc30_arm.cab , quillet.ppc30_mips.cab,quillet.ppc30_sh3.cab\r\n";

TEST_F(AppManagerTest, ReadsTheComponentAndItsPackagesInOrder) {
  AppDescription app;
  std::string error;
  ASSERT_TRUE(ReadAppDescription(desk.ctx->files(), Describe(kDescription), &app, &error)) << error;
  EXPECT_EQ(app.component, "Quillet");
  EXPECT_EQ(app.description, "Stock portfolio manager");
  EXPECT_EQ(app.packages,
            (std::vector<std::string>{"quillet.ppc30_arm.cab", "quillet.ppc30_mips.cab",
                                      "quillet.ppc30_sh3.cab"}));
}

TEST_F(AppManagerTest, RefusesDescriptionsThatNameNothingUsable) {
  AppDescription app;
  std::string error;
  EXPECT_FALSE(ReadAppDescription(desk.ctx->files(), folder + "missing.ini", &app, &error));
  EXPECT_FALSE(
      ReadAppDescription(desk.ctx->files(), Describe("[Quillet]\nCabFiles=a.cab\n"), &app, &error));
  EXPECT_NE(error.find("component"), std::string::npos);
  // Names that would reach outside the description's folder are no packages.
  EXPECT_FALSE(ReadAppDescription(
      desk.ctx->files(),
      Describe("[CEAppManager]\nComponent=Quillet\n[Quillet]\nCabFiles=../x, a/b , ..\n"), &app,
      &error));
  EXPECT_NE(error.find("no package"), std::string::npos);
}

TEST_F(AppManagerTest, NothingIsInstalledWithoutAPackageOrADevice) {
  const std::string ini = Describe(kDescription);
  EXPECT_EQ(Install(ini), ERROR_FILE_NOT_FOUND);
  EXPECT_NE(report.find("none of the packages"), std::string::npos);
  fs::create_directories(folder + "quillet.ppc30_sh3.cab");
  EXPECT_EQ(Install(ini), 21);
  EXPECT_NE(report.find("no device is connected"), std::string::npos);
}

TEST_F(AppManagerTest, InstallsTheFirstPackageThereOnTheConnectedDevice) {
  const std::string package = testing::BuiltProgram("package");
  if (!fs::exists(fs::path(package) / "Quillet.exe")) {
    GTEST_SKIP() << "the device package is built with the handheld program";
  }
  TestRoot device(PlatformContext::Kind::kDevice);
  ASSERT_EQ(ConnectDevice(desk.ctx->files(), desk.ctx->root(), device.ctx->root()), 0);
  fs::create_directory_symlink(fs::absolute(package), folder + "quillet.ppc30_mips.cab");
  EXPECT_EQ(Install(Describe(kDescription)), 0) << report;
  EXPECT_TRUE(fs::exists(device.ctx->root() + "/Program Files/Quillet/Quillet.exe"));
  EXPECT_TRUE(fs::exists(device.ctx->root() + "/Windows/AppMgr/Quillet.files"));
}

}  // namespace
}  // namespace quillet
