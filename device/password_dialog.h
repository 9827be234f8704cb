// The four-digit password keypad. In set mode it shows the digits typed; in check mode it shows
// stars and closes by itself after the fourth digit.
#pragma once

#include <QLabel>
#include <QString>

#include "device/modal_dialog.h"
#include "platform/win_types.h"

namespace quillet {

inline constexpr int IDD_PASSWORD = 4510;

class CPasswordDlg : public CModalDialog {
  Q_OBJECT
 public:
  enum class Mode { kSet, kCheck };
  CPasswordDlg(QWidget* parent, Mode mode);

  // The digits entered so far (at most 4).
  const QString& digits() const { return digits_; }
  void PressDigit(int digit);
  void Clear();

 private:
  void ShowBoxes();

  Mode mode_;
  QString digits_;
  QLabel* boxes_[4];
};

// True when exactly four digits were entered and, read as a number, they are `stored`.
bool PasswordMatches(const QString& digits, WORD stored);

}  // namespace quillet
