// The seven pages of the options sheet. Controls carry object names (tests and scripts find
// them by name); the page's own rules (what enables what, what a tick opens) live here, the
// settings' rules in DeskSettings.
#pragma once

#include <QDate>
#include <vector>

#include "desktop/ui/prefs_page.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace quillet {

class CPrefsMain : public CPrefsPage {
  Q_OBJECT
 public:
  CPrefsMain(const PrefsEnv& env, QWidget* parent);
  void Load(const DeskSettings& s) override;
  bool Leave(DeskSettings* s) override;
  // Opens the run log in the desktop's viewer, or says there is none.
  void ViewLog();

 private:
  QCheckBox* enable_;
  QCheckBox* ask_;
};

class CPrefsSync : public CPrefsPage {
  Q_OBJECT
 public:
  CPrefsSync(const PrefsEnv& env, QWidget* parent);
  void Load(const DeskSettings& s) override;
  bool Leave(DeskSettings* s) override;

 private:
  void UpdateEnabled();
  QRadioButton* onSync_;
  QRadioButton* every_;
  QComboBox* everyList_;
  QCheckBox* between_;
  QComboBox* from_;
  QComboBox* to_;
  // Values the lists cannot show are kept unless the user picks one.
  int keptEvery_ = 0, keptFrom_ = 0, keptTo_ = 0;
};

class CPrefsNetwork : public CPrefsPage {
  Q_OBJECT
 public:
  CPrefsNetwork(const PrefsEnv& env, QWidget* parent);
  void Load(const DeskSettings& s) override;
  bool Leave(DeskSettings* s) override;

 private:
  void UpdateEnabled();
  void OnAuthToggled(bool on);
  QCheckBox* useProxy_;
  QLineEdit* host_;
  QLineEdit* port_;
  QCheckBox* auth_;
  QComboBox* type_;
  QString user_, password_;
};

class CPrefsModem : public CPrefsPage {
  Q_OBJECT
 public:
  CPrefsModem(const PrefsEnv& env, QWidget* parent);
  void Load(const DeskSettings& s) override;
  bool Leave(DeskSettings* s) override;

 private:
  void UpdateEnabled();
  QRadioButton* direct_;
  QRadioButton* modem_;
  QComboBox* profile_;
  QCheckBox* hangup_;
  bool modemAvailable_ = false;
};

class CPrefsExport : public CPrefsPage {
  Q_OBJECT
 public:
  CPrefsExport(const PrefsEnv& env, QWidget* parent);
  void Load(const DeskSettings& s) override;
  bool Leave(DeskSettings* s) override;

 private:
  QComboBox* when_;
  QCheckBox* chart_;
  QComboBox* separator_;
  int keptWhen_ = 0, keptSeparator_ = 0;
};

class CPrefsImport : public CPrefsPage {
  Q_OBJECT
 public:
  CPrefsImport(const PrefsEnv& env, QWidget* parent);
  void Load(const DeskSettings& s) override;
  bool Leave(DeskSettings* s) override;

 private:
  void UpdateEnabled();
  void OnImportNextToggled(bool on);
  void ChooseDate();
  void AddSymbol();
  void ShowDate();
  QCheckBox* importNext_;
  QLabel* path_;
  QComboBox* format_;
  QCheckBox* chart_;
  QPushButton* from_;
  QListWidget* symbols_;
  QPushButton* add_;
  QPushButton* del_;
  QCheckBox* all_;
  std::string pathImport_;
  DWORD startDate_ = 0;  // local seconds since 1970 of the day, 0 = none
  int keptFormat_ = 0;
};

class CPrefsBackup : public CPrefsPage {
  Q_OBJECT
 public:
  CPrefsBackup(const PrefsEnv& env, QWidget* parent);
  void Load(const DeskSettings& s) override;
  bool Leave(DeskSettings* s) override;

 private:
  void OnRestoreToggled(bool on);
  QComboBox* every_;
  QCheckBox* restore_;
  QLabel* restoreDate_;
  std::string restoreTime_;
  int keptMode_ = 0;
};

// A combo box index for a stored value: its position in `values`, or -1 (nothing selected).
int IndexOfValue(const std::vector<int>& values, int value);

}  // namespace quillet
