// The Fee dialog of the fee menu's "Custom..." entry: a percentage of the typed price times
// number. It starts on the percentage used last; OK is refused while the text is not a number,
// and the desktop's close request ends it as Cancel (the fee field would change unasked).
#pragma once

#include <QLineEdit>

#include "device/modal_dialog.h"

namespace quillet {

inline constexpr int IDD_FEE = 3400;

class CFeeDlg : public CModalDialog {
  Q_OBJECT
 public:
  CFeeDlg(QWidget* parent, double lastPercent, char decimalSeparator);
  double percent() const;

  void accept() override;
  void CloseForSync() override { done(0); }

 private:
  char separator_;
  QLineEdit* percent_;
};

}  // namespace quillet
