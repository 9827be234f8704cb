// The answer of the price-history host, turned into chart points.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/decimal_text.h"
#include "quotes/history_download.h"
#include "quotes/quote_client.h"
#include "quotes/quote_dates.h"

namespace quillet {

namespace {

constexpr StockTime kPointTimeOfDay = 60;  // points sit one minute into their day

std::vector<std::string_view> SplitCommas(std::string_view line) {
  std::vector<std::string_view> fields;
  while (true) {
    std::size_t comma = line.find(',');
    fields.push_back(line.substr(0, comma));
    if (comma == std::string_view::npos) break;
    line.remove_prefix(comma + 1);
  }
  return fields;
}

bool HasDigit(std::string_view text) {
  return text.find_first_of("0123456789") != std::string_view::npos;
}

DWORD Price(std::string_view text) { return ToFixedPoint(ParseDecimal(text, 4), kStockScale); }

// The leading digits (blanks skipped), kept to 32 bits.
DWORD Volume(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  std::uint64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (value > 0xFFFFFFFFu) return 0xFFFFFFFFu;
  }
  return static_cast<DWORD>(value);
}

}  // namespace

bool ParseHistoryCsv(CQuoteClient& client, std::vector<ChartPoint>& points, Clock& clock) {
  if (!client.ReadHeaders()) return false;
  if (!client.ReadLine(0)) return true;
  const bool shortLayout = client.LineText() == "Date,Close";
  const std::size_t fieldsNeeded = shortLayout ? 2 : 6;

  while (client.ReadLine(0)) {
    std::string_view line = client.LineText();
    if (line.starts_with("No data")) {
      client.SetResultCode(QR_ERROR);
      return true;
    }
    // Days come newest first, so once the series is full every further line is older than
    // anything it keeps.
    if (points.size() >= kMaxChartPoints) break;
    std::vector<std::string_view> fields = SplitCommas(line);
    // A line without a date of its own or without a price (a blank line, a cut line) would put
    // a zero price on some other day; it is not a trading day.
    if (fields.size() < fieldsNeeded) continue;
    StockTime day = ParseQuoteDate(kDateDayMonthNameYear, fields[0], false, clock);
    std::string_view close = shortLayout ? fields[1] : fields[4];
    if (day == 0 || !HasDigit(close)) continue;

    ChartPoint point{};
    point.tDate = day + kPointTimeOfDay;
    point.dwPrice = Price(close);
    if (!shortLayout) {
      point.dwHigh = Price(fields[2]);
      point.dwLow = Price(fields[3]);
      point.dwVolume = Volume(fields[5]);
    }
    points.push_back(point);
  }
  return true;
}

}  // namespace quillet
