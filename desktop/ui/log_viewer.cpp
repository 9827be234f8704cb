#include "desktop/ui/log_viewer.h"

#include "desktop/desk_texts.h"
#include "platform/context.h"

namespace quillet {

bool ViewRunLog(PlatformContext& desktop, const WorkingDirectory& dir, const DeskUiHooks& hooks) {
  auto path = WorkingFile(dir, "QuilletLog.txt");
  std::unique_ptr<File> file;
  if (!path || desktop.files().Open(*path, OpenMode::kRead, &file) != ERROR_SUCCESS) {
    desktop.messageBoxes().Show(desk_text::kNoLogFile, desk_text::kCaption,
                                MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  file->Close();
  return hooks.OpenExternal(QString::fromStdString(*path));
}

}  // namespace quillet
