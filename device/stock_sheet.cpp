#include "device/stock_sheet.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>
#include <algorithm>

#include "core/alert_evaluation.h"
#include "core/data_files.h"
#include "core/messages.h"
#include "core/portfolio_math.h"
#include "core/stock_edits.h"
#include "device/bitmaps.h"
#include "device/main_frame.h"
#include "device/quillet_app.h"
#include "device/resource_ids.h"
#include "device/stock_list_view.h"
#include "device/stock_page_alert.h"
#include "device/stock_page_calc.h"
#include "device/stock_page_chart.h"
#include "device/stock_page_info.h"
#include "device/stock_page_market.h"
#include "device/stock_page_note.h"
#include "device/stock_page_sell.h"
#include "device/wait_cursor.h"
#include "platform/message_box.h"

namespace quillet {

// ---- CStockPage ---------------------------------------------------------------------------------

CStockPage::CStockPage(CStockSheet& sheet, int dialogId, const char* title, int pageCode,
                       int tabImage)
    : QWidget(nullptr),
      sheet_(sheet),
      dialogId_(dialogId),
      title_(QString::fromLatin1(title)),
      pageCode_(pageCode),
      tabImage_(tabImage) {}

PortfolioStore& CStockPage::store() { return sheet_.store(); }
StockRecord* CStockPage::stock() { return sheet_.stock(); }

bool CStockPage::OnCommand(UINT id) { return CModalDialog::ClickControl(this, id); }

QFont CStockPage::HeadingFont() {
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(14);
  f.setWeight(QFont::Bold);
  return f;
}

// ---- CStockSheet --------------------------------------------------------------------------------

CStockSheet::CStockSheet(QWidget* parent, CQuilletApp& app, DWORD stockId, int pageCode,
                         bool newStock, StepSelection step)
    : CModalDialog(parent, 0),
      app_(app),
      stockId_(stockId),
      newStockId_(newStock ? stockId : 0),
      step_(std::move(step)) {
  setObjectName(QStringLiteral("stockSheet"));
  setWindowTitle(QString::fromLatin1(text::kCaption));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* top = new QHBoxLayout();
  top->setContentsMargins(4, 2, 2, 2);
  auto* caption = new QLabel(QString::fromLatin1(text::kCaption), this);
  caption->setObjectName(QStringLiteral("sheetCaption"));
  QFont bold = caption->font();
  bold.setBold(true);
  caption->setFont(bold);
  top->addWidget(caption);
  top->addStretch();
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  SetControlId(ok, IDOK, "okButton");
  ok->setFixedSize(44, 20);
  connect(ok, &QPushButton::clicked, this, &CStockSheet::accept);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  SetControlId(cancel, IDCANCEL, "cancelButton");
  cancel->setFixedSize(50, 20);
  connect(cancel, &QPushButton::clicked, this, &CStockSheet::reject);
  top->addWidget(ok);
  top->addWidget(cancel);
  layout->addLayout(top);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("sheetTabs"));
  // The handheld's property sheets carry their tabs at the bottom of the screen.
  tabs_->setTabPosition(QTabWidget::South);
  tabs_->setIconSize(QSize(16, 16));
  tabs_->setUsesScrollButtons(true);
  tabs_->tabBar()->setExpanding(false);
  // Small tabs, so that the pages' tabs share the screen's width as the handheld's do.
  tabs_->tabBar()->setStyleSheet(
      QStringLiteral("QTabBar::tab { padding: 2px 1px; margin: 0px; font-size: 10px; }"));
  layout->addWidget(tabs_);

  const bool sold = stock() && stock()->IsSold();
  AddPage(std::make_unique<CStockInfo>(*this));
  AddPage(std::make_unique<CStockMarket>(*this));
  AddPage(std::make_unique<CStockCalc>(*this));
  AddPage(std::make_unique<CStockNote>(*this));
  AddPage(std::make_unique<CStockChart>(*this));
  AddPage(std::make_unique<CStockAlert>(*this));
  if (sold) AddPage(std::make_unique<CStockSell>(*this));
  ShowPageForCode(pageCode);
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
    // Pages that keep their edits when left do so now, before another page shows the stock.
    if (shownIndex_ >= 0 && shownIndex_ < static_cast<int>(pages_.size()) && shownIndex_ != index &&
        pages_[static_cast<std::size_t>(shownIndex_)]->SavesWhenLeft()) {
      pages_[static_cast<std::size_t>(shownIndex_)]->SaveToStock();
    }
    shownIndex_ = index;
  });
  qApp->installEventFilter(this);
}

