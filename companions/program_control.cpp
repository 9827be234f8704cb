#include "companions/program_control.h"

#include "core/pref_record.h"
#include "core/registry/registry_store.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/linux/process.h"
#include "platform/window_messages.h"

namespace quillet {

std::unique_ptr<PlatformContext> OpenLibraryContext(const ModuleEnvironment& environment) {
  if (environment.root.empty() || environment.services == nullptr) return nullptr;
  return PlatformContext::Open(PlatformContext::Kind::kDevice, environment.root,
                               *environment.services);
}

std::u16string ReadProgramPath(Registry& registry) {
  RegistryStore reg(registry);
  reg.SetProductKey(kProductName);
  char16_t buffer[kProgramPathCapacity] = {};
  reg.GetString(kProgramPathValue, kDefaultProgramPath, buffer, kProgramPathCapacity);
  std::u16string path(buffer);
  // An empty value names no program; the default does.
  return path.empty() ? std::u16string(kDefaultProgramPath) : path;
}

std::optional<WindowInfo> FindProgramWindow(WindowStation& station,
                                            std::u16string_view programPath) {
  const std::string wanted = Utf16ToUtf8(programPath);
  for (WindowInfo& w : station.EnumWindows()) {
    if (EqualNoCase(w.programPath, wanted)) return std::move(w);
  }
  return std::nullopt;
}

ProgramClose CloseProgramAndWait(WindowStation& station, std::u16string_view programPath,
                                 int timeoutMs) {
  std::optional<WindowInfo> window = FindProgramWindow(station, programPath);
  if (!window) return ProgramClose::kNotRunning;
  // A failed post means the window went away after the look-up: the program is ending anyway,
  // and the wait below sees it go.
  station.PostMessage(window->hwnd, kCloseForSyncMessage, 0, 0);
  return WaitForProcessEnd(window->pid, timeoutMs) ? ProgramClose::kEnded
                                                   : ProgramClose::kStillRunning;
}

LONG StartProgram(const std::string& root, std::u16string_view programPath) {
  if (programPath.empty()) return ERROR_FILE_NOT_FOUND;
  return CreateProcess(root, Utf16ToUtf8(programPath));
}

void SendTodayRefresh(WindowStation& station) {
  for (const WindowInfo& w : station.EnumWindows()) {
    station.SendMessage(w.hwnd, WM_SETTINGCHANGE, kTodayReloadWParam, 0, nullptr, 5000);
  }
}

}  // namespace quillet
