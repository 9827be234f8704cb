// Drawing, as a library of the handheld draws into a window: a device context with a font, a
// text colour, transparent text and bitmaps with a transparent colour. A host that shows windows
// (the Today screen) implements DeviceContext over its own painter; tests record the calls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace quillet {

using COLORREF = DWORD;  // 0x00BBGGRR
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
         (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }

struct RECT {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
  bool operator==(const RECT&) const = default;
};

inline constexpr LONG FW_NORMAL = 400;
inline constexpr LONG FW_BOLD = 700;

// A font's description. A negative height is the character height in pixels.
struct LOGFONT {
  LONG lfHeight = 0;
  LONG lfWeight = FW_NORMAL;
  std::u16string lfFaceName;
  bool operator==(const LOGFONT&) const = default;
};

// A bitmap as loaded from a library's resources: rows of colours, top row first.
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> pixels;  // width * height
};

// DrawText formats.
inline constexpr UINT DT_LEFT = 0x0000;
inline constexpr UINT DT_VCENTER = 0x0004;
inline constexpr UINT DT_SINGLELINE = 0x0020;
inline constexpr UINT DT_NOPREFIX = 0x0800;

inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

inline constexpr int LOGPIXELSY = 90;

class DeviceContext {
 public:
  virtual ~DeviceContext() = default;
  // GetDeviceCaps: the screen's vertical pixels per inch for LOGPIXELSY.
  virtual int GetDeviceCaps(int index) = 0;
  // The system font's description.
  virtual LOGFONT SystemFont() = 0;
  // Selects a font made from the description; returns the one selected before.
  virtual LOGFONT SelectFont(const LOGFONT& font) = 0;
  // Returns the colour or mode set before.
  virtual COLORREF SetTextColor(COLORREF color) = 0;
  virtual int SetBkMode(int mode) = 0;
  // Draws the bitmap with its top-left corner at (x, y), leaving out the pixels of the
  // transparent colour.
  virtual void TransparentBlt(int x, int y, const Bitmap& bitmap, COLORREF transparent) = 0;
  virtual void DrawText(std::u16string_view text, const RECT& rect, UINT format) = 0;
  virtual void FillRect(const RECT& rect, COLORREF color) = 0;
};

}  // namespace quillet
