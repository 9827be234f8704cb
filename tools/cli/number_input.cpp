#include "tools/cli/number_input.h"

#include <ostream>
#include <string>

#include "core/decimal_text.h"

namespace quillet::cli {
namespace {

// The number as it appears in a message: short texts whole, long ones cut, so a pasted file
// does not flood the terminal.
std::string Shown(std::string_view text) {
  if (text.size() <= 40) return "\"" + std::string(text) + "\"";
  return "\"" + std::string(text.substr(0, 37)) + "...\"";
}

}  // namespace

bool ReadWholeNumber(std::ostream& err, std::string_view field, std::string_view text,
                     std::int64_t min, std::int64_t max, std::int64_t* value) {
  std::string_view digits = text;
  const bool negative = !digits.empty() && digits.front() == '-';
  if (negative) digits.remove_prefix(1);
  bool ok = !digits.empty() && digits.size() <= 18;
  std::int64_t v = 0;
  for (char c : ok ? digits : std::string_view()) {
    if (c < '0' || c > '9') {
      ok = false;
      break;
    }
    v = v * 10 + (c - '0');
  }
  if (!ok && !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos) {
    // Only digits, but too many of them: out of range rather than not a number.
    err << "quillet-cli: " << field << ": " << Shown(text) << " is not a whole number from " << min
        << " to " << max << "\n";
    return false;
  }
  if (!ok) {
    err << "quillet-cli: " << field << ": " << Shown(text) << " is not a whole number\n";
    return false;
  }
  if (negative) v = -v;
  if (v < min || v > max) {
    err << "quillet-cli: " << field << ": " << Shown(text) << " is not a whole number from " << min
        << " to " << max << "\n";
    return false;
  }
  *value = v;
  return true;
}

bool ReadDecimalNumber(std::ostream& err, std::string_view field, std::string_view text,
                       char separator, const DecimalRule& rule, double* value) {
  if (text.empty()) {
    if (rule.allowEmpty) {
      *value = 0;
      return true;
    }
    err << "quillet-cli: " << field << ": a number is needed\n";
    return false;
  }
  // ReadsWholeDecimal takes blanks around the digits (the device's edits trim them); a command
  // line has no reason to carry them, and a digit is needed.
  const bool blank = text.front() == ' ' || text.back() == ' ';
  const bool digit = text.find_first_of("0123456789") != std::string_view::npos;
  if (blank || !digit || !ReadsWholeDecimal(text, separator)) {
    err << "quillet-cli: " << field << ": " << Shown(text) << " is not a number (digits with "
        << "at most one '" << (separator == '.' ? '.' : separator) << "')\n";
    return false;
  }
  const double v = ParseDecimal(text, kAllPlaces, separator);
  const bool low = rule.minExclusive ? v <= rule.min : v < rule.min;
  if (low || v > rule.max) {
    err << "quillet-cli: " << field << ": " << Shown(text) << " must be";
    const bool hasMin = rule.min > -1e300;
    if (hasMin) {
      err << (rule.minExclusive ? " above " : " at least ") << FormatDecimalTrimmed(rule.min, 4);
    }
    if (rule.max < 1e300) {
      err << (hasMin ? " and" : "") << " at most " << FormatDecimalTrimmed(rule.max, 4);
    }
    err << "\n";
    return false;
  }
  *value = v;
  return true;
}

}  // namespace quillet::cli
