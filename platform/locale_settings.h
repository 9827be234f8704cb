// The device's number and date conventions: the decimal and thousands separators and the short
// date format, read from the international settings in its registry
// (HKEY_CURRENT_USER\Control Panel\International: "sDecimal", "sThousand", "sShortDate",
// "sList", "iDigits"). Missing values give ".", ",", month/day/year ("M/d/yyyy"), "," and 2.
#pragma once

#include <string>
#include <string_view>

#include "platform/clock.h"

namespace quillet {

class Registry;

inline constexpr std::u16string_view kInternationalKey = u"Control Panel\\International";

struct LocaleSettings {
  char decimalSeparator = '.';
  char thousandsSeparator = ',';
  std::string shortDateFormat = "M/d/yyyy";
  std::string timeFormat = "h:mm:ss tt";
  // What separates the items of a list (the cells of a CSV file the user opens).
  char listSeparator = ',';
  // Decimals of an amount; 0 to 9.
  int digits = 2;
};

// Reads the settings; the separators are the first character of the stored texts, converted to
// the ANSI code page.
LocaleSettings ReadLocaleSettings(Registry& registry);
// Stores the settings (for tests and for `quillet-cli`).
void WriteLocaleSettings(Registry& registry, const LocaleSettings& settings);

// Formats a date with a short date picture: d, dd, M, MM, MMM, yy, yyyy; quoted text ('...')
// and every other character are copied as they stand.
std::string FormatDate(std::string_view picture, const LocalTime& date);
// Formats a time with a picture: h, hh (12-hour), H, HH, m, mm, s, ss, t, tt.
std::string FormatTime(std::string_view picture, const LocalTime& time);

}  // namespace quillet
