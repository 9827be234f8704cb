// quillet-regsvr: the desktop's registration tool ("regsvr32.exe") on a desktop root.
//   quillet-regsvr [--desktop-root DIR] [-s] [-u] LIBRARY
// Loads the library (a desktop path such as "C:\...\Quillet.dll", or a host path), calls its
// DllRegisterServer, or DllUnregisterServer with -u, and exits 0 when that answered success.
// Without -s the outcome is also printed (the real tool shows it in a message box).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/com.h"
#include "platform/linux/host_services.h"
#include "platform/linux/module.h"
#include "platform/roots.h"

using namespace quillet;

int main(int argc, char** argv) {
  std::string root;
  bool silent = false, unregister = false;
  std::string library;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--desktop-root" && i + 1 < argc) {
      root = argv[++i];
    } else if (a == "-s" || a == "/s") {
      silent = true;
    } else if (a == "-u" || a == "/u") {
      unregister = true;
    } else if (library.empty() && !a.empty() && a[0] != '-') {
      library = a;
    } else {
      library.clear();
      break;
    }
  }
  if (library.empty()) {
    std::fprintf(stderr, "usage: quillet-regsvr [--desktop-root DIR] [-s] [-u] LIBRARY\n");
    return 2;
  }
  HostServices host(ReadEnvironmentSettings(std::getenv));
  if (root.empty()) root = host.settings().desktopRoot;
  const PlatformServices services = host.services();
  ModuleEnvironment environment;
  environment.root = root;
  environment.services = &services;
  // A desktop path names a file of the desktop root; anything else is taken as a host path.
  const std::string hostPath = library.size() > 2 && library[1] == ':'
                                   ? MapDesktopPath(root, library).value_or("")
                                   : library;
  std::string error;
  auto loaded = hostPath.empty() ? nullptr : LoadedLibrary::LoadFile(hostPath, environment, &error);
  if (!loaded) {
    if (!silent)
      std::fprintf(stderr, "LoadLibrary(\"%s\") failed: %s\n", library.c_str(), error.c_str());
    return 3;
  }
  const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  auto call = loaded->Proc<DllRegisterServerProc>(entry);
  if (!call) {
    if (!silent)
      std::fprintf(stderr, "%s was loaded, but the %s entry point was not found.\n",
                   library.c_str(), entry);
    return 4;
  }
  const HRESULT hr = call();
  if (hr != S_OK) {
    if (!silent)
      std::fprintf(stderr, "%s in %s failed. Return code was: 0x%08x\n", entry, library.c_str(),
                   static_cast<unsigned>(hr));
    return 5;
  }
  if (!silent) std::printf("%s in %s succeeded.\n", entry, library.c_str());
  return 0;
}
