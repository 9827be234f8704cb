#include "device/stock_page_info.h"

#include <QLabel>

#include "core/messages.h"
#include "core/quote_tables.h"
#include "core/stock_operations.h"
#include "core/string_table.h"
#include "device/add_shares_dialog.h"
#include "device/bitmaps.h"
#include "device/fee_dialog.h"
#include "device/quillet_app.h"
#include "device/resource_ids.h"
#include "device/sell_dialog.h"
#include "device/sheet_controls.h"
#include "device/stock_list_view.h"
#include "platform/codepage.h"
#include "platform/message_box.h"

namespace quillet {
namespace {

constexpr int kLabelX = 2;
constexpr int kFieldX = 52;
constexpr int kFieldW = 112;
constexpr int kRow = 21;
constexpr int kRightX = 170;

QString FromAnsi(std::string_view text) { return QString::fromUtf8(AnsiToUtf8(text)); }

QToolButton* ImageButton(QWidget* parent, int controlId, int bitmap, const char* name,
                         const char* tip) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setProperty("controlId", controlId);
  b->setIcon(QIcon(ResourceBitmap(bitmap)));
  b->setIconSize(QSize(16, 16));
  b->setToolTip(QString::fromLatin1(tip));
  return b;
}

}  // namespace

CStockInfo::CStockInfo(CStockSheet& sheet)
    : CStockPage(sheet, IDD_STOCK_INFO, "Info", kPageInfo, 0) {
  setObjectName(QStringLiteral("infoPage"));
  const LocaleSettings& locale = store().context().locale();
  const char* labels[] = {"Portfolio:", "Name:",   "Symbol:", "Market:",  "Date:",
                          "Price:",     "Number:", "Fee:",    "Dividend:"};
  for (int k = 0; k < 9; ++k) {
    auto* label = new QLabel(QString::fromLatin1(labels[k]), this);
    label->setGeometry(kLabelX, 3 + k * kRow, kFieldX - kLabelX, 19);
  }
  portfolio_ = new QComboBox(this);
  CModalDialog::SetControlId(portfolio_, 1401, "portfolioCombo");
  portfolio_->setGeometry(kFieldX, 2, 186, 19);
  name_ = new QLineEdit(this);
  CModalDialog::SetControlId(name_, 1402, "nameEdit");
  name_->setMaxLength(19);
  symbol_ = new QLineEdit(this);
  CModalDialog::SetControlId(symbol_, 1403, "symbolEdit");
  symbol_->setMaxLength(15);
  market_ = new QComboBox(this);
  CModalDialog::SetControlId(market_, 1404, "marketCombo");
  for (const MarketChoice& choice : MarketChoices()) {
    market_->addItem(FromAnsi(FieldText(choice.szText)));
  }
  date_ = MakeDatePicker(this, locale, "buyDate");
  price_ = MakeNumberEdit(this, 1406, "priceEdit");
  number_ = MakeNumberEdit(this, 1407, "numberEdit");
  fee_ = MakeNumberEdit(this, 1408, "feeEdit");
  dividend_ = MakeNumberEdit(this, 1409, "dividendEdit");
  QWidget* column[] = {name_, symbol_, market_, date_, price_, number_, nullptr, dividend_};
  for (int k = 0; k < 8; ++k) {
    if (column[k]) column[k]->setGeometry(kFieldX, 2 + (k + 1) * kRow, kFieldW, 19);
  }
  fee_->setGeometry(kFieldX, 2 + 7 * kRow, kFieldW - 24, 19);
  feeButton_ = new QToolButton(this);
  CModalDialog::SetControlId(feeButton_, 1412, "feeButton");
  feeButton_->setText(QStringLiteral("%"));
  feeButton_->setGeometry(kFieldX + kFieldW - 22, 2 + 7 * kRow, 22, 19);
  feeMenu_ = new QMenu(this);
  feeMenu_->setObjectName(QStringLiteral("feeMenu"));
  std::vector<std::string> fees = strings::ChoiceList(strings::IDS_FEE_PERCENTS);
  for (std::size_t k = 0; k < fees.size(); ++k) {
    QAction* a = feeMenu_->addAction(QString::fromStdString(fees[k]));
    a->setObjectName(QStringLiteral("fee%1").arg(strings::IDS_FEE_PERCENTS + 1 + k));
    const int entry = static_cast<int>(k);
    connect(a, &QAction::triggered, this, [this, entry] { ChooseFee(entry); });
  }
  connect(feeButton_, &QToolButton::clicked, this,
          [this] { feeMenu_->popup(feeButton_->mapToGlobal(QPoint(0, feeButton_->height()))); });

  own_ = new QCheckBox(QStringLiteral("Own"), this);
  CModalDialog::SetControlId(own_, 1410, "ownCheck");
  chart_ = new QCheckBox(QStringLiteral("Chart"), this);
  CModalDialog::SetControlId(chart_, 1411, "chartCheck");
  short_ = new QCheckBox(QStringLiteral("Short"), this);
  CModalDialog::SetControlId(short_, 1417, "shortCheck");
  own_->setGeometry(kRightX, 2 + 1 * kRow, 68, 19);
  chart_->setGeometry(kRightX, 2 + 2 * kRow, 68, 19);
  short_->setGeometry(kRightX, 2 + 3 * kRow, 68, 19);

  QToolButton* newEntry =
      ImageButton(this, 1414, IDB_NEW_ENTRY, "newEntryButton", "New entry based on this one");
  QToolButton* addShares = ImageButton(this, 1413, IDB_ADD_SHARES, "addSharesButton", "Add shares");
  QToolButton* sell = ImageButton(this, 1415, IDB_SELL, "sellButton", "Sell");
  QToolButton* remove = ImageButton(this, 1416, IDB_DELETE_STOCK, "deleteButton", "Delete");
  newEntry->setGeometry(kRightX + 4, 2 + 5 * kRow, 26, 24);
  addShares->setGeometry(kRightX + 34, 2 + 5 * kRow, 26, 24);
  sell->setGeometry(kRightX + 4, 2 + 5 * kRow + 28, 26, 24);
  remove->setGeometry(kRightX + 34, 2 + 5 * kRow + 28, 26, 24);
  connect(newEntry, &QToolButton::clicked, this, &CStockInfo::OnNewEntry);
  connect(addShares, &QToolButton::clicked, this, &CStockInfo::OnAddShares);
  connect(sell, &QToolButton::clicked, this, &CStockInfo::OnSell);
  connect(remove, &QToolButton::clicked, this, &CStockInfo::OnDelete);

  connect(market_, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
    std::span<const MarketChoice> choices = MarketChoices();
    if (index < 0 || index >= static_cast<int>(choices.size()) ||
        choices[static_cast<std::size_t>(index)].IsSeparator()) {
      market_->setCurrentIndex(marketShown_);
      return;
    }
    marketChosen_ = true;
  });
}

