#include "platform/locale_settings.h"

#include <cstdio>

#include "platform/codepage.h"
#include "platform/registry.h"

namespace quillet {
namespace {

// Counts how often the character at s[i] repeats from there.
std::size_t RunLength(std::string_view s, std::size_t i) {
  std::size_t n = 1;
  while (i + n < s.size() && s[i + n] == s[i]) ++n;
  return n;
}

void AppendNumber(std::string& out, int v, std::size_t width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", static_cast<int>(width), v);
  out += buf;
}

constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

template <typename Field>
std::string FormatPicture(std::string_view picture, Field field) {
  std::string out;
  for (std::size_t i = 0; i < picture.size();) {
    char c = picture[i];
    if (c == '\'') {
      std::size_t end = picture.find('\'', i + 1);
      if (end == std::string_view::npos) end = picture.size();
      out.append(picture.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    std::size_t n = RunLength(picture, i);
    if (!field(out, c, n)) out.append(picture.substr(i, n));
    i += n;
  }
  return out;
}

}  // namespace

LocaleSettings ReadLocaleSettings(Registry& registry) {
  LocaleSettings s;
  std::u16string v;
  if (registry.GetString(HKEY_CURRENT_USER, kInternationalKey, u"sDecimal", &v) == 0 &&
      !v.empty()) {
    s.decimalSeparator = static_cast<char>(WideToAnsi(v[0]));
  }
  if (registry.GetString(HKEY_CURRENT_USER, kInternationalKey, u"sThousand", &v) == 0 &&
      !v.empty()) {
    s.thousandsSeparator = static_cast<char>(WideToAnsi(v[0]));
  }
  if (registry.GetString(HKEY_CURRENT_USER, kInternationalKey, u"sShortDate", &v) == 0 &&
      !v.empty()) {
    s.shortDateFormat = Utf16ToAnsi(v);
  }
  if (registry.GetString(HKEY_CURRENT_USER, kInternationalKey, u"sTimeFormat", &v) == 0 &&
      !v.empty()) {
    s.timeFormat = Utf16ToAnsi(v);
  }
  if (registry.GetString(HKEY_CURRENT_USER, kInternationalKey, u"sList", &v) == 0 && !v.empty()) {
    s.listSeparator = static_cast<char>(WideToAnsi(v[0]));
  }
  if (registry.GetString(HKEY_CURRENT_USER, kInternationalKey, u"iDigits", &v) == 0 &&
      v.size() == 1 && v[0] >= u'0' && v[0] <= u'9') {
    s.digits = v[0] - u'0';
  }
  return s;
}

void WriteLocaleSettings(Registry& registry, const LocaleSettings& s) {
  registry.SetString(HKEY_CURRENT_USER, kInternationalKey, u"sDecimal",
                     AnsiToUtf16(std::string(1, s.decimalSeparator)));
  registry.SetString(HKEY_CURRENT_USER, kInternationalKey, u"sThousand",
                     AnsiToUtf16(std::string(1, s.thousandsSeparator)));
  registry.SetString(HKEY_CURRENT_USER, kInternationalKey, u"sShortDate",
                     AnsiToUtf16(s.shortDateFormat));
  registry.SetString(HKEY_CURRENT_USER, kInternationalKey, u"sTimeFormat",
                     AnsiToUtf16(s.timeFormat));
  registry.SetString(HKEY_CURRENT_USER, kInternationalKey, u"sList",
                     AnsiToUtf16(std::string(1, s.listSeparator)));
  registry.SetString(HKEY_CURRENT_USER, kInternationalKey, u"iDigits",
                     std::u16string(1, static_cast<char16_t>(u'0' + s.digits % 10)));
}

std::string FormatDate(std::string_view picture, const LocalTime& date) {
  return FormatPicture(picture, [&](std::string& out, char c, std::size_t n) {
    switch (c) {
      case 'd':
        AppendNumber(out, date.day, n >= 2 ? 2 : 1);
        return true;
      case 'M':
        if (n >= 3) {
          out += kMonths[(date.month + 11) % 12];
        } else {
          AppendNumber(out, date.month, n);
        }
        return true;
      case 'y':
        if (n >= 3) {
          AppendNumber(out, date.year, 4);
        } else {
          AppendNumber(out, date.year % 100, n >= 2 ? 2 : 1);
        }
        return true;
      default:
        return false;
    }
  });
}

std::string FormatTime(std::string_view picture, const LocalTime& t) {
  return FormatPicture(picture, [&](std::string& out, char c, std::size_t n) {
    std::size_t w = n >= 2 ? 2 : 1;
    switch (c) {
      case 'h':
        AppendNumber(out, t.hour % 12 == 0 ? 12 : t.hour % 12, w);
        return true;
      case 'H':
        AppendNumber(out, t.hour, w);
        return true;
      case 'm':
        AppendNumber(out, t.minute, w);
        return true;
      case 's':
        AppendNumber(out, t.second, w);
        return true;
      case 't':
        out += (t.hour < 12 ? "AM" : "PM");
        if (n == 1) out.pop_back();
        return true;
      default:
        return false;
    }
  });
}

}  // namespace quillet
