// Small in-place helpers the quote parsers share for cutting values out of answer lines. Every
// function works on NUL-terminated ANSI text; the ones that write to an output buffer take its
// capacity and cut what does not fit, always leaving it terminated.
#pragma once

#include <cstddef>

namespace quillet {

// Removes every occurrence of c.
void RemoveChar(char* text, char c);
// Removes c repeatedly from the start and from the end.
void TrimChar(char* text, char c);
// Replaces every occurrence of `from` by `to`.
void ReplaceChar(char* text, char from, char to);

// Finds the text after `start` (or from the beginning when start is null) up to `end`. False when
// a given marker is missing. When out is given: with an end marker the text between is copied
// with leading blanks skipped; without one the whole rest is copied, blanks included.
bool ExtractBetween(const char* text, const char* start, const char* end, char* out,
                    std::size_t outCapacity);
template <std::size_t N>
bool ExtractBetween(const char* text, const char* start, const char* end, char (&out)[N]) {
  return ExtractBetween(text, start, end, out, N);
}

// Copies the first run of number characters (digits, '+', ',', '-', '.', '/', ':', ';', starting
// at a digit, '+' or '-') that lies outside HTML tags to out; out is untouched when there is none.
// Always returns true, so it can sit in a chain of steps.
bool FirstNumber(const char* text, char* out, std::size_t outCapacity);
template <std::size_t N>
bool FirstNumber(const char* text, char (&out)[N]) {
  return FirstNumber(text, out, N);
}

// "1.234,56" -> "1234.56": drops every '.', then turns ',' into '.'.
void EuropeanToPlainNumber(char* text);
// When the text has a '.', drops trailing '0's but keeps two digits after the last '.'.
void TrimTrailingZeros(char* text);

}  // namespace quillet
