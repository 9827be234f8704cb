#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/string_table.h"
#include "desktop/ui/help_note.h"
#include "desktop/ui/prefs_pages.h"
#include "platform/codepage.h"
#include "platform/context.h"
#include "platform/ras.h"

namespace quillet {

CPrefsModem::CPrefsModem(const PrefsEnv& env, QWidget* parent) : CPrefsPage(env, parent) {
  setObjectName(QStringLiteral("CPrefsModem"));
  auto* outer = new QVBoxLayout(this);
  auto* top = new QHBoxLayout();
  direct_ = new QRadioButton(QStringLiteral("Direct connection: LAN / Cable / DSL"), this);
  direct_->setObjectName(QStringLiteral("direct"));
  top->addWidget(direct_);
  top->addStretch();
  top->addWidget(new CHelpIcon(strings::IDS_HELP_CONNECT, this));
  outer->addLayout(top);
  modem_ = new QRadioButton(QStringLiteral("Modem"), this);
  modem_->setObjectName(QStringLiteral("modem"));
  outer->addWidget(modem_);
  auto* form = new QFormLayout();
  profile_ = new QComboBox(this);
  profile_->setObjectName(QStringLiteral("rasProfile"));
  profile_->setMinimumContentsLength(24);
  hangup_ = new QCheckBox(QStringLiteral("Disconnect after update"), this);
  hangup_->setObjectName(QStringLiteral("hangup"));
  form->addRow(QStringLiteral("Profile:"), profile_);
  form->addRow(hangup_);
  form->setContentsMargins(24, 0, 0, 0);
  outer->addLayout(form);
  outer->addStretch();

  // Without a phone book with entries there is nothing to dial.
  std::vector<std::u16string> names;
  modemAvailable_ = RasEnumEntries(env.desktop.registry(), &names) == 0 && !names.empty();
  for (const auto& name : names) {
    profile_->addItem(QString::fromStdString(AnsiToUtf8(Utf16ToAnsi(name))));
  }
  modem_->setEnabled(modemAvailable_);
  connect(modem_, &QRadioButton::toggled, this, &CPrefsModem::UpdateEnabled);
}

void CPrefsModem::UpdateEnabled() {
  profile_->setEnabled(modem_->isChecked());
  hangup_->setEnabled(modem_->isChecked());
}

void CPrefsModem::Load(const DeskSettings& s) {
  (modemAvailable_ && s.bConnectMethod == 1 ? modem_ : direct_)->setChecked(true);
  const int stored = profile_->findText(QString::fromStdString(AnsiToUtf8(FieldText(s.szRasEntry))),
                                        Qt::MatchExactly);
  profile_->setCurrentIndex(stored >= 0 ? stored : (profile_->count() > 0 ? 0 : -1));
  hangup_->setChecked(s.bHangupModem != 0);
  UpdateEnabled();
}

bool CPrefsModem::Leave(DeskSettings* s) {
  if (!modem_->isChecked() || profile_->currentIndex() < 0) {
    s->bConnectMethod = 0;
    s->bHangupModem = 0;
    CopyToField(s->szRasEntry, "");
    return true;
  }
  s->bConnectMethod = 1;
  s->bHangupModem = hangup_->isChecked() ? 1 : 0;
  CopyToField(s->szRasEntry, Utf8ToAnsi(profile_->currentText().toStdString()));
  return true;
}

}  // namespace quillet
