#include "core/chart_points.h"

#include <algorithm>
#include <cmath>

namespace quillet {
namespace {

DWORD GetU32(std::string_view b, std::size_t at) {
  DWORD v = 0;
  for (int i = 0; i < 4; ++i)
    v |= static_cast<DWORD>(static_cast<unsigned char>(b[at + i])) << (8 * i);
  return v;
}

}  // namespace

DWORD ToFixedPoint(double value, double scale) {
  double v = std::floor(value * scale + 0.5);
  if (!std::isfinite(v)) return 0;
  // Beyond 32 bits the figure cannot be kept; keep the nearest value that can.
  if (v >= 4294967295.0) return 0xFFFFFFFFu;
  if (v <= -2147483648.0) return 0x80000000u;
  if (v < 0) return static_cast<DWORD>(static_cast<std::int32_t>(v));
  return static_cast<DWORD>(v);
}

std::string EncodePoints(const std::vector<ChartPoint>& points) {
  // Written into a buffer of the final size: an update encodes every series it adds a point to,
  // and growing the string four bytes at a time cost more than the bytes.
  std::string out(points.size() * sizeof(ChartPoint), '\0');
  char* at = out.data();
  auto put = [&at](DWORD v) {
    for (int i = 0; i < 4; ++i) *at++ = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  for (const ChartPoint& p : points) {
    put(p.tDate);
    put(p.dwPrice);
    put(p.dwLow);
    put(p.dwHigh);
    put(p.dwVolume);
  }
  return out;
}

std::vector<ChartPoint> DecodePoints(std::string_view bytes, std::size_t count) {
  std::size_t n = std::min({count, bytes.size() / sizeof(ChartPoint), kMaxChartPoints});
  std::vector<ChartPoint> points(n);
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t at = i * sizeof(ChartPoint);
    points[i] = ChartPoint{GetU32(bytes, at), GetU32(bytes, at + 4), GetU32(bytes, at + 8),
                           GetU32(bytes, at + 12), GetU32(bytes, at + 16)};
  }
  return points;
}

}  // namespace quillet
