// Prices, quantities, fees and market figures live in stock records as short ASCII decimal
// texts (`DecimalText`: 12 bytes, at most 11 characters and a NUL, '.' as the decimal point).
// Arithmetic is done in doubles; these helpers move numbers between the two forms and between
// the stored form and what the user sees with the device's own decimal separator.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillet {

inline constexpr std::size_t kDecimalTextSize = 12;
using DecimalText = char[kDecimalTextSize];

// Place count that reads every digit without rounding (0 does the same).
inline constexpr int kAllPlaces = 255;

// Reads a decimal text whichever separator it holds: '.' or `decimalSeparator` marks the point
// (a second point ends the number), a '-' anywhere makes it negative and every other
// character (thousands separators, "+", blanks, letters) is skipped. With `places` 1..254 the
// number is rounded half up at that many decimals and nothing after them is read. Never fails:
// text without digits is 0.
double ParseDecimal(std::string_view text, int places, char decimalSeparator = '.');
// True when ParseDecimal would read all of `text` as one number: blanks around it, one leading
// '-' or '+', digits with at most one point ('.' or `decimalSeparator`). Empty text (or blanks
// only) is true too: an emptied field is a number field without a value. Text that ParseDecimal
// would partly skip ("12x", "1.2.3", "1,000", "abc") is false, so a user's typing error is
// caught instead of being stored as some other number.
bool ReadsWholeDecimal(std::string_view text, char decimalSeparator = '.');

// Writes a number with exactly `places` decimals, rounded half up (with 0 places the integer
// part, truncated). `suffix` (0 for none) is appended, e.g. '%'. Exactly 0 is written "0" plus
// the suffix; a value that rounds to zero carries no '-'. The separator is '.' unless
// `separator` says otherwise (pass the locale's for display). A value that is not finite is
// written as 0.
std::string FormatDecimal(double value, int places, char suffix = 0, char separator = '.');
// The same with trailing zeros of the fraction, and then a bare separator, stripped
// (12.5000 -> 12.5, 12.0000 -> 12).
std::string FormatDecimalTrimmed(double value, int places, char suffix = 0, char separator = '.');

// Stored text to shown text: the first '.' becomes the locale's separator.
std::string ToDisplayText(std::string_view stored, char decimalSeparator);
// Typed text to stored text: the first locale separator becomes '.'.
std::string ToStorageText(std::string_view typed, char decimalSeparator);

// Writes `value` into a decimal field with '.' as the point, using `places` decimals (trimmed
// when asked) and giving up decimals until the text fits the field's 11 characters. False, and
// the field untouched, when even the integer part does not fit: a number that large must not be
// stored cut, which would silently change it.
bool StoreDecimal(char (&field)[kDecimalTextSize], double value, int places, bool trimmed);
// The text StoreDecimal would write, or "" with false when it does not fit or the value is not
// finite.
bool DecimalFieldText(double value, int places, bool trimmed, std::string* text);

}  // namespace quillet
