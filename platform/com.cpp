#include "platform/com.h"

#include <cstdio>

namespace quillet {

std::string GuidToString(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.Data1), static_cast<unsigned>(g.Data2),
                static_cast<unsigned>(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hex digits at `pos`; false when any is not one.
bool ReadHex(std::string_view text, std::size_t pos, int digits, std::uint32_t* value) {
  std::uint32_t v = 0;
  for (int i = 0; i < digits; ++i) {
    const int d = HexDigit(text[pos + static_cast<std::size_t>(i)]);
    if (d < 0) return false;
    v = (v << 4) | static_cast<std::uint32_t>(d);
  }
  *value = v;
  return true;
}

}  // namespace

std::optional<GUID> GuidFromString(std::string_view text) {
  // {8-4-4-4-12}
  if (text.size() != 38 || text.front() != '{' || text.back() != '}' || text[9] != '-' ||
      text[14] != '-' || text[19] != '-' || text[24] != '-') {
    return std::nullopt;
  }
  GUID g;
  std::uint32_t v = 0;
  if (!ReadHex(text, 1, 8, &v)) return std::nullopt;
  g.Data1 = v;
  if (!ReadHex(text, 10, 4, &v)) return std::nullopt;
  g.Data2 = static_cast<WORD>(v);
  if (!ReadHex(text, 15, 4, &v)) return std::nullopt;
  g.Data3 = static_cast<WORD>(v);
  static constexpr std::size_t kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(text, kBytePos[i], 2, &v)) return std::nullopt;
    g.Data4[i] = static_cast<BYTE>(v);
  }
  return g;
}

}  // namespace quillet
