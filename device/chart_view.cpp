#include "device/chart_view.h"

#include <QMouseEvent>
#include <QPainter>

namespace quillet {

QImage ToImage(const RasterCanvas& canvas) {
  QImage image(canvas.pixelWidth(), canvas.pixelHeight(), QImage::Format_RGB32);
  for (int y = 0; y < canvas.pixelHeight(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < canvas.pixelWidth(); ++x) {
      line[x] = 0xFF000000u | canvas.pixels()[static_cast<std::size_t>(y) *
                                                  static_cast<std::size_t>(canvas.pixelWidth()) +
                                              static_cast<std::size_t>(x)];
    }
  }
  return image;
}

CChartView::CChartView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("chartView"));
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CChartView::SetRotated(bool rotated) {
  rotated_ = rotated;
  update();
}

QImage CChartView::Picture() const {
  RasterCanvas canvas(width(), height(), rotated_);
  if (draw_) draw_(canvas);
  return ToImage(canvas);
}

void CChartView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, Picture());
}

void CChartView::StylusAt(int kind, int x, int y) {
  if (stylus_) stylus_(kind, x, y);
}

void CChartView::Mouse(int kind, QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  // A rotated drawing is turned a quarter clockwise on the screen: turn the touch back.
  const int x = rotated_ ? p.y() : p.x();
  const int y = rotated_ ? width() - 1 - p.x() : p.y();
  StylusAt(kind, x, y);
  event->accept();
}

void CChartView::mousePressEvent(QMouseEvent* event) { Mouse(0, event); }
void CChartView::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) Mouse(1, event);
}
void CChartView::mouseReleaseEvent(QMouseEvent* event) { Mouse(2, event); }

}  // namespace quillet
