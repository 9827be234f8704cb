// quillet-appmgr: the desktop's application manager ("CEAPPMGR.EXE") on a desktop root.
//   quillet-appmgr [--desktop-root DIR] [DESCRIPTION]
//   quillet-appmgr [--desktop-root DIR] --uninstall PRODUCT_FOLDER
// With a description file (a desktop path such as "C:\...\QuilletInstall.ini", or a host path)
// it installs the product's device package on the connected handheld; without one it only
// starts (the real one shows its window of installed products). --uninstall is the desktop's
// product removal: it loads the product folder's uninstall hook ("QuilletUnreg.dll"), calls its
// entry points, and deletes the product's files. Every step is printed.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/linux/host_services.h"
#include "platform/linux/module.h"
#include "platform/roots.h"
#include "standins/appmgr/app_manager.h"

using namespace quillet;

namespace {

using HookEntry = int (*)(std::uint64_t, HINSTANCE, DWORD);

int Uninstall(PlatformContext& desktop, const PlatformServices& services,
              const std::string& folder) {
  ModuleEnvironment environment;
  environment.root = desktop.root();
  environment.services = &services;
  std::string error;
  {
    auto hook = LoadedLibrary::LoadFile(JoinPath(folder, "QuilletUnreg.dll"), environment, &error);
    auto init = hook ? hook->Proc<HookEntry>("UninstInitialize") : nullptr;
    auto uninit = hook ? hook->Proc<HookEntry>("UninstUnInitialize") : nullptr;
    if (!init || !uninit) {
      std::fprintf(stderr, "no uninstall hook in %s: %s\n", folder.c_str(), error.c_str());
      return 1;
    }
    std::printf("UninstInitialize: %d\n", init(0, nullptr, 0));
    std::printf("UninstUnInitialize: %d\n", uninit(0, nullptr, 0));
  }
  for (const char* name :
       {"Quillet.dll", "QuilletDeskUi.so", "Quillet.ico", "QuilletInstall.ini",
        "quillet.ppc30_arm.cab", "quillet.ppc30_mips.cab", "quillet.ppc30_sh3.cab",
        "QuilletUnreg.dll", "regsvr32.exe", "QuilletLog.txt", "Quillet.ini"}) {
    // A device package is a folder of the package's files.
    const std::string path = JoinPath(folder, name);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
      std::filesystem::remove_all(path, ec);
    } else {
      desktop.files().Delete(path);
    }
  }
  std::printf("removed the product's files from %s\n", folder.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string root, description, uninstall;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--desktop-root" && i + 1 < argc) {
      root = argv[++i];
    } else if (a == "--uninstall" && i + 1 < argc) {
      uninstall = argv[++i];
    } else if (description.empty() && !a.empty() && a[0] != '-') {
      description = a;
    } else {
      std::fprintf(stderr,
                   "usage: quillet-appmgr [--desktop-root DIR] [DESCRIPTION]\n"
                   "       quillet-appmgr [--desktop-root DIR] --uninstall PRODUCT_FOLDER\n");
      return 2;
    }
  }
  HostServices host(ReadEnvironmentSettings(std::getenv));
  if (root.empty()) root = host.settings().desktopRoot;
  const PlatformServices services = host.services();
  std::string error;
  auto desktop = PlatformContext::Open(PlatformContext::Kind::kDesktop, root, services, &error);
  if (!desktop) {
    std::fprintf(stderr, "cannot open the desktop root %s: %s\n", root.c_str(), error.c_str());
    return 1;
  }
  // A desktop path names a file of the desktop root; anything else is taken as a host path.
  auto host_path = [&](const std::string& p) {
    return p.size() > 2 && p[1] == ':' ? MapDesktopPath(root, p).value_or("") : p;
  };
  if (!uninstall.empty()) return Uninstall(*desktop, services, host_path(uninstall));
  if (description.empty()) {
    std::printf("Application manager: nothing to install\n");
    return 0;
  }
  MessageBoxes boxes;
  boxes.SetAnswerer([](const MessageBoxRequest& r) {
    std::printf("[%s] %s\n", r.caption.c_str(), r.text.c_str());
    return DefaultAnswer(r.flags);
  });
  std::string report;
  const LONG rc =
      InstallDescribedPackage(*desktop, host_path(description), boxes, services, &report);
  std::printf("%s\n", report.c_str());
  return rc == 0 ? 0 : 1;
}
