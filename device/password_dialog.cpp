#include "device/password_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillet {

CPasswordDlg::CPasswordDlg(QWidget* parent, Mode mode)
    : CModalDialog(parent, IDD_PASSWORD), mode_(mode) {
  setObjectName(QStringLiteral("passwordDialog"));
  setWindowTitle(QStringLiteral("Password"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Enter password:"), this));
  auto* row = new QHBoxLayout();
  for (int k = 0; k < 4; ++k) {
    boxes_[k] = new QLabel(this);
    boxes_[k]->setObjectName(QStringLiteral("box%1").arg(k));
    boxes_[k]->setFrameShape(QFrame::Box);
    boxes_[k]->setAlignment(Qt::AlignCenter);
    boxes_[k]->setFixedHeight(24);
    row->addWidget(boxes_[k]);
  }
  layout->addLayout(row);
  auto* grid = new QGridLayout();
  for (int d = 0; d <= 9; ++d) {
    auto* b = new QPushButton(QString::number(d), this);
    b->setObjectName(QStringLiteral("digit%1").arg(d));
    b->setFixedHeight(30);
    connect(b, &QPushButton::clicked, this, [this, d] { PressDigit(d); });
    if (d == 0) {
      grid->addWidget(b, 3, 1);
    } else {
      grid->addWidget(b, (d - 1) / 3, (d - 1) % 3);
    }
  }
  auto* clr = new QPushButton(QStringLiteral("CLR"), this);
  clr->setObjectName(QStringLiteral("clearButton"));
  clr->setFixedHeight(30);
  connect(clr, &QPushButton::clicked, this, [this] { Clear(); });
  grid->addWidget(clr, 3, 2);
  layout->addLayout(grid);
  auto* buttons = new QHBoxLayout();
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("okButton"));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  ShowBoxes();
}

void CPasswordDlg::PressDigit(int digit) {
  if (digits_.size() >= 4 || digit < 0 || digit > 9) return;
  digits_ += QChar(u'0' + digit);
  ShowBoxes();
  if (mode_ == Mode::kCheck && digits_.size() == 4) accept();
}

void CPasswordDlg::Clear() {
  digits_.clear();
  ShowBoxes();
}

void CPasswordDlg::ShowBoxes() {
  for (int k = 0; k < 4; ++k) {
    QString shown = QStringLiteral("  -  ");
    if (k < digits_.size()) {
      shown = mode_ == Mode::kSet ? QStringLiteral("  %1  ").arg(digits_.at(k))
                                  : QStringLiteral("  *  ");
    }
    boxes_[k]->setText(shown);
  }
}

bool PasswordMatches(const QString& digits, WORD stored) {
  if (digits.size() != 4) return false;
  for (QChar c : digits) {
    if (c < u'0' || c > u'9') return false;
  }
  return digits.toInt() == static_cast<int>(stored);
}

}  // namespace quillet
