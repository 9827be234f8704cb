// What the three handheld libraries share about the handheld program: where it lives (the
// "ProgramPath" value, with one default), how its main window is found (by the program path of
// the process that owns it, not by a title that its dialogs share), how it is asked to step
// aside and waited for until it has saved and ended, how it is started again, and the Today
// screen's refresh.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/context.h"
#include "platform/linux/module.h"
#include "platform/linux/window_station.h"

namespace quillet {

// The program's close request (the program saves and ends; its open dialogs end with result 1).
inline constexpr UINT kCloseForSyncMessage = 0x04F5;  // WM_USER + 245, 1269
// At most 255 characters and the terminator.
inline constexpr std::size_t kProgramPathCapacity = 256;
inline constexpr char16_t kDefaultProgramPath[] = u"\\Program Files\\Quillet\\Quillet.exe";
// How long a library waits for the program to save and end before it goes on regardless.
inline constexpr int kProgramEndTimeoutMs = 30000;

// The device context of the root a library was loaded on; null when the root cannot be opened.
std::unique_ptr<PlatformContext> OpenLibraryContext(const ModuleEnvironment& environment);

// "ProgramPath" under the product key (HKEY_CURRENT_USER), or the default when it is missing.
std::u16string ReadProgramPath(Registry& registry);

// The first top-level window (in creation order) whose owning program is `programPath`,
// compared without regard to case.
std::optional<WindowInfo> FindProgramWindow(WindowStation& station,
                                            std::u16string_view programPath);

enum class ProgramClose {
  kNotRunning,    // no window of the program: nothing was sent
  kEnded,         // the request was taken and the program has ended
  kStillRunning,  // the request was sent but the program had not ended in time
};
// Posts the close request to the program's main window and waits, at most timeoutMs, until its
// process has ended (and so has written its files).
ProgramClose CloseProgramAndWait(WindowStation& station, std::u16string_view programPath,
                                 int timeoutMs = kProgramEndTimeoutMs);

// Starts the program at a handheld path on the root, without arguments. 0 or the error.
LONG StartProgram(const std::string& root, std::u16string_view programPath);

// The Today refresh: the settings change 0xF2 is sent to every top-level window and each answer
// is awaited (a window that does not answer within a few seconds is given up on), so when this
// returns the Today screen has dropped the items it had loaded.
void SendTodayRefresh(WindowStation& station);

}  // namespace quillet
