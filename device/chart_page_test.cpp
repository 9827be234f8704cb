// The charts in the program: the Chart page driven through its widgets (range, paging, stylus,
// full screen, the chart menu), the Current Price and Delete Chart Range dialogs, the Portfolio
// Charts view, and the picture quillet-cli draws of the same history.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QToolButton>
#include <map>

#include "charts/chart_setup.h"
#include "core/messages.h"
#include "core/string_table.h"
#include "device/chart_dialogs.h"
#include "device/main_frame.h"
#include "device/portfolio_charts_dialog.h"
#include "device/resource_ids.h"
#include "device/stock_page_chart.h"
#include "device/stock_sheet.h"
#include "device/testing/device_test_support.h"
#include "platform/linux/shell_services.h"
#include "platform/message_box.h"

namespace quillet {
namespace {

using testing::DeviceFixture;

constexpr StockTime kMay2 = 1051833600;  // 2003-05-02 00:00 UTC
constexpr StockTime kDay = 86400;

template <class T>
T* Child(QWidget* parent, const char* name) {
  T* found = parent ? parent->findChild<T*>(QString::fromLatin1(name)) : nullptr;
  EXPECT_NE(found, nullptr) << name;
  return found;
}

template <class Pred>
bool WaitUntil(Pred done) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > 10000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

class ChartPageTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (app) app->ExitInstance();
    app.reset();
    if (program) fx.ctx().SetWindowStation(nullptr);
  }
  // The program's windows on the device, for the tests that talk to the shell.
  void WithWindows() {
    program = std::make_unique<WindowStation>(fx.ctx().root());
    fx.ctx().SetWindowStation(program.get());
  }
  void Start() {
    bool started = false;
    app = fx.Start(&started);
    ASSERT_TRUE(started);
    frame = app->frame();
    fx.AnswerDialogsWith(scripts);
  }
  void History(const char* name, int days, double from = 10) {
    for (int i = 0; i < days; ++i) {
      const double close = from + (i % 11) + i * 0.05;
      ASSERT_TRUE(app->charts()->SetPoint(name, 0, kMay2 + static_cast<StockTime>(i) * kDay,
                                          {close, close - 0.5, close + 0.7, 1000.0 + i * 10},
                                          kStockScale));
    }
  }
  void SelectNamed(std::string_view name) {
    CStockListView* list = frame->list();
    for (int row = 0; row < list->RowCount(); ++row) {
      if (list->StockAtRow(row)->Name() == name) list->SelectRow(row);
    }
  }
  // Opens the Chart page of a stock and runs `script` on it, then OK.
  void OnChartPage(std::string_view stock, std::function<void(CStockSheet&, CStockChart&)> script) {
    scripts["stockSheet"] = [script](QDialog& d) {
      auto& sheet = static_cast<CStockSheet&>(d);
      auto* page = qobject_cast<CStockChart*>(sheet.CurrentPage());
      ASSERT_NE(page, nullptr);
      script(sheet, *page);
      Child<QPushButton>(&sheet, "okButton")->click();
    };
    SelectNamed(stock);
    frame->UpdateCommandStates();
    frame->OnCommand(ID_VIEW_CHART);
  }

  testing::ScopedTimeZone tz{"UTC"};
  DeviceFixture fx;
  std::unique_ptr<WindowStation> program;
  std::unique_ptr<CQuilletApp> app;
  CMainFrame* frame = nullptr;
  testing::DeviceFixture::DialogScripts scripts;
};

