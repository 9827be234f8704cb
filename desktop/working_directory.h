// The desktop companion's working directory: the folder "Quillet" in the ActiveSync
// installation directory (desktop registry HKEY_LOCAL_MACHINE "SOFTWARE\Microsoft\Windows CE
// Services", value "InstalledDir"), where the settings, the run log, the copies of the device
// files, the exports and the backups live. Every path in it is built with a bound: a path that
// would not fit the desktop's 260-character limit is refused, not cut or overrun.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet {

class PlatformContext;

inline constexpr std::size_t kMaxDesktopPath = 260;  // characters, terminator included

struct WorkingDirectory {
  std::string windowsPath;  // "C:\Program Files\Microsoft ActiveSync\Quillet\"
  std::string hostPath;     // the same folder in the desktop root
};

// Reads "InstalledDir" (a backslash appended when missing), adds "Quillet\" and creates the
// folder when missing. Nullopt, with *error set, when the value is missing, is not a full path
// on a drive, leads outside the desktop root, does not fit, or the folder cannot be made.
std::optional<WorkingDirectory> FindWorkingDirectory(PlatformContext& desktop,
                                                     std::string* error = nullptr);
// The folder as above without creating it (for readers that must not change the desktop).
std::optional<WorkingDirectory> LocateWorkingDirectory(PlatformContext& desktop,
                                                       std::string* error = nullptr);

// The host path of `relative` ("QuilletLog.txt", "Backup\20261207_QuilletDB") in the working
// directory, or nullopt when its desktop path would not fit in 260 characters or it names
// anything outside the folder.
std::optional<std::string> WorkingFile(const WorkingDirectory& dir, std::string_view relative);

inline constexpr std::u16string_view kActiveSyncKey = u"SOFTWARE\\Microsoft\\Windows CE Services";

}  // namespace quillet
