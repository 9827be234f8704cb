// The Calc page: the stock calculator over the lots of the sheet's stock (one lot, or "All" of
// them together), in the portfolio's currency or, with the page's own currency button, in the
// base currency. The button changes what this page shows, not the program's setting.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QToolButton>
#include <vector>

#include "device/stock_sheet.h"

namespace quillet {

inline constexpr int IDD_STOCK_CALC = 3500;

class CStockCalc : public CStockPage {
  Q_OBJECT
 public:
  explicit CStockCalc(CStockSheet& sheet);
  void LoadFromStock() override;
  // Shows the figures of the combo's entry.
  void ShowEntry(int index);
  bool convertToBase() const { return convertToBase_; }

 private:
  QLabel* dateLabel_;
  QComboBox* lots_;
  QLabel* values_[7];  // 3502..3508
  QToolButton* currency_;
  std::vector<DWORD> lotIds_;  // by id: the list can change while the page is open
  bool hasAll_ = false;
  bool convertToBase_ = false;
};

}  // namespace quillet
