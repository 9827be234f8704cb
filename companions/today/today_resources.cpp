#include "companions/today/today_resources.h"

#include <array>

namespace quillet {
namespace {

// A warning sign: black outline and mark on yellow; '.' is white, the transparent colour.
constexpr std::array<const char*, 11> kAlertRows = {
    "......K......", ".....KYK.....", ".....KYK.....", "....KYKYK....",
    "....KYKYK....", "...KYYKYYK...", "...KYYKYYK...", "..KYYYYYYYK..",
    "..KYYYKYYYK..", ".KYYYYYYYYYK.", "KKKKKKKKKKKKK"};

Bitmap MakeAlertBitmap() {
  Bitmap b;
  b.width = 13;
  b.height = static_cast<int>(kAlertRows.size());
  for (const char* row : kAlertRows) {
    for (int x = 0; x < b.width; ++x) {
      switch (row[x]) {
        case 'K':
          b.pixels.push_back(RGB(0, 0, 0));
          break;
        case 'Y':
          b.pixels.push_back(RGB(255, 255, 0));
          break;
        default:
          b.pixels.push_back(RGB(255, 255, 255));
          break;
      }
    }
  }
  return b;
}

}  // namespace

const Bitmap* LoadTodayBitmap(HINSTANCE instance, UINT id) {
  if (!instance || id != IDB_ALERT) return nullptr;
  static const Bitmap alert = MakeAlertBitmap();
  return &alert;
}

std::u16string LoadTodayString(UINT id, std::size_t capacity) {
  std::u16string text;
  if (id == IDS_ALERTS_ACTIVE) {
    text = u"1 or more active alerts";
  } else if (id == IDS_NO_ALERTS) {
    text = u"No alerts";
  }
  if (capacity == 0) return {};
  if (text.size() > capacity - 1) text.resize(capacity - 1);
  return text;
}

}  // namespace quillet