TEST_F(ChartPageTest, ThePictureFromTheCommandLineIsWhatThePageShows) {
  fx.Seed({"Tech"}, {{.name = "Intl Bus", .symbol = "IBM", .portfolio = 1, .buyPrice = "14"}});
  Start();
  History("IBM", 120);
  QImage shown;
  OnChartPage("Intl Bus", [&](CStockSheet&, CStockChart& page) {
    EXPECT_EQ(page.view()->size(), QSize(kChartPageWidth, kChartPageHeight));
    EXPECT_EQ(page.plot().pointsPerScreen(), (206 + 2) / 4);
    EXPECT_EQ(page.plot().firstIndex(), 120 - 52) << "the newest screen of the Small range";
    shown = page.view()->Picture();
  });
  ASSERT_FALSE(shown.isNull());
  const std::string file = fx.root.dir.path() + "/ibm.png";
  const std::string root = fx.ctx().root();
  std::string out;
  ASSERT_EQ(testing::RunCommand(
                "TZ=UTC " + testing::ShellQuote(testing::BuiltProgram("bin/quillet-cli")) +
                    " --device-root " + testing::ShellQuote(root) + " chart png IBM 0 " +
                    testing::ShellQuote(file) + " --size 240x176 2>&1",
                &out),
            0)
      << out;
  QImage written(QString::fromStdString(file));
  ASSERT_FALSE(written.isNull()) << "a PNG any reader takes";
  EXPECT_TRUE(written.convertToFormat(QImage::Format_RGB32) == shown)
      << "the command line draws the page's pixels";
}

TEST_F(ChartPageTest, RangeAndSpinPageTheHistoryAndTheRangeIsRemembered) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "AAA"}});
  Start();
  History("AAA", 300);
  OnChartPage("Alpha", [&](CStockSheet&, CStockChart& page) {
    auto* spin = Child<QSpinBox>(&page, "chartSpin");
    // A plot 206 pixels wide shows 52 points on the Small range.
    EXPECT_EQ(page.plot().firstIndex(), 248);
    spin->stepDown();
    EXPECT_EQ(page.plot().firstIndex(), 196);
    EXPECT_EQ(spin->value(), 0) << "the spin is back in the middle after each step";
    spin->stepDown();
    EXPECT_EQ(page.plot().firstIndex(), 144);
    spin->stepUp();
    EXPECT_EQ(page.plot().firstIndex(), 196);
    page.OnRangeChosen(kChartMedium);
    EXPECT_EQ(page.plot().pointsPerScreen(), (206 + 2) / 2);
    EXPECT_EQ(page.plot().firstIndex(), 300 - 104);
  });
  EXPECT_EQ(app->store()->ucChartSize, kChartMedium);
}

TEST_F(ChartPageTest, StylusReadsOutAPointAndLiftingItShowsTheInfoBox) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "AAA"}});
  Start();
  ASSERT_TRUE(app->charts()->SetPoint("AAA", 0, kMay2, {84.5, 83, 85, 5432100}, kStockScale));
  ASSERT_TRUE(app->charts()->SetPoint("AAA", 0, kMay2 + kDay, {85, 84, 86, 100}, kStockScale));
  std::string infoPrice;
  std::string infoVolume;
  scripts["chartInfoDialog"] = [&](QDialog& d) {
    infoPrice = Child<QLabel>(&d, "infoPrice")->text().toStdString();
    infoVolume = Child<QLabel>(&d, "infoVolume")->text().toStdString();
    Child<QPushButton>(&d, "okButton")->click();
  };
  OnChartPage("Alpha", [&](CStockSheet&, CStockChart& page) {
    auto* info = Child<QLabel>(&page, "chartInfo");
    page.view()->StylusAt(0, CChartPlot::kOriginX + 1, 60);
    EXPECT_FALSE(info->isHidden());
    EXPECT_TRUE(Child<QComboBox>(&page, "rangeCombo")->isHidden());
    EXPECT_EQ(info->text(), "5/2 - 84.5000");
    // Far right of a short history: still the newest point, never past it.
    page.view()->StylusAt(1, 230, 60);
    EXPECT_EQ(info->text(), "5/3 - 85.0000");
    page.view()->StylusAt(1, CChartPlot::kOriginX, 60);
    page.view()->StylusAt(2, CChartPlot::kOriginX, 60);
    EXPECT_TRUE(info->isHidden());
    EXPECT_FALSE(Child<QComboBox>(&page, "rangeCombo")->isHidden());
  });
  EXPECT_EQ(infoPrice, "84.5000");
  EXPECT_EQ(infoVolume, "5432100");
}

