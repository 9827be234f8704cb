// The Market page: the last quote the update stored in the stock, shown, never edited.
#pragma once

#include <QLabel>

#include "device/stock_sheet.h"

namespace quillet {

inline constexpr int IDD_STOCK_MARKET = 1600;

class CStockMarket : public CStockPage {
  Q_OBJECT
 public:
  explicit CStockMarket(CStockSheet& sheet);
  void LoadFromStock() override;

 private:
  // Value controls 1601..1611 in the order of their ids.
  QLabel* values_[11];
};

}  // namespace quillet
