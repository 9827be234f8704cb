// Processes of a root. A handheld program path such as "\Program Files\Quillet\Quillet.exe" is
// started as the host executable the root maps it to, with the root handed down in
// QUILLET_DEVICE_ROOT, so the started program runs on the same handheld as its starter. The
// starter keeps no handle: as with the handheld's CreateProcess followed by closing both
// handles, the program lives on by itself (a long-running starter collects its ended children
// with ReapEndedChildren).
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace quillet {

// Starts the program at `windowsPath` on the device root, without arguments; its names are
// matched without regard to case, as the handheld's file system does. 0 on success
// (*pid set when given); 2 when no such file, 3 when the path leaves the root or names a
// folder that is missing, 5 when the file cannot be run.
LONG CreateProcess(const std::string& root, std::string_view windowsPath, pid_t* pid = nullptr);

// Starts a desktop command line on the desktop root. Its first word is a program path such as
// "C:\Program Files\X\X.EXE", matched without regard to case: in double quotes, or unquoted
// the shortest prefix ending at a blank that names a file, as the desktop resolves it. The other
// words are its arguments, split at blanks outside double quotes. The program gets the root in
// QUILLET_DESKTOP_ROOT. Answers as CreateProcess does; 87 for an empty line.
LONG CreateDesktopProcess(const std::string& root, std::string_view commandLine,
                          pid_t* pid = nullptr);

// Waits for a child of this process to end, at most timeoutMs, and collects it: true with
// *exitCode set (128 + the signal when it was killed) when it ended in time.
bool WaitForChildExit(pid_t pid, int timeoutMs, int* exitCode);

// True while the process runs. One that has ended but was not yet collected by its parent
// counts as ended: it saves and writes nothing any more.
bool ProcessRunning(pid_t pid);

// Waits until the process has ended, at most timeoutMs; true when it did. Looks every few
// milliseconds rather than sleeping a fixed time, so a quick end is seen at once.
bool WaitForProcessEnd(pid_t pid, int timeoutMs);

// Collects every child of this process that has ended, without waiting.
void ReapEndedChildren();

}  // namespace quillet
