// The run log viewer: "QuilletLog.txt" of the working directory, opened in the desktop's
// default viewer, or the message "No log file!" when there is no log to read.
#pragma once

#include "desktop/ui/desk_ui_hooks.h"
#include "desktop/working_directory.h"

namespace quillet {

class PlatformContext;

// True when the log was handed to the viewer.
bool ViewRunLog(PlatformContext& desktop, const WorkingDirectory& dir, const DeskUiHooks& hooks);

}  // namespace quillet
