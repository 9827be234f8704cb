// Controls shared by the stock sheet and its dialogs: the date picker (a drop-down calendar in
// the user's short date format) with the conversions between its days and stored times, and
// the number edits (11 characters) that refuse to pass on text that is not one whole number.
#pragma once

#include <QDate>
#include <QDateEdit>
#include <QLineEdit>
#include <initializer_list>
#include <string>

#include "platform/clock.h"
#include "platform/locale_settings.h"

namespace quillet {

QDateEdit* MakeDatePicker(QWidget* parent, const LocaleSettings& locale, const char* name);
// The local day of a stored time; today's for 0 (no date).
QDate DayOf(StockTime t, StockTime today);
// 00:00 local time of a day; 0 when the day cannot be stored.
StockTime TimeOfDay(const QDate& day);

// An edit for a number of at most 11 characters, with its control id.
QLineEdit* MakeNumberEdit(QWidget* parent, int controlId, const char* name);
// The edit's text as the records' 8-bit text.
std::string EditText(const QLineEdit* edit);
// Shows whether an edit holds text that could not be stored (a tinted background and the
// property "invalid").
void MarkField(QWidget* edit, bool bad);
// Marks every edit whose text is not one whole number; true when none is. The first bad edit
// gets the focus.
bool CheckNumberEdits(std::initializer_list<QLineEdit*> edits, char decimalSeparator);

}  // namespace quillet
