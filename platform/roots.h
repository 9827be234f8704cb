// Roots: the folders that stand for a handheld's object store and a desktop's drives. A
// handheld path such as "\Program Files\Quillet\QuilletDB" lives at
// "<device root>/Program Files/Quillet/QuilletDB"; a desktop path "C:\Program Files\X" at
// "<desktop root>/C/Program Files/X". Nothing in the system writes outside its roots. Which
// folders the roots are is a setting of the program (see environment.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// Maps a handheld path into the device root. Both separators are accepted. A component of
// "." or ".." is refused (nullopt), so no mapped path can leave the root.
std::optional<std::string> MapDevicePath(std::string_view root, std::string_view devicePath);
// Maps a desktop path ("C:\dir\file", "c:/dir", or "\dir" on drive C) into the desktop root.
std::optional<std::string> MapDesktopPath(std::string_view root, std::string_view desktopPath);

// The handheld path of a host path below the device root ("\Program Files\Quillet\X"), or
// nullopt when the host path is not below the root.
std::optional<std::string> DevicePathOf(std::string_view root, std::string_view hostPath);

// The desktop path ("C:\dir\file") of a host path below the desktop root, or nullopt when the
// host path is not on one of the root's drives.
std::optional<std::string> DesktopPathOf(std::string_view root, std::string_view hostPath);

// Joins a host folder and a name with one '/'.
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace quillet
