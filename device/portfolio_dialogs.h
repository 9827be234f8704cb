// The portfolio and currency tables: the Portfolios dialog with its name dialog, and the
// Currencies dialog with its currency dialog ("Currency Add" / "Currency Edit").
//
// The name and currency dialogs end as Cancel on the desktop's close request: what they would
// store was never confirmed. The two table dialogs change the tables as the user goes.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include "core/portfolio_store.h"
#include "device/modal_dialog.h"

namespace quillet {

class CQuilletApp;

inline constexpr int IDD_PORTFOLIOS = 4530;
inline constexpr int IDD_PORTFOLIO = 4540;
inline constexpr int IDD_CURRENCIES = 2700;
inline constexpr int IDD_CURRENCY = 2800;

// "Portfolio:" and its name (15 characters at most).
class CPortfolioDlg : public CModalDialog {
  Q_OBJECT
 public:
  CPortfolioDlg(QWidget* parent, const QString& name);
  std::string name() const;
  void accept() override;
  void CloseForSync() override { done(0); }

 private:
  QLineEdit* name_;
};

class CPortfoliosDlg : public CModalDialog {
  Q_OBJECT
 public:
  CPortfoliosDlg(QWidget* parent, CQuilletApp& app);
  void OnNew();
  void OnEdit();
  void OnDelete();
  bool changed() const { return changed_; }

 private:
  PortfolioStore& store();
  void Fill(int select);

  CQuilletApp& app_;
  QListWidget* list_;
  bool changed_ = false;
};

// The currency dialog: a code of 3 letters and its rate against the base currency. A euro
// currency against a euro base gets its fixed ratio filled in as the code is typed.
class CCurrencyDlg : public CModalDialog {
  Q_OBJECT
 public:
  // `index` 0 for a new currency, else the currency edited.
  CCurrencyDlg(QWidget* parent, PortfolioStore& store, int index);
  // Stores the currency; a rate that is not above 0 is refused with a message and the dialog
  // stays open.
  void accept() override;
  void CloseForSync() override { done(0); }

 private:
  void CodeTyped();

  PortfolioStore& store_;
  int index_;
  QLineEdit* code_;
  QLabel* codeLabel_;
  QLineEdit* rate_;
};

class CCurrenciesDlg : public CModalDialog {
  Q_OBJECT
 public:
  CCurrenciesDlg(QWidget* parent, CQuilletApp& app);
  void OnNew();
  void OnEdit();
  void OnDelete();
  // The base currency's code as typed, stored (upper case) when the edit is left.
  void StoreBaseCode();
  void accept() override;
  void CloseForSync() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  PortfolioStore& store();
  void FillCurrencies(int select);
  void ShowPortfolioCurrency();

  CQuilletApp& app_;
  QLineEdit* base_;
  QComboBox* portfolio_;
  QComboBox* currency_;
  QListWidget* list_;
};

// The commands: the dialog, then the list brought in line with the tables.
void RunPortfoliosDialog(CQuilletApp& app);
void RunCurrenciesDialog(CQuilletApp& app);

}  // namespace quillet
