#include "device/stock_page_calc.h"

#include "core/portfolio_math.h"
#include "core/stock_edits.h"
#include "core/stock_list_texts.h"
#include "device/bitmaps.h"
#include "device/resource_ids.h"
#include "platform/codepage.h"

namespace quillet {

CStockCalc::CStockCalc(CStockSheet& sheet)
    : CStockPage(sheet, IDD_STOCK_CALC, "Calc", kPageCalc, 2) {
  setObjectName(QStringLiteral("calcPage"));
  auto* heading = new QLabel(QStringLiteral("Stock Calculator:"), this);
  heading->setFont(HeadingFont());
  heading->setGeometry(4, 2, 230, 20);
  dateLabel_ = new QLabel(this);
  dateLabel_->setGeometry(4, 28, 80, 20);
  lots_ = new QComboBox(this);
  lots_->setObjectName(QStringLiteral("lotCombo"));
  lots_->setProperty("controlId", 3501);
  lots_->setGeometry(100, 27, 134, 21);
  const char* labels[] = {
      "Num Shares:", "Buy Price:", "Cost:", "Current Value:", "Profit:", "Profit %:", "Currency:"};
  const char* names[] = {"calcShares", "calcBuyPrice",      "calcCost",    "calcValue",
                         "calcProfit", "calcProfitPercent", "calcCurrency"};
  for (int k = 0; k < 7; ++k) {
    auto* label = new QLabel(QString::fromLatin1(labels[k]), this);
    label->setGeometry(4, 58 + k * 22, 94, 20);
    values_[k] = new QLabel(this);
    values_[k]->setObjectName(QString::fromLatin1(names[k]));
    values_[k]->setProperty("controlId", 3502 + k);
    values_[k]->setGeometry(100, 58 + k * 22, k == 6 ? 60 : 134, 20);
  }
  currency_ = new QToolButton(this);
  currency_->setObjectName(QStringLiteral("calcCurrencyButton"));
  currency_->setProperty("controlId", 3509);
  currency_->setIcon(QIcon(ResourceBitmap(IDB_CURRENCY)));
  currency_->setGeometry(164, 56 + 6 * 22, 24, 22);
  connect(lots_, QOverload<int>::of(&QComboBox::activated), this,
          [this](int index) { ShowEntry(index); });
  connect(currency_, &QToolButton::clicked, this, [this] {
    convertToBase_ = !convertToBase_;
    ShowEntry(lots_->currentIndex());
  });
}

void CStockCalc::LoadFromStock() {
  StockRecord* r = stock();
  if (!r) return;
  PortfolioStore& s = store();
  convertToBase_ = s.ConvertToBase();
  dateLabel_->setText(r->IsSold() ? QStringLiteral("Sell Date:") : QStringLiteral("Buy Date:"));
  std::vector<const StockRecord*> lots = CalculatorLots(s, *r);
  lotIds_.clear();
  lots_->clear();
  hasAll_ = lots.size() >= 2;
  if (hasAll_) lots_->addItem(QStringLiteral("All"));
  int own = 0;
  for (const StockRecord* lot : lots) {
    const StockTime date = r->IsSold() ? lot->tSellDate : lot->tBuyDate;
    std::string text = ShortDateText(s.context().locale(), date);
    if (text == "N/A") text = "???";
    if (lot == r) own = lots_->count();
    lots_->addItem(QString::fromUtf8(AnsiToUtf8(text)));
    lotIds_.push_back(lot->dwId);
  }
  lots_->setCurrentIndex(own);
  ShowEntry(own);
}

void CStockCalc::ShowEntry(int index) {
  PortfolioStore& s = store();
  StockRecord* r = stock();
  if (!r || index < 0) return;
  std::vector<const StockRecord*> entries;
  const int first = hasAll_ ? 1 : 0;
  for (std::size_t k = 0; k < lotIds_.size(); ++k) {
    if ((hasAll_ && index == 0) || static_cast<int>(k) + first == index) {
      if (const StockRecord* lot = s.FindStock(lotIds_[k])) entries.push_back(lot);
    }
  }
  if (entries.empty()) return;
  // The page's own currency choice: the base currency (each lot converted by its portfolio's
  // rate) or the portfolio's own, whatever the program's setting is.
  const int context = convertToBase_ ? int{PORTFOLIO_ALL} : int{kNoConversion};
  const CombinedHolding c = CombineHoldings(s, entries, context);
  const char sep = s.cDecimalSeparator;
  const std::string texts[6] = {
      FormatDecimalTrimmed(c.shares, 2, 0, sep), FormatDecimal(c.buyPrice, 2, 0, sep),
      FormatDecimal(c.cost, 2, 0, sep),          FormatDecimal(c.value, 2, 0, sep),
      FormatDecimal(c.profit, 2, 0, sep),        FormatDecimal(c.profitPercent, 2, '%', sep)};
  for (int k = 0; k < 6; ++k) values_[k]->setText(QString::fromStdString(texts[k]));
  const int currency = convertToBase_ ? 0 : s.CurrencyOfPortfolio(r->ucPortfolio);
  values_[6]->setText(QString::fromUtf8(AnsiToUtf8(s.CurrencyCode(currency))));
}

}  // namespace quillet
