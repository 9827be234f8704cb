#include "device/stock_page_note.h"

#include "core/messages.h"
#include "device/resource_ids.h"
#include "platform/codepage.h"

namespace quillet {

CStockNote::CStockNote(CStockSheet& sheet)
    : CStockPage(sheet, IDD_STOCK_NOTE, "Note", kPageNote, 3) {
  setObjectName(QStringLiteral("notePage"));
  edit_ = new QPlainTextEdit(this);
  edit_->setObjectName(QStringLiteral("noteEdit"));
  edit_->setProperty("controlId", 3301);
  edit_->setGeometry(2, 2, 236, 196);
  delete_ = new QPushButton(QStringLiteral("Delete Note"), this);
  delete_->setObjectName(QStringLiteral("deleteNoteButton"));
  delete_->setProperty("controlId", 3302);
  delete_->setGeometry(2, 202, 90, 22);
  connect(delete_, &QPushButton::clicked, this, &CStockNote::OnDeleteNote);
}

void CStockNote::LoadFromStock() {
  StockRecord* r = stock();
  if (!r) return;
  StockNote* note = store().FindNote(r->dwId);
  QString text = note ? QString::fromUtf8(AnsiToUtf8(note->Text())) : QString();
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  edit_->setPlainText(text);
}

bool CStockNote::SaveToStock() {
  StockRecord* r = stock();
  if (!r) return true;
  // The edit holds "\n" line ends; the note keeps the handheld's "\r\n".
  QString text = edit_->toPlainText();
  text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  const std::u16string wide(reinterpret_cast<const char16_t*>(text.utf16()),
                            static_cast<std::size_t>(text.size()));
  StockNote* note = store().FindNote(r->dwId);
  if (note && AnsiToUtf16(note->Text()) == wide) return true;
  if (!note && wide.empty()) return true;
  // An empty edit deletes the note: the user removed its text.
  if (store().SetNote(r->dwId, wide)) sheet().SetNotesChanged();
  return true;
}

void CStockNote::OnDeleteNote() {
  StockRecord* r = stock();
  if (!r || !store().Ask(text::kDeleteNote)) return;
  store().DeleteNote(r->dwId);
  edit_->clear();
  sheet().SetNotesChanged();
}

}  // namespace quillet
