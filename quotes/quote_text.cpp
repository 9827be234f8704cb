#include "quotes/quote_text.h"

#include <cstring>

namespace quillet {

namespace {

void CopyCut(char* out, std::size_t capacity, const char* from, std::size_t length) {
  if (out == nullptr || capacity == 0) return;
  if (length > capacity - 1) length = capacity - 1;
  std::memmove(out, from, length);
  out[length] = '\0';
}

bool IsNumberStart(char c) { return (c >= '0' && c <= '9') || c == '+' || c == '-'; }

bool IsNumberChar(char c) {
  return (c >= '0' && c <= '9') || c == '+' || c == ',' || c == '-' || c == '.' || c == '/' ||
         c == ':' || c == ';';
}

}  // namespace

void RemoveChar(char* text, char c) {
  if (text == nullptr) return;
  char* to = text;
  for (const char* from = text; *from != '\0'; ++from) {
    if (*from != c) *to++ = *from;
  }
  *to = '\0';
}

void TrimChar(char* text, char c) {
  if (text == nullptr || c == '\0') return;
  std::size_t length = std::strlen(text);
  while (length > 0 && text[length - 1] == c) text[--length] = '\0';
  std::size_t lead = 0;
  while (lead < length && text[lead] == c) ++lead;
  if (lead > 0) std::memmove(text, text + lead, length - lead + 1);
}

void ReplaceChar(char* text, char from, char to) {
  if (text == nullptr || from == '\0') return;
  for (char* p = text; *p != '\0'; ++p) {
    if (*p == from) *p = to;
  }
}

bool ExtractBetween(const char* text, const char* start, const char* end, char* out,
                    std::size_t outCapacity) {
  if (text == nullptr) return false;
  const char* scan = text;
  if (start != nullptr) {
    const char* found = std::strstr(text, start);
    if (found == nullptr) return false;
    scan = found + std::strlen(start);
  }
  if (end == nullptr) {
    CopyCut(out, outCapacity, scan, std::strlen(scan));
    return true;
  }
  const char* stop = std::strstr(scan, end);
  if (stop == nullptr) return false;
  while (scan < stop && *scan == ' ') ++scan;
  CopyCut(out, outCapacity, scan, static_cast<std::size_t>(stop - scan));
  return true;
}

bool FirstNumber(const char* text, char* out, std::size_t outCapacity) {
  if (text == nullptr) return true;
  bool inTag = false;
  for (const char* p = text; *p != '\0'; ++p) {
    if (inTag) {
      if (*p == '>') inTag = false;
      continue;
    }
    if (*p == '<') {
      inTag = true;
      continue;
    }
    if (IsNumberStart(*p)) {
      const char* runEnd = p;
      while (*runEnd != '\0' && IsNumberChar(*runEnd)) ++runEnd;
      CopyCut(out, outCapacity, p, static_cast<std::size_t>(runEnd - p));
      return true;
    }
  }
  return true;
}

void EuropeanToPlainNumber(char* text) {
  RemoveChar(text, '.');
  ReplaceChar(text, ',', '.');
}

void TrimTrailingZeros(char* text) {
  if (text == nullptr) return;
  const char* point = std::strrchr(text, '.');
  if (point == nullptr) return;
  std::size_t keep = static_cast<std::size_t>(point - text) + 3;  // the point and two digits
  std::size_t length = std::strlen(text);
  while (length > keep && text[length - 1] == '0') text[--length] = '\0';
}

}  // namespace quillet
