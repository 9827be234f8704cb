#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "core/string_table.h"
#include "desktop/desk_texts.h"
#include "desktop/ui/desk_dialogs.h"
#include "desktop/ui/help_note.h"
#include "desktop/ui/prefs_pages.h"
#include "platform/codepage.h"
#include "platform/message_box.h"

namespace quillet {
namespace {

QString FromAnsi(std::string_view text) { return QString::fromStdString(AnsiToUtf8(text)); }
std::string ToAnsi(const QString& text) { return Utf8ToAnsi(text.toStdString()); }

}  // namespace

CPrefsNetwork::CPrefsNetwork(const PrefsEnv& env, QWidget* parent) : CPrefsPage(env, parent) {
  setObjectName(QStringLiteral("CPrefsNetwork"));
  auto* outer = new QVBoxLayout(this);
  auto* top = new QHBoxLayout();
  useProxy_ = new QCheckBox(QStringLiteral("Use Proxy"), this);
  useProxy_->setObjectName(QStringLiteral("useProxy"));
  top->addWidget(useProxy_);
  top->addStretch();
  top->addWidget(new CHelpIcon(strings::IDS_HELP_NETWORK, this));
  outer->addLayout(top);

  auto* form = new QFormLayout();
  host_ = new QLineEdit(this);
  host_->setObjectName(QStringLiteral("proxyHost"));
  // Room for a leading "http://", which is dropped, before the 127 characters of the host.
  host_->setMaxLength(127 + 7);
  port_ = new QLineEdit(this);
  port_->setObjectName(QStringLiteral("proxyPort"));
  port_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,5}")), port_));
  port_->setMaximumWidth(80);
  auth_ = new QCheckBox(QStringLiteral("Proxy Authentication"), this);
  auth_->setObjectName(QStringLiteral("proxyAuth"));
  type_ = new QComboBox(this);
  type_->setObjectName(QStringLiteral("proxyType"));
  type_->addItem(QStringLiteral("HTTP"));
  form->addRow(QStringLiteral("Host:"), host_);
  form->addRow(QStringLiteral("Port:"), port_);
  form->addRow(auth_);
  form->addRow(QStringLiteral("Proxy type:"), type_);
  outer->addLayout(form);
  outer->addStretch();
  connect(useProxy_, &QCheckBox::toggled, this, &CPrefsNetwork::UpdateEnabled);
  connect(auth_, &QCheckBox::toggled, this, &CPrefsNetwork::OnAuthToggled);
}

void CPrefsNetwork::UpdateEnabled() {
  const bool on = useProxy_->isChecked();
  for (QWidget* w : {static_cast<QWidget*>(host_), static_cast<QWidget*>(port_),
                     static_cast<QWidget*>(auth_), static_cast<QWidget*>(type_)}) {
    w->setEnabled(on);
  }
}

void CPrefsNetwork::OnAuthToggled(bool on) {
  if (!on) {
    user_.clear();
    password_.clear();
    return;
  }
  CProxyAuthDialog dialog(user_, password_, this);
  const bool ok = env_.hooks.RunModal(dialog) == QDialog::Accepted &&
                  !dialog.user()->text().isEmpty() && !dialog.password()->text().isEmpty();
  if (ok) {
    user_ = dialog.user()->text().left(19);
    password_ = dialog.password()->text().left(19);
  } else {
    QSignalBlocker block(auth_);
    auth_->setChecked(false);
    user_.clear();
    password_.clear();
  }
}

void CPrefsNetwork::Load(const DeskSettings& s) {
  QSignalBlocker blockAuth(auth_);
  useProxy_->setChecked(s.bUseProxy != 0);
  host_->setText(FromAnsi(FieldText(s.proxyAddress)));
  port_->setText(QString::number(static_cast<unsigned>(s.proxyPort)));
  auth_->setChecked(s.bProxyAuth != 0);
  user_ = FromAnsi(FieldText(s.proxyUser));
  password_ = FromAnsi(FieldText(s.proxyPasswd));
  type_->setCurrentIndex(s.ucProxyType == 0 ? 0 : -1);
  UpdateEnabled();
}

bool CPrefsNetwork::Leave(DeskSettings* s) {
  bool number = false;
  const uint port = port_->text().toUInt(&number);
  const bool portOk = number && port >= 1 && port <= 65535;
  // A proxy without a port it can be reached on would fail every update.
  if (useProxy_->isChecked() && !portOk) {
    env_.Message(desk_text::kBadProxyPort, MB_ICONEXCLAMATION);
    port_->setFocus();
    return false;
  }
  s->bUseProxy = useProxy_->isChecked() ? 1 : 0;
  if (portOk) s->proxyPort = static_cast<int>(port);
  CopyToField(s->proxyAddress, ProxyHostField(ToAnsi(host_->text().trimmed())));
  s->bProxyAuth = auth_->isChecked() ? 1 : 0;
  CopyToField(s->proxyUser, s->bProxyAuth ? ToAnsi(user_) : std::string());
  CopyToField(s->proxyPasswd, s->bProxyAuth ? ToAnsi(password_) : std::string());
  if (type_->currentIndex() == 0) s->ucProxyType = 0;
  return true;
}

}  // namespace quillet