void CStockInfo::LoadFromStock() {
  StockRecord* r = stock();
  if (!r) return;
  PortfolioStore& s = store();
  const char sep = s.cDecimalSeparator;
  CStockListView::FillPortfolioSelector(portfolio_, s, r->ucPortfolio, false, false);
  // A stock of a portfolio the selector cannot show keeps its own unless another is chosen.
  if (portfolio_->currentData().toInt() != r->ucPortfolio) portfolio_->setCurrentIndex(-1);
  name_->setText(FromAnsi(r->Name()));
  symbol_->setText(FromAnsi(r->Symbol()));
  marketShown_ = MarketChoiceIndex(r->ucMarket);
  market_->setCurrentIndex(marketShown_);
  marketChosen_ = false;
  dateStored_ = r->tBuyDate;
  dateShown_ = DayOf(r->tBuyDate, NowStockTime(s.context().clock()));
  date_->setDate(dateShown_);
  const std::pair<QLineEdit*, const DecimalText*> numbers[] = {{price_, &r->szBuyPrice},
                                                               {number_, &r->szShares},
                                                               {fee_, &r->szBuyFee},
                                                               {dividend_, &r->szDividend}};
  for (auto [edit, field] : numbers) {
    edit->setText(QString::fromUtf8(AnsiToUtf8(ToDisplayText(FieldText(*field), sep))));
    MarkField(edit, false);
  }
  own_->setChecked(r->ucStatus != kStatusWatched);
  chart_->setChecked((r->ucFlags & kFlagChartHistory) != 0);
  short_->setChecked((r->ucFlags & kFlagShort) != 0);
  // A sold stock's state and flags are its history; they are shown, not changed.
  own_->setEnabled(!r->IsSold());
  chart_->setEnabled(!r->IsSold());
  short_->setEnabled(!r->IsSold());
}

