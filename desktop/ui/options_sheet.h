// The options sheet "Quillet - Sync preferences": seven pages over one DeskSettings record,
// loaded fresh from the settings file when the sheet opens. OK saves the record (a save that
// fails is told and the sheet stays open), Cancel leaves the file as it was.
#pragma once

#include <QDialog>
#include <memory>
#include <set>
#include <vector>

#include "desktop/desk_settings.h"
#include "desktop/ui/prefs_page.h"

class QTabWidget;

namespace quillet {

class COptionsSheet : public QDialog {
  Q_OBJECT
 public:
  COptionsSheet(PlatformContext& desktop, WorkingDirectory dir, DeskUiHooks hooks = {},
                QWidget* parent = nullptr);
  ~COptionsSheet() override;

  const DeskSettings& settings() const { return settings_; }
  QTabWidget* tabs() const { return tabs_; }
  CPrefsPage* page(int index) const { return pages_.at(static_cast<std::size_t>(index)); }

  void accept() override;

 private:
  void OnTabChanged(int index);

  PrefsEnv env_;
  DeskSettings settings_;
  QTabWidget* tabs_ = nullptr;
  std::vector<CPrefsPage*> pages_;
  std::set<int> visited_;
  int current_ = 0;
  bool switching_ = false;
};

}  // namespace quillet
