// The points of a price-history series: 20 bytes each, little-endian, with prices in fixed
// point (times 10000 for a stock, whole units for a portfolio). Pure functions over bytes, shared
// by the chart store, the desktop's chart backup and restore, and the CSV export.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/win_types.h"

namespace quillet {

inline constexpr std::size_t kMaxChartPoints = 3199;
inline constexpr std::size_t kSeriesNameLength = 15;
// Stock prices are kept in fixed point with 4 decimals; portfolio amounts in whole units.
inline constexpr double kStockScale = 10000.0;
inline constexpr double kPortfolioScale = 1.0;

struct ChartPoint {
  StockTime tDate;
  DWORD dwPrice;
  DWORD dwLow;
  DWORD dwHigh;
  DWORD dwVolume;
};
static_assert(sizeof(ChartPoint) == 20);
static_assert(offsetof(ChartPoint, tDate) == 0);
static_assert(offsetof(ChartPoint, dwPrice) == 4);
static_assert(offsetof(ChartPoint, dwLow) == 8);
static_assert(offsetof(ChartPoint, dwHigh) == 12);
static_assert(offsetof(ChartPoint, dwVolume) == 16);

// The figures of one point before scaling: a stock's price, low and high (or a portfolio's
// cost, value and profit) and the volume.
struct PointFigures {
  double price = 0;
  double low = 0;
  double high = 0;
  double volume = 0;
};

// A figure in stored fixed point: value * scale rounded half up, kept in 32 bits. Negative
// amounts (a portfolio's loss) are stored as two's complement; read them back with
// SignedAmount.
DWORD ToFixedPoint(double value, double scale);
inline std::int32_t SignedAmount(DWORD stored) { return static_cast<std::int32_t>(stored); }

// The point layout as stored in the points property: 20 bytes each, little-endian.
std::string EncodePoints(const std::vector<ChartPoint>& points);
// Reads at most `count` whole points (never past the bytes, never more than the limit).
std::vector<ChartPoint> DecodePoints(std::string_view bytes, std::size_t count);

}  // namespace quillet
