#include "device/prefs_sheet.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <vector>

#include "core/messages.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "device/dialog_parts.h"
#include "device/main_frame.h"
#include "device/password_dialog.h"
#include "device/quillet_app.h"
#include "device/resource_ids.h"
#include "platform/codepage.h"
#include "platform/message_box.h"
#include "platform/ras.h"
#include "quotes/device/update_timer.h"

namespace quillet {
namespace {

QCheckBox* Check(QWidget* parent, QBoxLayout* layout, const char* text, int id, const char* name,
                 bool checked) {
  auto* box = new QCheckBox(QString::fromLatin1(text), parent);
  CModalDialog::SetControlId(box, id, name);
  box->setChecked(checked);
  layout->addWidget(box);
  return box;
}

void SetFlag(BYTE* flags, BYTE bit, bool on) {
  *flags = static_cast<BYTE>(on ? (*flags | bit) : (*flags & ~bit));
}

}  // namespace

// ---- CPreferences -------------------------------------------------------------------------------

CPreferences::CPreferences(QWidget* parent, CQuilletApp& app) : QWidget(parent), app_(app) {
  setObjectName(QStringLiteral("generalPage"));
  PortfolioStore& s = *app_.store();
  password_ = s.bPassword ? s.wPassword : 0;
  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(4);
  password_box_ = Check(this, layout, "Enable Password Protection", 2101, "passwordCheck",
                        s.bPassword != 0 && s.wPassword != 0);
  autoSort_ = Check(this, layout, "Auto Sort", 2102, "autoSortCheck", s.bAutoSort != 0);
  dividend_ = Check(this, layout, "Dividend is Multiplied by Price", 2103, "dividendCheck",
                    s.bDividendTimesPrice != 0);
  names_ =
      Check(this, layout, "Use Stock Name in Charts", 2104, "namesCheck", s.bNameInCharts != 0);
  arrows_ = Check(this, layout, "Map Arrow Keys in Program", 2105, "arrowKeysCheck",
                  (s.ucPrefFlags & kPrefMapArrowKeys) != 0);
  arrowsToday_ = Check(this, layout, "Arrows Show Change Today", 2106, "arrowsTodayCheck",
                       (s.ucPrefFlags & kPrefArrowsShowToday) != 0);
  today_ = Check(this, layout, "Integrate into Today screen", 2107, "todayCheck", s.TodayItemOn());
  layout->addStretch();
  connect(password_box_, &QCheckBox::clicked, this, &CPreferences::OnPasswordBox);
}

void CPreferences::OnPasswordBox(bool checked) {
  if (!checked) {
    password_ = 0;
    return;
  }
  CPasswordDlg keypad(this, CPasswordDlg::Mode::kSet);
  const int result = app_.RunModal(keypad);
  const std::optional<WORD> chosen = result == QDialog::Accepted
                                         ? PasswordFromDigits(keypad.digits().toStdString())
                                         : std::nullopt;
  if (!chosen) {
    // Fewer than four digits, "0000" or no answer: protection stays off.
    const QSignalBlocker quiet(password_box_);
    password_box_->setChecked(false);
    password_ = 0;
    return;
  }
  password_ = *chosen;
}

void CPreferences::Apply() {
  PortfolioStore& s = *app_.store();
  const bool protect = password_box_->isChecked() && password_ != 0;
  s.bPassword = protect ? 1 : 0;
  s.wPassword = protect ? password_ : 0;
  s.bAutoSort = autoSort_->isChecked() ? 1 : 0;
  s.bDividendTimesPrice = dividend_->isChecked() ? 1 : 0;
  s.bNameInCharts = names_->isChecked() ? 1 : 0;
  SetFlag(&s.ucPrefFlags, kPrefMapArrowKeys, arrows_->isChecked());
  SetFlag(&s.ucPrefFlags, kPrefArrowsShowToday, arrowsToday_->isChecked());
  // Writes or deletes the Today item's registration only when the choice changed.
  SetTodayItem(s, today_->isChecked());
}

// ---- CPrefsNet ----------------------------------------------------------------------------------

CPrefsNet::CPrefsNet(QWidget* parent, PortfolioStore& store) : QWidget(parent), store_(store) {
  setObjectName(QStringLiteral("networkPage"));
  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(3);
  useProxy_ = Check(this, layout, "Use Proxy", 1701, "useProxyCheck", store_.bUseProxy != 0);
  auto* grid = new QGridLayout();
  grid->setContentsMargins(16, 0, 0, 0);
  grid->addWidget(new QLabel(QStringLiteral("Host:"), this), 0, 0);
  host_ = new QLineEdit(ShownText(FieldText(store_.szProxyHost)), this);
  CModalDialog::SetControlId(host_, 1705, "hostEdit");
  host_->setMaxLength(static_cast<int>(sizeof store_.szProxyHost));
  grid->addWidget(host_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Port:"), this), 1, 0);
  portShown_ = QString::number(store_.wProxyPort);
  port_ = new QLineEdit(portShown_, this);
  CModalDialog::SetControlId(port_, 1706, "portEdit");
  port_->setMaxLength(11);
  grid->addWidget(port_, 1, 1);
  layout->addLayout(grid);
  useModem_ = Check(this, layout, "Use Modem", 1707, "useModemCheck",
                    (store_.ucPrefFlags & kPrefModemOff) == 0);
  auto* modem = new QGridLayout();
  modem->setContentsMargins(16, 0, 0, 0);
  modem->addWidget(new QLabel(QStringLiteral("Connection:"), this), 0, 0);
  connection_ = new QComboBox(this);
  CModalDialog::SetControlId(connection_, 1703, "connectionCombo");
  std::vector<std::u16string> entries;
  RasEnumEntries(store_.context().registry(), &entries);
  const std::string current(FieldText(store_.szRasEntry));
  for (const std::u16string& name : entries) {
    connection_->addItem(QString::fromStdU16String(name));
  }
  connection_->setCurrentIndex(connection_->findText(ShownText(current), Qt::MatchExactly));
  modem->addWidget(connection_, 0, 1);
  layout->addLayout(modem);
  auto* closeRow = new QVBoxLayout();
  closeRow->setContentsMargins(16, 0, 0, 0);
  closeConnection_ = Check(this, closeRow, "Close connection after update", 1702, "closeCheck",
                           store_.bCloseConnection != 0);
  layout->addLayout(closeRow);
  autoUpdate_ =
      Check(this, layout, "Automatic Update", 1708, "autoUpdateCheck", store_.bAutoUpdate != 0);
  auto* everyRow = new QHBoxLayout();
  everyRow->setContentsMargins(16, 0, 0, 0);
  everyRow->addWidget(new QLabel(QStringLiteral("Every:"), this));
  every_ = new QComboBox(this);
  CModalDialog::SetControlId(every_, 1709, "everyCombo");
  for (const std::string& item : strings::ChoiceList(strings::IDS_UPDATE_INTERVALS)) {
    every_->addItem(QString::fromStdString(item));
  }
  int position = -1;
  const auto minutes = UpdateIntervalMinutes();
  for (std::size_t k = 0; k < minutes.size(); ++k) {
    if (minutes[k] == store_.ucUpdateMinutes) position = static_cast<int>(k);
  }
  every_->setCurrentIndex(position);
  everyRow->addWidget(every_, 1);
  layout->addLayout(everyRow);
  layout->addStretch();
  connect(useProxy_, &QCheckBox::toggled, this, [this] { EnableFields(); });
  connect(useModem_, &QCheckBox::toggled, this, [this] { EnableFields(); });
  EnableFields();
}

void CPrefsNet::EnableFields() {
  host_->setEnabled(useProxy_->isChecked());
  port_->setEnabled(useProxy_->isChecked());
  connection_->setEnabled(useModem_->isChecked());
  closeConnection_->setEnabled(useModem_->isChecked());
}

const char* CPrefsNet::Problem() const {
  if (!ProxyHostFits(TypedText(host_->text()))) return text::kProxyHostTooLong;
  if (port_->text() != portShown_ && !ReadProxyPort(TypedText(port_->text().trimmed()))) {
    return text::kProxyPortRange;
  }
  return nullptr;
}

void CPrefsNet::Apply() {
  store_.bUseProxy = useProxy_->isChecked() ? 1 : 0;
  const std::string host = TypedText(host_->text().trimmed());
  if (ProxyHostFits(host)) CopyToField(store_.szProxyHost, host);
  if (port_->text() != portShown_) {
    if (auto port = ReadProxyPort(TypedText(port_->text().trimmed()))) store_.wProxyPort = *port;
  }
  SetFlag(&store_.ucPrefFlags, kPrefModemOff, !useModem_->isChecked());
  if (connection_->currentIndex() >= 0) {
    CopyToField(store_.szRasEntry, TypedText(connection_->currentText()));
  }
  store_.bCloseConnection = closeConnection_->isChecked() ? 1 : 0;
  store_.bAutoUpdate = autoUpdate_->isChecked() ? 1 : 0;
  store_.ucUpdateMinutes = UpdateMinutesFromChoice(every_->currentIndex(), store_.ucUpdateMinutes);
}

// ---- CPrefsSheet --------------------------------------------------------------------------------

CPrefsSheet::CPrefsSheet(QWidget* parent, CQuilletApp& app)
    : CModalDialog(parent, IDD_PREFS_GENERAL), app_(app) {
  setObjectName(QStringLiteral("prefsSheet"));
  setWindowTitle(QString::fromStdString(strings::LoadString(strings::IDS_PREFERENCES)));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* top = new QHBoxLayout();
  top->setContentsMargins(4, 2, 2, 2);
  top->addWidget(MakeHeading(this, strings::TextOf(strings::IDS_PREFERENCES)));
  top->addStretch();
  QPushButton* ok = MakeButton(this, "OK", IDOK, "okButton");
  ok->setFixedSize(44, 20);
  QPushButton* cancel = MakeButton(this, "Cancel", IDCANCEL, "cancelButton");
  cancel->setFixedSize(50, 20);
  connect(ok, &QPushButton::clicked, this, &CPrefsSheet::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  top->addWidget(ok);
  top->addWidget(cancel);
  layout->addLayout(top);
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("prefsTabs"));
  tabs_->setTabPosition(QTabWidget::South);
  general_ = new CPreferences(tabs_, app_);
  network_ = new CPrefsNet(tabs_, *app_.store());
  tabs_->addTab(general_, QStringLiteral("General"));
  tabs_->addTab(network_, QStringLiteral("Network"));
  layout->addWidget(tabs_);
}

void CPrefsSheet::accept() {
  if (const char* problem = network_->Problem()) {
    tabs_->setCurrentWidget(network_);
    app_.store()->Message(problem, MB_ICONSTOP);
    return;
  }
  general_->Apply();
  network_->Apply();
  CModalDialog::accept();
}

void CPrefsSheet::CloseForSync() {
  // Nobody is there to correct a value: what cannot be stored keeps its old value.
  general_->Apply();
  network_->Apply();
  done(kCloseForSyncResult);
}

// ---- The command --------------------------------------------------------------------------------

void RunPreferences(CQuilletApp& app) {
  CMainFrame* frame = app.frame();
  if (!app.store() || !frame) return;
  CPrefsSheet sheet(frame, app);
  const int result = app.RunModal(sheet);
  if (app.closing()) return;
  if (result == QDialog::Accepted) {
    // A confirmed Network page sets the timer again: killed, then set for the new interval
    // while "Automatic Update" is on.
    if (CUpdateTimer* timer = app.updateTimer()) timer->Arm();
  }
  frame->list()->RedrawRows();
}

}  // namespace quillet
