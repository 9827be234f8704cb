#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "core/string_table.h"
#include "desktop/ui/help_note.h"
#include "desktop/ui/prefs_pages.h"

namespace quillet {
namespace {

const std::vector<int> kWhen = {0, 1, 2, 3, 4};
const std::vector<int> kSeparators = {0, 1, 2, 3};

}  // namespace

CPrefsExport::CPrefsExport(const PrefsEnv& env, QWidget* parent) : CPrefsPage(env, parent) {
  setObjectName(QStringLiteral("CPrefsExport"));
  auto* outer = new QVBoxLayout(this);
  auto* top = new QHBoxLayout();
  top->addStretch();
  top->addWidget(new CHelpIcon(strings::IDS_HELP_EXPORT, this));
  outer->addLayout(top);
  auto* form = new QFormLayout();
  when_ = new QComboBox(this);
  when_->setObjectName(QStringLiteral("exportWhen"));
  when_->addItems({QStringLiteral("Never"), QStringLiteral("Always"), QStringLiteral("Once a Day"),
                   QStringLiteral("Every 7 Days"), QStringLiteral("Every 30 Days")});
  chart_ = new QCheckBox(QStringLiteral("Export also stock chart data"), this);
  chart_->setObjectName(QStringLiteral("exportChart"));
  separator_ = new QComboBox(this);
  separator_->setObjectName(QStringLiteral("separator"));
  separator_->addItems(
      {QStringLiteral("Default"), QStringLiteral(","), QStringLiteral(";"), QStringLiteral("Tab")});
  form->addRow(QStringLiteral("Export stock data as CSV:"), when_);
  form->addRow(chart_);
  form->addRow(QStringLiteral("Separator:"), separator_);
  outer->addLayout(form);
  outer->addStretch();
}

void CPrefsExport::Load(const DeskSettings& s) {
  keptWhen_ = s.BackupTime;
  keptSeparator_ = s.ucExportSep;
  when_->setCurrentIndex(IndexOfValue(kWhen, s.BackupTime));
  chart_->setChecked(s.bExportChart != 0);
  separator_->setCurrentIndex(IndexOfValue(kSeparators, s.ucExportSep));
}

bool CPrefsExport::Leave(DeskSettings* s) {
  s->BackupTime = when_->currentIndex() >= 0 ? when_->currentIndex() : keptWhen_;
  s->bExportChart = chart_->isChecked() ? 1 : 0;
  s->ucExportSep = static_cast<BYTE>(separator_->currentIndex() >= 0 ? separator_->currentIndex()
                                                                     : keptSeparator_);
  return true;
}

}  // namespace quillet
