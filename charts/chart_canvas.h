// What the charts draw on. The plot and the portfolio charts only ever call this interface, so
// that a test can record what is drawn, and the screen and a picture file get the same pixels
// from the same rasterizer (see raster_canvas.h).
#pragma once

#include <string_view>

#include "platform/gdi.h"

namespace quillet {

enum class TextAlign { kLeft, kCenter, kRight };

// The chart colours.
inline constexpr COLORREF kChartBackground = RGB(255, 255, 255);
inline constexpr COLORREF kChartForeground = RGB(0, 0, 0);
inline constexpr COLORREF kChartGrid = RGB(150, 150, 150);
inline constexpr COLORREF kChartHigh = RGB(0, 0, 255);
inline constexpr COLORREF kChartLow = RGB(255, 0, 0);
inline constexpr COLORREF kChartGreen = RGB(0, 150, 0);

class ChartCanvas {
 public:
  virtual ~ChartCanvas() = default;
  // The drawing area in pixels, (0, 0) at the top left.
  virtual int width() const = 0;
  virtual int height() const = 0;
  // Fills left <= x < right, top <= y < bottom.
  virtual void FillRect(int left, int top, int right, int bottom, COLORREF color) = 0;
  // A one-pixel line, both ends included.
  virtual void Line(int x0, int y0, int x1, int y1, COLORREF color) = 0;
  // One line of text whose top is at y; x is its left end, centre or right end by `align`.
  virtual void Text(int x, int y, std::string_view text, COLORREF color, TextAlign align) = 0;
  virtual int TextWidth(std::string_view text) const = 0;
  // A filled slice of a circle from `startDegrees` (0 at three o'clock, counter-clockwise)
  // over `sweepDegrees`.
  virtual void PieSlice(int cx, int cy, int radius, double startDegrees, double sweepDegrees,
                        COLORREF color) = 0;
  // Inverts the pixels of the column x from top to bottom (both included): the stylus cursor,
  // which a second inversion erases.
  virtual void InvertColumn(int x, int top, int bottom) = 0;
};

}  // namespace quillet
