// The irrevocable conversion rates of the euro's twelve founding currencies (units per euro),
// with the euro itself at 1.0. Between two of these currencies the rate is fixed by law, so
// the program computes it instead of asking a quote server.
#pragma once

#include <span>
#include <string_view>

namespace quillet {

struct EuroRate {
  char szCode[4];
  double dRate;
};

std::span<const EuroRate> EuroRateTable();
// Index of the code (compared without regard to case, first 3 characters), or -1 when the text
// is shorter than 3 characters or not in the table.
int EuroRateLookup(std::string_view code);
// value / rate(from) * rate(to); value unchanged when either code is not in the table.
double EuroConvert(std::string_view from, double value, std::string_view to);

}  // namespace quillet
