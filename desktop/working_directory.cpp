#include "desktop/working_directory.h"

#include "platform/codepage.h"
#include "platform/context.h"
#include "platform/roots.h"

namespace quillet {
namespace {

bool IsDriveAbsolute(std::string_view path) {
  return path.size() >= 3 &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
         path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

std::optional<WorkingDirectory> Locate(PlatformContext& desktop, std::string* error) {
  auto fail = [&](std::string why) -> std::optional<WorkingDirectory> {
    if (error) *error = std::move(why);
    return std::nullopt;
  };
  std::u16string installed;
  if (desktop.registry().GetString(HKEY_LOCAL_MACHINE, kActiveSyncKey, u"InstalledDir",
                                   &installed) != ERROR_SUCCESS ||
      installed.empty()) {
    return fail("ActiveSync is not installed on this desktop (no \"InstalledDir\")");
  }
  std::string dir = Utf16ToAnsi(installed);
  // A folder relative to wherever the process happens to run would scatter the user's files.
  if (!IsDriveAbsolute(dir)) return fail("\"InstalledDir\" is not a full path: " + dir);
  if (dir.back() != '\\') dir += '\\';
  dir += "Quillet\\";
  if (dir.size() >= kMaxDesktopPath) return fail("the working directory is too long: " + dir);
  auto host = desktop.HostPath(dir);
  if (!host) return fail("the working directory leads outside the desktop: " + dir);
  return WorkingDirectory{dir, *host};
}

}  // namespace

std::optional<WorkingDirectory> LocateWorkingDirectory(PlatformContext& desktop,
                                                       std::string* error) {
  return Locate(desktop, error);
}

std::optional<WorkingDirectory> FindWorkingDirectory(PlatformContext& desktop, std::string* error) {
  auto dir = Locate(desktop, error);
  if (!dir) return std::nullopt;
  if (LONG rc = desktop.files().CreateFolders(dir->hostPath)) {
    if (error) *error = "cannot create " + dir->windowsPath + " (error " + std::to_string(rc) + ")";
    return std::nullopt;
  }
  return dir;
}

std::optional<std::string> WorkingFile(const WorkingDirectory& dir, std::string_view relative) {
  if (relative.empty() || relative.front() == '\\' || relative.front() == '/' ||
      relative.find(':') != std::string_view::npos) {
    return std::nullopt;
  }
  const std::string windows = dir.windowsPath + std::string(relative);
  if (windows.size() >= kMaxDesktopPath) return std::nullopt;
  // The components are joined below the folder; "." and ".." are refused by the mapping, so the
  // file stays in the folder.
  return MapDevicePath(dir.hostPath, relative);
}

}  // namespace quillet