CStockSheet::~CStockSheet() { qApp->removeEventFilter(this); }

PortfolioStore& CStockSheet::store() { return *app_.store(); }

StockRecord* CStockSheet::stock() {
  PortfolioStore* s = app_.store();
  return s ? s->FindStock(stockId_) : nullptr;
}

void CStockSheet::AddPage(std::unique_ptr<CStockPage> page) {
  std::size_t at = 0;
  while (at < pages_.size() && pages_[at]->tabImage() < page->tabImage()) ++at;
  CStockPage* raw = page.release();  // the tab widget owns its pages from here on
  raw->setObjectName(raw->objectName().isEmpty() ? raw->title() : raw->objectName());
  pages_.insert(pages_.begin() + static_cast<std::ptrdiff_t>(at), raw);
  tabs_->insertTab(static_cast<int>(at), raw, QIcon(SheetTabImage(raw->tabImage())), raw->title());
  if (shownIndex_ >= static_cast<int>(at)) ++shownIndex_;
  if (stock()) raw->LoadFromStock();
}

CStockPage* CStockSheet::PageWithCode(int pageCode) const {
  for (CStockPage* p : pages_) {
    if (p->pageCode() == pageCode) return p;
  }
  return nullptr;
}

CStockPage* CStockSheet::CurrentPage() const {
  return qobject_cast<CStockPage*>(tabs_->currentWidget());
}

void CStockSheet::ShowPageForCode(int pageCode) {
  CStockPage* page = nullptr;
  switch (pageCode) {
    case kPageMarket:
    case kPageNote:
    case kPageCalc:
    case kPageChart:
    case kPageAlert:
    case kPageInfo:
      page = PageWithCode(pageCode);
      break;
    default:
      break;
  }
  if (!page) page = PageWithCode(-1);  // the Sell page, which only a sold stock has
  if (!page) page = PageWithCode(kPageInfo);
  if (page) tabs_->setCurrentWidget(page);
  shownIndex_ = tabs_->currentIndex();
}

bool CStockSheet::SaveAllPages() {
  if (!stock()) return true;
  CStockPage* bad = nullptr;
  for (CStockPage* p : pages_) {
    if (!p->SaveToStock() && !bad) bad = p;
  }
  if (bad) {
    shownIndex_ = tabs_->indexOf(bad);
    tabs_->setCurrentWidget(bad);
  }
  return bad == nullptr;
}

void CStockSheet::ReloadAllPages() {
  if (!stock()) return;
  for (CStockPage* p : pages_) p->LoadFromStock();
}

void CStockSheet::SwitchTo(DWORD stockId) {
  stockId_ = stockId;
  ReloadAllPages();
}

void CStockSheet::StockInfoSaved() {
  StockRecord* r = stock();
  if (paid_ || !r || stockId_ != newStockId_) return;
  // Once per new stock, however often the page is stored before the sheet closes (New entry,
  // Add shares and Sell store it first).
  paid_ = true;
  paidFrom_ = r->ucPortfolio;
  paidAmount_ = PayForNewStock(store(), *r);
  if (paidAmount_ != 0) SetModified();
}

bool CStockSheet::ArrowKeysOn() {
  PortfolioStore* s = app_.store();
  return s && (s->ucPrefFlags & kPrefMapArrowKeys) && app_.frame() &&
         app_.frame()->list()->RowCount() > 0;
}

