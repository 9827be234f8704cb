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

// Images of the list window's buttons and the About box, by resource number.
QPixmap ResourceBitmap(int id);

}  // namespace quillet
