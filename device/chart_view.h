// The widget that shows a chart: it draws through the charts' rasterizer (the same pixels a
// picture file gets) and reports the stylus in the drawing's coordinates, turned back when the
// chart is shown rotated.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

#include "charts/chart_canvas.h"
#include "charts/raster_canvas.h"

namespace quillet {

class CChartView : public QWidget {
  Q_OBJECT
 public:
  using Draw = std::function<void(ChartCanvas&)>;
  // Stylus events: 0 down, 1 moved, 2 lifted; x and y in the drawing's coordinates.
  using Stylus = std::function<void(int kind, int x, int y)>;

  explicit CChartView(QWidget* parent);
  void SetDraw(Draw draw) { draw_ = std::move(draw); }
  void SetStylus(Stylus stylus) { stylus_ = std::move(stylus); }
  void SetRotated(bool rotated);
  bool rotated() const { return rotated_; }
  // The drawing's size (exchanged when rotated).
  int drawWidth() const { return rotated_ ? height() : width(); }
  int drawHeight() const { return rotated_ ? width() : height(); }
  // What the widget shows now, as an image of its size.
  QImage Picture() const;
  // The stylus as the user moves it (tests drive it here as through the mouse).
  void StylusAt(int kind, int x, int y);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Mouse(int kind, QMouseEvent* event);

  Draw draw_;
  Stylus stylus_;
  bool rotated_ = false;
};

// The rasterizer's pixels as an image.
QImage ToImage(const RasterCanvas& canvas);

}  // namespace quillet
