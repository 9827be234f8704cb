#include "device/portfolio_charts_dialog.h"

#include <QDialogButtonBox>
#include <QMenu>
#include <QPushButton>

#include "charts/chart_setup.h"
#include "core/portfolio_math.h"
#include "core/price_history.h"
#include "core/string_table.h"
#include "device/chart_dialogs.h"
#include "device/quillet_app.h"
#include "device/stock_list_view.h"
#include "device/stock_page_chart.h"
#include "platform/message_box.h"

namespace quillet {

CPortfolioChartsDlg::CPortfolioChartsDlg(QWidget* parent, CQuilletApp& app)
    : CModalDialog(parent, IDD_PORTFOLIO_CHARTS), app_(app), plot_(app.charts()) {
  setObjectName(QStringLiteral("portfolioChartsDialog"));
  setWindowTitle(QStringLiteral("Portfolio Charts"));
  setFixedSize(kScreenWidth, kScreenHeight - kTitleBarHeight);
  PortfolioStore& s = *app.store();
  // Lots of one stock must follow each other to be added into one bar.
  SortStocks(s, kSortSymbol, false, s.bWatchedAtBottom != 0);

  selector_ = new QComboBox(this);
  SetControlId(selector_, 2301, "portfolioSelector");
  CStockListView::FillPortfolioSelector(selector_, s, s.wViewPortfolio, true, false);
  selector_->setGeometry(2, 2, 100, 20);
  const char* modeNames[] = {"barButton", "pieButton", "historyButton"};
  const char* modeTexts[] = {"Bar", "Pie", "Hist"};
  for (int m = 0; m < 3; ++m) {
    modeButtons_[m] = new QToolButton(this);
    SetControlId(modeButtons_[m], 2302 + m, modeNames[m]);
    modeButtons_[m]->setText(QString::fromLatin1(modeTexts[m]));
    modeButtons_[m]->setCheckable(true);
    modeButtons_[m]->setGeometry(104 + m * 32, 2, 30, 20);
    connect(modeButtons_[m], &QToolButton::clicked, this, [this, m] { SetMode(m); });
  }
  series_ = new QComboBox(this);
  SetControlId(series_, 2308, "seriesCombo");
  for (const std::string& item : strings::ChoiceList(strings::IDS_PORTFOLIO_SERIES)) {
    series_->addItem(QString::fromStdString(item));
  }
  series_->setCurrentIndex(std::clamp<int>(s.wPortfolioChartValue, 0, 2));
  series_->setGeometry(2, 24, 70, 20);
  rangeLabel_ = new QLabel(QStringLiteral("Range:"), this);
  rangeLabel_->setObjectName(QStringLiteral("rangeLabel"));
  rangeLabel_->setGeometry(76, 25, 36, 18);
  range_ = new QComboBox(this);
  SetControlId(range_, IDC_CHART_RANGE, "rangeCombo");
  FillRangeCombo(range_, s.ucChartSize);
  range_->setGeometry(112, 24, 66, 20);
  spin_ = new QSpinBox(this);
  SetControlId(spin_, IDC_CHART_SPIN, "chartSpin");
  spin_->setRange(-1, 1);
  spin_->setGeometry(180, 24, 32, 20);
  info_ = new QLabel(this);
  SetControlId(info_, IDC_CHART_INFO, "chartInfo");
  info_->setGeometry(76, 24, 136, 20);
  info_->hide();
  menuButton_ = new QToolButton(this);
  SetControlId(menuButton_, IDC_CHART_MENU, "chartMenuButton");
  menuButton_->setText(QStringLiteral("M"));
  menuButton_->setGeometry(214, 24, 24, 20);
  view_ = new CChartView(this);
  view_->setGeometry(0, 46, kPortfolioChartWidth, kPortfolioChartHeight);
  view_->SetDraw([this](ChartCanvas& canvas) {
    PortfolioStore& st = *app_.store();
    DrawPortfolioChart(canvas, st, &plot_, portfolio(),
                       std::clamp<int>(st.wPortfolioChartMode, 0, 2), series_->currentIndex());
  });
  view_->SetStylus([this](int kind, int x, int y) { OnStylus(kind, x, y); });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  SetControlId(buttons->button(QDialogButtonBox::Ok), IDOK, "okButton");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  buttons->setGeometry(160, 46 + kPortfolioChartHeight + 2, 76, 22);

  connect(selector_, qOverload<int>(&QComboBox::activated), this, [this] { OnPortfolioChosen(); });
  connect(series_, qOverload<int>(&QComboBox::activated), this,
          [this](int i) { OnSeriesChosen(i); });
  connect(range_, qOverload<int>(&QComboBox::activated), this, [this](int i) { OnRangeChosen(i); });
  connect(spin_, qOverload<int>(&QSpinBox::valueChanged), this, [this](int v) {
    if (v != 0) OnSpin(v);
  });
  connect(menuButton_, &QToolButton::clicked, this, [this] {
    QMenu* menu = BuildChartMenu(this, (app_.store()->ucPrefFlags & kPrefChartMinMax) != 0);
    QAction* chosen = menu->exec(menuButton_->mapToGlobal(QPoint(0, menuButton_->height())));
    const UINT id = chosen ? chosen->data().toUInt() : 0;
    menu->deleteLater();
    if (id) OnCommand(id);
  });
  OnPortfolioChosen();
}

int CPortfolioChartsDlg::portfolio() const {
  const QVariant item = selector_->currentData();
  return item.isValid() ? item.toInt() : PORTFOLIO_ALL;
}

void CPortfolioChartsDlg::done(int result) {
  if (!restored_ && app_.store()) {
    restored_ = true;
    SortStocks(*app_.store());
  }
  CModalDialog::done(result);
}

void CPortfolioChartsDlg::UpdateControls() {
  const int mode = std::clamp<int>(app_.store()->wPortfolioChartMode, 0, 2);
  for (int m = 0; m < 3; ++m) modeButtons_[m]->setChecked(m == mode);
  const bool history = mode == kModeHistory;
  rangeLabel_->setVisible(history);
  range_->setVisible(history);
  spin_->setVisible(history);
  menuButton_->setVisible(history);
  info_->hide();
}

void CPortfolioChartsDlg::Redraw() {
  UpdateControls();
  view_->update();
}

void CPortfolioChartsDlg::OnPortfolioChosen() {
  PortfolioStore& s = *app_.store();
  if (portfolio() != PORTFOLIO_ALL) {
    SetUpPortfolioPlot(plot_, s, portfolio(), series_->currentIndex(), view_->drawWidth(),
                       view_->drawHeight());
  } else {
    plot_.SetPortfolioSeries(PORTFOLIO_ALL, series_->currentIndex());
    plot_.LoadAndScale(false);
  }
  Redraw();
}

void CPortfolioChartsDlg::SetMode(int mode) {
  app_.store()->wPortfolioChartMode = static_cast<WORD>(std::clamp(mode, 0, 2));
  Redraw();
}

void CPortfolioChartsDlg::OnSeriesChosen(int series) {
  app_.store()->wPortfolioChartValue = static_cast<WORD>(std::clamp(series, 0, 2));
  series_->setCurrentIndex(std::clamp(series, 0, 2));
  plot_.SetSeries(series);
  plot_.LoadAndScale(true);
  Redraw();
}

void CPortfolioChartsDlg::OnRangeChosen(int index) {
  app_.store()->ucChartSize = static_cast<BYTE>(std::clamp(index, 0, 2));
  plot_.SetChartSize(index);
  plot_.LoadAndScale(true);
  Redraw();
}

void CPortfolioChartsDlg::OnSpin(int direction) {
  plot_.PageChart(direction);
  QSignalBlocker block(spin_);
  spin_->setValue(0);
  view_->update();
}

void CPortfolioChartsDlg::OnStylus(int kind, int x, int y) {
  if (app_.store()->wPortfolioChartMode != kModeHistory || portfolio() == PORTFOLIO_ALL) return;
  if (kind != 2) {
    const std::string text = plot_.TrackStylus(x, y);
    if (plot_.cursorIndex()) {
      rangeLabel_->hide();
      range_->hide();
      info_->setText(QString::fromStdString(text));
      info_->show();
    }
  } else {
    plot_.EndStylus();
    info_->hide();
    rangeLabel_->show();
    range_->show();
  }
  view_->update();
}

bool CPortfolioChartsDlg::OnCommand(UINT id) {
  PortfolioStore& s = *app_.store();
  const bool chartCommand = id == ID_CHART_ADD_ENTRY || id == ID_CHART_DELETE_RANGE ||
                            id == ID_CHART_DELETE_DATA || id == ID_CHART_MINMAX;
  if (!chartCommand) return CModalDialog::OnCommand(id);
  // The chart menu works on one portfolio's history, never on "All".
  if (portfolio() == PORTFOLIO_ALL) return true;
  const StockTime now = NowStockTime(s.context().clock());
  switch (id) {
    case ID_CHART_ADD_ENTRY: {
      CCurrentPriceDlg dialog(this, s, app_.charts(), PortfolioSeriesName(portfolio()),
                              kPortfolioSeriesMarket, false, now);
      app_.RunModal(dialog);
      break;
    }
    default:
      if (!RunHistoryMenuCommand(id, this, app_, plot_)) return true;
      break;
  }
  plot_.Reload();
  plot_.LoadAndScale(true);
  Redraw();
  return true;
}

}  // namespace quillet
