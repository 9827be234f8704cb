// The Note page: the stock's free-text note. Leaving the page (for another page, with OK, or with
// Up/Down) stores the text: a new note, a rewritten one, or, for an emptied edit, none. "Delete
// Note" asks and removes the note for good, emptying the edit so nothing brings it back.
#pragma once

#include <QPlainTextEdit>
#include <QPushButton>

#include "device/stock_sheet.h"

namespace quillet {

inline constexpr int IDD_STOCK_NOTE = 3300;

class CStockNote : public CStockPage {
  Q_OBJECT
 public:
  explicit CStockNote(CStockSheet& sheet);
  void LoadFromStock() override;
  bool SaveToStock() override;
  bool SavesWhenLeft() const override { return true; }
  void OnDeleteNote();

 private:
  QPlainTextEdit* edit_;
  QPushButton* delete_;
};

}  // namespace quillet
