#include "device/fee_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/decimal_text.h"
#include "device/sheet_controls.h"
#include "platform/message_box.h"

namespace quillet {

CFeeDlg::CFeeDlg(QWidget* parent, double lastPercent, char decimalSeparator)
    : CModalDialog(parent, IDD_FEE), separator_(decimalSeparator) {
  setObjectName(QStringLiteral("feeDialog"));
  setWindowTitle(QStringLiteral("Fee"));
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout();
  row->addWidget(new QLabel(QStringLiteral("Fee:"), this));
  percent_ = MakeNumberEdit(this, 3401, "percentEdit");
  if (lastPercent != 0) {
    percent_->setText(QString::fromStdString(FormatDecimalTrimmed(lastPercent, 4, 0, separator_)));
  }
  row->addWidget(percent_);
  row->addWidget(new QLabel(QStringLiteral("%"), this));
  layout->addLayout(row);
  layout->addStretch();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  SetControlId(buttons->button(QDialogButtonBox::Ok), IDOK, "okButton");
  SetControlId(buttons->button(QDialogButtonBox::Cancel), IDCANCEL, "cancelButton");
  connect(buttons, &QDialogButtonBox::accepted, this, &CFeeDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CFeeDlg::reject);
  layout->addWidget(buttons);
}

double CFeeDlg::percent() const { return ParseDecimal(EditText(percent_), kAllPlaces, separator_); }

void CFeeDlg::accept() {
  if (!CheckNumberEdits({percent_}, separator_)) return;
  CModalDialog::accept();
}

}  // namespace quillet
