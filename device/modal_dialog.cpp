#include "device/modal_dialog.h"

#include <QAbstractButton>
#include <QMessageBox>

#include "platform/message_box.h"

namespace quillet {

CModalDialog::CModalDialog(QWidget* parent, int dialogId) : QDialog(parent), dialogId_(dialogId) {
  setModal(true);
  setFixedSize(kScreenWidth, kScreenHeight - kTitleBarHeight);
  if (parent) move(parent->mapToGlobal(QPoint(0, kTitleBarHeight)));
}

void CModalDialog::SetControlId(QWidget* control, int id, const char* name) {
  control->setProperty("controlId", id);
  control->setObjectName(QString::fromLatin1(name));
}

bool CModalDialog::ClickControl(QWidget* within, UINT id) {
  for (QAbstractButton* b : within->findChildren<QAbstractButton*>()) {
    if (b->property("controlId").toUInt() == id && b->isEnabled()) {
      b->click();
      return true;
    }
  }
  return false;
}

bool CModalDialog::OnCommand(UINT id) {
  if (id == IDOK) {
    accept();
    return true;
  }
  if (id == IDCANCEL) {
    reject();
    return true;
  }
  return ClickControl(this, id);
}

bool SendCommandToDialog(QDialog& dialog, UINT id) {
  if (auto* d = qobject_cast<CModalDialog*>(&dialog)) return d->OnCommand(id);
  if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
    QMessageBox::StandardButton which = QMessageBox::NoButton;
    switch (id) {
      case IDOK:
        which = QMessageBox::Ok;
        break;
      case IDCANCEL:
        which = QMessageBox::Cancel;
        break;
      case IDYES:
        which = QMessageBox::Yes;
        break;
      case IDNO:
        which = QMessageBox::No;
        break;
      default:
        break;
    }
    if (QAbstractButton* b = box->button(which)) {
      b->click();
      return true;
    }
  }
  return false;
}

}  // namespace quillet
