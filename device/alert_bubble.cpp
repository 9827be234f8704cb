#include "device/alert_bubble.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "device/resource_ids.h"

namespace quillet {

CAlertBubble::CAlertBubble(QWidget* parent, std::function<void(UINT)> sendCommand)
    : QFrame(parent) {
  setObjectName(QStringLiteral("alertBubble"));
  setFrameShape(QFrame::Box);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(255, 255, 225));
  setPalette(pal);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 4, 6, 4);
  auto* title = new QLabel(QStringLiteral("<b>1 or more active alerts</b>"), this);
  QFont f = title->font();
  f.setPixelSize(13);
  title->setFont(f);
  layout->addWidget(title);
  auto* open = new QLabel(QStringLiteral("<a href=\"cmd:11\">Open</a> Quillet"), this);
  open->setObjectName(QStringLiteral("openLink"));
  connect(open, &QLabel::linkActivated, this, [sendCommand] { sendCommand(ID_NOTIFY_OPEN); });
  layout->addWidget(open);
  auto* row = new QHBoxLayout();
  row->addStretch();
  auto* dismiss = new QPushButton(QStringLiteral("Dismiss"), this);
  dismiss->setObjectName(QStringLiteral("dismissButton"));
  connect(dismiss, &QPushButton::clicked, this, [sendCommand] { sendCommand(ID_NOTIFY_DISMISS); });
  row->addWidget(dismiss);
  layout->addLayout(row);
}

}  // namespace quillet
