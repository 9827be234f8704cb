// The system's one case-insensitive comparison. Symbols, alert keys, market and currency names,
// HTTP header names and file patterns are compared without regard to case over ASCII letters
// only, the same way everywhere and whatever the process's locale says (the C library's tolower
// follows the locale, which may fold other bytes of Windows-1252 text too).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillet {

constexpr char ToLowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char ToUpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ToLowerAscii(c);
  return out;
}
inline std::string ToUpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ToUpperAscii(c);
  return out;
}

constexpr bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return false;
  }
  return true;
}

// <0, 0 or >0 as a is ordered before, with or after b when both are lower-cased, bytes compared
// unsigned (a prefix comes first).
constexpr int CompareNoCase(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t k = 0; k < n; ++k) {
    const auto x = static_cast<unsigned char>(ToLowerAscii(a[k]));
    const auto y = static_cast<unsigned char>(ToLowerAscii(b[k]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

// Where `needle` first occurs in `text` without regard to case; npos when it does not.
constexpr std::size_t FindNoCase(std::string_view text, std::string_view needle) {
  if (needle.size() > text.size()) return std::string_view::npos;
  for (std::size_t i = 0; i + needle.size() <= text.size(); ++i) {
    if (EqualNoCase(text.substr(i, needle.size()), needle)) return i;
  }
  return std::string_view::npos;
}

}  // namespace quillet
