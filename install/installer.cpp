#include "install/installer.h"

#include <sys/types.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/linux/process.h"
#include "platform/linux/remote_api.h"
#include "platform/linux/window_station.h"
#include "platform/message_box.h"
#include "platform/roots.h"

namespace quillet {
namespace {

constexpr char16_t kManagerKey[] =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\WCESMGR.EXE";
constexpr char16_t kAppManagerKey[] =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\CEAPPMGR.EXE";
constexpr char16_t kServicesKey[] = u"SOFTWARE\\Microsoft\\Windows CE Services\\";
constexpr char kDefaultDir[] = "C:\\Program Files\\Microsoft ActiveSync";
constexpr char kSyncManagerTitle[] = "Microsoft ActiveSync";
constexpr char kWarning[] =
    "Quillet seems to be already installed on this machine.\nIn order to upgrade Quillet, click "
    "on the 'Options' button in the ActiveSync window and unselect Quillet.\n\nClick OK when "
    "ready to continue.";
// Registry texts longer than this are cut, as the fixed buffers they are read into would.
constexpr std::size_t kMaxRegistryText = 255;

std::string ReadPath(Registry& registry, std::u16string_view key, std::u16string_view name,
                     const std::string& fallback) {
  std::u16string value;
  if (registry.GetString(HKEY_LOCAL_MACHINE, key, name, &value) != ERROR_SUCCESS || value.empty()) {
    return fallback;
  }
  if (value.size() > kMaxRegistryText) value.resize(kMaxRegistryText);
  return Utf16ToAnsi(value);
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

void Sleep(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

class Steps {
 public:
  Steps(PlatformContext& desktop, InstallerReport& report) : desktop_(desktop), report_(report) {}

  void Log(std::string line) { report_.log.push_back(std::move(line)); }

  // Starts a command line without waiting; 0 when it could not be started.
  pid_t Run(const std::string& commandLine) {
    pid_t pid = 0;
    const LONG rc = CreateDesktopProcess(desktop_.root(), commandLine, &pid);
    if (rc != ERROR_SUCCESS) {
      Log("cannot start " + commandLine + " (error " + std::to_string(rc) + ")");
      return 0;
    }
    Log("started " + commandLine);
    return pid;
  }

  // Starts a command line and waits for it, at most timeoutMs (a negative time waits for as
  // long as it takes); true when it ended in time with exit code 0.
  bool RunAndWait(const std::string& commandLine, int timeoutMs) {
    const pid_t pid = Run(commandLine);
    if (pid == 0) return false;
    int code = -1;
    bool ended = false;
    if (timeoutMs < 0) {
      while (!(ended = WaitForChildExit(pid, 60000, &code)) && ProcessRunning(pid)) {
      }
    } else {
      ended = WaitForChildExit(pid, timeoutMs, &code);
    }
    if (!ended) {
      Log("gave up waiting for " + commandLine);
      return false;
    }
    if (code != 0) Log("exit code " + std::to_string(code) + " from " + commandLine);
    return code == 0;
  }

 private:
  PlatformContext& desktop_;
  InstallerReport& report_;
};

// The options dialog of the sync manager process `owner`: a top-level dialog holding a dialog
// page holding the provider list. Windows of other processes are never considered, so another
// program's dialog of the same shape is left alone.
HWND FindOptionsDialog(WindowStation& station, pid_t owner) {
  for (const WindowInfo& top : station.EnumWindows()) {
    if (top.pid != owner || top.className != "#32770") continue;
    for (const WindowInfo& page : station.EnumChildWindows(top.hwnd)) {
      if (page.className != "#32770") continue;
      for (const WindowInfo& list : station.EnumChildWindows(page.hwnd)) {
        if (list.className == "SysListView32") return top.hwnd;
      }
    }
  }
  return 0;
}

bool SyncManagerWindowOpen(WindowStation& station) {
  return station.FindWindow("", kSyncManagerTitle) != 0;
}

// A running sync manager would keep the old provider loaded: close it first, and go on once
// its window has gone or the pause is over.
void CloseSyncManager(Steps& steps, WindowStation& station, const SyncManagerPaths& paths,
                      int pauseMs, int pollMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(pauseMs);
  steps.RunAndWait(paths.manager + " /quit", pauseMs);
  while (SyncManagerWindowOpen(station) && std::chrono::steady_clock::now() < deadline) {
    Sleep(std::min(pollMs, 50));
  }
}

void DeletePartnerKey(PlatformContext& desktop) {
  const std::u16string partner = ConnectedPartnerKey(desktop);
  if (!partner.empty()) desktop.registry().DeleteTree(HKEY_CURRENT_USER, partner);
}

}  // namespace

const char* UninstallHookString(UINT id) {
  switch (id) {
    case 204:
      return "Uninstall Quillet";
    case 219:
      return "Are you sure that you would like to uninstall Quillet?";
    case 220:
      return "Uninstall";
    default:
      return nullptr;
  }
}

InstallerReport RunUninstallHook(PlatformContext& desktop, const InstallerTimings& timings) {
  InstallerReport report;
  Steps steps(desktop, report);
  const SyncManagerPaths paths = ReadSyncManagerPaths(desktop.registry());
  const std::string folder = paths.ProductFolder();
  WindowStation station(desktop.root());
  CloseSyncManager(steps, station, paths, timings.afterQuitMs, timings.pollMs);
  // The uninstaller deletes the tool and the library right after this returns: the
  // unregistration must have ended by then, or the registration would stay behind.
  if (!steps.RunAndWait(
          Quoted(folder + "regsvr32.exe") + " -s -u " + Quoted(folder + "Quillet.dll"),
          timings.registrationMs)) {
    report.unregistrationFailed = true;
    steps.Log("the desktop companion was not unregistered");
  }
  DeletePartnerKey(desktop);
  steps.Run(paths.appManager);
  ReapEndedChildren();
  return report;
}

SyncManagerPaths ReadSyncManagerPaths(Registry& registry) {
  SyncManagerPaths paths;
  paths.manager = ReadPath(registry, kManagerKey, u"", std::string(kDefaultDir) + "\\WCESMGR.EXE");
  paths.appManager =
      ReadPath(registry, kAppManagerKey, u"", std::string(kDefaultDir) + "\\CEAPPMGR.EXE");
  paths.installedDir = ReadPath(registry, kServicesKey, u"InstalledDir", kDefaultDir);
  while (!paths.installedDir.empty() && paths.installedDir.back() == '\\') {
    paths.installedDir.pop_back();
  }
  // A folder of nothing but separators names no folder: the product would be looked for at the
  // top of the drive.
  if (paths.installedDir.empty()) paths.installedDir = kDefaultDir;
  return paths;
}

bool IsQuitCommand(const std::vector<std::string>& args) {
  return args.size() == 1 && EqualNoCase(args[0], "quit");
}

std::u16string ConnectedPartnerKey(PlatformContext& desktop) {
  RemoteApi rapi(desktop);
  DWORD id = 0;
  if (rapi.CeRapiInit() != S_OK) return {};
  const HRESULT hr = rapi.CeGetDeviceId(&id);
  rapi.CeRapiUninit();
  if (hr != S_OK) return {};
  char key[160];
  std::snprintf(key, sizeof key,
                "SOFTWARE\\Microsoft\\Windows CE Services\\Partners\\%x\\Services\\"
                "Synchronization\\Objects\\Quillet",
                static_cast<unsigned>(id));
  return AnsiToUtf16(key);
}

InstallerReport RunInstall(PlatformContext& desktop, const InstallerTimings& timings) {
  InstallerReport report;
  Steps steps(desktop, report);
  const SyncManagerPaths paths = ReadSyncManagerPaths(desktop.registry());
  const std::string folder = paths.ProductFolder();
  WindowStation station(desktop.root());

  CloseSyncManager(steps, station, paths, timings.afterQuitMs, timings.pollMs);

  // The registration must have ended before the sync manager starts again, or it would not
  // find the provider; a failure is reported, and the installation goes on.
  if (!steps.RunAndWait(Quoted(folder + "regsvr32.exe") + " -s " + Quoted(folder + "Quillet.dll"),
                        timings.registrationMs)) {
    report.registrationFailed = true;
    steps.Log("the desktop companion was not registered");
  }
  steps.RunAndWait(paths.appManager + " " + Quoted(folder + "QuilletInstall.ini"), -1);
  steps.Run(paths.manager + " /show");
  return report;
}

InstallerReport RunRemove(PlatformContext& desktop, const InstallerTimings& timings) {
  InstallerReport report;
  Steps steps(desktop, report);
  const SyncManagerPaths paths = ReadSyncManagerPaths(desktop.registry());
  const std::string folder = paths.ProductFolder();
  const std::optional<std::string> library = MapDesktopPath(desktop.root(), folder + "Quillet.dll");
  if (!library || !desktop.files().Exists(*library)) {
    steps.Log("Quillet is not installed in " + folder);
    return report;
  }
  report.removed = true;

  char unregister[600];
  std::snprintf(unregister, sizeof unregister, "\"%sregsvr32.exe\" -s -u \"%s\"", folder.c_str(),
                (folder + "Quillet.dll").c_str());
  if (!steps.RunAndWait(unregister, timings.registrationMs)) {
    report.unregistrationFailed = true;
    steps.Log("the desktop companion was not unregistered");
  }

  DeletePartnerKey(desktop);

  // The sync manager drops a removed provider only once its options dialog is confirmed.
  WindowStation station(desktop.root());
  const pid_t manager = steps.Run(paths.manager + " /syncmgr");
  HWND dialog = 0;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timings.optionsDialogMs);
  while (manager != 0) {
    dialog = FindOptionsDialog(station, manager);
    if (dialog != 0 || !ProcessRunning(manager) || std::chrono::steady_clock::now() >= deadline) {
      break;
    }
    Sleep(std::min(timings.pollMs, 50));
  }
  if (dialog != 0 && station.SendMessage(dialog, WM_COMMAND, 1, 0)) {
    report.optionsDialogConfirmed = true;
    steps.Log("confirmed the sync manager's options");
  } else {
    report.warningShown = true;
    desktop.messageBoxes().Show(kWarning, "Quillet", MB_OK | MB_ICONWARNING);
  }

  // The files may go only once the sync manager has let go of the library. The window it
  // shows may appear a moment after it starts, so the process itself is watched too.
  const pid_t last = steps.Run(paths.manager + " /syncnow /quit");
  Sleep(timings.pollMs);
  const auto closeDeadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timings.syncManagerCloseMs);
  while (ProcessRunning(last) || SyncManagerWindowOpen(station)) {
    if (std::chrono::steady_clock::now() >= closeDeadline) {
      report.syncManagerStillOpen = true;
      steps.Log("the sync manager's window is still open; going on");
      break;
    }
    Sleep(timings.pollMs);
  }
  // The processes started without waiting are collected here, so none is left a zombie.
  ReapEndedChildren();

  for (const char* name :
       {"Quillet.dll", "Quillet.ico", "QuilletInstall.ini", "quillet.ppc30_arm.cab",
        "quillet.ppc30_mips.cab", "quillet.ppc30_sh3.cab", "QuilletUnreg.dll"}) {
    auto host = MapDesktopPath(desktop.root(), folder + name);
    if (!host) continue;
    // A device package here is a folder of the package's files.
    std::error_code ec;
    if (std::filesystem::is_directory(*host, ec)) {
      std::filesystem::remove_all(*host, ec);
    } else {
      desktop.files().Delete(*host);
    }
  }
  return report;
}

}  // namespace quillet
