// A canvas of pixels in memory: the one rasterizer behind both the Chart page on the screen and
// the pictures quillet-cli writes, so the two are the same pixel for pixel. A rotated canvas
// takes the drawing with x and y exchanged (the chart turned a quarter clockwise), so the plot
// draws a rotated layout exactly as it draws the normal one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "charts/chart_canvas.h"

namespace quillet {

class RasterCanvas final : public ChartCanvas {
 public:
  // `width` x `height` pixels as stored (and shown); filled with the chart background.
  RasterCanvas(int width, int height, bool rotated = false);

  // The drawing's size: the stored size, exchanged when rotated.
  int width() const override { return rotated_ ? height_ : width_; }
  int height() const override { return rotated_ ? width_ : height_; }
  void FillRect(int left, int top, int right, int bottom, COLORREF color) override;
  void Line(int x0, int y0, int x1, int y1, COLORREF color) override;
  void Text(int x, int y, std::string_view text, COLORREF color, TextAlign align) override;
  int TextWidth(std::string_view text) const override;
  void PieSlice(int cx, int cy, int radius, double startDegrees, double sweepDegrees,
                COLORREF color) override;
  void InvertColumn(int x, int top, int bottom) override;

  // The stored pixels, rows top first, as 0x00RRGGBB.
  int pixelWidth() const { return width_; }
  int pixelHeight() const { return height_; }
  const std::vector<std::uint32_t>& pixels() const { return pixels_; }
  // The pixel at stored position (x, y), as COLORREF.
  COLORREF PixelAt(int x, int y) const;

 private:
  // Drawing coordinates; points off the canvas are clipped here.
  void SetPixel(int x, int y, COLORREF color);
  std::uint32_t* At(int x, int y);

  int width_;
  int height_;
  bool rotated_;
  std::vector<std::uint32_t> pixels_;
};

// The canvas as a PNG file's bytes (8-bit RGB, no interlace).
std::string EncodePng(const RasterCanvas& canvas);

}  // namespace quillet
