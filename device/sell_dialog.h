// The Sell dialog: the buy side of a stock beside the sale the user enters (date, price, number,
// fee, proposed from today, the current price, the whole holding and the buy fee). Its question
// ("Sell this stock?") came before it, so the desktop's close request ends it as Cancel: a sale
// is never made without the user's OK. RunSellStock is the whole sale as the "Sell Stock"
// command and the sheet's Sell button run it.
#pragma once

#include <QDateEdit>
#include <QLineEdit>
#include <string>

#include "core/portfolio_store.h"
#include "core/stock_operations.h"
#include "device/modal_dialog.h"

namespace quillet {

class CQuilletApp;

inline constexpr int IDD_SELL = 1900;

class CSellDlg : public CModalDialog {
  Q_OBJECT
 public:
  CSellDlg(QWidget* parent, PortfolioStore& store, const StockRecord& stock, StockTime today);
  StockTime date() const;
  std::string price() const;
  std::string number() const;
  std::string fee() const;

  void accept() override;
  void CloseForSync() override { done(0); }

 private:
  char separator_;
  QDateEdit* date_;
  QLineEdit* price_;
  QLineEdit* number_;
  QLineEdit* fee_;
};

// Asks, shows the Sell dialog and sells `stockId`; kDone when it was sold. Partly sold, the lot
// that stays keeps the id.
StockOpResult RunSellStock(CQuilletApp& app, QWidget* parent, DWORD stockId);

}  // namespace quillet
