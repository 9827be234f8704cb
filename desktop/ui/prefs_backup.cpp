#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "desktop/backup_list.h"
#include "desktop/ui/desk_dialogs.h"
#include "desktop/ui/prefs_pages.h"
#include "platform/codepage.h"
#include "platform/context.h"

namespace quillet {
namespace {

const std::vector<int> kModes = {0, 1, 2, 3, 4, 5, 6};

}  // namespace

CPrefsBackup::CPrefsBackup(const PrefsEnv& env, QWidget* parent) : CPrefsPage(env, parent) {
  setObjectName(QStringLiteral("CPrefsBackup"));
  auto* outer = new QVBoxLayout(this);
  auto* form = new QFormLayout();
  every_ = new QComboBox(this);
  every_->setObjectName(QStringLiteral("backupEvery"));
  every_->addItems({QStringLiteral("Never"), QStringLiteral("Day"), QStringLiteral("2 Days"),
                    QStringLiteral("3 Days"), QStringLiteral("Week"), QStringLiteral("2 Weeks"),
                    QStringLiteral("Month")});
  form->addRow(QStringLiteral("Every:"), every_);
  outer->addLayout(form);
  restore_ = new QCheckBox(QStringLiteral("Restore data at next sync"), this);
  restore_->setObjectName(QStringLiteral("restoreNext"));
  restoreDate_ = new QLabel(this);
  restoreDate_->setObjectName(QStringLiteral("restoreDate"));
  outer->addWidget(restore_);
  outer->addWidget(restoreDate_);
  outer->addStretch();
  connect(restore_, &QCheckBox::toggled, this, &CPrefsBackup::OnRestoreToggled);
}

void CPrefsBackup::OnRestoreToggled(bool on) {
  if (on) {
    CSelectDateDialog dialog(ListBackupDates(env_.desktop.files(), env_.dir), restoreTime_, this);
    const std::string chosen =
        env_.hooks.RunModal(dialog) == QDialog::Accepted ? dialog.Selected() : std::string();
    if (chosen.empty()) {
      QSignalBlocker block(restore_);
      restore_->setChecked(false);
    } else {
      restoreTime_ = chosen;
    }
  }
  restoreDate_->setText(
      restore_->isChecked() && !restoreTime_.empty()
          ? QStringLiteral("Backup of %1").arg(QString::fromStdString(restoreTime_))
          : QString());
}

void CPrefsBackup::Load(const DeskSettings& s) {
  keptMode_ = s.BackupMode;
  every_->setCurrentIndex(IndexOfValue(kModes, s.BackupMode));
  restoreTime_ = std::string(FieldText(s.RestoreTime));
  {
    QSignalBlocker block(restore_);
    restore_->setChecked(s.bRestoreNextTime != 0);
  }
  OnRestoreToggled(false);
}

bool CPrefsBackup::Leave(DeskSettings* s) {
  s->BackupMode = every_->currentIndex() >= 0 ? every_->currentIndex() : keptMode_;
  s->bRestoreNextTime = restore_->isChecked() ? 1 : 0;
  CopyToField(s->RestoreTime, restoreTime_);
  return true;
}

}  // namespace quillet
