#include "device/stock_page_sell.h"

#include "core/stock_edits.h"
#include "core/stock_list_texts.h"
#include "device/sheet_controls.h"
#include "platform/codepage.h"

namespace quillet {

CStockSell::CStockSell(CStockSheet& sheet) : CStockPage(sheet, IDD_STOCK_SELL, "Sell", -1, 6) {
  setObjectName(QStringLiteral("sellPage"));
  const QFont heading = HeadingFont();
  auto* buy = new QLabel(QStringLiteral("Buy:"), this);
  buy->setFont(heading);
  buy->setGeometry(4, 4, 110, 20);
  auto* sell = new QLabel(QStringLiteral("Sell:"), this);
  sell->setFont(heading);
  sell->setGeometry(122, 4, 110, 20);
  const char* labels[] = {"Date:", "Price:", "Num:", "Fee:"};
  for (int k = 0; k < 4; ++k) {
    if (k != 2) {
      auto* left = new QLabel(QString::fromLatin1(labels[k]), this);
      left->setGeometry(4, 28 + k * 40, 110, 16);
    }
    auto* right = new QLabel(QString::fromLatin1(labels[k]), this);
    right->setGeometry(122, 28 + k * 40, 110, 16);
  }
  auto value = [this](int id, const char* name, int row) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setProperty("controlId", id);
    label->setGeometry(4, 45 + row * 40, 110, 19);
    return label;
  };
  buyDate_ = value(1901, "buyDate", 0);
  buyPrice_ = value(1902, "buyPrice", 1);
  // The number is the sale's, edited on the right; the buy side has no number of its own.
  buyFee_ = value(1903, "buyFee", 3);
  date_ = MakeDatePicker(this, store().context().locale(), "sellDate");
  price_ = MakeNumberEdit(this, 1905, "priceEdit");
  number_ = MakeNumberEdit(this, 1906, "numberEdit");
  fee_ = MakeNumberEdit(this, 1907, "feeEdit");
  QWidget* right[] = {date_, price_, number_, fee_};
  for (int k = 0; k < 4; ++k) right[k]->setGeometry(122, 45 + k * 40, 112, 20);
}

void CStockSell::LoadFromStock() {
  StockRecord* r = stock();
  if (!r) return;
  const PortfolioStore& s = store();
  const char sep = s.cDecimalSeparator;
  auto shown = [sep](const DecimalText& field) {
    return QString::fromUtf8(AnsiToUtf8(ToDisplayText(FieldText(field), sep)));
  };
  buyDate_->setText(
      QString::fromUtf8(AnsiToUtf8(ShortDateText(s.context().locale(), r->tBuyDate))));
  buyPrice_->setText(shown(r->szBuyPrice));
  buyFee_->setText(shown(r->szBuyFee));
  dateStored_ = r->tSellDate;
  dateShown_ = DayOf(r->tSellDate, NowStockTime(s.context().clock()));
  date_->setDate(dateShown_);
  price_->setText(shown(r->szPrice));
  number_->setText(shown(r->szShares));
  fee_->setText(shown(r->szSellFee));
  for (QLineEdit* edit : {price_, number_, fee_}) MarkField(edit, false);
}

bool CStockSell::SaveToStock() {
  StockRecord* r = stock();
  if (!r || !r->IsSold()) return true;
  StockSellInput in;
  in.sellDate = date_->date() == dateShown_ ? dateStored_ : TimeOfDay(date_->date());
  in.price = EditText(price_);
  in.number = EditText(number_);
  in.fee = EditText(fee_);
  const StockSaveResult result = SaveStockSell(store(), *r, in);
  if (result.modified) sheet().SetModified();
  MarkField(price_, (result.badFields & kFieldSellPrice) != 0);
  MarkField(number_, (result.badFields & kFieldShares) != 0);
  MarkField(fee_, (result.badFields & kFieldSellFee) != 0);
  if (result.badFields != 0) return false;
  dateStored_ = r->tSellDate;
  dateShown_ = date_->date();
  return true;
}

}  // namespace quillet
