#include "device/sell_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/stock_list_texts.h"
#include "device/quillet_app.h"
#include "device/sheet_controls.h"
#include "platform/codepage.h"
#include "platform/message_box.h"

namespace quillet {
namespace {

QLabel* Shown(QWidget* parent, int controlId, const std::string& text, const char* name) {
  auto* label = new QLabel(QString::fromUtf8(AnsiToUtf8(text)), parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setProperty("controlId", controlId);
  return label;
}

}  // namespace

CSellDlg::CSellDlg(QWidget* parent, PortfolioStore& store, const StockRecord& r, StockTime today)
    : CModalDialog(parent, IDD_SELL), separator_(store.cDecimalSeparator) {
  setObjectName(QStringLiteral("sellDialog"));
  setWindowTitle(QStringLiteral("Sell"));
  const LocaleSettings& locale = store.context().locale();
  auto* layout = new QVBoxLayout(this);
  auto* name = new QLabel(QString::fromUtf8(AnsiToUtf8(r.Name())), this);
  QFont bold = name->font();
  bold.setBold(true);
  name->setFont(bold);
  layout->addWidget(name);
  auto* grid = new QGridLayout();
  grid->setHorizontalSpacing(4);
  auto* buy = new QLabel(QStringLiteral("Buy:"), this);
  auto* sell = new QLabel(QStringLiteral("Sell:"), this);
  buy->setFont(bold);
  sell->setFont(bold);
  grid->addWidget(buy, 0, 1);
  grid->addWidget(sell, 0, 2);
  const char* rows[] = {"Date:", "Price:", "Num:", "Fee:"};
  for (int k = 0; k < 4; ++k)
    grid->addWidget(new QLabel(QString::fromLatin1(rows[k]), this), k + 1, 0);
  grid->addWidget(Shown(this, 1901, ShortDateText(locale, r.tBuyDate), "buyDate"), 1, 1);
  grid->addWidget(Shown(this, 1902, ToDisplayText(FieldText(r.szBuyPrice), separator_), "buyPrice"),
                  2, 1);
  grid->addWidget(Shown(this, 1908, ToDisplayText(FieldText(r.szShares), separator_), "buyNumber"),
                  3, 1);
  grid->addWidget(Shown(this, 1903, ToDisplayText(FieldText(r.szBuyFee), separator_), "buyFee"), 4,
                  1);
  date_ = MakeDatePicker(this, locale, "sellDate");
  date_->setDate(DayOf(today, today));
  price_ = MakeNumberEdit(this, 1905, "priceEdit");
  number_ = MakeNumberEdit(this, 1906, "numberEdit");
  fee_ = MakeNumberEdit(this, 1907, "feeEdit");
  // The proposal: the last price, the whole holding and, as the likely sale fee, the buy fee.
  price_->setText(QString::fromStdString(ToDisplayText(FieldText(r.szPrice), separator_)));
  number_->setText(QString::fromStdString(ToDisplayText(FieldText(r.szShares), separator_)));
  fee_->setText(QString::fromStdString(ToDisplayText(FieldText(r.szBuyFee), separator_)));
  grid->addWidget(date_, 1, 2);
  grid->addWidget(price_, 2, 2);
  grid->addWidget(number_, 3, 2);
  grid->addWidget(fee_, 4, 2);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(2, 2);
  layout->addLayout(grid);
  layout->addStretch();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  SetControlId(buttons->button(QDialogButtonBox::Ok), IDOK, "okButton");
  SetControlId(buttons->button(QDialogButtonBox::Cancel), IDCANCEL, "cancelButton");
  connect(buttons, &QDialogButtonBox::accepted, this, &CSellDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CSellDlg::reject);
  layout->addWidget(buttons);
}

StockTime CSellDlg::date() const { return TimeOfDay(date_->date()); }
std::string CSellDlg::price() const { return EditText(price_); }
std::string CSellDlg::number() const { return EditText(number_); }
std::string CSellDlg::fee() const { return EditText(fee_); }

void CSellDlg::accept() {
  if (!CheckNumberEdits({price_, number_, fee_}, separator_)) return;
  CModalDialog::accept();
}

StockOpResult RunSellStock(CQuilletApp& app, QWidget* parent, DWORD stockId) {
  PortfolioStore* s = app.store();
  StockRecord* r = s ? s->FindStock(stockId) : nullptr;
  if (!r) return StockOpResult::kNothingToDo;
  if (!AskToSell(*s, *r)) return StockOpResult::kNothingToDo;
  CSellDlg dialog(parent, *s, *r, NowStockTime(s->context().clock()));
  if (app.RunModal(dialog) != QDialog::Accepted || app.closing()) {
    return StockOpResult::kNothingToDo;
  }
  // Found again: nothing the dialog's wait allowed may have moved it, but the id is what holds.
  r = s->FindStock(stockId);
  if (!r) return StockOpResult::kNothingToDo;
  return SellStock(*s, r, dialog.number(), dialog.price(), dialog.fee(), dialog.date());
}

}  // namespace quillet
