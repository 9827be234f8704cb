#include "desktop/ui/desk_ui_hooks.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace quillet {

bool DeskUiHooks::OpenExternal(const QString& target) const {
  if (openExternal) return openExternal(target);
  const QUrl url = QFileInfo(target).isAbsolute() ? QUrl::fromLocalFile(target) : QUrl(target);
  return QDesktopServices::openUrl(url);
}

}  // namespace quillet
