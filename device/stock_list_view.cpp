#include "device/stock_list_view.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <algorithm>
#include <cctype>

#include "core/portfolio_math.h"
#include "core/portfolio_snapshot.h"
#include "core/stock_list_texts.h"
#include "core/string_table.h"
#include "device/resource_ids.h"
#include "device/wait_cursor.h"
#include "platform/ascii.h"
#include "platform/codepage.h"

namespace quillet {
namespace {

constexpr int kRowHeight = 16;
constexpr int kColumnCount = 5;
// Each column's choice list; column 4 (the note marker) has none.
constexpr UINT kColumnChoices[4] = {strings::IDS_COLUMN_TEXT, strings::IDS_COLUMN_DATA,
                                    strings::IDS_COLUMN_VALUE, strings::IDS_ARROW_MODES};
// How long type-ahead keys keep adding to one search.
constexpr std::int64_t kSearchSeconds = 3;
constexpr std::size_t kMaxSearchLength = 7;
// A press held this long without moving more than the slop is a tap-and-hold.
constexpr int kHoldMs = 600;
constexpr int kHoldSlop = 6;

QString FromAnsi(std::string_view ansi) { return QString::fromStdString(AnsiToUtf8(ansi)); }

int CurrentChoice(const PortfolioStore& s, int column) {
  switch (column) {
    case 0:
      return s.ucColumnText;
    case 1:
      return s.ucColumnData;
    case 2:
      return s.ucColumnValue;
    default:
      return (s.ucPrefFlags & kPrefArrowsShowToday) ? 0 : 1;
  }
}

}  // namespace

QString FitCellText(const QFontMetrics& metrics, const QString& text, int width) {
  const int room = width - 4;
  if (metrics.horizontalAdvance(text) <= room) return text;
  static const QString kDots = QStringLiteral("...");
  QString cut = text;
  while (!cut.isEmpty() && metrics.horizontalAdvance(cut + kDots) > room) cut.chop(1);
  return cut + kDots;
}

// ---- The list control -----------------------------------------------------------------------

int CStockRowModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CStockRowModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant CStockRowModel::data(const QModelIndex& index, int role) const {
  // Every row has the handheld's fixed height; the texts are drawn by the control.
  if (index.isValid() && role == Qt::SizeHintRole) return QSize(0, kRowHeight);
  return {};
}

QVariant CStockRowModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
      section < headers_.size()) {
    return headers_.at(section);
  }
  return {};
}

