#include "device/modal_dialog.h"

namespace quillet {

CModalDialog::CModalDialog(QWidget* parent, int dialogId) : QDialog(parent), dialogId_(dialogId) {
  setModal(true);
  setFixedSize(kScreenWidth, kScreenHeight - kTitleBarHeight);
  if (parent) move(parent->mapToGlobal(QPoint(0, kTitleBarHeight)));
}

}  // namespace quillet