TEST_F(ChartPageTest, FullScreenHidesTheShellBarsAndClosingTheSheetBringsThemBack) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "AAA"}});
  WithWindows();
  Start();
  History("AAA", 40);
  // The shell's task bar, as the shell registers it, recording what it is asked.
  WindowStation shell(fx.ctx().root());
  std::vector<DWORD> asked;
  HWND bar = shell.CreateWindow("", kShellTaskBarClass, "", [&](const WindowMessage& m) -> LRESULT {
    if (m.msg == WM_SHELL_FULLSCREEN) {
      asked.push_back(static_cast<DWORD>(m.wParam));
    }
    return 0;
  });
  ASSERT_NE(bar, 0);
  OnChartPage("Alpha", [&](CStockSheet& sheet, CStockChart& page) {
    Child<QToolButton>(&page, "fullScreenButton")->click();
    EXPECT_TRUE(page.fullScreen());
    EXPECT_EQ(sheet.geometry().size(), QSize(kScreenWidth, kScreenHeight));
    EXPECT_EQ(page.view()->size(), QSize(kChartPageWidth, kFullScreenChartHeight));
    Child<QToolButton>(&page, "rotateButton")->click();
    EXPECT_TRUE(page.view()->rotated());
    EXPECT_EQ(page.plot().plotWidth(), kFullScreenChartHeight - 34) << "the long side";
    page.view()->StylusAt(0, CChartPlot::kOriginX + 4, 100);
    EXPECT_EQ(Child<QLabel>(&page, "chartInfo")->text().toStdString().rfind("[", 0), 0u)
        << "the full-screen read-out carries the year";
    page.view()->StylusAt(2, 10, 100);
    ASSERT_TRUE(WaitUntil([&] {
      shell.DispatchPending(bar);
      return !asked.empty();
    }));
    EXPECT_EQ(asked.back(), SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON);
    // OK while still full screen.
  });
  ASSERT_TRUE(WaitUntil([&] {
    shell.DispatchPending(bar);
    return asked.size() >= 2;
  }));
  EXPECT_EQ(asked.back(), SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON);
  shell.DestroyWindow(bar);
}

TEST_F(ChartPageTest, ChartMenuEditsDeletesAndTogglesTheRange) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "AAA"}, {.name = "Beta", .symbol = "BBB"}});
  Start();
  History("AAA", 5);
  History("BBB", 5);
  scripts["currentPriceDialog"] = [](QDialog& d) {
    auto* date = Child<QDateEdit>(&d, "priceDate");
    date->setDate(QDate(2003, 5, 3));
    EXPECT_FALSE(Child<QLineEdit>(&d, "priceEdit")->text().isEmpty())
        << "the day's point is loaded";
    Child<QLineEdit>(&d, "priceEdit")->setText("99.5");
    Child<QPushButton>(&d, "okButton")->click();
  };
  scripts["deleteChartRangeDialog"] = [](QDialog& d) {
    Child<QDateEdit>(&d, "rangeDate")->setDate(QDate(2003, 5, 3));
    Child<QCheckBox>(&d, "allRecords")->setChecked(true);
    Child<QPushButton>(&d, "okButton")->click();
  };
  OnChartPage("Alpha", [&](CStockSheet& sheet, CStockChart& page) {
    sheet.OnCommand(ID_CHART_ADD_ENTRY);
    ASSERT_EQ(page.plot().points().size(), 5u);
    EXPECT_EQ(page.plot().points()[1].dwPrice, 995000u) << "the history is read again";
    sheet.OnCommand(ID_CHART_DELETE_RANGE);
    EXPECT_EQ(page.plot().points().size(), 3u) << "up to and including May 3";
    EXPECT_EQ(app->charts()->FindSeries("BBB", 0)->points.size(), 3u) << "all records";
    sheet.OnCommand(ID_CHART_MINMAX);
    EXPECT_TRUE(app->store()->ucPrefFlags & kPrefChartMinMax);
    fx.root.answers.Push(IDNO);
    sheet.OnCommand(ID_CHART_DELETE_DATA);
    EXPECT_TRUE(app->charts()->HasSeries("AAA", 0));
    fx.root.answers.Push(IDYES);
    sheet.OnCommand(ID_CHART_DELETE_DATA);
    EXPECT_FALSE(app->charts()->HasSeries("AAA", 0));
    EXPECT_TRUE(page.plot().points().empty());
  });
  EXPECT_EQ(fx.root.answers.texts().back(), strings::LoadString(strings::IDS_DELETE_CHART_DATA));
}

