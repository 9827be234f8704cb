// Feeds arbitrary bytes as a user source's answer to the CSV and JSON readers, for quotes and
// for history. The first byte picks the format, the header, the divisor and the date style; the
// rest is the answer. Every text read must fit its field with its terminator, the lists stay
// within their limits, and every history point has a price.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "quotes/user_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::uint8_t control = data[0];
  const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);
  const bool json = (control & 1) != 0;
  quillet::SourceFields fields = {
      {"quote_url", "https://q.example/q?s={symbols}"},
      {"format", json ? "json" : "csv"},
      {"history_url", "https://q.example/h?s={symbol}&a={from}&b={to}"},
  };
  static constexpr const char* kStyles[] = {"ymd", "mdy", "dmy", "unix"};
  fields["date_style"] = kStyles[(control >> 1) & 3];
  if ((control & 8) != 0) fields["divisor"] = "100";
  if (json) {
    fields["list"] = (control & 16) != 0 ? "quoteResponse.result" : "";
    if (fields["list"].empty()) fields.erase("list");
    fields["history_list"] = "prices";
    const char* names[] = {"symbol", "last", "change", "date", "time", "low", "high", "volume"};
    for (const char* n : names) fields[n] = n;
    fields["prev_close"] = "p.0.close";
    fields["history_date"] = "date";
    fields["history_close"] = "close";
    fields["history_low"] = "low";
  } else {
    fields["header"] = (control & 16) != 0 ? "yes" : "no";
    if ((control & 32) != 0) fields["delimiter"] = ";";
    const char* names[] = {"symbol", "last", "change", "date",      "time",
                           "low",    "high", "volume", "prev_close"};
    int column = 1;
    for (const char* n : names) fields[n] = std::to_string(column++);
    fields["history_date"] = "1";
    fields["history_close"] = "5";
    fields["history_volume"] = "64";
  }
  std::string error;
  auto source = quillet::ParseUserSource("fuzz", fields, &error);
  if (!source) __builtin_trap();

  quillet::QuoteResultList results;
  quillet::ReadUserQuotes(*source, body, &results, &error);
  if (results.size() > quillet::kMaxQuoteResults) __builtin_trap();
  quillet::ManualClock clock(1051891200);
  for (const auto& r : results) {
    if (std::memchr(r->szSymbol, '\0', sizeof r->szSymbol) == nullptr) __builtin_trap();
    if (std::memchr(r->szLast, '\0', sizeof r->szLast) == nullptr) __builtin_trap();
    if (std::memchr(r->szDate, '\0', sizeof r->szDate) == nullptr) __builtin_trap();
    if (std::memchr(r->szPrevClose, '\0', sizeof r->szPrevClose) == nullptr) __builtin_trap();
    if (r->szSymbol[0] == '\0') __builtin_trap();
    quillet::UserQuoteTime(*source, r->szDate, r->szTime, clock);
  }
  std::vector<quillet::ChartPoint> points;
  quillet::ReadUserHistory(*source, body, clock, &points, &error);
  if (points.size() > quillet::kMaxChartPoints) __builtin_trap();
  for (const quillet::ChartPoint& p : points) {
    if (p.dwPrice == 0 || p.tDate == 0) __builtin_trap();
  }
  return 0;
}
