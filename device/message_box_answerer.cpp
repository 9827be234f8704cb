#include "device/message_box_answerer.h"

#include <QMessageBox>

#include "device/main_frame.h"
#include "device/quillet_app.h"

namespace quillet {

MessageBoxes::Answerer QtMessageBoxAnswerer(CQuilletApp& app) {
  return [&app](const MessageBoxRequest& r) -> int {
    if (app.closing()) return DefaultAnswer(r.flags);
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (r.flags & MB_ICONMASK) {
      case MB_ICONSTOP:
        icon = QMessageBox::Critical;
        break;
      case MB_ICONQUESTION:
        icon = QMessageBox::Question;
        break;
      case MB_ICONWARNING:
        icon = QMessageBox::Warning;
        break;
      case MB_ICONINFORMATION:
        icon = QMessageBox::Information;
        break;
      default:
        break;
    }
    const UINT type = r.flags & MB_TYPEMASK;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    if (type == MB_YESNO) buttons = QMessageBox::Yes | QMessageBox::No;
    if (type == MB_OKCANCEL) buttons = QMessageBox::Ok | QMessageBox::Cancel;
    QMessageBox box(icon, QString::fromStdString(r.caption), QString::fromStdString(r.text),
                    buttons, app.frame());
    box.setObjectName(QStringLiteral("messageBox"));
    int answer = app.RunModal(box);
    if (app.closing()) return DefaultAnswer(r.flags);
    switch (answer) {
      case QMessageBox::Yes:
        return IDYES;
      case QMessageBox::No:
        return IDNO;
      case QMessageBox::Cancel:
        return IDCANCEL;
      case QMessageBox::Ok:
        return IDOK;
      default:
        return DefaultAnswer(r.flags);
    }
  };
}

}  // namespace quillet
