#include "device/stock_page_alert.h"

#include <QLabel>

#include "core/alert_evaluation.h"
#include "core/decimal_text.h"
#include "core/quote_tables.h"
#include "core/string_table.h"
#include "device/resource_ids.h"
#include "device/sheet_controls.h"
#include "device/stock_page_info.h"
#include "platform/codepage.h"

namespace quillet {
namespace {

QPushButton* Button(QWidget* parent, const char* text, int id, const char* name, QRect at) {
  auto* b = new QPushButton(QString::fromLatin1(text), parent);
  CModalDialog::SetControlId(b, id, name);
  b->setGeometry(at);
  return b;
}

}  // namespace

CStockAlert::CStockAlert(CStockSheet& sheet)
    : CStockPage(sheet, IDD_STOCK_ALERT, "Alert", kPageAlert, 5) {
  setObjectName(QStringLiteral("alertPage"));
  auto* label = new QLabel(QStringLiteral("Alert:"), this);
  label->setGeometry(2, 4, 36, 19);
  condition_ = new QComboBox(this);
  CModalDialog::SetControlId(condition_, 3701, "conditionCombo");
  condition_->setGeometry(38, 2, 80, 20);
  // The conditions come from the string table; the comparisons are the dialog's own items.
  for (const std::string& item : strings::ChoiceList(strings::IDS_ALERT_CONDITIONS)) {
    condition_->addItem(QString::fromStdString(item));
  }
  compare_ = new QComboBox(this);
  CModalDialog::SetControlId(compare_, 3702, "compareCombo");
  compare_->setGeometry(120, 2, 48, 20);
  for (int k = 0; k < kAlertCompareCount; ++k) {
    compare_->addItem(QString::fromLatin1(AlertCompareText(k)));
  }
  condition_->setCurrentIndex(0);
  compare_->setCurrentIndex(0);
  threshold_ = MakeNumberEdit(this, 3703, "thresholdEdit");
  threshold_->setGeometry(170, 2, 68, 20);
  QPushButton* add = Button(this, "Add", 3704, "addButton", QRect(2, 26, 60, 22));
  auto* current = new QLabel(QStringLiteral("Current Alerts:"), this);
  current->setFont(HeadingFont());
  current->setGeometry(2, 52, 200, 19);
  list_ = new QListWidget(this);
  CModalDialog::SetControlId(list_, 3705, "alertList");
  list_->setGeometry(2, 72, 236, 110);
  QPushButton* change = Button(this, "Change", 3706, "changeButton", QRect(2, 186, 60, 22));
  QPushButton* remove = Button(this, "Delete", 3707, "deleteButton", QRect(66, 186, 60, 22));
  connect(add, &QPushButton::clicked, this, &CStockAlert::OnAdd);
  connect(change, &QPushButton::clicked, this, &CStockAlert::OnChange);
  connect(remove, &QPushButton::clicked, this, &CStockAlert::OnDelete);
  connect(list_, &QListWidget::currentRowChanged, this, &CStockAlert::OnLineChosen);
}

void CStockAlert::LoadFromStock() { Rebuild(nullptr); }

void CStockAlert::showEvent(QShowEvent* event) {
  CStockPage::showEvent(event);
  // The Info page may have a new symbol or market typed since the page was last shown.
  Rebuild(SelectedAlert());
}

void CStockAlert::PendingQuote(std::string* symbol, int* market) {
  StockRecord* r = stock();
  *symbol = r ? std::string(r->Symbol()) : std::string();
  *market = r ? r->ucMarket : 0;
  if (auto* info = qobject_cast<CStockInfo*>(sheet().PageWithCode(kPageInfo))) {
    info->PendingQuote(symbol, market);
  }
}

void CStockAlert::Rebuild(const StockAlert* select) {
  std::string symbol;
  int market = 0;
  PendingQuote(&symbol, &market);
  PortfolioStore& s = store();
  entries_.clear();
  for (std::size_t j : AlertsOfQuote(s, QuoteSymbol(symbol, market), market)) {
    entries_.push_back(s.alerts[j].get());
  }
  const QSignalBlocker quiet(list_);
  list_->clear();
  int selectRow = -1;
  for (std::size_t k = 0; k < entries_.size(); ++k) {
    list_->addItem(QString::fromUtf8(AnsiToUtf8(AlertPageLine(s, *entries_[k]))));
    if (entries_[k] == select) selectRow = static_cast<int>(k);
  }
  list_->setCurrentRow(selectRow);
  if (selectRow < 0) list_->clearSelection();
}

const StockAlert* CStockAlert::SelectedAlert() {
  const int row = list_->currentRow();
  if (row < 0 || row >= static_cast<int>(entries_.size())) return nullptr;
  const StockAlert* a = entries_[static_cast<std::size_t>(row)];
  // Gone from the array (deleted elsewhere): the line no longer names anything.
  return IndexOfAlert(store(), a) >= 0 ? a : nullptr;
}

void CStockAlert::OnLineChosen(int row) {
  (void)row;
  const StockAlert* a = SelectedAlert();
  if (!a) return;
  condition_->setCurrentIndex(a->ucCondition < kAlertConditionCount ? a->ucCondition : -1);
  compare_->setCurrentIndex(a->ucCompare < kAlertCompareCount ? a->ucCompare : -1);
  threshold_->setText(
      QString::fromStdString(FormatDecimal(a->dThreshold, 2, 0, store().cDecimalSeparator)));
}

void CStockAlert::OnAdd() {
  StockRecord* r = stock();
  if (!r || threshold_->text().isEmpty()) return;
  std::string symbol;
  int market = 0;
  PendingQuote(&symbol, &market);
  PortfolioStore& s = store();
  if (AddAlertForQuote(s, symbol, market, r->IsSold(), condition_->currentIndex(),
                       compare_->currentIndex(), EditText(threshold_)) != AlertEditResult::kDone) {
    return;
  }
  sheet().SetAlertsChanged();
  sheet().AlertAdded(s.alerts.back().get());
  Rebuild(s.alerts.back().get());
}

void CStockAlert::OnChange() {
  const StockAlert* a = SelectedAlert();
  if (!a) return;
  PortfolioStore& s = store();
  const int index = IndexOfAlert(s, a);
  if (ChangeAlert(s, static_cast<std::size_t>(index), condition_->currentIndex(),
                  compare_->currentIndex(), EditText(threshold_)) != AlertEditResult::kDone) {
    return;
  }
  sheet().SetAlertsChanged();
  Rebuild(a);
}

void CStockAlert::OnDelete() {
  const StockAlert* a = SelectedAlert();
  if (!a) return;
  PortfolioStore& s = store();
  DeleteAlert(s, static_cast<std::size_t>(IndexOfAlert(s, a)));
  sheet().SetAlertsChanged();
  Rebuild(nullptr);
}

}  // namespace quillet
