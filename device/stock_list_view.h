// The stock list window, the main frame's client: the portfolio selector and "New" button on
// top, the list of stocks with its five owner-drawn columns, and under it the totals block, the
// currency button and three image buttons. It shows what the portfolio core computes and sends
// every command it cannot finish itself to the frame.
#pragma once

#include <QAbstractTableModel>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/chart_store.h"
#include "core/portfolio_store.h"
#include "device/bitmaps.h"

namespace quillet {

class CStockListView;

// The rows of the list: one stock record per row and nothing else. Rows hold no texts; each
// is drawn from its record when it comes into view, so a list of 10,000 stocks costs one
// pointer per row to fill, not an item object each.
class CStockRowModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void SetRows(std::vector<StockRecord*> rows);
  void SetHeaders(const QStringList& titles);
  StockRecord* At(int row) const;
  // The row of `record`, -1 when it is not listed.
  int RowOf(const StockRecord* record) const;

 private:
  std::vector<StockRecord*> rows_;
  QStringList headers_;
};

// The list control itself: draws each row whole, as the handheld's owner-drawn report view.
class CStockListCtrl : public QTreeView {
  Q_OBJECT
 public:
  explicit CStockListCtrl(CStockListView* view);
  StockRecord* StockAt(int row) const { return rows_->At(row); }
  CStockRowModel& rows() const { return *rows_; }

 protected:
  void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  CStockListView* view_;
  CStockRowModel* rows_;  // a child of the control, so it outlives the view's own teardown
  // A stylus held on a row opens the stock's menu, as a right-click does.
  QTimer holdTimer_;
  QPoint holdAt_;
  bool holdFired_ = false;
};

// A text cut at its end until it, followed by "...", fits `width` pixels less 4.
QString FitCellText(const QFontMetrics& metrics, const QString& text, int width);

class CStockListView : public QWidget {
  Q_OBJECT
 public:
  struct Handlers {
    std::function<void(UINT)> command;                      // route a command as the menus do
    std::function<void(int row, int page)> openSheet;       // the stock sheet on a page code
    std::function<void(int row, QPoint global)> stockMenu;  // tap-and-hold
  };

  CStockListView(QWidget* parent, PlatformContext& ctx, Handlers handlers);

  // The store shown; null while it is released (the window then shows nothing of it).
  void SetStore(PortfolioStore* store, ChartStore* charts);
  PortfolioStore* store() const { return store_; }

  // Fills the list with the stocks of the current filter, selecting `select` when listed.
  void RefillList(const StockRecord* select);
  // Recomputes the totals block and records the shown portfolio's daily point.
  void RefreshTotals();
  void RefreshCurrencyLabel();
  // Redraws the visible rows (after a change of preferences or columns).
  void RedrawRows();
  // Refills the selector and selects the current portfolio.
  void RefillPortfolioSelector();

  StockRecord* SelectedStock() const;
  int SelectedRow() const;
  // The stock under the selection, else the first one in view, else null.
  StockRecord* SelectedOrFirstStock() const;
  void SelectStock(const StockRecord* record);
  void SelectRow(int row);
  // Moves the selection from the row of stock `id` one row up (-1) or down (+1), not past
  // either end; the id of the stock selected then, 0 when `id` is not listed.
  DWORD StepSelection(DWORD id, int direction);
  int RowCount() const;
  StockRecord* StockAtRow(int row) const;

  // Commands handled by the list window itself (the currency button). False for others.
  bool OnCommand(UINT id);
  // Enables the image button of a command and the selector's edit item (ID_PORTFOLIOS).
  void SetCommandEnabled(UINT id, bool enabled);

  // Fills a portfolio selector: "All" (data 255) when asked, "Unfiled" (0), the user's
  // portfolios (their index), "Edit portfolios..." (256) when asked; selects `portfolio`.
  static void FillPortfolioSelector(QComboBox* selector, const PortfolioStore& store, int portfolio,
                                    bool withAll, bool withEdit);

  // Header taps: opens the choice menu of a column (0..3); 4 does nothing.
  void OnHeaderClicked(int column);
  // Chooses item `commandId` (a string id of the column's choice list) for a column.
  void ChooseColumnItem(int column, UINT commandId);

  // Row taps as the list control reports them.
  void OnRowTap(int row, int column);
  void OnRowDoubleTap(int row, int column);
  void OnRowHold(int row, QPoint global);
  // Keys while "Map Arrow Keys" is on; false to leave the key to the list.
  bool OnKey(int key, const QString& text);

  const CListBitmaps& bitmaps() const { return bitmaps_; }
  PlatformContext& context() { return ctx_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Layout();
  void SetHeaderTexts();
  void OnPortfolioChosen(int index);
  void SetEditItemEnabled();

  PlatformContext& ctx_;
  Handlers handlers_;
  PortfolioStore* store_ = nullptr;
  ChartStore* charts_ = nullptr;
  CListBitmaps bitmaps_;

  QComboBox* selector_;
  QPushButton* newButton_;
  CStockListCtrl* list_;
  QLabel* totalLabels_[5];
  QLabel* totalValues_[5];
  QToolButton* currencyButton_;
  QToolButton* imageButtons_[3];
  bool fillingSelector_ = false;
  bool portfoliosEnabled_ = true;

  // Type-ahead search.
  std::string search_;
  std::int64_t lastSearchKey_ = -1;
};

}  // namespace quillet
