// The whole cycle on fresh roots with the real programs: the sync manager, its registration
// tool and application manager (the stand-ins), the desktop companion and the device package.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "install/installer.h"
#include "platform/codepage.h"
#include "platform/linux/process.h"
#include "platform/linux/remote_api.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::BuiltProgram;
using testing::TestRoot;

// Every key of a registry, as "root\path", and every value as "root\path=name".
void Walk(Registry& reg, HKEY root, const std::u16string& path, const std::string& prefix,
          std::set<std::string>* out) {
  HKEY key{};
  if (reg.OpenKey(root, path, &key) != 0) return;
  std::u16string name;
  for (DWORD i = 0; reg.EnumValue(key, i, &name, nullptr, nullptr) == 0; ++i) {
    out->insert(prefix + Utf16ToUtf8(path) + "=" + Utf16ToUtf8(name));
  }
  std::vector<std::u16string> children;
  for (DWORD i = 0; reg.EnumKey(key, i, &name) == 0; ++i) children.push_back(name);
  reg.CloseKey(key);
  for (const std::u16string& child : children) {
    const std::u16string sub = path.empty() ? child : path + u"\\" + child;
    out->insert(prefix + Utf16ToUtf8(sub));
    Walk(reg, root, sub, prefix, out);
  }
}

std::set<std::string> Keys(Registry& reg) {
  std::set<std::string> all;
  Walk(reg, HKEY_LOCAL_MACHINE, u"", "HKLM\\", &all);
  Walk(reg, HKEY_CURRENT_USER, u"", "HKCU\\", &all);
  Walk(reg, HKEY_CLASSES_ROOT, u"", "HKCR\\", &all);
  return all;
}

std::set<std::string> Files(const std::string& root) {
  std::set<std::string> all;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::end(it); ++it) {
    const std::string rel = it->path().lexically_relative(root).string();
    if (rel.rfind("run", 0) == 0 || rel.find(".db") != std::string::npos) continue;
    if (!it->is_directory()) all.insert(rel);
  }
  return all;
}

std::set<std::string> Minus(const std::set<std::string>& a, const std::set<std::string>& b) {
  std::set<std::string> out;
  for (const std::string& s : a)
    if (!b.count(s)) out.insert(s);
  return out;
}

bool RunAndWait(const std::string& root, const std::string& line) {
  pid_t pid = 0;
  int code = -1;
  return CreateDesktopProcess(root, line, &pid) == 0 && WaitForChildExit(pid, 60000, &code) &&
         code == 0;
}

