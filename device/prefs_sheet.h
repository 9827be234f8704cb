// The Preferences sheet: the General page (password, sorting, dividends, names in charts and
// alerts, arrow keys, the Today screen) and the Network page (proxy, modem, automatic update).
//
// Nothing is stored until OK: the pages keep what was chosen (the new password too) and OK
// stores it all, after the typed proxy values have been checked. Cancel leaves every setting
// as it was. The desktop's close request ends the sheet as OK, storing what can be stored.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <optional>

#include "core/portfolio_store.h"
#include "device/modal_dialog.h"

namespace quillet {

class CQuilletApp;

inline constexpr int IDD_PREFS_GENERAL = 2100;
inline constexpr int IDD_PREFS_NETWORK = 1700;

class CPreferences : public QWidget {
  Q_OBJECT
 public:
  CPreferences(QWidget* parent, CQuilletApp& app);
  // Ticking "Enable Password Protection" asks for a new password on the keypad.
  void OnPasswordBox(bool checked);
  void Apply();
  // The password OK would store (0: none).
  WORD pendingPassword() const { return password_; }

 private:
  CQuilletApp& app_;
  QCheckBox* password_box_;
  QCheckBox* autoSort_;
  QCheckBox* dividend_;
  QCheckBox* names_;
  QCheckBox* arrows_;
  QCheckBox* arrowsToday_;
  QCheckBox* today_;
  WORD password_ = 0;
};

class CPrefsNet : public QWidget {
  Q_OBJECT
 public:
  CPrefsNet(QWidget* parent, PortfolioStore& store);
  // The first typed value that cannot be stored, as its message; null when all can.
  const char* Problem() const;
  // Stores every value; one that cannot be stored keeps its old value.
  void Apply();

 private:
  void EnableFields();

  PortfolioStore& store_;
  QCheckBox* useProxy_;
  QLineEdit* host_;
  QLineEdit* port_;
  QCheckBox* useModem_;
  QComboBox* connection_;
  QCheckBox* closeConnection_;
  QCheckBox* autoUpdate_;
  QComboBox* every_;
  QString portShown_;
};

class CPrefsSheet : public CModalDialog {
  Q_OBJECT
 public:
  CPrefsSheet(QWidget* parent, CQuilletApp& app);
  CPreferences* general() const { return general_; }
  CPrefsNet* network() const { return network_; }
  QTabWidget* tabs() const { return tabs_; }
  // Checks the Network page (a message and that page shown when a value cannot be stored),
  // then stores both pages.
  void accept() override;
  void CloseForSync() override;

 private:
  CQuilletApp& app_;
  QTabWidget* tabs_;
  CPreferences* general_;
  CPrefsNet* network_;
};

// The Preferences command: the sheet, then the automatic-update timer set again for the
// interval chosen and the list's rows redrawn.
void RunPreferences(CQuilletApp& app);

}  // namespace quillet
