// The Alert page: the price alerts of the sheet's stock. A condition, a comparison and a
// threshold make an alert ("Add"); a line chosen in "Current Alerts:" can be changed or deleted.
// The page works on the quote symbol and market the Info page will store, so an alert made
// before the sheet is confirmed names the stock as it will be saved.
//
// Lines hold their alerts by identity: the evaluation re-sorts the alert array, and a line must
// keep meaning the alert it shows.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <string>
#include <vector>

#include "core/stock_records.h"
#include "device/stock_sheet.h"

namespace quillet {

inline constexpr int IDD_STOCK_ALERT = 3700;

class CStockAlert : public CStockPage {
  Q_OBJECT
 public:
  explicit CStockAlert(CStockSheet& sheet);
  void LoadFromStock() override;

  void OnAdd();
  void OnChange();
  void OnDelete();
  // The alerts the lines show, in line order.
  const std::vector<const StockAlert*>& entries() const { return entries_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The quote symbol and market the stock will have once the Info page is stored.
  void PendingQuote(std::string* symbol, int* market);
  void Rebuild(const StockAlert* select);
  void OnLineChosen(int row);
  const StockAlert* SelectedAlert();

  QComboBox* condition_;
  QComboBox* compare_;
  QLineEdit* threshold_;
  QListWidget* list_;
  std::vector<const StockAlert*> entries_;
};

}  // namespace quillet
