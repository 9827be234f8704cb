// A canvas that records what is drawn on it, for tests of what the charts draw.
#pragma once

#include <string>
#include <vector>

#include "charts/bitmap_font.h"
#include "charts/chart_canvas.h"

namespace quillet {

class RecordingCanvas final : public ChartCanvas {
 public:
  enum class Op { kFill, kLine, kText, kPie, kInvert };
  struct Call {
    Op op;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    COLORREF color = 0;
    std::string text;
    double start = 0, sweep = 0;
  };

  RecordingCanvas(int width, int height) : width_(width), height_(height) {}
  int width() const override { return width_; }
  int height() const override { return height_; }
  void FillRect(int l, int t, int r, int b, COLORREF c) override {
    calls.push_back({Op::kFill, l, t, r, b, c, {}, 0, 0});
  }
  void Line(int x0, int y0, int x1, int y1, COLORREF c) override {
    calls.push_back({Op::kLine, x0, y0, x1, y1, c, {}, 0, 0});
  }
  void Text(int x, int y, std::string_view text, COLORREF c, TextAlign) override {
    calls.push_back({Op::kText, x, y, x, y, c, std::string(text), 0, 0});
  }
  int TextWidth(std::string_view text) const override { return BitmapTextWidth(text); }
  void PieSlice(int cx, int cy, int r, double start, double sweep, COLORREF c) override {
    calls.push_back({Op::kPie, cx, cy, r, r, c, {}, start, sweep});
  }
  void InvertColumn(int x, int top, int bottom) override {
    calls.push_back({Op::kInvert, x, top, x, bottom, 0, {}, 0, 0});
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const Call& c : calls) {
      if (c.op == Op::kText) out.push_back(c.text);
    }
    return out;
  }
  std::vector<Call> Of(Op op, COLORREF color) const {
    std::vector<Call> out;
    for (const Call& c : calls) {
      if (c.op == op && c.color == color) out.push_back(c);
    }
    return out;
  }

  std::vector<Call> calls;

 private:
  int width_;
  int height_;
};

}  // namespace quillet