void CStockRowModel::SetRows(std::vector<StockRecord*> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

void CStockRowModel::SetHeaders(const QStringList& titles) {
  headers_ = titles;
  emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

StockRecord* CStockRowModel::At(int row) const {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return nullptr;
  return rows_[static_cast<std::size_t>(row)];
}

int CStockRowModel::RowOf(const StockRecord* record) const {
  auto it = std::find(rows_.begin(), rows_.end(), record);
  return it == rows_.end() ? -1 : static_cast<int>(it - rows_.begin());
}

CStockListCtrl::CStockListCtrl(CStockListView* view)
    : QTreeView(view), view_(view), rows_(new CStockRowModel(this)) {
  setObjectName(QStringLiteral("stockList"));
  setModel(rows_);
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setAllColumnsShowFocus(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setIndentation(0);
  header()->setSectionsClickable(true);
  header()->setSectionsMovable(false);
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(QHeaderView::Fixed);
  header()->setMinimumSectionSize(8);
  header()->setFixedHeight(kRowHeight + 2);
  connect(header(), &QHeaderView::sectionClicked, view,
          [view](int column) { view->OnHeaderClicked(column); });
  holdTimer_.setSingleShot(true);
  holdTimer_.setInterval(kHoldMs);
  connect(&holdTimer_, &QTimer::timeout, this, [this] {
    QModelIndex index = indexAt(holdAt_);
    if (!index.isValid()) return;
    holdFired_ = true;
    view_->OnRowHold(index.row(), viewport()->mapToGlobal(holdAt_));
  });
}

void CStockListCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  PortfolioStore* store = view_->store();
  StockRecord* r = StockAt(index.row());
  if (!store || !r) return;
  const bool selected = selectionModel()->isSelected(index);
  const QPalette& pal = option.palette;
  const QColor fg = selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text);
  const QColor bg = selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base);
  const QRect row = option.rect;
  painter->save();
  painter->fillRect(row, bg);
  painter->setPen(fg);
  const StockRowTexts texts =
      StockRowTextsOf(*store, *r, store->wViewPortfolio, view_->context().locale());
  const QFontMetrics fm(font());
  const QString cells[3] = {FromAnsi(texts.column0), QString::fromStdString(texts.column1),
                            QString::fromStdString(texts.column2)};
  for (int c = 0; c < kColumnCount; ++c) {
    const int x = header()->sectionViewportPosition(c);
    const int w = header()->sectionSize(c);
    QRect cell(x, row.top(), w, row.height());
    if (c < 3) {
      painter->save();
      painter->setClipRect(cell);
      QString shown = FitCellText(fm, cells[c], w);
      if (c == 0) {
        painter->drawText(cell.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, shown);
      } else {
        int tw = fm.horizontalAdvance(shown);
        int left = cell.right() + 1 - 2 - tw;
        if (left < cell.left() + 2) left = cell.left() + 2;
        painter->drawText(QRect(left, cell.top(), tw + 1, cell.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, shown);
      }
      painter->restore();
      if (c == 1 && texts.watched) {
        // A watched stock carries a short dash at the end of its data column.
        int right = cell.right() + 1;
        painter->fillRect(QRect(right - 2, cell.top() + (cell.height() - 2) / 2, 5, 2), fg);
      }
    } else if (c == 3) {
      if (const QPixmap* arrow = view_->bitmaps().Arrow(texts.arrowImage)) {
        painter->drawPixmap(cell.left(), cell.top() + 4, *arrow);
      }
    } else if (texts.hasNote) {
      painter->drawPixmap(cell.left() + 2, cell.top() + 3, view_->bitmaps().NoteMarker());
    }
  }
  painter->restore();
}

void CStockListCtrl::keyPressEvent(QKeyEvent* event) {
  if (view_->OnKey(event->key(), event->text())) {
    event->accept();
    return;
  }
  QTreeView::keyPressEvent(event);
}

void CStockListCtrl::mousePressEvent(QMouseEvent* event) {
  QTreeView::mousePressEvent(event);
  holdFired_ = false;
  if (event->button() == Qt::LeftButton) {
    holdAt_ = event->position().toPoint();
    holdTimer_.start();
  }
}

void CStockListCtrl::mouseMoveEvent(QMouseEvent* event) {
  if ((event->position().toPoint() - holdAt_).manhattanLength() > kHoldSlop) holdTimer_.stop();
  QTreeView::mouseMoveEvent(event);
}

void CStockListCtrl::mouseReleaseEvent(QMouseEvent* event) {
  holdTimer_.stop();
  QTreeView::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton || holdFired_) return;
  QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid()) view_->OnRowTap(index.row(), index.column());
}

void CStockListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid() && event->button() == Qt::LeftButton) {
    view_->OnRowDoubleTap(index.row(), index.column());
    event->accept();
    return;
  }
  QTreeView::mouseDoubleClickEvent(event);
}

void CStockListCtrl::contextMenuEvent(QContextMenuEvent* event) {
  QModelIndex index = indexAt(event->pos());
  if (!index.isValid()) return;
  view_->OnRowHold(index.row(), event->globalPos());
  event->accept();
}

// ---- The list window --------------------------------------------------------------------------

