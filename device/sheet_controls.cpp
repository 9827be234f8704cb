#include "device/sheet_controls.h"

#include "core/decimal_text.h"
#include "platform/codepage.h"

namespace quillet {

QDateEdit* MakeDatePicker(QWidget* parent, const LocaleSettings& locale, const char* name) {
  auto* picker = new QDateEdit(parent);
  picker->setObjectName(QString::fromLatin1(name));
  picker->setCalendarPopup(true);
  // The short date picture uses the letters Qt's display format uses (d, M, y, quoted text).
  picker->setDisplayFormat(QString::fromStdString(locale.shortDateFormat));
  picker->setMinimumDate(QDate(1970, 1, 2));
  picker->setMaximumDate(QDate(2105, 12, 31));
  return picker;
}

QDate DayOf(StockTime t, StockTime today) {
  LocalTime local = ToLocal(t != 0 ? t : today);
  return QDate(local.year, local.month, local.day);
}

StockTime TimeOfDay(const QDate& day) {
  if (!day.isValid()) return 0;
  return FromLocal(day.year(), day.month(), day.day()).value_or(0);
}

QLineEdit* MakeNumberEdit(QWidget* parent, int controlId, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setProperty("controlId", controlId);
  edit->setMaxLength(11);
  return edit;
}

std::string EditText(const QLineEdit* edit) {
  return Utf8ToAnsi(edit->text().toUtf8().toStdString());
}

void MarkField(QWidget* edit, bool bad) {
  if (!edit || edit->property("invalid").toBool() == bad) return;
  edit->setProperty("invalid", bad);
  edit->setStyleSheet(bad ? QStringLiteral("background: #ffc8c8;") : QString());
}

bool CheckNumberEdits(std::initializer_list<QLineEdit*> edits, char decimalSeparator) {
  QLineEdit* first = nullptr;
  for (QLineEdit* edit : edits) {
    const bool bad = !ReadsWholeDecimal(EditText(edit), decimalSeparator);
    MarkField(edit, bad);
    if (bad && !first) first = edit;
  }
  if (first) first->setFocus();
  return first == nullptr;
}

}  // namespace quillet
