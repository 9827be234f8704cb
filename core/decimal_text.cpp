#include "core/decimal_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/codepage.h"

namespace quillet {

double ParseDecimal(std::string_view text, int places, char decimalSeparator) {
  double value = 0.0;
  double placeValue = 0.1;
  bool point = false;
  bool negative = false;
  int decimals = 0;
  const bool rounding = places > 0 && places != kAllPlaces;
  for (std::size_t i = 0; i < text.size() && text[i] != '\0'; ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      int digit = c - '0';
      if (!point) {
        value = value * 10.0 + digit;
        continue;
      }
      ++decimals;
      if (rounding && decimals == places) {
        // Round half up on the next character and read no further: a fee read with 2 places
        // is the fee to the cent, whatever digits follow.
        char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (next >= '5' && next <= '9') ++digit;
        value += digit * placeValue;
        break;
      }
      value += digit * placeValue;
      placeValue *= 0.1;
    } else if (c == '.' || c == decimalSeparator) {
      if (point) break;
      point = true;
    } else if (c == '-') {
      negative = true;
    }
  }
  return negative ? -value : value;
}

bool ReadsWholeDecimal(std::string_view text, char decimalSeparator) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && text[begin] == ' ') ++begin;
  while (end > begin && text[end - 1] == ' ') --end;
  if (begin == end) return true;
  if (text[begin] == '-' || text[begin] == '+') ++begin;
  bool digit = false, point = false;
  for (std::size_t i = begin; i < end; ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if ((c == '.' || c == decimalSeparator) && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digit;
}

std::string FormatDecimal(double value, int places, char suffix, char separator) {
  std::string out;
  if (!std::isfinite(value) || value == 0.0) {
    out = "0";
    if (suffix) out.push_back(suffix);
    return out;
  }
  if (places < 0) places = 0;
  if (places > 15) places = 15;
  double magnitude = std::fabs(value);
  double integerPart;
  std::string fraction;
  if (places > 0) {
    double scale = std::pow(10.0, places);
    double rounded = magnitude + 0.5 / scale;
    integerPart = std::floor(rounded);
    double digits = std::floor((rounded - integerPart) * scale);
    if (digits >= scale) digits = scale - 1;  // guards against a last-bit overshoot
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*.0f", places, digits);
    fraction = buf;
  } else {
    integerPart = std::floor(magnitude);
  }
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.0f", integerPart);
  bool zero = integerPart == 0.0 && fraction.find_first_not_of('0') == std::string::npos;
  if (value < 0 && !zero) out.push_back('-');
  out += buf;
  if (places > 0) {
    out.push_back(separator);
    out += fraction;
  }
  if (suffix) out.push_back(suffix);
  return out;
}

std::string FormatDecimalTrimmed(double value, int places, char suffix, char separator) {
  std::string text = FormatDecimal(value, places, 0, separator);
  if (places > 0 && text.find(separator) != std::string::npos) {
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == separator) text.pop_back();
  }
  if (suffix) text.push_back(suffix);
  return text;
}

std::string ToDisplayText(std::string_view stored, char decimalSeparator) {
  std::string text(stored);
  if (decimalSeparator != '.') {
    if (auto at = text.find('.'); at != std::string::npos) text[at] = decimalSeparator;
  }
  return text;
}

std::string ToStorageText(std::string_view typed, char decimalSeparator) {
  std::string text(typed);
  if (decimalSeparator != '.') {
    if (auto at = text.find(decimalSeparator); at != std::string::npos) text[at] = '.';
  }
  return text;
}

bool DecimalFieldText(double value, int places, bool trimmed, std::string* text) {
  // An overflowed figure has no text that would mean it; "0" would silently replace it.
  if (!std::isfinite(value)) {
    text->clear();
    return false;
  }
  for (int p = places < 0 ? 0 : places; p >= 0; --p) {
    std::string candidate = trimmed ? FormatDecimalTrimmed(value, p) : FormatDecimal(value, p);
    if (candidate.size() < kDecimalTextSize) {
      *text = std::move(candidate);
      return true;
    }
  }
  text->clear();
  return false;
}

bool StoreDecimal(char (&field)[kDecimalTextSize], double value, int places, bool trimmed) {
  std::string text;
  if (!DecimalFieldText(value, places, trimmed, &text)) return false;
  CopyToField(field, text);
  return true;
}

}  // namespace quillet