CStockListView::CStockListView(QWidget* parent, PlatformContext& ctx, Handlers handlers)
    : QWidget(parent), ctx_(ctx), handlers_(std::move(handlers)) {
  setObjectName(QStringLiteral("stockListView"));
  setAutoFillBackground(true);

  selector_ = new QComboBox(this);
  selector_->setObjectName(QStringLiteral("portfolioSelector"));
  selector_->setMaxVisibleItems(200 / kRowHeight);
  connect(selector_, &QComboBox::activated, this, [this](int i) { OnPortfolioChosen(i); });

  newButton_ = new QPushButton(QString::fromStdString(strings::LoadString(strings::IDS_NEW)), this);
  newButton_->setObjectName(QStringLiteral("newButton"));
  connect(newButton_, &QPushButton::clicked, this, [this] { handlers_.command(ID_NEW_STOCK); });

  list_ = new CStockListCtrl(this);

  static const char* const kTotalNames[5] = {"totalProfit", "totalProfitPercent",
                                             "totalProfitPerYear", "totalCost", "totalValue"};
  for (int k = 0; k < 5; ++k) {
    totalLabels_[k] = new QLabel(
        QString::fromStdString(strings::LoadString(strings::IDS_TOTAL_PROFIT + k)), this);
    totalValues_[k] = new QLabel(this);
    totalValues_[k]->setObjectName(QString::fromLatin1(kTotalNames[k]));
    totalValues_[k]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }

  currencyButton_ = new QToolButton(this);
  currencyButton_->setObjectName(QStringLiteral("currencyButton"));
  connect(currencyButton_, &QToolButton::clicked, this,
          [this] { handlers_.command(ID_CURRENCY_TOGGLE); });

  struct ImageButton {
    UINT command;
    int bitmap;
    const char* name;
  };
  static const ImageButton kButtons[3] = {{ID_VIEW_CALC, IDB_CALC, "calcButton"},
                                          {ID_VIEW_CHART, IDB_CHART, "chartButton"},
                                          {ID_DELETE_STOCK, IDB_DELETE, "deleteButton"}};
  for (int k = 0; k < 3; ++k) {
    imageButtons_[k] = new QToolButton(this);
    imageButtons_[k]->setObjectName(QString::fromLatin1(kButtons[k].name));
    imageButtons_[k]->setIcon(QIcon(ResourceBitmap(kButtons[k].bitmap)));
    imageButtons_[k]->setAutoRaise(true);
    const UINT command = kButtons[k].command;
    imageButtons_[k]->setProperty("command", command);
    connect(imageButtons_[k], &QToolButton::clicked, this,
            [this, command] { handlers_.command(command); });
  }
  Layout();
}

void CStockListView::SetCommandEnabled(UINT id, bool enabled) {
  for (QToolButton* b : imageButtons_) {
    if (b->property("command").toUInt() == id) b->setEnabled(enabled);
  }
  if (id == ID_PORTFOLIOS) {
    portfoliosEnabled_ = enabled;
    SetEditItemEnabled();
  }
  if (id == ID_NEW_STOCK) newButton_->setEnabled(enabled);
}

void CStockListView::SetEditItemEnabled() {
  auto* model = qobject_cast<QStandardItemModel*>(selector_->model());
  if (!model) return;
  for (int i = 0; i < selector_->count(); ++i) {
    if (selector_->itemData(i).toInt() == kSelectorEditItem) {
      if (QStandardItem* item = model->item(i)) item->setEnabled(portfoliosEnabled_);
    }
  }
}

void CStockListView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Layout();
}

