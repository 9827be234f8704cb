#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "core/string_table.h"
#include "desktop/desk_texts.h"
#include "desktop/ui/desk_dialogs.h"
#include "desktop/ui/help_note.h"
#include "desktop/ui/prefs_pages.h"
#include "platform/codepage.h"
#include "platform/context.h"
#include "platform/roots.h"

namespace quillet {
namespace {

const QDate kEpoch(1970, 1, 1);

// The start date is kept as the day's 00:00 in local seconds since 1970.
QDate DateOf(DWORD seconds) { return kEpoch.addDays(seconds / 86400); }
DWORD SecondsOf(QDate date) { return static_cast<DWORD>(kEpoch.daysTo(date) * 86400); }

}  // namespace

CPrefsImport::CPrefsImport(const PrefsEnv& env, QWidget* parent) : CPrefsPage(env, parent) {
  setObjectName(QStringLiteral("CPrefsImport"));
  auto* outer = new QVBoxLayout(this);
  auto* top = new QHBoxLayout();
  importNext_ = new QCheckBox(QStringLiteral("Import stock data at next synchronization"), this);
  importNext_->setObjectName(QStringLiteral("importNext"));
  top->addWidget(importNext_);
  top->addStretch();
  top->addWidget(new CHelpIcon(strings::IDS_HELP_IMPORT, this));
  outer->addLayout(top);
  path_ = new QLabel(this);
  path_->setObjectName(QStringLiteral("importPath"));
  path_->setContentsMargins(24, 0, 0, 0);
  outer->addWidget(path_);
  auto* form = new QFormLayout();
  format_ = new QComboBox(this);
  format_->setObjectName(QStringLiteral("importFormat"));
  format_->addItems({QStringLiteral("Standard"), QStringLiteral("Same as export")});
  form->addRow(QStringLiteral("Format:"), format_);
  outer->addLayout(form);

  chart_ = new QCheckBox(QStringLiteral("Import historical chart data"), this);
  chart_->setObjectName(QStringLiteral("importChart"));
  outer->addWidget(chart_);
  auto* grid = new QGridLayout();
  grid->setContentsMargins(24, 0, 0, 0);
  from_ = new QPushButton(this);
  from_->setObjectName(QStringLiteral("fromDate"));
  symbols_ = new QListWidget(this);
  symbols_->setObjectName(QStringLiteral("symbolList"));
  add_ = new QPushButton(QStringLiteral("Add"), this);
  add_->setObjectName(QStringLiteral("addSymbol"));
  del_ = new QPushButton(QStringLiteral("Del"), this);
  del_->setObjectName(QStringLiteral("delSymbol"));
  all_ = new QCheckBox(QStringLiteral("All stocks"), this);
  all_->setObjectName(QStringLiteral("allStocks"));
  grid->addWidget(from_, 0, 0, 1, 2);
  grid->addWidget(symbols_, 1, 0, 3, 1);
  grid->addWidget(add_, 1, 1);
  grid->addWidget(del_, 2, 1);
  grid->addWidget(all_, 4, 0);
  outer->addLayout(grid);

  connect(importNext_, &QCheckBox::toggled, this, &CPrefsImport::OnImportNextToggled);
  connect(chart_, &QCheckBox::toggled, this, &CPrefsImport::UpdateEnabled);
  connect(all_, &QCheckBox::toggled, this, &CPrefsImport::UpdateEnabled);
  connect(from_, &QPushButton::clicked, this, &CPrefsImport::ChooseDate);
  connect(add_, &QPushButton::clicked, this, &CPrefsImport::AddSymbol);
  connect(symbols_, &QListWidget::itemDoubleClicked, this, [this] {
    if (symbols_->count() < kChartImportSymbols) AddSymbol();
  });
  connect(del_, &QPushButton::clicked, this, [this] {
    delete symbols_->currentItem();
    UpdateEnabled();
  });
}

void CPrefsImport::UpdateEnabled() {
  const bool chart = chart_->isChecked();
  const bool list = chart && !all_->isChecked();
  from_->setEnabled(chart);
  all_->setEnabled(chart);
  symbols_->setEnabled(list);
  add_->setEnabled(list && symbols_->count() < kChartImportSymbols);
  del_->setEnabled(list);
}

void CPrefsImport::ShowDate() {
  const QDate date = DateOf(startDate_);
  from_->setText(
      startDate_ == 0
          ? QStringLiteral("From: (select)")
          : QStringLiteral("From: %1/%2/%3").arg(date.month()).arg(date.day()).arg(date.year()));
}

void CPrefsImport::OnImportNextToggled(bool on) {
  if (on) {
    QFileDialog dialog(this, QStringLiteral("Import"));
    dialog.setObjectName(QStringLiteral("importFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({QStringLiteral("CSV Files (*.csv)"), QStringLiteral("All Files (*.*)")});
    dialog.setDirectory(QString::fromStdString(env_.desktop.root() + "/C"));
    std::optional<std::string> chosen;
    if (env_.hooks.RunModal(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
      // The setting holds the file's desktop path; a file elsewhere has none.
      chosen = DesktopPathOf(env_.desktop.root(), dialog.selectedFiles().front().toStdString());
      if (!chosen || chosen->size() >= sizeof(DeskSettings::szPathImport)) {
        env_.Message(desk_text::kNotOnTheDesktop, MB_ICONEXCLAMATION);
        chosen.reset();
      }
    }
    if (chosen) {
      pathImport_ = Utf8ToAnsi(*chosen);
    } else {
      QSignalBlocker block(importNext_);
      importNext_->setChecked(false);
    }
  }
  path_->setText(importNext_->isChecked() ? QString::fromStdString(AnsiToUtf8(pathImport_))
                                          : QString());
}

void CPrefsImport::ChooseDate() {
  const QDate initial = startDate_ ? DateOf(startDate_) : QDate::currentDate();
  // Ctrl held asks for the date as text, as with an old calendar control.
  if (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) {
    CTextDateDialog dialog(initial, this);
    if (env_.hooks.RunModal(dialog) != QDialog::Accepted) return;
    auto date = dialog.Date();
    if (!date) {
      env_.Message(desk_text::kBadDate, MB_ICONEXCLAMATION);
      return;
    }
    startDate_ = SecondsOf(*date);
  } else {
    CCalendarDateDialog dialog(initial, this);
    if (env_.hooks.RunModal(dialog) != QDialog::Accepted) return;
    const QDate date = dialog.calendar()->selectedDate();
    if (!date.isValid() || date < kEpoch) return;
    startDate_ = SecondsOf(date);
  }
  ShowDate();
}

void CPrefsImport::AddSymbol() {
  if (symbols_->count() >= kChartImportSymbols) return;
  CAddSymbolDialog dialog(this);
  // Blanks and slashes are no part of a symbol, and a symbol may end up in a file or key name.
  dialog.symbol()->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[^\\s/\\\\]{0,15}")), dialog.symbol()));
  if (env_.hooks.RunModal(dialog) != QDialog::Accepted || dialog.Symbol().isEmpty()) return;
  symbols_->addItem(dialog.Symbol().left(15));
  symbols_->setCurrentRow(symbols_->count() - 1);
  UpdateEnabled();
}

void CPrefsImport::Load(const DeskSettings& s) {
  QSignalBlocker blockNext(importNext_);
  importNext_->setChecked(s.bImportNextSync != 0);
  pathImport_ = std::string(FieldText(s.szPathImport));
  path_->setText(importNext_->isChecked() ? QString::fromStdString(AnsiToUtf8(pathImport_))
                                          : QString());
  keptFormat_ = s.ucImportFormat;
  format_->setCurrentIndex(s.ucImportFormat <= 1 ? s.ucImportFormat : -1);
  chart_->setChecked(s.bImportChart != 0);
  all_->setChecked(s.ucImportChartAll != 0);
  symbols_->clear();
  for (const auto& symbol : s.szChartImport) {
    if (symbol[0]) symbols_->addItem(QString::fromStdString(AnsiToUtf8(FieldText(symbol))));
  }
  startDate_ = s.ulImportChartTime;
  ShowDate();
  UpdateEnabled();
}

bool CPrefsImport::Leave(DeskSettings* s) {
  s->bImportNextSync = importNext_->isChecked() ? 1 : 0;
  CopyToField(s->szPathImport, pathImport_);
  s->ucImportFormat =
      static_cast<BYTE>(format_->currentIndex() >= 0 ? format_->currentIndex() : keptFormat_);

  // The chart import request is rebuilt from the page; one that could not run is dropped.
  const bool all = all_->isChecked();
  const bool anySymbol = symbols_->count() > 0;
  if (chart_->isChecked() && !anySymbol && !all) {
    env_.Message(desk_text::kNoStocksSpecified, MB_ICONEXCLAMATION);
  } else if (chart_->isChecked() && startDate_ == 0) {
    env_.Message(desk_text::kNoDateSpecified, MB_ICONEXCLAMATION);
  }
  if (chart_->isChecked() && ((!anySymbol && !all) || startDate_ == 0)) {
    QSignalBlocker blockChart(chart_), blockAll(all_);
    chart_->setChecked(false);
    all_->setChecked(false);
    symbols_->clear();
    startDate_ = 0;
    ShowDate();
    UpdateEnabled();
  }
  s->bImportChart = chart_->isChecked() ? 1 : 0;
  s->ucImportChartAll = all_->isChecked() ? 1 : 0;
  for (int i = 0; i < kChartImportSymbols; ++i) {
    const QString symbol = i < symbols_->count() ? symbols_->item(i)->text() : QString();
    CopyToField(s->szChartImport[i], Utf8ToAnsi(symbol.toStdString()));
  }
  s->ulImportChartTime = startDate_;
  return true;
}

}  // namespace quillet
