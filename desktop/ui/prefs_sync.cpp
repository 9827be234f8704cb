#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>

#include "core/string_table.h"
#include "desktop/ui/prefs_pages.h"

namespace quillet {
namespace {

const std::vector<int> kEveryMinutes = {2, 5, 10, 15, 30, 60, 120};
const std::vector<int> kHours = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

QComboBox* Hours(QWidget* parent, const char* name) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  for (int h : kHours) box->addItem(QString::number(h));
  return box;
}

}  // namespace

CPrefsSync::CPrefsSync(const PrefsEnv& env, QWidget* parent) : CPrefsPage(env, parent) {
  setObjectName(QStringLiteral("CPrefsSync"));
  auto* grid = new QGridLayout(this);
  onSync_ = new QRadioButton(QStringLiteral("When press 'Sync'"), this);
  onSync_->setObjectName(QStringLiteral("syncOnSync"));
  every_ = new QRadioButton(QStringLiteral("Every:"), this);
  every_->setObjectName(QStringLiteral("syncEvery"));
  everyList_ = new QComboBox(this);
  everyList_->setObjectName(QStringLiteral("syncEveryList"));
  for (const std::string& item : strings::ChoiceList(strings::IDS_UPDATE_INTERVALS)) {
    everyList_->addItem(QString::fromStdString(item));
  }
  between_ = new QCheckBox(QStringLiteral("Only between:"), this);
  between_->setObjectName(QStringLiteral("onlyBetween"));
  from_ = Hours(this, "fromHour");
  to_ = Hours(this, "toHour");
  grid->addWidget(onSync_, 0, 0, 1, 4);
  grid->addWidget(every_, 1, 0);
  grid->addWidget(everyList_, 1, 1);
  grid->addWidget(between_, 2, 0);
  grid->addWidget(from_, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("a.m. and"), this), 2, 2);
  grid->addWidget(to_, 2, 3);
  grid->addWidget(new QLabel(QStringLiteral("p.m."), this), 2, 4);
  grid->setColumnStretch(5, 1);
  grid->setRowStretch(3, 1);
  connect(every_, &QRadioButton::toggled, this, &CPrefsSync::UpdateEnabled);
  connect(between_, &QCheckBox::toggled, this, &CPrefsSync::UpdateEnabled);
}

void CPrefsSync::UpdateEnabled() {
  const bool periodic = every_->isChecked();
  everyList_->setEnabled(periodic);
  between_->setEnabled(periodic);
  from_->setEnabled(periodic && between_->isChecked());
  to_->setEnabled(periodic && between_->isChecked());
}

void CPrefsSync::Load(const DeskSettings& s) {
  (s.ucSyncMode == 1 ? every_ : onSync_)->setChecked(true);
  keptEvery_ = s.ucSyncEvery;
  keptFrom_ = s.ucSyncIntervalFrom;
  keptTo_ = s.ucSyncIntervalTo;
  everyList_->setCurrentIndex(IndexOfValue(kEveryMinutes, s.ucSyncEvery));
  between_->setChecked(s.ucSyncInterval != 0);
  from_->setCurrentIndex(IndexOfValue(kHours, s.ucSyncIntervalFrom));
  to_->setCurrentIndex(IndexOfValue(kHours, s.ucSyncIntervalTo));
  UpdateEnabled();
}

bool CPrefsSync::Leave(DeskSettings* s) {
  auto pick = [](QComboBox* box, const std::vector<int>& values, int kept) {
    return box->currentIndex() >= 0 ? values[static_cast<std::size_t>(box->currentIndex())] : kept;
  };
  s->ucSyncMode = every_->isChecked() ? 1 : 0;
  s->ucSyncEvery = pick(everyList_, kEveryMinutes, keptEvery_);
  s->ucSyncInterval = between_->isChecked() ? 1 : 0;
  s->ucSyncIntervalFrom = pick(from_, kHours, keptFrom_);
  s->ucSyncIntervalTo = pick(to_, kHours, keptTo_);
  return true;
}

}  // namespace quillet