bool CStockSheet::OnArrowKey(int key) {
  if (!ArrowKeysOn()) return false;
  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
      const int count = tabs_->count();
      const int at = tabs_->currentIndex() + (key == Qt::Key_Left ? -1 : 1);
      if (at >= 0 && at < count) tabs_->setCurrentIndex(at);
      return true;
    }
    case Qt::Key_Up:
    case Qt::Key_Down: {
      // A sheet made for a new stock has no place in the list to move from.
      if (isNewStock() || !step_) return true;
      // Every page goes into the stock it shows before any page shows another one; a field
      // that cannot be stored keeps the sheet where it is.
      if (!SaveAllPages()) return true;
      const DWORD next = step_(stockId_, key == Qt::Key_Up ? -1 : 1);
      if (next != 0 && next != stockId_ && store().FindStock(next)) SwitchTo(next);
      return true;
    }
    default:
      return false;
  }
}

bool CStockSheet::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  // Only keys meant for this sheet's own window: not those of a dialog opened over it or of a
  // drop-down list's popup.
  if (!widget || (widget != this && !isAncestorOf(widget))) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  return OnArrowKey(key->key());
}

void CStockSheet::EndWith(int mode) {
  resultMode_ = mode;
  QDialog::done(1);
}

void CStockSheet::accept() {
  if (!SaveAllPages()) return;
  QDialog::accept();
}

void CStockSheet::reject() {
  if (newStockId_ != 0 && store().FindStock(newStockId_)) {
    DiscardNewStock(store(), newStockId_, paidFrom_, paidAmount_);
    SetModified();
    // Its alerts would name a stock that was never made.
    const std::size_t before = store().alerts.size();
    std::erase_if(store().alerts, [this](const std::unique_ptr<StockAlert>& a) {
      return std::find(addedAlerts_.begin(), addedAlerts_.end(), a.get()) != addedAlerts_.end();
    });
    if (store().alerts.size() != before) SetAlertsChanged();
  }
  QDialog::reject();
}

void CStockSheet::CloseForSync() {
  // What cannot be stored keeps its old value; nobody is there to correct it.
  SaveAllPages();
  QDialog::done(kCloseForSyncResult);
}

bool CStockSheet::OnCommand(UINT id) {
  if (id == IDOK || id == IDCANCEL) return CModalDialog::OnCommand(id);
  CStockPage* page = CurrentPage();
  return page && page->OnCommand(id);
}

// ---- After the sheet ----------------------------------------------------------------------------

void FinishStockSheet(CQuilletApp& app, CStockListView& list, CStockSheet& sheet) {
  // Closing for a synchronisation: the end sequence saves everything.
  if (app.closing() || !app.store()) return;
  PortfolioStore& s = *app.store();
  StockRecord* r = s.FindStock(sheet.stockId());
  if (sheet.resultMode() == kSheetDeleteRequested) {
    // The question "Delete this stock?" was asked on the Info page; the chart and alert
    // questions come with the deletion, which saves the stock file.
    if (r) {
      s.DeleteStock(r);
      list.RefillList(nullptr);
    }
    return;
  }
  const bool changed = sheet.modified() || sheet.resultMode() != kSheetEdited;
  if (changed && s.bAutoSort) SortStocks(s);
  // The stock to select: after a partial sale the lot that stays keeps the sheet's id, after a
  // full sale the sold record does; otherwise the stock the sheet showed last.
  if (changed || sheet.isNewStock()) {
    CWaitCursor wait;
    list.RefillList(r);
    SaveStocks(s);
  } else if (r) {
    list.SelectStock(r);
  }
  if (sheet.notesChanged()) {
    SaveNotes(s);
    list.RedrawRows();
  }
  if (sheet.alertsChanged()) FinishAlertEdits(app, list);
}

void FinishAlertEdits(CQuilletApp& app, CStockListView& list) {
  if (app.closing() || !app.store()) return;
  PortfolioStore& s = *app.store();
  // The button and the Today item show the alerts as they are now, not as the last update left
  // them; the evaluation's symbol order gives way to the user's again.
  StockRecord* selected = list.SelectedStock();
  s.bAlertActive = CheckAlerts(s, false) ? 1 : 0;
  SortStocks(s);
  SaveAlerts(s);
  if (app.frame()) app.frame()->UpdateAlertButton(s.bAlertActive != 0);
  list.RefillList(selected);
}

}  // namespace quillet
