// The Sell page of a sold stock: its buy side beside the sale (date, price, number of shares and
// fee), which can be corrected here. Changed fields are stored when the page is left.
#pragma once

#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>

#include "device/stock_sheet.h"

namespace quillet {

inline constexpr int IDD_STOCK_SELL = 1900;

class CStockSell : public CStockPage {
  Q_OBJECT
 public:
  explicit CStockSell(CStockSheet& sheet);
  void LoadFromStock() override;
  bool SaveToStock() override;
  bool SavesWhenLeft() const override { return true; }

 private:
  QLabel* buyDate_;
  QLabel* buyPrice_;
  QLabel* buyFee_;
  QDateEdit* date_;
  QLineEdit* price_;
  QLineEdit* number_;
  QLineEdit* fee_;
  QDate dateShown_;
  StockTime dateStored_ = 0;
};

}  // namespace quillet
