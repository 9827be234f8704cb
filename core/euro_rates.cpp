#include "core/euro_rates.h"

#include "platform/ascii.h"

namespace quillet {
namespace {

constexpr EuroRate kEuroRates[] = {
    {"BEF", 40.3399}, {"DEM", 1.95583}, {"ESP", 166.386}, {"FRF", 6.55957}, {"IEP", 0.787564},
    {"ITL", 1936.27}, {"LUF", 40.3399}, {"NLG", 2.20371}, {"ATS", 13.7603}, {"PTE", 200.482},
    {"FIM", 5.94573}, {"GRD", 340.750}, {"EUR", 1.0},
};

}  // namespace

std::span<const EuroRate> EuroRateTable() { return kEuroRates; }

int EuroRateLookup(std::string_view code) {
  if (code.size() < 3) return -1;
  for (int i = 0; i < static_cast<int>(std::size(kEuroRates)); ++i) {
    const char* entry = kEuroRates[i].szCode;
    if (EqualNoCase(code.substr(0, 3), std::string_view(entry, 3))) {
      return i;
    }
  }
  return -1;
}

double EuroConvert(std::string_view from, double value, std::string_view to) {
  int f = EuroRateLookup(from);
  int t = EuroRateLookup(to);
  if (f < 0 || t < 0) return value;
  return value / kEuroRates[f].dRate * kEuroRates[t].dRate;
}

}  // namespace quillet
