#include "device/dialog_parts.h"

#include <QDialogButtonBox>

#include "device/stock_list_view.h"
#include "platform/codepage.h"

namespace quillet {

QLabel* MakeHeading(QWidget* parent, const char* text) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  QFont f = label->font();
  f.setBold(true);
  label->setFont(f);
  return label;
}

QPushButton* MakeButton(QWidget* parent, const char* text, int controlId, const char* name) {
  auto* b = new QPushButton(QString::fromLatin1(text), parent);
  CModalDialog::SetControlId(b, controlId, name);
  return b;
}

void AddOkCancelRow(CModalDialog* dialog, QBoxLayout* layout, bool withCancel) {
  auto* buttons = new QDialogButtonBox(
      withCancel ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel : QDialogButtonBox::Ok, dialog);
  CModalDialog::SetControlId(buttons->button(QDialogButtonBox::Ok), IDOK, "okButton");
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  if (withCancel) {
    CModalDialog::SetControlId(buttons->button(QDialogButtonBox::Cancel), IDCANCEL, "cancelButton");
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  }
  layout->addWidget(buttons);
}

void FillPortfolioCombo(QComboBox* combo, const PortfolioStore& store, int portfolio,
                        bool withAll) {
  const QSignalBlocker quiet(combo);
  CStockListView::FillPortfolioSelector(combo, store, portfolio, withAll, false);
  const int at = combo->findData(portfolio);
  combo->setCurrentIndex(at >= 0 ? at : 0);
}

int ChosenPortfolio(const QComboBox* combo) {
  return combo->currentIndex() >= 0 ? combo->currentData().toInt() : -1;
}

QString ShownText(std::string_view ansi) { return QString::fromUtf8(AnsiToUtf8(ansi)); }

std::string TypedText(const QString& text) { return Utf8ToAnsi(text.toUtf8().toStdString()); }

}  // namespace quillet
