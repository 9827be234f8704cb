#include "device/stock_page_chart.h"

#include <QTabBar>

#include "charts/chart_setup.h"
#include "core/quote_tables.h"
#include "core/string_table.h"
#include "device/chart_dialogs.h"
#include "device/main_frame.h"
#include "device/quillet_app.h"
#include "device/resource_ids.h"
#include "platform/linux/shell_services.h"

namespace quillet {

QMenu* BuildChartMenu(QWidget* parent, bool minMaxOn) {
  auto* menu = new QMenu(QStringLiteral("Chart"), parent);
  menu->setObjectName(QStringLiteral("chartMenu"));
  const std::pair<UINT, const char*> items[] = {{ID_CHART_ADD_ENTRY, "Add/Replace Entry..."},
                                                {ID_CHART_DELETE_RANGE, "Delete Chart Range..."},
                                                {ID_CHART_DELETE_DATA, "Delete Chart Data"},
                                                {ID_CHART_MINMAX, "Min/Max for displayed range"}};
  for (const auto& [id, text] : items) {
    QAction* a = menu->addAction(QString::fromLatin1(text));
    a->setData(id);
    if (id == ID_CHART_MINMAX) {
      a->setCheckable(true);
      a->setChecked(minMaxOn);
    }
  }
  return menu;
}

void FillRangeCombo(QComboBox* combo, int chartSize) {
  combo->clear();
  for (const std::string& item : strings::ChoiceList(strings::IDS_CHART_SIZES)) {
    combo->addItem(QString::fromStdString(item));
  }
  combo->setCurrentIndex(std::clamp(chartSize, 0, combo->count() - 1));
}

CStockChart::CStockChart(CStockSheet& sheet)
    : CStockPage(sheet, IDD_STOCK_CHART, "Chart", kPageChart, 4),
      app_(sheet.app()),
      plot_(sheet.app().charts()) {
  setObjectName(QStringLiteral("chartPage"));
  rangeLabel_ = new QLabel(QStringLiteral("Range:"), this);
  rangeLabel_->setObjectName(QStringLiteral("rangeLabel"));
  range_ = new QComboBox(this);
  CModalDialog::SetControlId(range_, IDC_CHART_RANGE, "rangeCombo");
  FillRangeCombo(range_, store().ucChartSize);
  spin_ = new QSpinBox(this);
  CModalDialog::SetControlId(spin_, IDC_CHART_SPIN, "chartSpin");
  spin_->setRange(-1, 1);
  spin_->setValue(0);
  info_ = new QLabel(this);
  CModalDialog::SetControlId(info_, IDC_CHART_INFO, "chartInfo");
  info_->hide();
  menuButton_ = new QToolButton(this);
  CModalDialog::SetControlId(menuButton_, IDC_CHART_MENU, "chartMenuButton");
  menuButton_->setText(QStringLiteral("Chart"));
  fullScreenButton_ = new QToolButton(this);
  CModalDialog::SetControlId(fullScreenButton_, IDC_CHART_FULLSCREEN, "fullScreenButton");
  fullScreenButton_->setText(QStringLiteral("[ ]"));
  rotateButton_ = new QToolButton(this);
  CModalDialog::SetControlId(rotateButton_, IDC_CHART_ROTATE, "rotateButton");
  rotateButton_->setText(QStringLiteral("R"));
  rotateButton_->setEnabled(false);
  view_ = new CChartView(this);
  view_->SetDraw([this](ChartCanvas& canvas) { plot_.DrawChart(canvas); });
  view_->SetStylus([this](int kind, int x, int y) { OnStylus(kind, x, y); });

  connect(range_, qOverload<int>(&QComboBox::activated), this,
          [this](int index) { OnRangeChosen(index); });
  connect(spin_, qOverload<int>(&QSpinBox::valueChanged), this, [this](int value) {
    if (value != 0) OnSpin(value);
  });
  connect(menuButton_, &QToolButton::clicked, this, [this] {
    QMenu* menu = BuildChartMenu(this, (store().ucPrefFlags & kPrefChartMinMax) != 0);
    QAction* chosen = menu->exec(menuButton_->mapToGlobal(QPoint(0, menuButton_->height())));
    const UINT id = chosen ? chosen->data().toUInt() : 0;
    menu->deleteLater();
    if (id) OnCommand(id);
  });
  connect(fullScreenButton_, &QToolButton::clicked, this, [this] { ToggleFullScreen(); });
  connect(rotateButton_, &QToolButton::clicked, this, [this] { ToggleRotated(); });
  Relayout();
}

CStockChart::~CStockChart() {
  // Closed in full screen (OK, Cancel or the close request): the shell's bars come back.
  if (barsHidden_) ShowShellBars(true);
}

std::string CStockChart::QuoteSymbolOfStock() {
  StockRecord* r = stock();
  return r ? QuoteSymbol(r->Symbol(), r->ucMarket) : std::string();
}

void CStockChart::Relayout() {
  const int w = kChartPageWidth;
  if (!fullScreen_) {
    rangeLabel_->setGeometry(2, 3, 38, 18);
    range_->setGeometry(40, 2, 70, 20);
    spin_->setGeometry(112, 2, 34, 20);
    info_->setGeometry(2, 2, 150, 20);
    menuButton_->setGeometry(150, 2, 38, 20);
    fullScreenButton_->setGeometry(190, 2, 24, 20);
    rotateButton_->setGeometry(216, 2, 22, 20);
    view_->setGeometry(0, 24, w, kChartPageHeight);
  } else {
    // The plot takes the screen, the controls its bottom line.
    const int y = kFullScreenChartHeight + 2;
    view_->setGeometry(0, 0, w, kFullScreenChartHeight);
    rangeLabel_->setGeometry(2, y + 1, 38, 18);
    range_->setGeometry(40, y, 70, 20);
    spin_->setGeometry(112, y, 34, 20);
    info_->setGeometry(2, y, 150, 20);
    menuButton_->setGeometry(150, y, 38, 20);
    fullScreenButton_->setGeometry(190, y, 24, 20);
    rotateButton_->setGeometry(216, y, 22, 20);
  }
  view_->SetRotated(fullScreen_ && rotated_);
  plot_.SetSize(view_->drawWidth(), view_->drawHeight());
  plot_.SetFullScreen(fullScreen_);
}

void CStockChart::LoadFromStock() {
  StockRecord* r = stock();
  if (!r) return;
  Relayout();
  SetUpStockPlot(plot_, store(), QuoteSymbolOfStock(), r->ucMarket, r, view_->drawWidth(),
                 view_->drawHeight());
  range_->setCurrentIndex(std::clamp<int>(store().ucChartSize, 0, range_->count() - 1));
  view_->update();
}

void CStockChart::OnRangeChosen(int index) {
  store().ucChartSize = static_cast<BYTE>(std::clamp(index, 0, 2));
  plot_.SetChartSize(index);
  plot_.LoadAndScale(true);
  view_->update();
}

void CStockChart::OnSpin(int direction) {
  plot_.PageChart(direction);
  // The spin only says which way; it goes back to the middle for the next step.
  QSignalBlocker block(spin_);
  spin_->setValue(0);
  view_->update();
}

void CStockChart::OnStylus(int kind, int x, int y) {
  if (kind != 2) {
    const std::string text = plot_.TrackStylus(x, y);
    if (plot_.cursorIndex()) {
      rangeLabel_->hide();
      range_->hide();
      spin_->hide();
      info_->setText(QString::fromStdString(text));
      info_->show();
    }
    view_->update();
    return;
  }
  const auto point = plot_.EndStylus();
  info_->hide();
  rangeLabel_->show();
  range_->show();
  spin_->show();
  view_->update();
  if (point) {
    CChartInfoDlg box(this, store(), *point, false);
    sheet().app().RunModal(box);
  }
}

void CStockChart::ShowShellBars(bool show) {
  WindowStation* station = app_.station();
  barsHidden_ = !show;
  if (!station || !app_.frame()) return;
  SHFullScreen(*station, app_.frame()->hwnd(),
               show ? SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON
                    : SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON);
}

void CStockChart::ToggleFullScreen() {
  fullScreen_ = !fullScreen_;
  QWidget* top = &sheet();
  if (fullScreen_) {
    sheetGeometry_ = top->geometry();
    sheetSize_ = top->size();
    ShowShellBars(false);
    sheet().tabs()->tabBar()->hide();
    top->setFixedSize(kScreenWidth, kScreenHeight);
    top->move(top->x(), 0);
  } else {
    rotated_ = false;
    ShowShellBars(true);
    sheet().tabs()->tabBar()->show();
    if (sheetGeometry_.isValid()) {
      top->setFixedSize(sheetSize_);
      top->setGeometry(sheetGeometry_);
    }
  }
  rotateButton_->setEnabled(fullScreen_);
  Relayout();
  plot_.LoadAndScale(true);
  view_->update();
}

void CStockChart::ToggleRotated() {
  if (!fullScreen_) return;
  rotated_ = !rotated_;
  Relayout();
  plot_.LoadAndScale(true);
  view_->update();
}

bool CStockChart::OnCommand(UINT id) {
  PortfolioStore& s = store();
  CQuilletApp& app = sheet().app();
  StockRecord* r = stock();
  switch (id) {
    case ID_CHART_ADD_ENTRY: {
      if (!r) return true;
      const StockTime when = NowStockTime(s.context().clock());
      CCurrentPriceDlg dialog(this, s, app.charts(), QuoteSymbolOfStock(), r->ucMarket, false,
                              when);
      app.RunModal(dialog);
      break;
    }
    case ID_CHART_DELETE_RANGE:
    case ID_CHART_DELETE_DATA:
    case ID_CHART_MINMAX:
      if (!RunHistoryMenuCommand(id, this, app, plot_)) return true;
      break;
    default:
      return CStockPage::OnCommand(id);
  }
  // Whatever the dialog wrote, the history is read again.
  plot_.Reload();
  plot_.LoadAndScale(true);
  view_->update();
  return true;
}

}  // namespace quillet
