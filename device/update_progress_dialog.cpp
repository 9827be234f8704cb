#include "device/update_progress_dialog.h"

#include <QApplication>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/string_table.h"
#include "device/modal_dialog.h"
#include "quotes/device/update_quotes.h"

namespace quillet {

CUpdateProgressDlg::CUpdateProgressDlg(QWidget* parent, CancelToken& runCancel)
    : QDialog(parent), cancel_(runCancel) {
  setObjectName(QStringLiteral("updateProgress"));
  setWindowTitle(QStringLiteral("Quillet"));
  setFixedSize(200, 90);
  // The run works on the stocks while it waits; nothing else may change them meanwhile.
  setWindowModality(Qt::ApplicationModal);
  auto* layout = new QVBoxLayout(this);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("statusText"));
  status_->setWordWrap(true);
  layout->addWidget(status_);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  // Cancel only raises the flag; the run notices it between its waits and closes this window.
  connect(cancel, &QPushButton::clicked, this, [this] { cancel_.Cancel(); });
  layout->addWidget(cancel);
  if (parent) {
    QPoint centre = parent->mapToGlobal(QPoint((kScreenWidth - width()) / 2, 110));
    move(centre);
  }
  cancel_.g_cancelUpdate = 0;
  show();
  raise();
}

CUpdateProgressDlg::~CUpdateProgressDlg() = default;

void CUpdateProgressDlg::ShowStatus(UINT stringId) {
  std::string text = strings::LoadString(stringId);
  status_->setText(QString::fromStdString(text));
  PumpMessages();
}

void CUpdateProgressDlg::PumpMessages() {
  if (cancel_.g_cancelUpdate) return;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace quillet