void CStockListView::Layout() {
  const int W = width() > 0 ? width() : 240;
  const int H = height() > 0 ? height() : 268;
  selector_->setGeometry(2, 2, W / 2, 20);
  newButton_->setGeometry(W - 50, 2, 48, 20);
  list_->setGeometry(0, 24, W, (H - 50) - 24);
  list_->setColumnWidth(0, W - 155);
  list_->setColumnWidth(1, 60);
  list_->setColumnWidth(2, 64);
  list_->setColumnWidth(3, 8);
  list_->setColumnWidth(4, 8);
  // Three lines of 16 pixels under the list: profit and profit %, cost and profit per year,
  // value with the currency and image buttons.
  const int top = H - 50 + 1;
  const int labelW = 40, valueW = 66, label2W = 52;
  const int x2 = labelW + valueW + 8;
  const int rows[5][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 2}};  // {side, line}
  for (int k = 0; k < 5; ++k) {
    const int side = rows[k][0], line = rows[k][1];
    const int y = top + line * 16;
    if (side == 0) {
      totalLabels_[k]->setGeometry(2, y, labelW, 16);
      totalValues_[k]->setGeometry(2 + labelW, y, valueW, 16);
    } else {
      totalLabels_[k]->setGeometry(x2, y, label2W, 16);
      totalValues_[k]->setGeometry(x2 + label2W, y, W - 2 - x2 - label2W, 16);
    }
  }
  const int y3 = top + 32;
  currencyButton_->setGeometry(x2, y3, 40, 17);
  for (int k = 0; k < 3; ++k) imageButtons_[k]->setGeometry(W - 2 - (3 - k) * 24, y3, 22, 17);
}

void CStockListView::SetStore(PortfolioStore* store, ChartStore* charts) {
  store_ = store;
  charts_ = charts;
  if (!store_) {
    list_->rows().SetRows({});
    selector_->clear();
    currencyButton_->setText(QString());
    for (QLabel* v : totalValues_) v->clear();
    return;
  }
  SetHeaderTexts();
  RefillPortfolioSelector();
  RefreshCurrencyLabel();
}

void CStockListView::SetHeaderTexts() {
  QStringList titles;
  for (int c = 0; c < 3; ++c) {
    std::vector<std::string> items = strings::ChoiceList(kColumnChoices[c]);
    int choice = store_ ? CurrentChoice(*store_, c) : 0;
    QString title = choice >= 0 && choice < static_cast<int>(items.size())
                        ? QString::fromStdString(items[static_cast<std::size_t>(choice)])
                        : QString();
    titles << title.left(15);
  }
  titles << QString() << QString();
  list_->rows().SetHeaders(titles);
}

void CStockListView::FillPortfolioSelector(QComboBox* selector, const PortfolioStore& store,
                                           int portfolio, bool withAll, bool withEdit) {
  selector->clear();
  if (withAll) selector->addItem(QStringLiteral("All"), int{PORTFOLIO_ALL});
  for (int k = 0; k < store.wPortfolioCount; ++k) {
    selector->addItem(FromAnsi(store.PortfolioName(k)), k);
  }
  if (withEdit) {
    selector->addItem(QString::fromStdString(strings::LoadString(strings::IDS_EDIT_PORTFOLIOS)),
                      kSelectorEditItem);
  }
  if (portfolio == PORTFOLIO_ALL) {
    selector->setCurrentIndex(0);
    return;
  }
  // Found by name, as the handheld does; the first item when no name matches.
  int found = selector->findText(FromAnsi(store.PortfolioName(portfolio)), Qt::MatchExactly);
  selector->setCurrentIndex(found >= 0 ? found : 0);
}

void CStockListView::RefillPortfolioSelector() {
  if (!store_) return;
  fillingSelector_ = true;
  FillPortfolioSelector(selector_, *store_, store_->wViewPortfolio, true, true);
  SetEditItemEnabled();
  fillingSelector_ = false;
}

void CStockListView::OnPortfolioChosen(int index) {
  if (!store_ || fillingSelector_ || index < 0) return;
  const int chosen = selector_->itemData(index).toInt();
  if (chosen == kSelectorEditItem) {
    RefillPortfolioSelector();
    handlers_.command(ID_PORTFOLIOS);
    return;
  }
  store_->wViewPortfolio = static_cast<WORD>(chosen);
  RefreshCurrencyLabel();
  RefillList(nullptr);
}

void CStockListView::RefreshCurrencyLabel() {
  if (!store_) return;
  currencyButton_->setText(FromAnsi(DisplayCurrencyCode(*store_, store_->wViewPortfolio)));
}

