// What the desktop companion's windows ask of the desktop, in one place so that tests and
// scripts can stand in for the user and the shell: running a modal dialog (a test fills it and
// answers), and opening a file or web address with the desktop's default program.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

namespace quillet {

struct DeskUiHooks {
  // Runs a modal dialog and answers its result; null: dialog.exec().
  std::function<int(QDialog&)> runModal;
  // Opens a local file (a host path) or a web address in the desktop's default program; true
  // when it was handed over. Null: the desktop's own (QDesktopServices).
  std::function<bool(const QString& target)> openExternal;

  int RunModal(QDialog& dialog) const { return runModal ? runModal(dialog) : dialog.exec(); }
  bool OpenExternal(const QString& target) const;
};

}  // namespace quillet
