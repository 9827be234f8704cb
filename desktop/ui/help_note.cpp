#include "desktop/ui/help_note.h"

#include <QEnterEvent>
#include <QStyle>

#include "core/string_table.h"

namespace quillet {

CHelpIcon::CHelpIcon(unsigned textId, QWidget* parent) : QLabel(parent), textId_(textId) {
  setObjectName(QStringLiteral("helpIcon"));
  setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(24, 24));
  setFixedSize(28, 28);
}

CHelpIcon::~CHelpIcon() { CloseNote(); }

void CHelpIcon::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  if (note_) return;
  // A top-level window of its own, so that it can reach past the page's edge like a tip.
  note_ = new QLabel(QString::fromLatin1(strings::LoadString(textId_).c_str()), nullptr,
                     Qt::ToolTip | Qt::FramelessWindowHint);
  note_->setObjectName(QStringLiteral("helpNote"));
  note_->setAttribute(Qt::WA_DeleteOnClose);
  note_->setWordWrap(true);
  note_->setMargin(6);
  note_->setStyleSheet(
      QStringLiteral("background: #ffffe1; color: black; border: 1px solid #767676;"));
  note_->setFixedWidth(320);
  note_->adjustSize();
  note_->move(mapToGlobal(QPoint(width(), height())));
  note_->show();
}

void CHelpIcon::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  CloseNote();
}

void CHelpIcon::CloseNote() {
  if (note_) note_->close();
  note_ = nullptr;
}

}  // namespace quillet