TEST_F(ChartPageTest, CloseRequestEndsTheChartDialogsAsCancel) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "AAA"}});
  Start();
  History("AAA", 5);
  PortfolioStore& s = *app->store();
  CCurrentPriceDlg price(frame, s, app->charts(), "AAA", 0, true, kMay2 + 2 * kDay);
  Child<QLineEdit>(&price, "priceEdit")->setText("50");
  price.CloseForSync();
  EXPECT_EQ(price.result(), 0);
  EXPECT_EQ(app->charts()->FindSeries("AAA", 0)->points[2].dwPrice,
            ToFixedPoint(12.1, kStockScale));
  CDeleteChartRangeDlg range(frame, s, kMay2 + 4 * kDay);
  range.CloseForSync();
  EXPECT_EQ(range.result(), 0);
}

TEST_F(ChartPageTest, EditCurrentPriceRefusesABadPriceAndSetsEveryLotOfTheSymbol) {
  fx.Seed({}, {{.name = "Lot one", .symbol = "AAA", .price = "10"},
               {.name = "Lot two", .symbol = "AAA", .price = "10"},
               {.name = "Other", .symbol = "BBB", .price = "7"}});
  Start();
  std::vector<bool> stayedOpen;
  scripts["currentPriceDialog"] = [&](QDialog& d) {
    auto* price = Child<QLineEdit>(&d, "priceEdit");
    for (const char* bad : {"", "0", "-3", "1x"}) {
      price->setText(QString::fromLatin1(bad));
      Child<QPushButton>(&d, "okButton")->click();
      stayedOpen.push_back(d.isVisible());
    }
    price->setText("12.5");
    Child<QLineEdit>(&d, "volumeEdit")->setText("4000");
    Child<QPushButton>(&d, "okButton")->click();
  };
  SelectNamed("Lot one");
  frame->UpdateCommandStates();
  frame->OnCommand(ID_EDIT_PRICE);
  EXPECT_EQ(stayedOpen, std::vector<bool>(4, true));
  EXPECT_EQ(fx.root.answers.texts().size(), 4u);
  auto saved = fx.LoadSaved();
  for (const auto& r : saved->stocks) {
    EXPECT_STREQ(r->szPrice, r->Symbol() == "AAA" ? "12.5" : "7") << r->Name();
  }
  auto series = app->charts()->FindSeries("AAA", 0);
  ASSERT_TRUE(series);
  ASSERT_EQ(series->points.size(), 1u);
  EXPECT_EQ(series->points[0].dwPrice, 125000u);
  EXPECT_EQ(series->points[0].dwVolume, 4000u);

  // Its Delete button removes the day's point.
  scripts["currentPriceDialog"] = [](QDialog& d) {
    Child<QPushButton>(&d, "deleteButton")->click();
  };
  frame->OnCommand(ID_EDIT_PRICE);
  EXPECT_TRUE(app->charts()->FindSeries("AAA", 0)->points.empty() ||
              !app->charts()->HasSeries("AAA", 0));
}

