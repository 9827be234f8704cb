// Moving the handheld's data files across the remote API: reading one whole, and replacing the
// stock file so that the handheld finds its old file or the new one, never a part of either.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/remote_api.h"

namespace quillet {

using DeskLogLine = std::function<void(std::string_view line)>;

// Reads the device file at `path` in blocks of 1024 bytes. False when it cannot be opened, a
// read fails, or what arrived is not as long as the file (a copy cut short is no copy).
bool ReadDeviceFile(RemoteApi& rapi, std::u16string_view path, std::string* bytes);

// Replaces the device file at `path` with `bytes`: writes `path`.tmp, checks every write and
// the close, moves the old file to `path`.old and the new one into its place. Any failure
// removes the ".tmp", leaves the old file where it was (a failed last rename puts the ".old"
// back), logs what failed ("** cannot open CE file" when the file cannot be created) and
// returns false.
bool WriteDeviceFile(RemoteApi& rapi, std::u16string_view path, std::string_view bytes,
                     const DeskLogLine& log);

// Puts `path`.old back as `path` when `path` is missing: what is left when a replacement
// moved the old file aside and then could neither put the new one in its place nor the old one
// back (a device whose storage failed for good). True when the file was put back.
bool RecoverDeviceFile(RemoteApi& rapi, std::u16string_view path);

}  // namespace quillet
