// The 8-bit ANSI code page (Windows-1252) that records, files and the desktop use, its
// conversion to and from UTF-16 (the user interface, the device registry and the chart
// database), and bounded copies into fixed-width text fields.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace quillet {

// Byte to UTF-16 code unit. The five bytes Windows-1252 leaves undefined map to themselves.
char16_t AnsiToWide(unsigned char c);
// UTF-16 code unit to byte; characters the code page lacks become '?'.
unsigned char WideToAnsi(char16_t c);

std::u16string AnsiToUtf16(std::string_view ansi);
std::string Utf16ToAnsi(std::u16string_view wide);

// UTF-8 (host text: command lines, terminals) to and from the ANSI code page.
std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view wide);

// Copies text into a fixed field of `capacity` characters: at most capacity - 1 are copied, the
// rest of the field is zero-filled, so the field always ends in NUL. Returns the copied length.
std::size_t CopyToField(char* field, std::size_t capacity, std::string_view text);
std::size_t CopyToField(char16_t* field, std::size_t capacity, std::u16string_view text);

template <std::size_t N>
std::size_t CopyToField(char (&field)[N], std::string_view text) {
  return CopyToField(field, N, text);
}
template <std::size_t N>
std::size_t CopyToField(char16_t (&field)[N], std::u16string_view text) {
  return CopyToField(field, N, text);
}

// Reads a fixed field that may lack its terminator: stops at the first NUL or the field's end.
std::string_view FieldText(const char* field, std::size_t capacity);
template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
  return FieldText(field, N);
}

}  // namespace quillet
