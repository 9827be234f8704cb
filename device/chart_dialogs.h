// The dialogs of the charts: "Current Price" (a day's point of a history, from the chart menu or
// the list's "Edit Current Price"), "Delete Chart Range" and the small "Info" box of a point
// read with the stylus. The close request ends the first two as Cancel: their OK writes or
// deletes history that nobody confirmed.
#pragma once

#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <string>

#include "charts/current_price.h"
#include "core/chart_store.h"
#include "device/modal_dialog.h"

namespace quillet {

class CChartPlot;
class CQuilletApp;

inline constexpr int IDD_CHART_INFO = 2500;
inline constexpr int IDD_CURRENT_PRICE = 2600;
inline constexpr int IDD_DELETE_CHART_RANGE = 2900;
// The Current Price dialog's result after its Delete button removed the day's point.
inline constexpr int kPriceDeleted = 3;

class CCurrentPriceDlg : public CModalDialog {
  Q_OBJECT
 public:
  // The history `name`/`market` (market 255: a portfolio's, in whole units); `fromList` when the
  // list menu opened it, so OK also sets the current quote of every stock of the symbol.
  CCurrentPriceDlg(QWidget* parent, PortfolioStore& store, ChartStore* charts, std::string name,
                   int market, bool fromList, StockTime date);

  StockTime date() const;
  // Loads the point of the chosen date into the edits, if there is one.
  void LoadPointOfDate();
  void OnDelete();
  // Stores the point (and the quotes); refused, with the dialog kept open, when the price is not
  // a number above 0.
  void accept() override;
  void CloseForSync() override { done(0); }

 private:
  PortfolioStore& store_;
  ChartStore* charts_;
  std::string name_;
  int market_;
  bool fromList_;
  QDateEdit* date_;
  QLineEdit* price_;
  QLineEdit* low_;
  QLineEdit* high_;
  QLineEdit* volume_;
};

class CDeleteChartRangeDlg : public CModalDialog {
  Q_OBJECT
 public:
  CDeleteChartRangeDlg(QWidget* parent, const PortfolioStore& store, StockTime date);
  StockTime date() const;
  bool allRecords() const { return all_->isChecked(); }
  void CloseForSync() override { done(0); }

 private:
  QDateEdit* date_;
  QCheckBox* all_;
};

class CChartInfoDlg : public CModalDialog {
  Q_OBJECT
 public:
  CChartInfoDlg(QWidget* parent, const PortfolioStore& store, const ChartPoint& point,
                bool portfolio);
};

// The chart menu's commands that work alike on a stock's and a portfolio's history: Delete
// Chart Range (the range asked in its dialog), Delete Chart Data (asked first) and "Min/Max for
// displayed range". True when the history or its scale may have changed and must be read and
// drawn again; false when the user cancelled or `id` is none of the three.
bool RunHistoryMenuCommand(UINT id, QWidget* parent, CQuilletApp& app, CChartPlot& plot);

}  // namespace quillet
