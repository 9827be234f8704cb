// Numbers typed on the command line. Every command reads them through these readers, so a
// number is either read whole or refused: "12x", "1.2.3", "abc", " 5" or a value out of range
// never becomes some other number in a stored file. A refusal prints one line naming the field
// ("quillet-cli: shares: ...") to the error stream; the command then stops with kExitUsage
// before it stores anything.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string_view>

namespace quillet::cli {

// A whole number in decimal digits with an optional leading '-', from `min` to `max`.
bool ReadWholeNumber(std::ostream& err, std::string_view field, std::string_view text,
                     std::int64_t min, std::int64_t max, std::int64_t* value);

// Which decimal numbers a field takes.
struct DecimalRule {
  // An empty text is taken (as 0): an emptied field of a record is a field without a value.
  bool allowEmpty = false;
  // The number must not be below `min` (and, with minExclusive, above it) nor above `max`.
  double min = -1e300;
  bool minExclusive = false;
  double max = 1e300;
};

// A decimal number as the user types it on the device: an optional sign, digits with at most
// one point ('.' or the device's `separator`). Blanks, thousands separators, exponents, "inf"
// and "nan" are refused.
bool ReadDecimalNumber(std::ostream& err, std::string_view field, std::string_view text,
                       char separator, const DecimalRule& rule, double* value);

}  // namespace quillet::cli