TEST_F(ChartPageTest, PortfolioChartsListBySymbolWhileOpenAndRestoreTheUsersSort) {
  fx.Seed({"Tech"},
          {{.name = "Zeta", .symbol = "AAA", .portfolio = 1, .shares = "10", .price = "30"},
           {.name = "Alpha", .symbol = "CCC", .portfolio = 1, .shares = "10", .price = "20"},
           {.name = "Mid", .symbol = "BBB", .portfolio = 1, .shares = "5", .price = "1"}},
          [](PortfolioStore& s) { s.ucSortKey = 0; });  // by name
  Start();
  ASSERT_TRUE(frame->ToolbarButton(ID_PORTFOLIO_CHARTS)->isEnabled());
  EXPECT_TRUE(Child<QToolButton>(frame->list(), "chartButton")->isEnabled());
  EXPECT_TRUE(app->IsCommandAvailable(ID_EDIT_PRICE));
  ASSERT_TRUE(app->charts()->SetPoint("PORTFOLIO1", 255, kMay2, {100, 90, -10, 0}, 1));
  ASSERT_TRUE(app->charts()->SetPoint("PORTFOLIO1", 255, kMay2 + kDay, {100, 130, 30, 0}, 1));
  std::vector<std::string> order;
  scripts["portfolioChartsDialog"] = [&](QDialog& d) {
    auto& view = static_cast<CPortfolioChartsDlg&>(d);
    for (const auto& r : app->store()->stocks) order.push_back(std::string(r->Symbol()));
    auto* selector = Child<QComboBox>(&d, "portfolioSelector");
    selector->setCurrentIndex(selector->findData(1));
    view.OnPortfolioChosen();
    Child<QToolButton>(&d, "barButton")->click();
    EXPECT_TRUE(Child<QComboBox>(&d, "rangeCombo")->isHidden()) << "history mode only";
    Child<QToolButton>(&d, "historyButton")->click();
    EXPECT_FALSE(Child<QComboBox>(&d, "rangeCombo")->isHidden());
    view.OnSeriesChosen(kSeriesProfit);
    EXPECT_DOUBLE_EQ(view.plot().minValue(), -10);
    EXPECT_DOUBLE_EQ(view.plot().maxValue(), 30);
    // A portfolio entry goes in whole units.
    scripts["currentPriceDialog"] = [](QDialog& p) {
      EXPECT_EQ(Child<QLineEdit>(&p, "highEdit")->text(), "-10") << "today's point, a loss";
      Child<QDateEdit>(&p, "priceDate")->setDate(QDate(2003, 5, 4));
      EXPECT_TRUE(Child<QLineEdit>(&p, "highEdit")->text().isEmpty()) << "a day without a point";
      Child<QLineEdit>(&p, "priceEdit")->setText("250");
      Child<QLineEdit>(&p, "highEdit")->setText("-40");
      Child<QPushButton>(&p, "okButton")->click();
    };
    view.OnCommand(ID_CHART_ADD_ENTRY);
    EXPECT_EQ(view.plot().points().size(), 3u);
    selector->setCurrentIndex(selector->findData(int{PORTFOLIO_ALL}));
    view.OnPortfolioChosen();
    view.OnCommand(ID_CHART_ADD_ENTRY);  // nothing while "All" is chosen
    Child<QPushButton>(&d, "okButton")->click();
  };
  frame->OnCommand(ID_PORTFOLIO_CHARTS);
  EXPECT_EQ(order, (std::vector<std::string>{"AAA", "BBB", "CCC"}));
  std::vector<std::string> after;
  for (const auto& r : app->store()->stocks) after.push_back(std::string(r->Name()));
  EXPECT_EQ(after, (std::vector<std::string>{"Alpha", "Mid", "Zeta"})) << "the user's sort";
  EXPECT_EQ(app->store()->wPortfolioChartMode, kModeHistory);
  EXPECT_EQ(app->store()->wPortfolioChartValue, kSeriesProfit);
  auto s = app->charts()->FindSeries("PORTFOLIO1", 255);
  ASSERT_EQ(s->points.size(), 3u);
  EXPECT_EQ(s->points[2].dwPrice, 250u);
  EXPECT_EQ(SignedAmount(s->points[2].dwHigh), -40);
}

}  // namespace
}  // namespace quillet
