// The entry points of a package's setup library, which the handheld's package installer calls
// around placing and removing the package's files.
#pragma once

#include "platform/linux/window_station.h"
#include "platform/win_types.h"

namespace quillet {

// Answers: go on with the installation or removal (0), or stop it (1).
inline constexpr int codeINSTALL_INIT_CONTINUE = 0;
inline constexpr int codeINSTALL_INIT_CANCEL = 1;
inline constexpr int codeINSTALL_EXIT_DONE = 0;
inline constexpr int codeINSTALL_EXIT_UNINSTALL = 1;
inline constexpr int codeUNINSTALL_INIT_CONTINUE = 0;
inline constexpr int codeUNINSTALL_INIT_CANCEL = 1;
inline constexpr int codeUNINSTALL_EXIT_DONE = 0;

using InstallInitProc = int (*)(HWND parent, BOOL firstCall, BOOL previouslyInstalled,
                                const char16_t* installDir);
using InstallExitProc = int (*)(HWND parent, const char16_t* installDir, WORD failedDirs,
                                WORD failedFiles, WORD failedRegKeys, WORD failedRegValues,
                                WORD failedShortcuts);
using UninstallInitProc = int (*)(HWND parent, const char16_t* installDir);
using UninstallExitProc = int (*)(HWND parent);

}  // namespace quillet
