#include "device/ui_style.h"

#include <QFont>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace quillet {

void ApplyHandheldStyle(QApplication& app) {
  if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(style);
  QFont font(QStringLiteral("DejaVu Sans Condensed"));
  font.setPixelSize(11);
  app.setFont(font);
  QPalette pal = app.style()->standardPalette();
  pal.setColor(QPalette::Window, QColor(255, 255, 255));
  pal.setColor(QPalette::Button, QColor(236, 233, 228));
  pal.setColor(QPalette::Highlight, QColor(0, 51, 153));
  pal.setColor(QPalette::HighlightedText, Qt::white);
  app.setPalette(pal);
}

}  // namespace quillet
