// The small dialogs the options sheet opens: the proxy account, a stock symbol, the starting
// date of a chart import (a calendar, or a text field), and the backup date to restore.
#pragma once

#include <QDate>
#include <QDialog>
#include <optional>
#include <string>
#include <vector>

class QLineEdit;
class QListWidget;
class QCalendarWidget;

namespace quillet {

// "Quillet - Proxy Authentication": user name and password, up to 19 characters each.
class CProxyAuthDialog : public QDialog {
  Q_OBJECT
 public:
  CProxyAuthDialog(const QString& user, const QString& password, QWidget* parent);
  QLineEdit* user() const { return user_; }
  QLineEdit* password() const { return password_; }

 private:
  QLineEdit* user_;
  QLineEdit* password_;
};

// "Add Symbol": one stock symbol, up to 15 characters, upper case.
class CAddSymbolDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CAddSymbolDialog(QWidget* parent);
  QLineEdit* symbol() const { return symbol_; }
  QString Symbol() const;

 private:
  QLineEdit* symbol_;
};

// "Choose starting date" with a month calendar.
class CCalendarDateDialog : public QDialog {
  Q_OBJECT
 public:
  CCalendarDateDialog(QDate initial, QWidget* parent);
  QCalendarWidget* calendar() const { return calendar_; }

 private:
  QCalendarWidget* calendar_;
};

// "Choose starting date" as text, "Date (mm/dd/yyyy):".
class CTextDateDialog : public QDialog {
  Q_OBJECT
 public:
  CTextDateDialog(QDate initial, QWidget* parent);
  QLineEdit* text() const { return text_; }
  // The date typed, or nullopt when it is no date of the form mm/dd/yyyy.
  std::optional<QDate> Date() const;

 private:
  QLineEdit* text_;
};

// "Select date": the backup sets, the current one (or the last) selected.
class CSelectDateDialog : public QDialog {
  Q_OBJECT
 public:
  CSelectDateDialog(const std::vector<std::string>& dates, const std::string& current,
                    QWidget* parent);
  QListWidget* list() const { return list_; }
  // The selected date, or empty.
  std::string Selected() const;

 private:
  QListWidget* list_;
};

}  // namespace quillet
