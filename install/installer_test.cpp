#include "install/installer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/linux/module.h"
#include "platform/linux/remote_api.h"
#include "platform/linux/window_station.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::BuiltProgram;
using testing::TestRoot;

constexpr char kDir[] = "C/Program Files/Microsoft ActiveSync";
constexpr char16_t kPartner[] =
    u"SOFTWARE\\Microsoft\\Windows CE Services\\Partners\\%x\\Services\\Synchronization\\Objects"
    u"\\Quillet";

// Waits for a condition, at most boundMs, looking every few milliseconds.
template <typename F>
bool PollFor(F done, int boundMs = 20000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// A desktop root with the sync manager's programs (the fake) at their default places and the
// product folder filled as the setup package leaves it.
class InstallerTest : public ::testing::Test {
 protected:
  InstallerTest() : desk(PlatformContext::Kind::kDesktop) {
    root = desk.ctx->root();
    const fs::path dir = fs::path(root) / kDir;
    fs::create_directories(dir / "Quillet");
    const std::string fake = fs::absolute(BuiltProgram("install/fake_desktop_program")).string();
    fs::create_symlink(fake, dir / "WCESMGR.EXE");
    fs::create_symlink(fake, dir / "CEAPPMGR.EXE");
    fs::create_symlink(fake, dir / "Quillet" / "regsvr32.exe");
    for (const char* name : kProductFiles) Touch(dir / "Quillet" / name);
    // A device package is a folder of the package's files.
    fs::remove(dir / "Quillet" / "quillet.ppc30_arm.cab");
    fs::create_directory(dir / "Quillet" / "quillet.ppc30_arm.cab");
    Touch(dir / "Quillet" / "quillet.ppc30_arm.cab" / "Quillet.exe");
    timings.afterQuitMs = 2000;
    timings.registrationMs = 5000;
    timings.optionsDialogMs = 5000;
    timings.syncManagerCloseMs = 20000;
    timings.pollMs = 20;
  }
  ~InstallerTest() override {
    // Lets go of any fake still holding, so none outlives the test.
    fs::remove(Path("hold"));
    fs::remove(Path("regsvr-hold"));
  }

  static void Touch(const fs::path& p) { std::ofstream(p) << "x"; }
  std::string Path(const std::string& relative) const { return root + "/" + relative; }
  std::string Product(const std::string& name) const {
    return Path(std::string(kDir) + "/Quillet/" + name);
  }
  std::vector<std::string> Calls() const {
    std::ifstream in(Path("calls.log"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  static constexpr const char* kProductFiles[] = {"Quillet.dll",
                                                  "Quillet.ico",
                                                  "QuilletInstall.ini",
                                                  "quillet.ppc30_arm.cab",
                                                  "quillet.ppc30_mips.cab",
                                                  "quillet.ppc30_sh3.cab",
                                                  "QuilletUnreg.dll"};
  static constexpr char kLib[] = "C:\\Program Files\\Microsoft ActiveSync\\Quillet\\";

  TestRoot desk;
  std::string root;
  InstallerTimings timings;
};

TEST(InstallerCommandLine, OnlyOneQuitInAnyCaseRemoves) {
  EXPECT_TRUE(IsQuitCommand({"quit"}));
  EXPECT_TRUE(IsQuitCommand({"QUIT"}));
  EXPECT_TRUE(IsQuitCommand({"Quit"}));
  EXPECT_FALSE(IsQuitCommand({}));
  EXPECT_FALSE(IsQuitCommand({"quit", "now"}));
  EXPECT_FALSE(IsQuitCommand({"quitter"}));
  EXPECT_FALSE(IsQuitCommand({"/quit"}));
}

TEST(InstallerPaths, DefaultsWithoutRegistryAndValuesWhenPresent) {
  TestRoot desk(PlatformContext::Kind::kDesktop);
  Registry& reg = desk.ctx->registry();
  SyncManagerPaths p = ReadSyncManagerPaths(reg);
  EXPECT_EQ(p.manager, "C:\\Program Files\\Microsoft ActiveSync\\WCESMGR.EXE");
  EXPECT_EQ(p.appManager, "C:\\Program Files\\Microsoft ActiveSync\\CEAPPMGR.EXE");
  EXPECT_EQ(p.ProductFolder(), "C:\\Program Files\\Microsoft ActiveSync\\Quillet\\");

  ASSERT_EQ(reg.SetString(HKEY_LOCAL_MACHINE,
                          u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\WCESMGR.EXE",
                          u"", u"D:\\AS\\wcesmgr.exe"),
            0);
  ASSERT_EQ(reg.SetString(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Windows CE Services",
                          u"InstalledDir", u"D:\\AS\\"),
            0);
  p = ReadSyncManagerPaths(reg);
  EXPECT_EQ(p.manager, "D:\\AS\\wcesmgr.exe");
  EXPECT_EQ(p.appManager, "C:\\Program Files\\Microsoft ActiveSync\\CEAPPMGR.EXE");
  EXPECT_EQ(p.ProductFolder(), "D:\\AS\\Quillet\\");

  // A folder of nothing but separators is no folder: the default stands, never the drive's top.
  ASSERT_EQ(reg.SetString(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Windows CE Services",
                          u"InstalledDir", u"\\\\"),
            0);
  EXPECT_EQ(ReadSyncManagerPaths(reg).ProductFolder(),
            "C:\\Program Files\\Microsoft ActiveSync\\Quillet\\");
}

TEST_F(InstallerTest, InstallStartsTheProgramsInOrderAndAwaitsTheRegistration) {
  const InstallerReport report = RunInstall(*desk.ctx, timings);
  EXPECT_FALSE(report.registrationFailed);
  EXPECT_EQ(report.Status(), 0);
  // /show is started without waiting: its line may land a moment later.
  ASSERT_TRUE(PollFor([&] { return Calls().size() == 4; }));
  const std::vector<std::string> calls = Calls();
  EXPECT_EQ(calls[0], "WCESMGR.EXE /quit");
  EXPECT_EQ(calls[1], std::string("regsvr32.exe -s ") + kLib + "Quillet.dll");
  EXPECT_EQ(calls[2], std::string("CEAPPMGR.EXE ") + kLib + "QuilletInstall.ini");
  EXPECT_EQ(calls[3], "WCESMGR.EXE /show");
}

TEST_F(InstallerTest, AFailedRegistrationIsReported) {
  std::ofstream(Path("regsvr-exit")) << 5;
  const InstallerReport report = RunInstall(*desk.ctx, timings);
  EXPECT_TRUE(report.registrationFailed);
  EXPECT_NE(report.Status(), 0);
  // The installation still goes on to the device package.
  ASSERT_TRUE(PollFor([&] { return Calls().size() == 4; }));
}

TEST_F(InstallerTest, ARegistrationThatNeverEndsIsGivenUpAfterTheBound) {
  Touch(Path("regsvr-hold"));
  timings.registrationMs = 200;
  const InstallerReport report = RunInstall(*desk.ctx, timings);
  EXPECT_TRUE(report.registrationFailed);
  EXPECT_NE(report.Status(), 0);
}

TEST_F(InstallerTest, RemovalWithTheLibraryGoneDoesNothing) {
  fs::remove(Product("Quillet.dll"));
  const InstallerReport report = RunRemove(*desk.ctx, timings);
  EXPECT_FALSE(report.removed);
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(fs::exists(Product("QuilletUnreg.dll")));
  EXPECT_TRUE(desk.answers.shown().empty());
}

TEST_F(InstallerTest, RemovalConfirmsOnlyTheSyncManagersDialogAndDeletesTheProduct) {
  // A device connected, with our partner key and a neighbour's.
  TestRoot device(PlatformContext::Kind::kDevice);
  ASSERT_EQ(ConnectDevice(desk.ctx->files(), root, device.ctx->root()), 0);
  const std::u16string partner = ConnectedPartnerKey(*desk.ctx);
  ASSERT_FALSE(partner.empty());
  ASSERT_EQ(partner.find(u"\\Partners\\"), std::u16string(kPartner).find(u"\\Partners\\"));
  Registry& reg = desk.ctx->registry();
  ASSERT_EQ(reg.SetString(HKEY_CURRENT_USER, partner, u"Display Name", u"Quillet"), 0);
  std::u16string neighbour = partner.substr(0, partner.rfind(u'\\')) + u"\\Contacts";
  ASSERT_EQ(reg.SetString(HKEY_CURRENT_USER, neighbour, u"Display Name", u"Contacts"), 0);

  // Another program's dialog of the very same shape, open before the sync manager's.
  WindowStation station(root);
  std::atomic<int> decoyCommands{0};
  HWND decoy = station.CreateWindow("Options", "#32770", "C:\\Other.exe",
                                    [&](const WindowMessage& m) -> LRESULT {
                                      if (m.msg == WM_COMMAND) ++decoyCommands;
                                      return 0;
                                    });
  HWND page = station.CreateChildWindow(decoy, "Page", "#32770", nullptr);
  station.CreateChildWindow(page, "List", "SysListView32", nullptr);
  Touch(Product("Other.txt"));

  const InstallerReport report = RunRemove(*desk.ctx, timings);
  station.PumpFor(0);
  EXPECT_EQ(decoyCommands.load(), 0);
  EXPECT_TRUE(report.optionsDialogConfirmed);
  EXPECT_FALSE(report.warningShown);
  EXPECT_TRUE(desk.answers.shown().empty());
  EXPECT_EQ(report.Status(), 0);
  const std::vector<std::string> calls = Calls();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls[0], std::string("regsvr32.exe -s -u ") + kLib + "Quillet.dll");
  EXPECT_EQ(calls[1], "WCESMGR.EXE /syncmgr");
  EXPECT_NE(std::find(calls.begin(), calls.end(), "options confirmed"), calls.end());
  EXPECT_NE(std::find(calls.begin(), calls.end(), "WCESMGR.EXE /syncnow /quit"), calls.end());

  HKEY key{};
  EXPECT_EQ(reg.OpenKey(HKEY_CURRENT_USER, partner, &key), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(reg.OpenKey(HKEY_CURRENT_USER, neighbour, &key), 0);
  reg.CloseKey(key);
  for (const char* name : kProductFiles) EXPECT_FALSE(fs::exists(Product(name))) << name;
  EXPECT_TRUE(fs::exists(Product("regsvr32.exe")));
  EXPECT_TRUE(fs::exists(Product("Other.txt")));
}

TEST_F(InstallerTest, WithoutTheDialogTheWarningIsShownAfterTheSearch) {
  Touch(Path("no-dialog"));
  timings.optionsDialogMs = 300;
  const InstallerReport report = RunRemove(*desk.ctx, timings);
  EXPECT_TRUE(report.warningShown);
  ASSERT_EQ(desk.answers.shown().size(), 1u);
  const MessageBoxRequest& box = desk.answers.shown()[0];
  EXPECT_EQ(box.caption, "Quillet");
  EXPECT_EQ(box.flags, MB_OK | MB_ICONWARNING);
  EXPECT_EQ(box.text,
            "Quillet seems to be already installed on this machine.\nIn order to upgrade Quillet, "
            "click on the 'Options' button in the ActiveSync window and unselect Quillet.\n\n"
            "Click OK when ready to continue.");
  // No device is connected: there is no partner key to delete, and the rest goes on.
  EXPECT_FALSE(fs::exists(Product("Quillet.dll")));
}

TEST_F(InstallerTest, RemovalWaitsWhileTheSyncManagerWindowStaysOpen) {
  Touch(Path("hold"));
  std::atomic<bool> done{false};
  InstallerReport report;
  std::thread removal([&] {
    report = RunRemove(*desk.ctx, timings);
    done = true;
  });
  WindowStation station(root);
  ASSERT_TRUE(PollFor([&] { return station.FindWindow("", "Microsoft ActiveSync") != 0; }));
  // Many of the removal's looks (every 20 ms) go by: it must still be waiting.
  EXPECT_FALSE(PollFor([&] { return done.load(); }, 400));
  EXPECT_TRUE(fs::exists(Product("Quillet.dll")));
  fs::remove(Path("hold"));
  removal.join();
  EXPECT_FALSE(report.syncManagerStillOpen);
  EXPECT_FALSE(fs::exists(Product("Quillet.dll")));
}

TEST_F(InstallerTest, TheWaitForTheSyncManagerWindowIsBounded) {
  Touch(Path("hold"));
  timings.syncManagerCloseMs = 300;
  const InstallerReport report = RunRemove(*desk.ctx, timings);
  EXPECT_TRUE(report.syncManagerStillOpen);
  EXPECT_NE(report.Status(), 0);
  EXPECT_FALSE(fs::exists(Product("Quillet.dll")));
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

using testing::BuiltProgram;
using testing::TestRoot;

TEST_F(InstallerTest, TheHookAwaitsTheUnregistrationAndDropsThePartnerKey) {
  TestRoot device(PlatformContext::Kind::kDevice);
  ASSERT_EQ(ConnectDevice(desk.ctx->files(), root, device.ctx->root()), 0);
  const std::u16string partner = ConnectedPartnerKey(*desk.ctx);
  ASSERT_EQ(desk.ctx->registry().SetString(HKEY_CURRENT_USER, partner, u"Display Name", u"Q"), 0);
  std::ofstream(Path("regsvr-exit")) << 5;
  const InstallerReport report = RunUninstallHook(*desk.ctx, timings);
  EXPECT_TRUE(report.unregistrationFailed);
  const std::vector<std::string> calls = Calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0], "WCESMGR.EXE /quit");
  EXPECT_EQ(calls[1], std::string("regsvr32.exe -s -u ") + kLib + "Quillet.dll");
  ASSERT_TRUE(PollFor([&] { return Calls().size() == 3; }));
  EXPECT_EQ(Calls()[2], "CEAPPMGR.EXE");
  HKEY key{};
  EXPECT_EQ(desk.ctx->registry().OpenKey(HKEY_CURRENT_USER, partner, &key), ERROR_FILE_NOT_FOUND);
  // The hook deletes no files: that is the uninstaller's business.
  EXPECT_TRUE(fs::exists(Product("Quillet.dll")));
}

TEST_F(InstallerTest, TheHookGivesUpOnAnUnregistrationThatHangs) {
  Touch(Path("regsvr-hold"));
  timings.registrationMs = 200;
  EXPECT_TRUE(RunUninstallHook(*desk.ctx, timings).unregistrationFailed);
}

TEST_F(InstallerTest, TheLibraryExportsAnswerZeroAndCarryTheStrings) {
  const PlatformServices services = desk.host.services();
  ModuleEnvironment environment;
  environment.root = root;
  environment.services = &services;
  std::string error;
  auto library = LoadedLibrary::LoadFile(BuiltProgram("lib/QuilletUnreg.so"), environment, &error);
  ASSERT_TRUE(library) << error;
  using Entry = int (*)(HWND, HINSTANCE, DWORD);
  auto init = library->Proc<Entry>("UninstInitialize");
  auto uninit = library->Proc<Entry>("UninstUnInitialize");
  auto quit = library->Proc<int (*)()>("UninstDoQuit");
  auto load = library->Proc<int (*)(UINT, char*, int)>("QuilletLoadString");
  ASSERT_TRUE(init && uninit && quit && load);
  // No device was ever connected: nothing to delete, and still 0.
  EXPECT_EQ(init(0, nullptr, 0), 0);
  EXPECT_EQ(uninit(0, nullptr, 0), 0);
  EXPECT_EQ(quit(), 0);
  const std::vector<std::string> calls = Calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[1], std::string("regsvr32.exe -s -u ") + kLib + "Quillet.dll");

  char text[64];
  EXPECT_EQ(load(204, text, sizeof text), 17);
  EXPECT_STREQ(text, "Uninstall Quillet");
  EXPECT_GT(load(219, text, sizeof text), 0);
  EXPECT_STREQ(text, "Are you sure that you would like to uninstall Quillet?");
  EXPECT_EQ(load(220, text, 5), 4);  // cut to fit, with its zero
  EXPECT_STREQ(text, "Unin");
  EXPECT_EQ(load(205, text, sizeof text), 0);
}

}  // namespace
}  // namespace quillet
