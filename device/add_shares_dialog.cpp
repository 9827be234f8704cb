#include "device/add_shares_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "device/sheet_controls.h"
#include "platform/message_box.h"

namespace quillet {

CAddSharesDlg::CAddSharesDlg(QWidget* parent, char decimalSeparator)
    : CModalDialog(parent, IDD_ADD_SHARES), separator_(decimalSeparator) {
  setObjectName(QStringLiteral("addSharesDialog"));
  setWindowTitle(QStringLiteral("Add"));
  auto* layout = new QVBoxLayout(this);
  auto* heading = new QLabel(QStringLiteral("Add shares:"), this);
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  layout->addWidget(heading);
  auto* form = new QFormLayout();
  price_ = MakeNumberEdit(this, 3901, "priceEdit");
  number_ = MakeNumberEdit(this, 3902, "numberEdit");
  fee_ = MakeNumberEdit(this, 3903, "feeEdit");
  form->addRow(QStringLiteral("Price:"), price_);
  form->addRow(QStringLiteral("Number:"), number_);
  form->addRow(QStringLiteral("Fee:"), fee_);
  layout->addLayout(form);
  layout->addStretch();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  SetControlId(buttons->button(QDialogButtonBox::Ok), IDOK, "okButton");
  SetControlId(buttons->button(QDialogButtonBox::Cancel), IDCANCEL, "cancelButton");
  connect(buttons, &QDialogButtonBox::accepted, this, &CAddSharesDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CAddSharesDlg::reject);
  layout->addWidget(buttons);
}

std::string CAddSharesDlg::price() const { return EditText(price_); }
std::string CAddSharesDlg::number() const { return EditText(number_); }
std::string CAddSharesDlg::fee() const { return EditText(fee_); }

void CAddSharesDlg::accept() {
  if (!CheckNumberEdits({price_, number_, fee_}, separator_)) return;
  CModalDialog::accept();
}

}  // namespace quillet
