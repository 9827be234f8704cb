// The Today item's resources: bitmap 101 (13 by 11, 16 colours, white shows the background
// through) and strings 200 and 201.
#pragma once

#include <cstddef>
#include <string>

#include "platform/gdi.h"
#include "platform/linux/module.h"

namespace quillet {

inline constexpr UINT IDB_ALERT = 101;
inline constexpr UINT IDS_ALERTS_ACTIVE = 200;
inline constexpr UINT IDS_NO_ALERTS = 201;

// The bitmap of that number from the item's module, or null when the module is unknown or has
// no such bitmap.
const Bitmap* LoadTodayBitmap(HINSTANCE instance, UINT id);
// The string of that number cut to fit a buffer of `capacity` characters with its terminator;
// empty when there is none.
std::u16string LoadTodayString(UINT id, std::size_t capacity);

}  // namespace quillet
