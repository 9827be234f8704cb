// QuilletUnreg ("QuilletUnreg.dll"): the uninstall hook the desktop's uninstaller loads when the
// user removes the product. UninstInitialize does the work; the other two exports have nothing
// to do. The string resources are reached through QuilletLoadString.
#include <cstring>
#include <memory>
#include <mutex>

#include "install/installer.h"
#include "platform/linux/module.h"
#include "platform/linux/window_station.h"

namespace quillet {
namespace {

// What the loader handed over: the desktop root and the host's services.
struct HookModule {
  ModuleEnvironment environment;
};
HookModule& Module() {
  static HookModule module;
  return module;
}

}  // namespace
}  // namespace quillet

using namespace quillet;

QUILLET_EXPORT void QuilletModuleAttach(const ModuleEnvironment* environment) {
  if (environment) Module().environment = *environment;
}

// The arguments are the uninstaller's and are not needed.
QUILLET_EXPORT int UninstInitialize(HWND /*parent*/, HINSTANCE /*instance*/, DWORD /*reserved*/) {
  const ModuleEnvironment& env = Module().environment;
  if (env.services == nullptr || env.root.empty()) return 0;
  auto desktop = PlatformContext::Open(PlatformContext::Kind::kDesktop, env.root, *env.services);
  if (!desktop) return 0;
  InstallerTimings timings;
  timings.afterQuitMs = 2000;
  RunUninstallHook(*desktop, timings);
  return 0;
}

QUILLET_EXPORT int UninstUnInitialize(HWND /*parent*/, HINSTANCE /*instance*/, DWORD /*reserved*/) {
  return 0;
}

QUILLET_EXPORT int UninstDoQuit() { return 0; }

// Copies string resource `id` into the buffer, cut to fit with its terminating zero; returns the
// characters copied, 0 for an unknown number or no room.
QUILLET_EXPORT int QuilletLoadString(UINT id, char* buffer, int size) {
  const char* text = UninstallHookString(id);
  if (text == nullptr || buffer == nullptr || size <= 0) return 0;
  const std::size_t n = std::min(std::strlen(text), static_cast<std::size_t>(size - 1));
  std::memcpy(buffer, text, n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}