TEST(InstallCycle, EverythingInstalledIsRemovedAndAnUpgradeKeepsTheHandheldsData) {
  const fs::path bin = fs::absolute(BuiltProgram("bin"));
  const fs::path lib = fs::absolute(BuiltProgram("lib"));
  const fs::path package = fs::absolute(BuiltProgram("package"));
  if (!fs::exists(bin / "quillet-syncmgr") || !fs::exists(package / "Quillet.exe")) {
    GTEST_SKIP() << "the sync manager and the device package are built with the user interface";
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  TestRoot desk(PlatformContext::Kind::kDesktop);
  TestRoot device(PlatformContext::Kind::kDevice);
  const std::string root = desk.ctx->root();
  ASSERT_EQ(ConnectDevice(desk.ctx->files(), root, device.ctx->root()), 0);
  const fs::path as = fs::path(root) / "C/Program Files/Microsoft ActiveSync";
  const fs::path product = as / "Quillet";
  auto deliver = [&] {
    fs::create_directories(product);
    const auto over = fs::copy_options::overwrite_existing;
    fs::copy_file(lib / "QuilletDesk.so", product / "Quillet.dll", over);
    fs::copy_file(lib / "QuilletDeskUi.so", product / "QuilletDeskUi.so", over);
    fs::copy_file(lib / "QuilletUnreg.so", product / "QuilletUnreg.dll", over);
    fs::create_directory(product / "quillet.ppc30_arm.cab");
    for (const auto& f : fs::directory_iterator(package))
      fs::copy_file(f.path(), product / "quillet.ppc30_arm.cab" / f.path().filename());
    std::ofstream(product / "QuilletInstall.ini")
        << "[CEAppManager]\r\nComponent = Quillet\r\n[Quillet]\r\nCabFiles = "
           "quillet.ppc30_arm.cab\r\n";
    std::ofstream(product / "Quillet.ico") << "icon";
  };
  fs::create_directories(product);
  fs::create_symlink(bin / "quillet-syncmgr", as / "WCESMGR.EXE");
  fs::create_symlink(bin / "quillet-appmgr", as / "CEAPPMGR.EXE");
  fs::create_symlink(bin / "quillet-regsvr", product / "regsvr32.exe");
  // The desktop's own keys exist before anything of ours: the class registry's, and the sync
  // manager's, which it makes at its first start.
  HKEY clsid{};
  ASSERT_EQ(desk.ctx->registry().CreateKey(HKEY_CLASSES_ROOT, u"CLSID", &clsid), 0);
  desk.ctx->registry().CloseKey(clsid);
  ASSERT_TRUE(RunAndWait(root, "\"C:\\Program Files\\Microsoft ActiveSync\\WCESMGR.EXE\" /quit"));
  const std::set<std::string> keysBefore = Keys(desk.ctx->registry());
  deliver();
  const std::set<std::string> desktopDelivered = Files(root);

  InstallerTimings timings;
  timings.pollMs = 20;
  InstallerReport report = RunInstall(*desk.ctx, timings);
  EXPECT_FALSE(report.registrationFailed);
  ASSERT_TRUE(RunAndWait(root, "\"C:\\Program Files\\Microsoft ActiveSync\\WCESMGR.EXE\" /quit"));
  const std::set<std::string> added = Minus(Keys(desk.ctx->registry()), keysBefore);
  EXPECT_FALSE(added.empty());
  bool registered = false;
  for (const std::string& k : added)
    registered |= k.find("Synchronization\\Objects\\Quillet") != k.npos;
  EXPECT_TRUE(registered);
  const fs::path data = fs::path(device.ctx->root()) / "Program Files/Quillet";
  ASSERT_TRUE(fs::exists(data / "Quillet.exe"));

  // The handheld's data, which an upgrade must keep.
  std::ofstream(data / "StockNoteDB", std::ios::binary) << std::string("\x01\0\0\0note", 8);
  report = RunRemove(*desk.ctx, timings);
  EXPECT_TRUE(report.optionsDialogConfirmed);
  EXPECT_EQ(Minus(Keys(desk.ctx->registry()), keysBefore), std::set<std::string>{});
  EXPECT_FALSE(fs::exists(product / "Quillet.dll"));
  deliver();
  report = RunInstall(*desk.ctx, timings);
  EXPECT_FALSE(report.registrationFailed);
  ASSERT_TRUE(RunAndWait(root, "\"C:\\Program Files\\Microsoft ActiveSync\\WCESMGR.EXE\" /quit"));
  std::ifstream note(data / "StockNoteDB", std::ios::binary);
  std::stringstream kept;
  kept << note.rdbuf();
  EXPECT_EQ(kept.str(), std::string("\x01\0\0\0note", 8));

  // The uninstall: the hook through the application manager, then the device package.
  ASSERT_TRUE(RunAndWait(root,
                         "\"C:\\Program Files\\Microsoft ActiveSync\\CEAPPMGR.EXE\" "
                         "--uninstall \"C:\\Program Files\\Microsoft ActiveSync\\Quillet\""));
  ReapEndedChildren();
  EXPECT_EQ(Minus(Keys(desk.ctx->registry()), keysBefore), std::set<std::string>{});
  for (const std::string& f : desktopDelivered) {
    if (f.find("regsvr32") == f.npos && f.find(".EXE") == f.npos) {
      EXPECT_FALSE(fs::exists(fs::path(root) / f)) << f;
    }
  }
  ASSERT_EQ(
      testing::RunCommand(testing::ShellQuote((bin / "quillet-pkg").string()) + " --device-root " +
                          testing::ShellQuote(device.ctx->root()) + " remove >/dev/null"),
      0);
  EXPECT_FALSE(fs::exists(data / "Quillet.exe"));
  EXPECT_FALSE(fs::exists(fs::path(device.ctx->root()) / "Windows/QuilletToday.dll"));
}

}  // namespace
}  // namespace quillet