void CStockListView::RefillList(const StockRecord* select) {
  std::vector<StockRecord*> rows;
  int selectRow = -1;
  if (store_) {
    const int view = store_->wViewPortfolio;
    const bool sold = store_->bShowClosed != 0;
    rows.reserve(store_->stocks.size());
    int cursor = 0;
    for (StockRecord* r = store_->NextInView(&cursor, view, sold, 0, 1); r;
         r = store_->NextInView(&cursor, view, sold, 1, 1)) {
      if (r == select) selectRow = static_cast<int>(rows.size());
      rows.push_back(r);
    }
  }
  list_->rows().SetRows(std::move(rows));
  if (selectRow >= 0) {
    SelectRow(selectRow);
  } else {
    list_->setCurrentIndex(QModelIndex());
    list_->clearSelection();
  }
  RefreshTotals();
}

void CStockListView::RefreshTotals() {
  if (!store_) return;
  CWaitCursor wait;
  const int view = store_->wViewPortfolio;
  PortfolioTotals totals = ComputeTotals(*store_, view, store_->bShowClosed != 0);
  TotalsTexts texts = TotalsTextsOf(totals, store_->cDecimalSeparator);
  const std::string* shown[5] = {&texts.profit, &texts.profitPercent, &texts.profitPerYear,
                                 &texts.cost, &texts.value};
  for (int k = 0; k < 5; ++k) totalValues_[k]->setText(QString::fromStdString(*shown[k]));
  if (charts_ && charts_->isOpen()) {
    AddPortfolioSnapshot(*store_, *charts_, NowStockTime(ctx_.clock()));
  }
}

void CStockListView::RedrawRows() {
  SetHeaderTexts();
  list_->viewport()->update();
}

StockRecord* CStockListView::StockAtRow(int row) const { return list_->StockAt(row); }
int CStockListView::RowCount() const { return list_->rows().rowCount(); }

int CStockListView::SelectedRow() const {
  const QModelIndexList sel = list_->selectionModel()->selectedRows();
  return sel.isEmpty() ? -1 : sel.front().row();
}

StockRecord* CStockListView::SelectedStock() const {
  int row = SelectedRow();
  return row >= 0 ? list_->StockAt(row) : nullptr;
}

StockRecord* CStockListView::SelectedOrFirstStock() const {
  if (StockRecord* r = SelectedStock()) return r;
  // The first row the user can see, which is not the first of the list once it scrolled.
  QModelIndex top = list_->indexAt(QPoint(1, 1));
  return list_->StockAt(top.isValid() ? top.row() : 0);
}

void CStockListView::SelectRow(int row) {
  if (row < 0 || row >= RowCount()) return;
  const QModelIndex index = list_->rows().index(row, 0);
  list_->selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  list_->scrollTo(index);
}

DWORD CStockListView::StepSelection(DWORD id, int direction) {
  for (int row = 0; row < RowCount(); ++row) {
    StockRecord* r = list_->StockAt(row);
    if (!r || r->dwId != id) continue;
    const int next = std::clamp(row + direction, 0, RowCount() - 1);
    SelectRow(next);
    StockRecord* selected = list_->StockAt(next);
    return selected ? selected->dwId : 0;
  }
  return 0;
}

void CStockListView::SelectStock(const StockRecord* record) {
  const int row = list_->rows().RowOf(record);
  if (row >= 0) SelectRow(row);
}

bool CStockListView::OnCommand(UINT id) {
  if (!store_) return false;
  if (id == ID_CURRENCY_TOGGLE) {
    StockRecord* keep = SelectedStock();
    store_->ucPrefFlags = static_cast<BYTE>(store_->ucPrefFlags ^ kPrefConvertToBase);
    RefreshCurrencyLabel();
    RefillList(keep);
    return true;
  }
  return false;
}

