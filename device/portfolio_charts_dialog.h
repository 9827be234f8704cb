// The Portfolio Charts view: a portfolio's holdings as a bar or pie chart, or its own history of
// cost, value or profit. While it is open the stocks are listed by quote symbol (lots of one
// stock side by side, added into one bar); the user's sort is back when it closes.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QToolButton>

#include "charts/chart_plot.h"
#include "device/chart_view.h"
#include "device/modal_dialog.h"

namespace quillet {

class CQuilletApp;

inline constexpr int IDD_PORTFOLIO_CHARTS = 2300;

class CPortfolioChartsDlg : public CModalDialog {
  Q_OBJECT
 public:
  CPortfolioChartsDlg(QWidget* parent, CQuilletApp& app);

  int portfolio() const;
  CChartPlot& plot() { return plot_; }
  CChartView* view() const { return view_; }
  void OnPortfolioChosen();
  void SetMode(int mode);
  void OnSeriesChosen(int series);
  void OnRangeChosen(int index);
  void OnSpin(int direction);
  void OnStylus(int kind, int x, int y);
  bool OnCommand(UINT id) override;
  // Puts the user's sort back, however the view ends.
  void done(int result) override;

 private:
  void UpdateControls();
  void Redraw();

  CQuilletApp& app_;
  CChartPlot plot_;
  QComboBox* selector_;
  QToolButton* modeButtons_[3];
  QComboBox* series_;
  QLabel* rangeLabel_;
  QComboBox* range_;
  QSpinBox* spin_;
  QLabel* info_;
  QToolButton* menuButton_;
  CChartView* view_;
  bool restored_ = false;
};

}  // namespace quillet
