#include "platform/codepage.h"

#include <algorithm>
#include <cstring>

namespace quillet {
namespace {

// 0x80..0x9F of Windows-1252; 0 marks the bytes the code page leaves undefined.
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes UTF-8 leniently: a malformed sequence yields U+FFFD and decoding goes on.
template <typename Sink>
void DecodeUtf8(std::string_view s, Sink sink) {
  std::size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    char32_t cp = 0xFFFD;
    std::size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
    }
    if (len > 1) {
      if (i + len > s.size()) {
        len = 1;
      } else {
        cp = c & (0xFF >> (len + 1));
        for (std::size_t k = 1; k < len; ++k) {
          unsigned char cc = static_cast<unsigned char>(s[i + k]);
          if ((cc & 0xC0) != 0x80) {
            cp = 0xFFFD;
            len = k;
            break;
          }
          cp = (cp << 6) | (cc & 0x3F);
        }
      }
    }
    sink(cp);
    i += len;
  }
}

}  // namespace

char16_t AnsiToWide(unsigned char c) {
  if (c >= 0x80 && c <= 0x9F) {
    char16_t w = kHigh[c - 0x80];
    return w ? w : c;
  }
  return c;
}

unsigned char WideToAnsi(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] == c) return static_cast<unsigned char>(0x80 + i);
  }
  // The undefined bytes map to themselves both ways.
  if (c >= 0x80 && c <= 0x9F && kHigh[c - 0x80] == 0) return static_cast<unsigned char>(c);
  return '?';
}

std::u16string AnsiToUtf16(std::string_view ansi) {
  std::u16string out;
  out.reserve(ansi.size());
  for (char c : ansi) out.push_back(AnsiToWide(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf16ToAnsi(std::u16string_view wide) {
  std::string out;
  out.reserve(wide.size());
  for (char16_t c : wide) out.push_back(static_cast<char>(WideToAnsi(c)));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view wide) {
  std::string out;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t cp = wide[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  DecodeUtf8(utf8, [&](char32_t cp) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  });
  return out;
}

std::string AnsiToUtf8(std::string_view ansi) { return Utf16ToUtf8(AnsiToUtf16(ansi)); }

std::string Utf8ToAnsi(std::string_view utf8) { return Utf16ToAnsi(Utf8ToUtf16(utf8)); }

std::size_t CopyToField(char* field, std::size_t capacity, std::string_view text) {
  if (capacity == 0) return 0;
  std::size_t n = std::min(text.size(), capacity - 1);
  if (n) std::memcpy(field, text.data(), n);
  std::memset(field + n, 0, capacity - n);
  return n;
}

std::size_t CopyToField(char16_t* field, std::size_t capacity, std::u16string_view text) {
  if (capacity == 0) return 0;
  std::size_t n = std::min(text.size(), capacity - 1);
  std::copy_n(text.data(), n, field);
  std::fill(field + n, field + capacity, u'\0');
  return n;
}

std::string_view FieldText(const char* field, std::size_t capacity) {
  const void* nul = std::memchr(field, 0, capacity);
  std::size_t n = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : capacity;
  return std::string_view(field, n);
}

}  // namespace quillet
