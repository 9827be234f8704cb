// The small dialogs of the Stocks and Tools menus and the toolbar: the portfolio cash, the
// Internet update summary, sorting, splitting and the network log.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>
#include <string>

#include "core/portfolio_store.h"
#include "device/modal_dialog.h"

namespace quillet {

class CQuilletApp;

inline constexpr int IDD_NETWORK_LOG = 1100;
inline constexpr int IDD_SPLIT = 1300;
inline constexpr int IDD_SORT = 1800;
inline constexpr int IDD_INTERNET_UPDATE = 2000;
inline constexpr int IDD_CASH = 3600;

// The cash of each portfolio. The figure is shown in the portfolio's own currency while the
// dialog is open (the display setting comes back when it closes, unless the currency button
// changed it here), and it is stored only when the user changed it and it reads as a number: a
// converted figure or the "All" total is shown, never written back.
class CCashDlg : public CModalDialog {
  Q_OBJECT
 public:
  CCashDlg(QWidget* parent, PortfolioStore& store);
  ~CCashDlg() override;
  void OnPortfolioChosen();
  void OnCurrencyButton();
  // Closing stores the figure; one that does not read as a number keeps the dialog open.
  void accept() override;
  void reject() override { accept(); }
  void CloseForSync() override;
  bool changed() const { return changed_; }

 private:
  // False when the edit holds a changed figure that is not a number (nothing stored).
  bool StoreFigure();
  void ShowFigure();
  void RestoreConvert();

  PortfolioStore& store_;
  BYTE savedFlags_;
  bool restored_ = false;
  int shownPortfolio_ = -1;
  QString shownText_;
  bool changed_ = false;
  QComboBox* portfolio_;
  QLineEdit* cash_;
  QLabel* currency_;
};

class CInternetUpdateDlg : public CModalDialog {
  Q_OBJECT
 public:
  CInternetUpdateDlg(QWidget* parent, PortfolioStore& store);
  void Recompute();
  // "Update Stocks" was pressed: the caller runs an update.
  bool updateRequested() const { return updateRequested_; }

 private:
  PortfolioStore& store_;
  QComboBox* portfolio_;
  QLabel* profit_;
  QLabel* profitPercent_;
  QLabel* amount_;
  QLabel* percent_;
  QLabel* currency_;
  bool updateRequested_ = false;
};

class CSortDlg : public CModalDialog {
  Q_OBJECT
 public:
  CSortDlg(QWidget* parent, PortfolioStore& store);
  // Stores the sort key, the order and "Watched stocks at the bottom".
  void accept() override;

 private:
  PortfolioStore& store_;
  QComboBox* key_;
  QComboBox* order_;
  QCheckBox* watched_;
};

class CSplitDlg : public CModalDialog {
  Q_OBJECT
 public:
  CSplitDlg(QWidget* parent, PortfolioStore& store);
  StockTime date() const;
  std::string a() const;
  std::string b() const;
  // A split changes holdings: the close request ends the dialog as Cancel.
  void CloseForSync() override { done(0); }

 private:
  QDateEdit* date_;
  QLineEdit* a_;
  QLineEdit* b_;
};

class CNetworkLogDlg : public CModalDialog {
  Q_OBJECT
 public:
  CNetworkLogDlg(QWidget* parent, PortfolioStore& store, const std::string& log);
  // Replaces the clipboard's contents with the whole log.
  void OnCopy();

 private:
  PortfolioStore& store_;
  QString text_;
  QPlainTextEdit* edit_;
};

// The commands: each dialog, then what the list shows brought in line.
void RunCashDialog(CQuilletApp& app);
void RunInternetUpdateDialog(CQuilletApp& app);
void RunSortDialog(CQuilletApp& app);
void RunSplitDialog(CQuilletApp& app);
void RunNetworkLogDialog(CQuilletApp& app);

}  // namespace quillet
