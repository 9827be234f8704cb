// The Chart page: the stock's price history, paged with the spin, its range chosen in the
// combo, read out with the stylus, edited from the chart menu, and shown full screen (where it
// can be turned a quarter). The shell's task bar that full screen hides comes back whenever the
// page goes, however the sheet was closed.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QToolButton>

#include "charts/chart_plot.h"
#include "device/chart_view.h"
#include "device/stock_sheet.h"

namespace quillet {

inline constexpr int IDD_STOCK_CHART = 1500;
inline constexpr int IDC_CHART_SPIN = 1504;
inline constexpr int IDC_CHART_INFO = 1505;
inline constexpr int IDC_CHART_RANGE = 1506;
inline constexpr int IDC_CHART_MENU = 1508;
inline constexpr int IDC_CHART_FULLSCREEN = 1509;
inline constexpr int IDC_CHART_ROTATE = 1510;
// The chart menu (popup 106).
inline constexpr UINT ID_CHART_ADD_ENTRY = 65126;
inline constexpr UINT ID_CHART_DELETE_RANGE = 65127;
inline constexpr UINT ID_CHART_DELETE_DATA = 65128;
inline constexpr UINT ID_CHART_MINMAX = 65135;

// The chart menu's entries and the range combo, shared by the Chart page and the Portfolio
// Charts view.
QMenu* BuildChartMenu(QWidget* parent, bool minMaxOn);
void FillRangeCombo(QComboBox* combo, int chartSize);

class CStockChart : public CStockPage {
  Q_OBJECT
 public:
  explicit CStockChart(CStockSheet& sheet);
  ~CStockChart() override;

  void LoadFromStock() override;
  bool OnCommand(UINT id) override;

  CChartPlot& plot() { return plot_; }
  CChartView* view() const { return view_; }
  bool fullScreen() const { return fullScreen_; }
  void ToggleFullScreen();
  void ToggleRotated();
  void OnRangeChosen(int index);
  void OnSpin(int direction);
  void OnStylus(int kind, int x, int y);

 private:
  void Relayout();
  void ShowShellBars(bool show);
  std::string QuoteSymbolOfStock();

  // The sheet is gone by the time its pages are destroyed; the shell is reached through the
  // application.
  CQuilletApp& app_;
  CChartPlot plot_;
  CChartView* view_;
  QLabel* rangeLabel_;
  QComboBox* range_;
  QSpinBox* spin_;
  QLabel* info_;
  QToolButton* menuButton_;
  QToolButton* fullScreenButton_;
  QToolButton* rotateButton_;
  bool fullScreen_ = false;
  bool rotated_ = false;
  bool barsHidden_ = false;
  QRect sheetGeometry_;
  QSize sheetSize_;
};

}  // namespace quillet
