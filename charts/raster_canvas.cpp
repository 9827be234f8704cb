#include "charts/raster_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "charts/bitmap_font.h"

namespace quillet {
namespace {

std::uint32_t ToRgb(COLORREF c) {
  return (static_cast<std::uint32_t>(GetRValue(c)) << 16) |
         (static_cast<std::uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
}

}  // namespace

RasterCanvas::RasterCanvas(int width, int height, bool rotated)
    : width_(std::max(0, width)), height_(std::max(0, height)), rotated_(rotated) {
  pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_),
                 ToRgb(kChartBackground));
}

std::uint32_t* RasterCanvas::At(int x, int y) {
  int px = x;
  int py = y;
  if (rotated_) {
    // A quarter turn clockwise: the drawing's top edge becomes the stored right edge.
    px = width_ - 1 - y;
    py = x;
  }
  if (px < 0 || py < 0 || px >= width_ || py >= height_) return nullptr;
  return &pixels_[static_cast<std::size_t>(py) * static_cast<std::size_t>(width_) +
                  static_cast<std::size_t>(px)];
}

void RasterCanvas::SetPixel(int x, int y, COLORREF color) {
  if (std::uint32_t* p = At(x, y)) *p = ToRgb(color);
}

COLORREF RasterCanvas::PixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const std::uint32_t v = pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                                  static_cast<std::size_t>(x)];
  return RGB(static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v));
}

void RasterCanvas::FillRect(int left, int top, int right, int bottom, COLORREF color) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, width());
  bottom = std::min(bottom, height());
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) SetPixel(x, y, color);
  }
}

void RasterCanvas::Line(int x0, int y0, int x1, int y1, COLORREF color) {
  // Bresenham; coordinates far off the canvas are pulled in first so the walk stays short.
  const int limit = 4 * (width() + height()) + 16;
  auto pull = [limit](int v) { return std::clamp(v, -limit, limit); };
  x0 = pull(x0);
  y0 = pull(y0);
  x1 = pull(x1);
  y1 = pull(y1);
  const int dx = std::abs(x1 - x0);
  const int dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1;
  const int sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    SetPixel(x0, y0, color);
    if (x0 == x1 && y0 == y1) break;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
}

int RasterCanvas::TextWidth(std::string_view text) const { return BitmapTextWidth(text); }

void RasterCanvas::Text(int x, int y, std::string_view text, COLORREF color, TextAlign align) {
  const int w = BitmapTextWidth(text);
  if (align == TextAlign::kCenter) x -= w / 2;
  if (align == TextAlign::kRight) x -= w;
  for (char c : text) {
    const std::uint8_t* columns = GlyphColumns(c);
    for (int col = 0; col < kGlyphWidth; ++col) {
      for (int row = 0; row < kGlyphHeight; ++row) {
        if (columns[col] & (1u << row)) SetPixel(x + col, y + 1 + row, color);
      }
    }
    x += kGlyphAdvance;
  }
}

void RasterCanvas::PieSlice(int cx, int cy, int radius, double startDegrees, double sweepDegrees,
                            COLORREF color) {
  if (radius <= 0 || sweepDegrees <= 0) return;
  const bool whole = sweepDegrees >= 360.0;
  const double start = std::fmod(std::fmod(startDegrees, 360.0) + 360.0, 360.0);
  for (int y = cy - radius; y <= cy + radius; ++y) {
    for (int x = cx - radius; x <= cx + radius; ++x) {
      const int dx = x - cx;
      const int dy = cy - y;  // up is positive
      if (dx * dx + dy * dy > radius * radius) continue;
      if (!whole) {
        double angle =
            std::atan2(static_cast<double>(dy), static_cast<double>(dx)) * 180.0 / std::numbers::pi;
        if (angle < 0) angle += 360.0;
        double from = angle - start;
        if (from < 0) from += 360.0;
        if (from >= sweepDegrees) continue;
      }
      SetPixel(x, y, color);
    }
  }
}

void RasterCanvas::InvertColumn(int x, int top, int bottom) {
  for (int y = std::min(top, bottom); y <= std::max(top, bottom); ++y) {
    if (std::uint32_t* p = At(x, y)) *p = ~*p & 0xFFFFFFu;
  }
}

// ---- PNG --------------------------------------------------------------------------------------

namespace {

std::uint32_t Crc32(const std::string& bytes, std::size_t from) {
  static const auto table = [] {
    std::vector<std::uint32_t> t(256);
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = from; i < bytes.size(); ++i) {
    c = table[(c ^ static_cast<unsigned char>(bytes[i])) & 0xFF] ^ (c >> 8);
  }
  return c ^ 0xFFFFFFFFu;
}

void PutU32(std::string& out, std::uint32_t v) {
  out.push_back(static_cast<char>(v >> 24));
  out.push_back(static_cast<char>(v >> 16));
  out.push_back(static_cast<char>(v >> 8));
  out.push_back(static_cast<char>(v));
}

void PutChunk(std::string& png, const char* type, const std::string& data) {
  PutU32(png, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = png.size();
  png.append(type, 4);
  png += data;
  PutU32(png, Crc32(png, typeAt));
}

// A zlib stream of stored (uncompressed) deflate blocks: a chart picture is small, and this
// needs no compression library.
std::string StoredZlib(const std::string& raw) {
  std::string z;
  z.push_back(static_cast<char>(0x78));
  z.push_back(static_cast<char>(0x01));
  std::size_t at = 0;
  do {
    const std::size_t len = std::min<std::size_t>(raw.size() - at, 65535);
    const bool last = at + len == raw.size();
    z.push_back(static_cast<char>(last ? 1 : 0));
    z.push_back(static_cast<char>(len & 0xFF));
    z.push_back(static_cast<char>(len >> 8));
    z.push_back(static_cast<char>(~len & 0xFF));
    z.push_back(static_cast<char>((~len >> 8) & 0xFF));
    z.append(raw, at, len);
    at += len;
  } while (at < raw.size());
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (char c : raw) {
    a = (a + static_cast<unsigned char>(c)) % 65521;
    b = (b + a) % 65521;
  }
  PutU32(z, (b << 16) | a);
  return z;
}

}  // namespace

std::string EncodePng(const RasterCanvas& canvas) {
  const int w = canvas.pixelWidth();
  const int h = canvas.pixelHeight();
  std::string raw;
  raw.reserve(static_cast<std::size_t>(h) * (static_cast<std::size_t>(w) * 3 + 1));
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < w; ++x) {
      const std::uint32_t v =
          canvas.pixels()[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) +
                          static_cast<std::size_t>(x)];
      raw.push_back(static_cast<char>(v >> 16));
      raw.push_back(static_cast<char>(v >> 8));
      raw.push_back(static_cast<char>(v));
    }
  }
  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string ihdr;
  PutU32(ihdr, static_cast<std::uint32_t>(w));
  PutU32(ihdr, static_cast<std::uint32_t>(h));
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, filter 0, no interlace
  PutChunk(png, "IHDR", ihdr);
  PutChunk(png, "IDAT", StoredZlib(raw));
  PutChunk(png, "IEND", "");
  return png;
}

}  // namespace quillet
