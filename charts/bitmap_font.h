// The charts' one small font: 5 by 7 pixel glyphs on a 6-pixel advance, printable ASCII only
// (anything else shows as '?'). Built in, so a picture drawn without a display has the same
// letters as the screen.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillet {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
inline constexpr int kGlyphAdvance = 6;
// The height a line of chart text takes.
inline constexpr int kChartTextHeight = 9;

// The glyph's columns, left to right; bit 0 is the top row.
const std::uint8_t* GlyphColumns(char c);
int BitmapTextWidth(std::string_view text);

}  // namespace quillet