void CStockListView::OnHeaderClicked(int column) {
  if (!store_ || column < 0 || column > 3) return;
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("headerMenu"));
  menu->setAttribute(Qt::WA_DeleteOnClose);
  std::vector<std::string> items = strings::ChoiceList(kColumnChoices[column]);
  const int current = CurrentChoice(*store_, column);
  for (std::size_t k = 0; k < items.size(); ++k) {
    QAction* a = menu->addAction(QString::fromStdString(items[k]));
    const UINT id = kColumnChoices[column] + 1 + static_cast<UINT>(k);
    a->setObjectName(QStringLiteral("choice%1").arg(id));
    a->setCheckable(true);
    a->setChecked(static_cast<int>(k) == current);
    connect(a, &QAction::triggered, this, [this, column, id] { ChooseColumnItem(column, id); });
  }
  QPoint at(list_->header()->sectionViewportPosition(column) + 1, list_->header()->height());
  menu->popup(list_->header()->mapToGlobal(at));
}

void CStockListView::ChooseColumnItem(int column, UINT id) {
  if (!store_ || column < 0 || column > 3) return;
  const int choice = static_cast<int>(id) - static_cast<int>(kColumnChoices[column]) - 1;
  const int count = static_cast<int>(strings::ChoiceList(kColumnChoices[column]).size());
  if (choice < 0 || choice >= count) return;
  switch (column) {
    case 0:
      store_->ucColumnText = static_cast<BYTE>(choice);
      break;
    case 1:
      store_->ucColumnData = static_cast<BYTE>(choice);
      break;
    case 2:
      store_->ucColumnValue = static_cast<BYTE>(choice);
      break;
    default:
      if (choice == 0) {
        store_->ucPrefFlags = static_cast<BYTE>(store_->ucPrefFlags | kPrefArrowsShowToday);
      } else {
        store_->ucPrefFlags = static_cast<BYTE>(store_->ucPrefFlags & ~kPrefArrowsShowToday);
      }
      break;
  }
  RedrawRows();
}

void CStockListView::OnRowTap(int row, int column) {
  if (!store_) return;
  if (column == 3 || column == 4) handlers_.openSheet(row, column);
}

void CStockListView::OnRowDoubleTap(int row, int column) {
  if (!store_) return;
  handlers_.openSheet(row, column);
}

void CStockListView::OnRowHold(int row, QPoint global) {
  if (!store_) return;
  SelectRow(row);
  QRect rect = list_->visualRect(list_->rows().index(row, 0));
  QPoint at = list_->viewport()->mapToGlobal(QPoint(rect.left() + 30, 0));
  handlers_.stockMenu(row, QPoint(at.x(), global.y()));
}

bool CStockListView::OnKey(int key, const QString& text) {
  if (!store_ || !(store_->ucPrefFlags & kPrefMapArrowKeys)) return false;
  const int rows = RowCount();
  if (rows == 0) return false;
  int row = SelectedRow();
  if (row < 0) {
    SelectRow(0);
    return true;
  }
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      handlers_.openSheet(row, 0);
      return true;
    case Qt::Key_Up:
    case Qt::Key_PageUp:
      SelectRow(row > 0 ? row - 1 : 0);
      return true;
    case Qt::Key_Down:
    case Qt::Key_PageDown:
      SelectRow(row + 1 < rows ? row + 1 : rows - 1);
      return true;
    default:
      break;
  }
  if (text.isEmpty() || !text.at(0).isPrint()) return false;
  const std::int64_t now = ctx_.clock().Now();
  if (lastSearchKey_ < 0 || now - lastSearchKey_ >= kSearchSeconds) search_.clear();
  lastSearchKey_ = now;
  if (search_.size() < kMaxSearchLength) search_ += Utf8ToAnsi(text.left(1).toStdString());
  for (int k = 0; k < rows; ++k) {
    StockRecord* r = list_->StockAt(k);
    std::string_view key0 = store_->ucColumnText == 1 ? r->Symbol() : r->Name();
    if (StartsWithNoCase(key0, search_)) {
      SelectRow(k);
      store_->dwSelectedStock = r->dwId;
      break;
    }
  }
  return true;
}

}  // namespace quillet
