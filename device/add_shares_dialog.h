// The Add dialog: the price, number and fee of shares bought for a stock held already. OK is
// refused while a field holds something that is not a number; the desktop's close request ends
// it as Cancel, since adding shares changes the holding and nobody confirmed it.
#pragma once

#include <QLineEdit>
#include <string>

#include "device/modal_dialog.h"

namespace quillet {

inline constexpr int IDD_ADD_SHARES = 3900;

class CAddSharesDlg : public CModalDialog {
  Q_OBJECT
 public:
  CAddSharesDlg(QWidget* parent, char decimalSeparator);
  std::string price() const;
  std::string number() const;
  std::string fee() const;

  void accept() override;
  void CloseForSync() override { done(0); }

 private:
  char separator_;
  QLineEdit* price_;
  QLineEdit* number_;
  QLineEdit* fee_;
};

}  // namespace quillet
