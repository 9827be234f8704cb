// The Info page: the buy details of the stock (portfolio, name, symbol, market, date, price,
// number, fee, dividend, owned or watched, chart history, short position), the fee menu, and the
// operations that make or remove records: a new entry copied from this one, more shares, a sale
// and deleting.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

#include "core/stock_edits.h"
#include "device/stock_sheet.h"

namespace quillet {

inline constexpr int IDD_STOCK_INFO = 1400;

class CStockInfo : public CStockPage {
  Q_OBJECT
 public:
  explicit CStockInfo(CStockSheet& sheet);

  void LoadFromStock() override;
  bool SaveToStock() override;

  // The fee menu's entries: 0..11 a percentage, 12 "Custom...".
  void ChooseFee(int entry);
  QMenu* feeMenu() const { return feeMenu_; }

  // The symbol and market the page would store now: what is typed and chosen, else the stock's.
  void PendingQuote(std::string* symbol, int* market);

  void OnNewEntry();
  void OnAddShares();
  void OnSell();
  void OnDelete();

 private:
  StockInfoInput Typed() const;

  QComboBox* portfolio_;
  QLineEdit* name_;
  QLineEdit* symbol_;
  QComboBox* market_;
  QDateEdit* date_;
  QLineEdit* price_;
  QLineEdit* number_;
  QLineEdit* fee_;
  QLineEdit* dividend_;
  QCheckBox* own_;
  QCheckBox* chart_;
  QCheckBox* short_;
  QToolButton* feeButton_;
  QMenu* feeMenu_;
  // The selector shows "US" for markets it does not list, so the market is stored only once the
  // user chose one.
  bool marketChosen_ = false;
  int marketShown_ = 0;  // the selector entry of the stock's market
  QDate dateShown_;
  StockTime dateStored_ = 0;
};

}  // namespace quillet
