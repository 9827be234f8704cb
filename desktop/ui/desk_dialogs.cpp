#include "desktop/ui/desk_dialogs.h"

#include <QCalendarWidget>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace quillet {
namespace {

QDialogButtonBox* OkCancel(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

}  // namespace

CProxyAuthDialog::CProxyAuthDialog(const QString& user, const QString& password, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("proxyAuthDialog"));
  setWindowTitle(QStringLiteral("Quillet - Proxy Authentication"));
  auto* form = new QFormLayout(this);
  user_ = new QLineEdit(user, this);
  user_->setObjectName(QStringLiteral("authUser"));
  user_->setMaxLength(19);
  password_ = new QLineEdit(password, this);
  password_->setObjectName(QStringLiteral("authPassword"));
  password_->setMaxLength(19);
  password_->setEchoMode(QLineEdit::Password);
  form->addRow(QStringLiteral("Username:"), user_);
  form->addRow(QStringLiteral("Password:"), password_);
  form->addRow(OkCancel(this));
}

CAddSymbolDialog::CAddSymbolDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("addSymbolDialog"));
  setWindowTitle(QStringLiteral("Add Symbol"));
  auto* form = new QFormLayout(this);
  symbol_ = new QLineEdit(this);
  symbol_->setObjectName(QStringLiteral("symbol"));
  symbol_->setMaxLength(15);
  form->addRow(QStringLiteral("Stock Symbol:"), symbol_);
  form->addRow(OkCancel(this));
}

QString CAddSymbolDialog::Symbol() const { return symbol_->text().trimmed().toUpper(); }

CCalendarDateDialog::CCalendarDateDialog(QDate initial, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("calendarDateDialog"));
  setWindowTitle(QStringLiteral("Choose starting date"));
  auto* layout = new QVBoxLayout(this);
  calendar_ = new QCalendarWidget(this);
  calendar_->setObjectName(QStringLiteral("calendar"));
  if (initial.isValid()) calendar_->setSelectedDate(initial);
  layout->addWidget(calendar_);
  layout->addWidget(OkCancel(this));
}

CTextDateDialog::CTextDateDialog(QDate initial, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("textDateDialog"));
  setWindowTitle(QStringLiteral("Choose starting date"));
  auto* form = new QFormLayout(this);
  text_ = new QLineEdit(this);
  text_->setObjectName(QStringLiteral("dateText"));
  if (initial.isValid()) text_->setText(initial.toString(QStringLiteral("MM/dd/yyyy")));
  form->addRow(QStringLiteral("Date (mm/dd/yyyy):"), text_);
  form->addRow(OkCancel(this));
}

std::optional<QDate> CTextDateDialog::Date() const {
  static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{4})\\s*$"));
  const auto m = form.match(text_->text());
  if (!m.hasMatch()) return std::nullopt;
  const QDate date(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
  if (!date.isValid() || date.year() < 1970) return std::nullopt;
  return date;
}

CSelectDateDialog::CSelectDateDialog(const std::vector<std::string>& dates,
                                     const std::string& current, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("selectDateDialog"));
  setWindowTitle(QStringLiteral("Select date"));
  auto* layout = new QVBoxLayout(this);
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("restoreDates"));
  int selected = -1;
  for (const std::string& d : dates) {
    if (d == current) selected = list_->count();
    list_->addItem(QString::fromStdString(d));
  }
  if (selected < 0) selected = list_->count() - 1;
  list_->setCurrentRow(selected);
  layout->addWidget(list_);
  layout->addWidget(OkCancel(this));
}

std::string CSelectDateDialog::Selected() const {
  auto* item = list_->currentItem();
  return item ? item->text().toStdString() : std::string();
}

}  // namespace quillet
