// The program's images, painted once at start-up: the seven toolbar images, the five arrow
// images and the note marker of the stock list, the three image buttons under the list and the
// picture of the About box. All are drawn here for this program, in the handheld's small sizes.
#pragma once

#include <QPixmap>

namespace quillet {

// Resource numbers of the images that have one.
inline constexpr int IDB_ABOUT = 139;
inline constexpr int IDB_DELETE = 140;
inline constexpr int IDB_CALC = 141;
inline constexpr int IDB_CHART = 142;
inline constexpr int IDB_ARROW_FIRST = 30008;  // 30008..30012 the arrows 0..4
inline constexpr int IDB_NOTE = 30013;
// The stock sheet: its tab images (one strip, 16 pixels per image, pure green the mask), the
// currency button, and the Info page's buttons New entry, Add shares, Sell and Delete.
inline constexpr int IDB_SHEET_TABS = 132;
inline constexpr int IDB_CURRENCY = 135;
inline constexpr int IDB_NEW_ENTRY = 30014;
inline constexpr int IDB_ADD_SHARES = 30015;
inline constexpr int IDB_SELL = 30016;
inline constexpr int IDB_DELETE_STOCK = 30017;
inline constexpr int kSheetTabImageCount = 7;

// Toolbar images (16 by 16): 0 active list, 1 charts, 2 alerts, 3 Internet update, 4 cash,
// 5 alerts with an active alert, 6 sold list.
inline constexpr int kToolbarImageCount = 7;
QPixmap ToolbarImage(int index);

// The six list images (arrows 0..4 and the note marker), as the stock list loads them.
class CListBitmaps {
 public:
  CListBitmaps();
  // Arrow 0 (no quote), 1 (unchanged), 2 (up), 3 (down), 4 (not updated yet); null otherwise.
  const QPixmap* Arrow(int image) const;
  const QPixmap& NoteMarker() const { return note_; }

 private:
  QPixmap arrows_[5];
  QPixmap note_;
};

// Images of the list window's buttons, the About box and the stock sheet, by resource number.
QPixmap ResourceBitmap(int id);
// Image i of the sheet's tab strip, with its green background made transparent.
QPixmap SheetTabImage(int index);

}  // namespace quillet
