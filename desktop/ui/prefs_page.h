// A page of the options sheet. It shows the record's settings when the sheet opens and copies
// its controls back into the record when it is left or the sheet is confirmed; a page whose
// entries cannot be taken says why and keeps the user on it.
#pragma once

#include <QWidget>

#include "desktop/desk_settings.h"
#include "desktop/ui/desk_ui_hooks.h"

namespace quillet {

class PlatformContext;

struct PrefsEnv {
  PlatformContext& desktop;
  WorkingDirectory dir;
  DeskUiHooks hooks;
  // Shows a message box through the desktop's answerer.
  void Message(const char* text, unsigned icon) const;
};

class CPrefsPage : public QWidget {
  Q_OBJECT
 public:
  CPrefsPage(const PrefsEnv& env, QWidget* parent) : QWidget(parent), env_(env) {}
  // Shows the settings.
  virtual void Load(const DeskSettings& s) = 0;
  // Copies the controls into the record; false (the record untouched) keeps the user here.
  virtual bool Leave(DeskSettings* s) = 0;

 protected:
  const PrefsEnv& env_;
};

// The seven pages, in the sheet's order.
class CPrefsMain;
class CPrefsSync;
class CPrefsNetwork;
class CPrefsModem;
class CPrefsExport;
class CPrefsImport;
class CPrefsBackup;

}  // namespace quillet
