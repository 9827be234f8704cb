#include "device/alerts_view.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/alert_evaluation.h"
#include "core/data_files.h"
#include "core/decimal_text.h"
#include "core/messages.h"
#include "core/portfolio_math.h"
#include "core/string_table.h"
#include "device/dialog_parts.h"
#include "device/main_frame.h"
#include "device/quillet_app.h"
#include "device/resource_ids.h"
#include "device/sheet_controls.h"
#include "device/wait_cursor.h"
#include "platform/codepage.h"
#include "platform/message_box.h"

namespace quillet {

// ---- CAlertEditDlg ------------------------------------------------------------------------------

CAlertEditDlg::CAlertEditDlg(QWidget* parent, PortfolioStore& store, const StockAlert* alert)
    : CModalDialog(parent, IDD_ALERT_EDIT), store_(store), alert_(alert) {
  setObjectName(QStringLiteral("alertEditDialog"));
  setFixedSize(kScreenWidth, 110);
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout();
  condition_ = new QComboBox(this);
  SetControlId(condition_, 4001, "conditionCombo");
  for (const std::string& item : strings::ChoiceList(strings::IDS_ALERT_CONDITIONS)) {
    condition_->addItem(QString::fromStdString(item));
  }
  compare_ = new QComboBox(this);
  SetControlId(compare_, 4002, "compareCombo");
  for (const std::string& item : strings::ChoiceList(strings::IDS_ALERT_COMPARES)) {
    compare_->addItem(QString::fromStdString(item));
  }
  threshold_ = MakeNumberEdit(this, 4003, "thresholdEdit");
  row->addWidget(condition_);
  row->addWidget(compare_);
  row->addWidget(threshold_);
  layout->addLayout(row);
  if (alert_) {
    condition_->setCurrentIndex(alert_->ucCondition < kAlertConditionCount ? alert_->ucCondition
                                                                           : -1);
    compare_->setCurrentIndex(alert_->ucCompare < kAlertCompareCount ? alert_->ucCompare : -1);
    threshold_->setText(
        QString::fromStdString(FormatDecimal(alert_->dThreshold, 2, 0, store_.cDecimalSeparator)));
  }
  AddOkCancelRow(this, layout);
}

void CAlertEditDlg::accept() {
  const int index = IndexOfAlert(store_, alert_);
  if (index < 0) {
    // The alert is gone; there is nothing left to change.
    CModalDialog::reject();
    return;
  }
  if (ChangeAlert(store_, static_cast<std::size_t>(index), condition_->currentIndex(),
                  compare_->currentIndex(), EditText(threshold_)) != AlertEditResult::kDone) {
    return;
  }
  CModalDialog::accept();
}

// ---- CAlertsDlg ---------------------------------------------------------------------------------

CAlertsDlg::CAlertsDlg(QWidget* parent, CQuilletApp& app)
    : CModalDialog(parent, IDD_ALERTS), app_(app) {
  setObjectName(QStringLiteral("alertsView"));
  setWindowTitle(QStringLiteral("Alerts"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 4);
  layout->setSpacing(2);
  auto* top = new QHBoxLayout();
  top->addWidget(MakeHeading(this, "Alerts"));
  top->addStretch();
  QPushButton* ok = MakeButton(this, "OK", IDOK, "okButton");
  ok->setFixedSize(44, 20);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  top->addWidget(ok);
  layout->addLayout(top);
  // The lines are columns of fixed width: a label of 11 characters, then the alert.
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixed.setPixelSize(10);
  layout->addWidget(MakeHeading(this, "Active Alerts:"));
  activeList_ = new QListWidget(this);
  SetControlId(activeList_, 3801, "activeList");
  activeList_->setFont(fixed);
  layout->addWidget(activeList_, 1);
  layout->addWidget(MakeHeading(this, "All Alerts:"));
  inactiveList_ = new QListWidget(this);
  SetControlId(inactiveList_, 3802, "inactiveList");
  inactiveList_->setFont(fixed);
  layout->addWidget(inactiveList_, 1);
  auto* buttons = new QHBoxLayout();
  QPushButton* change = MakeButton(this, "Change", 3803, "changeButton");
  QPushButton* remove = MakeButton(this, "Delete", 3804, "deleteButton");
  QPushButton* check = MakeButton(this, "Check", 3805, "checkButton");
  buttons->addWidget(change);
  buttons->addWidget(remove);
  buttons->addWidget(check);
  layout->addLayout(buttons);
  connect(change, &QPushButton::clicked, this, &CAlertsDlg::OnChange);
  connect(remove, &QPushButton::clicked, this, &CAlertsDlg::OnDelete);
  connect(check, &QPushButton::clicked, this, &CAlertsDlg::OnCheck);
  // At most one line is selected over both lists.
  connect(activeList_, &QListWidget::itemSelectionChanged, this, [this] {
    if (!activeList_->selectedItems().isEmpty()) inactiveList_->clearSelection();
  });
  connect(inactiveList_, &QListWidget::itemSelectionChanged, this, [this] {
    if (!inactiveList_->selectedItems().isEmpty()) activeList_->clearSelection();
  });
  CWaitCursor wait;
  Partition();
  Fill();
}

PortfolioStore& CAlertsDlg::store() { return *app_.store(); }

void CAlertsDlg::Partition() {
  PortfolioStore& s = store();
  AlertPartition partition = PartitionAlerts(s);
  active_.clear();
  inactive_.clear();
  for (std::size_t j : partition.active) active_.push_back(s.alerts[j].get());
  for (std::size_t j : partition.inactive) inactive_.push_back(s.alerts[j].get());
}

void CAlertsDlg::Fill() {
  PortfolioStore& s = store();
  const std::pair<QListWidget*, std::vector<const StockAlert*>*> lists[] = {
      {activeList_, &active_}, {inactiveList_, &inactive_}};
  for (auto [widget, entries] : lists) {
    // A line whose alert left the array (deleted) is dropped with it.
    std::erase_if(*entries, [&](const StockAlert* a) { return IndexOfAlert(s, a) < 0; });
    const QSignalBlocker quiet(widget);
    widget->clear();
    for (const StockAlert* a : *entries) {
      widget->addItem(QString::fromUtf8(AnsiToUtf8(AlertViewLine(s, *a))));
    }
  }
}

const StockAlert* CAlertsDlg::SelectedAlert(std::vector<const StockAlert*>** from) {
  const std::pair<QListWidget*, std::vector<const StockAlert*>*> lists[] = {
      {activeList_, &active_}, {inactiveList_, &inactive_}};
  for (auto [widget, entries] : lists) {
    const QList<QListWidgetItem*> chosen = widget->selectedItems();
    if (chosen.size() != 1) continue;
    const int row = widget->row(chosen.front());
    if (row < 0 || row >= static_cast<int>(entries->size())) return nullptr;
    const StockAlert* a = (*entries)[static_cast<std::size_t>(row)];
    if (IndexOfAlert(store(), a) < 0) return nullptr;
    if (from) *from = entries;
    return a;
  }
  return nullptr;
}

void CAlertsDlg::OnCheck() {
  CWaitCursor wait;
  Partition();
  Fill();
}

void CAlertsDlg::OnChange() {
  const StockAlert* a = SelectedAlert();
  if (!a) return;
  CAlertEditDlg edit(this, store(), a);
  if (app_.RunModal(edit) != QDialog::Accepted || app_.closing()) return;
  changed_ = true;
  // The alert keeps its list until the next "Check".
  Fill();
}

void CAlertsDlg::OnDelete() {
  std::vector<const StockAlert*>* from = nullptr;
  const StockAlert* a = SelectedAlert(&from);
  if (!a || !store().Ask(text::kDeleteAlerts, MB_ICONQUESTION)) return;
  // Found again after the question: the array is the authority on what exists.
  const int index = IndexOfAlert(store(), a);
  if (index < 0) return;
  std::erase(*from, a);
  DeleteAlert(store(), static_cast<std::size_t>(index));
  changed_ = true;
  Fill();
}

// ---- The command --------------------------------------------------------------------------------

void RunAlertsView(CQuilletApp& app) {
  PortfolioStore* s = app.store();
  CMainFrame* frame = app.frame();
  if (!s || !frame) return;
  StockRecord* before = frame->list()->SelectedStock();
  const DWORD selectedId = before ? before->dwId : 0;
  CAlertsDlg view(frame, app);
  app.RunModal(view);
  // Closing evaluates every alert again, as the view may have changed them, and gives the
  // stocks back their user's order (the view left them in symbol order).
  s->bAlertActive = CheckAlerts(*s, true) ? 1 : 0;
  SortStocks(*s);
  if (view.changed()) SaveAlerts(*s);
  frame->UpdateAlertButton(s->bAlertActive != 0);
  if (!app.closing()) frame->list()->RefillList(s->FindStock(selectedId));
}

}  // namespace quillet
