// QuilletDeskUi: the desktop companion's windows as the provider reaches them in the sync
// manager's process (the provider itself links no widget library). They exist only in a host
// with a running QApplication; anywhere else every export answers "no window".
#include <QApplication>
#include <QMessageBox>
#include <QVariant>
#include <QWidget>

#include "desktop/provider/desk_ui_bridge.h"
#include "desktop/ui/options_sheet.h"
#include "desktop/ui/update_progress.h"
#include "desktop/working_directory.h"
#include "platform/linux/module.h"

namespace quillet {
namespace {

// The host marks its top-level window with the handle the providers are given.
QWidget* WidgetOf(HWND window) {
  if (window == 0) return nullptr;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->property("quilletHwnd").toULongLong() == window) return w;
  }
  return nullptr;
}

}  // namespace
}  // namespace quillet

using namespace quillet;

QUILLET_EXPORT DeskRunHost* QuilletDeskOpenRunWindows(HWND parent) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;
  return new CDeskRunWindows(WidgetOf(parent), DeskUiHooks{});
}

QUILLET_EXPORT void QuilletDeskCloseRunWindows(DeskRunHost* host) { delete host; }

QUILLET_EXPORT int QuilletDeskShowOptions(PlatformContext* desktop, HWND parent) {
  if (!desktop || !qobject_cast<QApplication*>(QCoreApplication::instance())) return -1;
  std::string error;
  auto dir = FindWorkingDirectory(*desktop, &error);
  if (!dir) return -1;
  COptionsSheet sheet(*desktop, *dir, DeskUiHooks{}, WidgetOf(parent));
  // The sheet saves the settings itself when it is confirmed.
  return sheet.exec() == QDialog::Accepted ? 1 : 0;
}
