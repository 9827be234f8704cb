// The stock sheet: everything about one stock, page by page (Info, Market, Calc, Note and, for a
// sold stock, Sell; the Chart page joins through AddPage). It runs modally over the
// list, opened on an existing stock or on a new one, and tells the list afterwards what
// happened (the result mode) so that the list deletes, sorts, selects, refills and saves.
//
// The sheet holds its stock by id, never by position: the stock array can be re-sorted under it
// (a sale, a copy) and the edits still go into the stock the user is looking at.
#pragma once

#include <QTabWidget>
#include <QToolButton>
#include <functional>
#include <memory>
#include <vector>

#include "core/portfolio_store.h"
#include "device/modal_dialog.h"

namespace quillet {

class CQuilletApp;
class CStockSheet;
class CStockListView;

// Page codes that choose the page shown first (the tap-and-hold commands and list taps).
inline constexpr int kPageCodeDefault = 0;  // Sell for a sold stock, else Info

// The result modes: what the list does once the sheet is closed.
enum SheetResultMode : int {
  kSheetEdited = 0,
  kSheetSharesAdded = 1,
  kSheetDeleteRequested = 2,
  kSheetNewEntry = 3,
  kSheetSold = 4,
};

// A page of the sheet. Pages show the sheet's stock (LoadFromStock) and store their edits into it
// (SaveToStock) when the sheet is confirmed, when Up or Down moves to another stock and, for the
// pages that say so, when they are left for another page.
class CStockPage : public QWidget {
  Q_OBJECT
 public:
  // `pageCode` as OpenStockSheet names pages (kPageInfo ...), -1 for the Sell page; `tabImage`
  // the page's place in the tab order and its image in the tab strip.
  CStockPage(CStockSheet& sheet, int dialogId, const char* title, int pageCode, int tabImage);
  int dialogId() const { return dialogId_; }
  QString title() const { return title_; }
  int pageCode() const { return pageCode_; }
  int tabImage() const { return tabImage_; }

  virtual void LoadFromStock() = 0;
  // False when a field could not be stored; it is then marked and keeps the stock's value.
  virtual bool SaveToStock() { return true; }
  // True for pages that store their edits whenever they are left for another page.
  virtual bool SavesWhenLeft() const { return false; }
  // A command sent to the page: presses the button with that control id.
  virtual bool OnCommand(UINT id);

 protected:
  CStockSheet& sheet() { return sheet_; }
  PortfolioStore& store();
  StockRecord* stock();
  // A label in the handheld's bold heading font (Arial 14, weight 700).
  static QFont HeadingFont();

 private:
  CStockSheet& sheet_;
  int dialogId_;
  QString title_;
  int pageCode_;
  int tabImage_;
};

class CStockSheet : public CModalDialog {
  Q_OBJECT
 public:
  // Moves the list's selection from stock `id` one row in `direction` (-1 up, +1 down), not
  // past either end; returns the id of the stock selected then, 0 when `id` is not listed.
  using StepSelection = std::function<DWORD(DWORD id, int direction)>;

  // `stockId` names an existing stock; `newStock` when New Stock just made it for this sheet.
  CStockSheet(QWidget* parent, CQuilletApp& app, DWORD stockId, int pageCode, bool newStock,
              StepSelection step);
  ~CStockSheet() override;

  CQuilletApp& app() { return app_; }
  PortfolioStore& store();
  DWORD stockId() const { return stockId_; }
  // The stock being edited; null when it no longer exists.
  StockRecord* stock();
  bool isNewStock() const { return newStockId_ != 0; }

  bool modified() const { return modified_; }
  void SetModified() { modified_ = true; }
  bool notesChanged() const { return notesChanged_; }
  void SetNotesChanged() { notesChanged_ = true; }
  // The Alert page added, changed or deleted an alert: the evaluation runs again afterwards.
  bool alertsChanged() const { return alertsChanged_; }
  void SetAlertsChanged() { alertsChanged_ = true; }
  // An alert the Alert page added: Cancel on a new stock takes it away with the stock.
  void AlertAdded(const StockAlert* alert) { addedAlerts_.push_back(alert); }
  int resultMode() const { return resultMode_; }
  void SetResultMode(int mode) { resultMode_ = mode; }

  // Adds a page in its place in the tab order (the Chart and Alert pages come this way).
  void AddPage(std::unique_ptr<CStockPage> page);
  CStockPage* PageWithCode(int pageCode) const;
  CStockPage* CurrentPage() const;
  QTabWidget* tabs() const { return tabs_; }
  // Shows the page a page code names (a missing page: Sell for a sold stock, else Info).
  void ShowPageForCode(int pageCode);

  // Stores every page's edits into the stock; false (and that page shown) when a field could
  // not be stored.
  bool SaveAllPages();
  // Makes another stock the sheet's and shows it on every page.
  void SwitchTo(DWORD stockId);
  void ReloadAllPages();

  // Called after the Info page stored the buy details of the stock cleanly: a new stock is paid
  // from its portfolio's cash, once.
  void StockInfoSaved();

  // Left/Right change page; Up/Down store every page and move to the previous or next stock of
  // the list. False for other keys or when arrow keys are not the program's.
  bool OnArrowKey(int key);

  // Ends with a result mode, storing nothing more (after a sale or a delete request, the pages
  // no longer show what the stock is).
  void EndWith(int mode);

  // OK: every page stored; the sheet stays open when a field could not be stored.
  void accept() override;
  // Cancel: the pages' edits are dropped and a stock made for this sheet is removed.
  void reject() override;
  // The desktop's close request: as OK, storing what can be stored, and always ending.
  void CloseForSync() override;
  // IDOK, IDCANCEL, or a control of the page shown.
  bool OnCommand(UINT id) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool ArrowKeysOn();

  CQuilletApp& app_;
  DWORD stockId_;
  DWORD newStockId_ = 0;
  StepSelection step_;
  QTabWidget* tabs_ = nullptr;
  std::vector<CStockPage*> pages_;
  int shownIndex_ = -1;
  bool modified_ = false;
  bool notesChanged_ = false;
  bool alertsChanged_ = false;
  std::vector<const StockAlert*> addedAlerts_;
  int resultMode_ = kSheetEdited;
  bool paid_ = false;
  int paidFrom_ = -1;
  double paidAmount_ = 0;
};

// What the list does after the sheet: the delete procedure, sorting, selecting, refilling and
// saving as the result mode and the changes ask.
void FinishStockSheet(CQuilletApp& app, CStockListView& list, CStockSheet& sheet);
// After alerts were edited (the sheet's Alert page, the Alerts view): evaluates them again,
// shows the result on the Alerts button and in the registry, saves the alert file and refills
// the list in the user's order with the same stock selected.
void FinishAlertEdits(CQuilletApp& app, CStockListView& list);

}  // namespace quillet