StockInfoInput CStockInfo::Typed() const {
  StockInfoInput in;
  in.portfolio = portfolio_->currentIndex() >= 0 ? portfolio_->currentData().toInt() : -1;
  in.name = Utf8ToAnsi(name_->text().toUtf8().toStdString());
  in.symbol = Utf8ToAnsi(symbol_->text().toUtf8().toStdString());
  if (marketChosen_) in.market = MarketOfChoice(market_->currentIndex());
  // The picker shows a day; the stored time keeps its hour unless another day was picked.
  in.buyDate = date_->date() == dateShown_ ? dateStored_ : TimeOfDay(date_->date());
  in.price = EditText(price_);
  in.number = EditText(number_);
  in.fee = EditText(fee_);
  in.dividend = EditText(dividend_);
  in.own = own_->isChecked();
  in.chart = chart_->isChecked();
  in.shortPosition = short_->isChecked();
  return in;
}

bool CStockInfo::SaveToStock() {
  StockRecord* r = stock();
  if (!r) return true;
  StockInfoInput in = Typed();
  if (in.portfolio < 0) in.portfolio = r->ucPortfolio;
  const StockSaveResult result = SaveStockInfo(store(), *r, in);
  if (result.modified) sheet().SetModified();
  MarkField(price_, (result.badFields & kFieldBuyPrice) != 0);
  MarkField(number_, (result.badFields & kFieldShares) != 0);
  MarkField(fee_, (result.badFields & kFieldBuyFee) != 0);
  MarkField(dividend_, (result.badFields & kFieldDividend) != 0);
  if (result.badFields != 0) return false;
  // What was stored is now what the page shows.
  dateStored_ = r->tBuyDate;
  dateShown_ = date_->date();
  if (marketChosen_) marketShown_ = market_->currentIndex();
  sheet().StockInfoSaved();
  return true;
}

void CStockInfo::PendingQuote(std::string* symbol, int* market) {
  StockRecord* r = stock();
  if (!r) return;
  std::string typed = Utf8ToAnsi(symbol_->text().toUtf8().toStdString());
  // Stored, the symbol is cut to its field as every text is.
  if (typed.size() >= sizeof r->szSymbol) typed.resize(sizeof r->szSymbol - 1);
  *symbol = typed;
  *market = r->ucMarket;
  if (marketChosen_) {
    const int chosen = MarketOfChoice(market_->currentIndex());
    if (chosen >= 0 && chosen < kMarketCount) *market = chosen;
  }
}

void CStockInfo::ChooseFee(int entry) {
  const char sep = store().cDecimalSeparator;
  double percent = 0;
  if (entry >= 0 && entry < static_cast<int>(std::size(kFeePercentChoices))) {
    percent = kFeePercentChoices[entry];
  } else {
    CFeeDlg dialog(&sheet(), store().fCustomFeePercent, sep);
    if (sheet().app().RunModal(dialog) != QDialog::Accepted || sheet().app().closing()) return;
    percent = dialog.percent();
    store().fCustomFeePercent = static_cast<float>(percent);
  }
  fee_->setText(
      QString::fromStdString(FeeFromPercent(EditText(number_), EditText(price_), percent, sep)));
  MarkField(fee_, false);
}

void CStockInfo::OnNewEntry() {
  StockRecord* r = stock();
  if (!r || !store().Ask(text::kCopyStock)) return;
  if (!SaveToStock()) return;
  StockRecord* copy = store().CopyStock(*r, false);
  if (!copy) return;  // "Insufficient memory to add new stock" was shown
  sheet().SetResultMode(kSheetNewEntry);
  sheet().SetModified();
  sheet().SwitchTo(copy->dwId);
}

void CStockInfo::OnAddShares() {
  if (!stock() || !SaveToStock()) return;
  if (!store().Ask(text::kAddShares)) return;
  CAddSharesDlg dialog(&sheet(), store().cDecimalSeparator);
  if (sheet().app().RunModal(dialog) != QDialog::Accepted || sheet().app().closing()) return;
  StockRecord* r = stock();
  if (!r) return;
  if (AddSharesToStock(store(), r, dialog.price(), dialog.number(), dialog.fee()) ==
      StockOpResult::kDone) {
    sheet().SetResultMode(kSheetSharesAdded);
    sheet().SetModified();
    sheet().ReloadAllPages();
  }
}

void CStockInfo::OnSell() {
  if (!stock() || !SaveToStock()) return;
  if (RunSellStock(sheet().app(), &sheet(), sheet().stockId()) == StockOpResult::kDone) {
    sheet().SetModified();
    sheet().EndWith(kSheetSold);
  }
}

void CStockInfo::OnDelete() {
  if (!stock() || !store().Ask(text::kDeleteStock, MB_ICONEXCLAMATION)) return;
  sheet().EndWith(kSheetDeleteRequested);
}

}  // namespace quillet
