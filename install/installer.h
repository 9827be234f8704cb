// QuilletInstall's work on a desktop root: registering the desktop companion with the sync
// manager and handing the device package to the application manager (install), or removing an
// earlier installation before an upgrade ("quit").
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/context.h"

namespace quillet {

// The sync manager's programs and folder, read from the desktop's registry; a missing key or
// value falls back to where the sync manager installs itself by default.
struct SyncManagerPaths {
  std::string manager;       // WCESMGR.EXE
  std::string appManager;    // CEAPPMGR.EXE
  std::string installedDir;  // the sync manager's installation folder, without a final '\'
  // The product folder inside it, with a final '\'.
  std::string ProductFolder() const { return installedDir + "\\Quillet\\"; }
};
SyncManagerPaths ReadSyncManagerPaths(Registry& registry);

// True when the arguments (without the program name) ask for the removal: exactly one, equal to
// "quit" in any case. Every other command line installs.
bool IsQuitCommand(const std::vector<std::string>& args);

// How long the installer waits for the programs it starts. Tests shorten them.
struct InstallerTimings {
  int afterQuitMs = 1000;          // for the running sync manager to close
  int registrationMs = 30000;      // for the registration tool, each way
  int optionsDialogMs = 10000;     // for the sync manager's options dialog to appear
  int syncManagerCloseMs = 60000;  // for the sync manager's window to go after /quit
  int pollMs = 250;                // between two looks at the window table
};

// What went wrong, for the log; the program's exit code stays 0 whatever it holds.
struct InstallerReport {
  bool registrationFailed = false;    // not started, not ended in time, or a non-zero exit
  bool unregistrationFailed = false;  // likewise for the removal's unregistration
  bool optionsDialogConfirmed = false;
  bool warningShown = false;
  bool syncManagerStillOpen = false;  // its window outlived the bounded wait
  bool removed = false;               // the removal went past its first step
  std::vector<std::string> log;       // one line per step, as the program prints them
  int Status() const {
    return registrationFailed || unregistrationFailed || syncManagerStillOpen ? 1 : 0;
  }
};

// The two modes. `desktop` is the desktop root's context: its registry, its message boxes
// (the removal's warning) and its root, on which the programs are started.
InstallerReport RunInstall(PlatformContext& desktop, const InstallerTimings& timings = {});
InstallerReport RunRemove(PlatformContext& desktop, const InstallerTimings& timings = {});

// The uninstall hook's work: the sync manager closed, the desktop companion unregistered
// (awaited, within the registration bound), the connected device's partner key deleted and the
// application manager started.
InstallerReport RunUninstallHook(PlatformContext& desktop, const InstallerTimings& timings = {});
// The uninstall hook's string resources by number; null for an unknown number.
const char* UninstallHookString(UINT id);

// The partner key of the connected device's object type, or empty when no device is connected.
std::u16string ConnectedPartnerKey(PlatformContext& desktop);

}  // namespace quillet
