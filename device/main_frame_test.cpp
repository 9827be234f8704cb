// The program driven through its real window: start-up, commands, the list and the messages
// that other processes send to the main window.
#include "device/main_frame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <filesystem>

#include "core/alert_evaluation.h"
#include "core/messages.h"
#include "core/preferences.h"
#include "core/registry/registry_store.h"
#include "device/alert_bubble.h"
#include "device/password_dialog.h"
#include "device/resource_ids.h"
#include "device/testing/device_test_support.h"
#include "platform/linux/shell_services.h"

namespace quillet {
namespace {

using testing::DeviceFixture;
using testing::StockSeed;

class MainFrameTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (app) app->ExitInstance();
  }

  void Start() {
    app = fx.Start(&started);
    ASSERT_TRUE(started);
    frame = app->frame();
    list = frame->list();
  }

  void Trigger(UINT id) {
    QAction* a = frame->Action(id);
    ASSERT_NE(a, nullptr) << id;
    frame->UpdateCommandStates();
    ASSERT_TRUE(a->isEnabled()) << id;
    a->trigger();
  }

  QString Total(const char* name) {
    auto* label = list->findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QString("?");
  }

  std::vector<std::string> ListedNames() {
    std::vector<std::string> names;
    for (int row = 0; row < list->RowCount(); ++row) {
      names.emplace_back(list->StockAtRow(row)->Name());
    }
    return names;
  }

  testing::ScopedTimeZone tz{"UTC"};
  DeviceFixture fx;
  std::unique_ptr<CQuilletApp> app;
  bool started = false;
  CMainFrame* frame = nullptr;
  CStockListView* list = nullptr;
};

TEST_F(MainFrameTest, FirstStartShowsAboutBoxAndTheTwoBuiltInPortfolios) {
  Start();
  EXPECT_TRUE(app->firstStart());
  EXPECT_EQ(fx.dialogsShown, std::vector<std::string>{"aboutDialog"});
  auto* selector = list->findChild<QComboBox*>("portfolioSelector");
  ASSERT_NE(selector, nullptr);
  QStringList items;
  for (int i = 0; i < selector->count(); ++i) items << selector->itemText(i);
  EXPECT_EQ(items, (QStringList{"All", "Unfiled", "NASDAQ", "Edit portfolios..."}));
  EXPECT_EQ(selector->currentText(), "All");
  EXPECT_EQ(list->RowCount(), 0);
  EXPECT_EQ(frame->width(), 240);
  EXPECT_EQ(frame->height(), 320);

  app->ExitInstance();
  app.reset();
  // Ending creates the folder, the three data files and the preference values.
  for (const char* name : {"QuilletDB", "StockNoteDB", "StockAlertDB"}) {
    auto path = fx.ctx().HostPath(std::string("\\Program Files\\Quillet\\") + name);
    ASSERT_TRUE(path);
    EXPECT_TRUE(fx.ctx().files().Exists(*path)) << name;
  }
  RegistryStore reg(fx.ctx().registry());
  reg.SetProductKey(kProductName);
  EXPECT_NE(reg.GetDword(kPrefSizeValue, 0), 0u);
  // The next start is not a first one.
  fx.dialogsShown.clear();
  Start();
  EXPECT_FALSE(app->firstStart());
  EXPECT_TRUE(fx.dialogsShown.empty());
}

TEST_F(MainFrameTest, AnUnreadableDataFileEndsTheStartWithoutWritingAnything) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"}});
  std::string notes = *fx.ctx().HostPath("\\Program Files\\Quillet\\StockNoteDB");
  std::filesystem::remove(notes);
  std::filesystem::create_directory(notes);
  std::string stocks = *fx.ctx().HostPath("\\Program Files\\Quillet\\QuilletDB");
  auto before = std::filesystem::last_write_time(stocks);
  app = fx.Start(&started);
  EXPECT_FALSE(started);
  EXPECT_EQ(app->frame(), nullptr);
  EXPECT_EQ(fx.root.answers.texts(), std::vector<std::string>{text::kCannotReadNotes});
  app->ExitInstance();
  app.reset();
  EXPECT_EQ(std::filesystem::last_write_time(stocks), before);
  EXPECT_TRUE(std::filesystem::is_directory(notes));
}

TEST_F(MainFrameTest, MenusToolbarAndTooltipsAreComplete) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"}});
  Start();
  for (UINT id : {ID_SORT_STOCKS, ID_SPLIT_STOCK, ID_SELL_STOCK, ID_DELETE_ALL, ID_DELETE_STOCK,
                  ID_NEW_STOCK, ID_APP_ABOUT, ID_ABOUT_PARTNERS, ID_SUPPORT, ID_PREFERENCES,
                  ID_CURRENCIES, ID_PORTFOLIOS, ID_NETWORK_LOG, ID_UPDATE_STOCKS, ID_APP_EXIT}) {
    EXPECT_NE(frame->Action(id), nullptr) << id;
  }
  const std::pair<UINT, const char*> buttons[] = {{ID_ACTIVE_SOLD, "Active/Sold"},
                                                  {ID_PORTFOLIO_CHARTS, "Portfolio Charts"},
                                                  {ID_ALERTS, "Alerts"},
                                                  {ID_INTERNET_UPDATE, "Internet Update"},
                                                  {ID_PORTFOLIO_CASH, "Portfolio Cash"}};
  for (auto [id, tip] : buttons) {
    QToolButton* b = frame->ToolbarButton(id);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->toolTip(), tip);
  }
  // The menus rise from the bar: the first item of each is drawn lowest, next to the bar.
  auto* stocks = frame->findChild<QMenu*>("menuStocksPopup");
  ASSERT_NE(stocks, nullptr);
  EXPECT_EQ(stocks->actions().back()->text(), "Sort Stocks...");
  EXPECT_EQ(stocks->actions().front()->text(), "New Stock...");
  auto* tools = frame->findChild<QMenu*>("menuToolsPopup");
  ASSERT_NE(tools, nullptr);
  EXPECT_EQ(tools->actions().back()->text(), "About Quillet...");
  EXPECT_EQ(tools->actions().front()->text(), "Exit");
  // Every menu command has its dialog.
  for (UINT id : {ID_SORT_STOCKS, ID_SPLIT_STOCK, ID_PREFERENCES, ID_CURRENCIES, ID_PORTFOLIOS,
                  ID_NETWORK_LOG}) {
    EXPECT_TRUE(frame->Action(id)->isEnabled()) << id;
  }
  for (UINT id : {ID_ALERTS, ID_INTERNET_UPDATE, ID_PORTFOLIO_CASH}) {
    EXPECT_TRUE(frame->ToolbarButton(id)->isEnabled()) << id;
  }
  EXPECT_TRUE(frame->Action(ID_DELETE_STOCK)->isEnabled());
  EXPECT_TRUE(frame->Action(ID_APP_EXIT)->isEnabled());
  EXPECT_EQ(frame->ToolbarImageOf(ID_ACTIVE_SOLD), 0);
  EXPECT_EQ(frame->ToolbarImageOf(ID_ALERTS), 2);
}

TEST_F(MainFrameTest, NewStockIsRefusedInTheSoldView) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"},
               {.name = "Gone", .symbol = "G", .status = kStatusSold}});
  Start();
  EXPECT_EQ(ListedNames(), std::vector<std::string>{"Alpha"});
  frame->ToolbarButton(ID_ACTIVE_SOLD)->click();
  EXPECT_EQ(frame->ToolbarImageOf(ID_ACTIVE_SOLD), 6);
  EXPECT_EQ(ListedNames(), std::vector<std::string>{"Gone"});
  EXPECT_EQ(list->SelectedRow(), -1);
  fx.dialogsShown.clear();
  Trigger(ID_NEW_STOCK);
  EXPECT_EQ(fx.root.answers.texts(), std::vector<std::string>{text::kNewSoldStock});
  EXPECT_EQ(fx.root.answers.shown().back().flags & MB_ICONMASK, MB_ICONINFORMATION);
  EXPECT_TRUE(fx.dialogsShown.empty());
  EXPECT_EQ(app->store()->stocks.size(), 2u);
  // Back to the active view.
  frame->ToolbarButton(ID_ACTIVE_SOLD)->click();
  EXPECT_EQ(frame->ToolbarImageOf(ID_ACTIVE_SOLD), 0);
  EXPECT_EQ(ListedNames(), std::vector<std::string>{"Alpha"});
}

TEST_F(MainFrameTest, DeleteStockAsksOnlyWhatApplies) {
  fx.Seed({}, {{.name = "Plain", .symbol = "PLN"}, {.name = "Watched over", .symbol = "WO"}},
          [](PortfolioStore& s) {
            auto alert = std::make_unique<StockAlert>();
            *alert = {};
            CopyToField(alert->szQuoteSymbol, "WO");
            alert->dThreshold = 5;
            s.alerts.push_back(std::move(alert));
          });
  Start();
  // Nothing selected: the command says so and does nothing else.
  Trigger(ID_DELETE_STOCK);
  EXPECT_EQ(fx.root.answers.texts(), std::vector<std::string>{text::kNoStockSelected});
  fx.root.answers.ClearShown();

  list->SelectRow(0);
  ASSERT_EQ(list->SelectedStock()->Name(), "Plain");
  fx.root.answers.Push(IDYES);
  Trigger(ID_DELETE_STOCK);
  EXPECT_EQ(fx.root.answers.texts(), std::vector<std::string>{text::kDeleteStock});
  EXPECT_EQ(ListedNames(), std::vector<std::string>{"Watched over"});
  EXPECT_EQ(list->SelectedRow(), -1);
  EXPECT_EQ(fx.LoadSaved()->stocks.size(), 1u);  // saved at once

  // A stock named by an alert is also asked about its alerts; No keeps them.
  fx.root.answers.ClearShown();
  list->SelectRow(0);
  fx.root.answers.Push(IDYES);
  fx.root.answers.Push(IDNO);
  list->findChild<QToolButton*>("deleteButton")->click();
  EXPECT_EQ(fx.root.answers.texts(),
            (std::vector<std::string>{text::kDeleteStock, text::kDeleteAlerts}));
  EXPECT_EQ(list->RowCount(), 0);
  EXPECT_EQ(app->store()->alerts.size(), 1u);
}

TEST_F(MainFrameTest, DeleteStockWithChartDataAsksAboutItToo) {
  fx.Seed({}, {{.name = "Charted", .symbol = "CHT"}});
  {
    ChartStore charts(fx.ctx().objectStore(), fx.ctx().messageBoxes());
    ASSERT_TRUE(charts.OpenChartStore());
    ASSERT_TRUE(charts.AddDailyPoint("CHT", 0, 1051833600, {12, 11, 13, 1000}, kStockScale));
    charts.CloseChartStore();
  }
  Start();
  list->SelectRow(0);
  fx.root.answers.Push(IDYES);
  fx.root.answers.Push(IDYES);
  Trigger(ID_DELETE_STOCK);
  EXPECT_EQ(fx.root.answers.texts(),
            (std::vector<std::string>{text::kDeleteStock, text::kDeleteChartData}));
  EXPECT_FALSE(app->charts()->FindSeries("CHT", 0));
  EXPECT_EQ(list->RowCount(), 0);
}

TEST_F(MainFrameTest, DeleteStockAnsweredNoKeepsTheStock) {
  fx.Seed({}, {{.name = "Plain", .symbol = "PLN"}});
  Start();
  list->SelectRow(0);
  fx.root.answers.Push(IDNO);
  Trigger(ID_DELETE_STOCK);
  EXPECT_EQ(list->RowCount(), 1);
  EXPECT_EQ(app->store()->stocks.size(), 1u);
}

TEST_F(MainFrameTest, DeleteAllAnsweredYesThenNoDeletesNothing) {
  fx.Seed({}, {{.name = "One", .symbol = "O"}, {.name = "Two", .symbol = "T"}});
  Start();
  fx.root.answers.Push(IDYES);
  fx.root.answers.Push(IDNO);
  Trigger(ID_DELETE_ALL);
  ASSERT_EQ(fx.root.answers.shown().size(), 2u);
  EXPECT_EQ(fx.root.answers.shown()[0].flags, MB_YESNO | MB_ICONWARNING);
  EXPECT_EQ(fx.root.answers.shown()[1].flags, MB_YESNO | MB_ICONSTOP);
  EXPECT_EQ(list->RowCount(), 2);
  EXPECT_EQ(fx.LoadSaved()->stocks.size(), 2u);

  fx.root.answers.Push(IDYES);
  fx.root.answers.Push(IDYES);
  Trigger(ID_DELETE_ALL);
  EXPECT_EQ(list->RowCount(), 0);
  EXPECT_EQ(fx.LoadSaved()->stocks.size(), 0u);
}

TEST_F(MainFrameTest, TypeAheadSearchesForThreeSeconds) {
  fx.Seed({},
          {{.name = "Mobil", .symbol = "XOM"},
           {.name = "Microsoft", .symbol = "MSFT"},
           {.name = "Intel", .symbol = "INTC"}},
          [](PortfolioStore& s) { s.bAutoSort = 0; });
  Start();
  auto* ctrl = list->findChild<QTreeView*>("stockList");
  ASSERT_NE(ctrl, nullptr);
  // The first key only selects the first row when nothing is selected.
  QTest::keyClick(ctrl, Qt::Key_Z);
  EXPECT_EQ(list->SelectedRow(), 0);
  fx.root.clock.Advance(5);
  QTest::keyClick(ctrl, Qt::Key_M);
  EXPECT_EQ(list->SelectedStock()->Name(), "Mobil");
  fx.root.clock.Advance(2);
  QTest::keyClick(ctrl, Qt::Key_I);
  EXPECT_EQ(list->SelectedStock()->Name(), "Microsoft");
  EXPECT_EQ(app->store()->dwSelectedStock, list->SelectedStock()->dwId);
  fx.root.clock.Advance(3);
  QTest::keyClick(ctrl, Qt::Key_I);
  EXPECT_EQ(list->SelectedStock()->Name(), "Intel");
  // No match keeps the selection; arrows move it within the list.
  QTest::keyClick(ctrl, Qt::Key_Q);
  EXPECT_EQ(list->SelectedStock()->Name(), "Intel");
  QTest::keyClick(ctrl, Qt::Key_Down);
  EXPECT_EQ(list->SelectedStock()->Name(), "Intel");
  QTest::keyClick(ctrl, Qt::Key_Up);
  EXPECT_EQ(list->SelectedStock()->Name(), "Microsoft");
  QTest::keyClick(ctrl, Qt::Key_PageUp);
  QTest::keyClick(ctrl, Qt::Key_PageUp);
  EXPECT_EQ(list->SelectedStock()->Name(), "Mobil");
}

TEST_F(MainFrameTest, HeaderMenusChooseTheColumnsAndTheArrowMode) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"}});
  Start();
  auto* ctrl = list->findChild<QTreeView*>("stockList");
  list->OnHeaderClicked(2);
  auto* menu = list->findChild<QMenu*>("headerMenu");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->actions().size(), 10);
  EXPECT_TRUE(menu->actions()[0]->isChecked());
  menu->findChild<QAction*>("choice31204")->trigger();
  menu->close();
  QApplication::processEvents();
  EXPECT_EQ(app->store()->ucColumnValue, kValueCost);
  EXPECT_EQ(ctrl->model()->headerData(2, Qt::Horizontal).toString(), "Cost");

  list->OnHeaderClicked(3);
  menu = list->findChild<QMenu*>("headerMenu");
  ASSERT_NE(menu, nullptr);
  menu->findChild<QAction*>("choice31947")->trigger();
  menu->close();
  QApplication::processEvents();
  EXPECT_EQ(app->store()->ucPrefFlags & kPrefArrowsShowToday, 0);
  // Column 4 has no menu.
  list->OnHeaderClicked(4);
  EXPECT_EQ(list->findChild<QMenu*>("headerMenu"), nullptr);
}

TEST_F(MainFrameTest, PortfolioSelectorFiltersTheListAndOnlyASinglePortfolioRecordsHistory) {
  fx.Seed({"Tech"}, {{.name = "Alpha", .symbol = "A", .portfolio = 2, .price = "15"},
                     {.name = "Beta", .symbol = "B", .portfolio = 0}});
  Start();
  ASSERT_EQ(app->store()->wViewPortfolio, PORTFOLIO_ALL);
  EXPECT_EQ(list->RowCount(), 2);
  EXPECT_FALSE(app->charts()->FindSeries("PORTFOLIO2", kPortfolioSeriesMarket));
  auto* selector = list->findChild<QComboBox*>("portfolioSelector");
  int tech = selector->findText("Tech");
  ASSERT_GE(tech, 0);
  selector->setCurrentIndex(tech);
  emit selector->activated(tech);
  EXPECT_EQ(app->store()->wViewPortfolio, 2);
  EXPECT_EQ(ListedNames(), std::vector<std::string>{"Alpha"});
  EXPECT_EQ(Total("totalProfit"), "500.00");
  EXPECT_EQ(Total("totalCost"), "1000.00");
  EXPECT_EQ(Total("totalValue"), "1500.00");
  EXPECT_EQ(Total("totalProfitPercent"), "50.00%");
  auto series = app->charts()->FindSeries("PORTFOLIO2", kPortfolioSeriesMarket);
  ASSERT_TRUE(series);
  ASSERT_EQ(series->points.size(), 1u);
  EXPECT_EQ(series->points[0].dwPrice, 1000u);
  EXPECT_EQ(series->points[0].dwLow, 1500u);
}

TEST_F(MainFrameTest, CurrencyButtonShowsAndTogglesTheDisplayCurrency) {
  fx.Seed({"Euro"}, {{.name = "Alpha", .symbol = "A", .portfolio = 2}}, [](PortfolioStore& s) {
    s.AddCurrency("EUR", "1.5");
    s.SetPortfolioCurrency(2, 1);
    s.wViewPortfolio = 2;
  });
  Start();
  list->SelectRow(0);
  auto* button = list->findChild<QToolButton*>("currencyButton");
  EXPECT_EQ(button->text(), "EUR");
  EXPECT_EQ(Total("totalCost"), "1000.00");
  button->click();
  EXPECT_TRUE(app->store()->ConvertToBase());
  EXPECT_EQ(button->text(), "USD");
  EXPECT_EQ(Total("totalCost"), "1500.00");
  EXPECT_EQ(list->SelectedRow(), 0);  // the selection is kept
}

TEST_F(MainFrameTest, TapAndHoldOffersSellDetailsOnlyForSoldStocks) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"},
               {.name = "Gone", .symbol = "G", .status = kStatusSold}});
  Start();
  list->OnRowHold(0, QPoint(10, 10));
  EXPECT_EQ(list->SelectedRow(), 0);
  auto* menu = frame->findChild<QMenu*>("stockMenu");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->findChild<QAction*>(QString("cmd%1").arg(ID_VIEW_SELL)), nullptr);
  EXPECT_NE(menu->findChild<QAction*>(QString("cmd%1").arg(ID_DELETE_STOCK)), nullptr);
  menu->close();
  frame->ToolbarButton(ID_ACTIVE_SOLD)->click();
  list->OnRowHold(0, QPoint(10, 10));
  EXPECT_NE(menu->findChild<QAction*>(QString("cmd%1").arg(ID_VIEW_SELL)), nullptr);
  // Delete from the menu works on the held stock.
  fx.root.answers.Push(IDYES);
  menu->findChild<QAction*>(QString("cmd%1").arg(ID_DELETE_STOCK))->trigger();
  menu->close();
  EXPECT_EQ(list->RowCount(), 0);
  EXPECT_EQ(app->store()->stocks.size(), 1u);
}

TEST_F(MainFrameTest, HoldingTheStylusOnARowOpensTheStockMenu) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"}, {.name = "Beta", .symbol = "B"}});
  Start();
  frame->show();
  auto* ctrl = list->findChild<QTreeView*>("stockList");
  QRect second = ctrl->visualRect(ctrl->model()->index(1, 0));
  QTest::mousePress(ctrl->viewport(), Qt::LeftButton, {}, second.center());
  QTest::qWait(900);
  auto* menu = frame->findChild<QMenu*>("stockMenu");
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->isVisible());
  EXPECT_EQ(list->SelectedRow(), 1);
  menu->close();
  QTest::mouseRelease(ctrl->viewport(), Qt::LeftButton, {}, second.center());
  // A short tap only selects.
  QRect first = ctrl->visualRect(ctrl->model()->index(0, 0));
  QTest::mouseClick(ctrl->viewport(), Qt::LeftButton, {}, first.center());
  QTest::qWait(700);
  EXPECT_FALSE(menu->isVisible());
  EXPECT_EQ(list->SelectedRow(), 0);
}

TEST_F(MainFrameTest, ExitRemembersTheSelectedStockOrTheFirstOneInView) {
  std::vector<StockSeed> many;
  for (int k = 0; k < 40; ++k) {
    many.push_back({.name = "Stock " + std::to_string(100 + k), .symbol = "S" + std::to_string(k)});
  }
  fx.Seed({}, many);
  Start();
  list->SelectRow(3);
  const DWORD chosen = list->SelectedStock()->dwId;
  Trigger(ID_APP_EXIT);
  EXPECT_TRUE(app->quitRequested());
  app->ExitInstance();
  app.reset();
  EXPECT_EQ(fx.LoadSaved()->dwSelectedStock, chosen);

  // Started again, the same stock is selected; without a selection the top row in view counts.
  Start();
  ASSERT_NE(list->SelectedStock(), nullptr);
  EXPECT_EQ(list->SelectedStock()->dwId, chosen);
  auto* ctrl = list->findChild<QTreeView*>("stockList");
  ctrl->clearSelection();
  ctrl->scrollToBottom();
  QApplication::processEvents();
  StockRecord* top = list->SelectedOrFirstStock();
  ASSERT_NE(top, nullptr);
  EXPECT_NE(top->dwId, list->StockAtRow(0)->dwId);
  const DWORD topId = top->dwId;
  Trigger(ID_APP_EXIT);
  app->ExitInstance();
  app.reset();
  EXPECT_EQ(fx.LoadSaved()->dwSelectedStock, topId);
}

TEST_F(MainFrameTest, SupportAboutAndPartners) {
  fx.Seed({}, {});
  Start();
  Trigger(ID_SUPPORT);
  ASSERT_EQ(fx.root.answers.shown().size(), 1u);
  EXPECT_EQ(fx.root.answers.shown()[0].flags, MB_OK | MB_ICONINFORMATION);
  EXPECT_NE(fx.root.answers.shown()[0].text.find("support"), std::string::npos);
  fx.dialogs = [](QDialog& d) {
    if (auto* partners = d.findChild<QPushButton*>("partnersButton")) partners->click();
    if (auto* version = d.findChild<QLabel*>("programVersion")) {
      EXPECT_EQ(version->text(), "v3.03");
    }
    return 1;
  };
  Trigger(ID_APP_ABOUT);
  EXPECT_EQ(fx.dialogsShown, (std::vector<std::string>{"aboutDialog", "partnersDialog"}));
  fx.dialogsShown.clear();
  Trigger(ID_ABOUT_PARTNERS);
  EXPECT_EQ(fx.dialogsShown, std::vector<std::string>{"partnersDialog"});
}

// ---- Password ---------------------------------------------------------------------------------

class PasswordStartTest : public MainFrameTest,
                          public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(PasswordStartTest, OnlyTheFourStoredDigitsOpenTheProgram) {
  const auto [typed, opens] = GetParam();
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"}}, [](PortfolioStore& s) {
    s.bPassword = 1;
    s.wPassword = 1234;
    s.ucColumnValue = 4;
  });
  std::string keys = typed;
  fx.dialogs = [keys](QDialog& d) {
    for (char c : keys) {
      if (d.isHidden() && d.result() != 0) break;  // closed itself after the fourth digit
      auto* b = d.findChild<QPushButton*>(QString("digit%1").arg(c));
      if (b) b->click();
    }
    if (d.result() == 0) d.findChild<QPushButton*>("okButton")->click();
    return d.result();
  };
  app = fx.Start(&started);
  EXPECT_EQ(fx.dialogsShown, std::vector<std::string>{"passwordDialog"});
  EXPECT_EQ(started, opens) << typed;
  app->ExitInstance();
  app.reset();
  // A refused start still saves what it read.
  auto saved = fx.LoadSaved();
  EXPECT_EQ(saved->stocks.size(), 1u);
  EXPECT_EQ(saved->ucColumnValue, 4);
  EXPECT_EQ(saved->wPassword, 1234);
}

INSTANTIATE_TEST_SUITE_P(Digits, PasswordStartTest,
                         ::testing::Values(std::pair{"1234", true}, std::pair{"123", false},
                                           std::pair{"12345", true}, std::pair{"23456", false},
                                           std::pair{"4321", false}, std::pair{"", false}),
                         [](const auto& param) {
                           std::string typed = param.param.first;
                           return "typed" + (typed.empty() ? std::string("Nothing") : typed);
                         });

TEST(PasswordKeypad, SetModeShowsDigitsAndCheckModeStars) {
  CPasswordDlg set(nullptr, CPasswordDlg::Mode::kSet);
  auto* box0 = set.findChild<QLabel*>("box0");
  auto* box1 = set.findChild<QLabel*>("box1");
  EXPECT_EQ(box0->text(), "  -  ");
  set.PressDigit(7);
  EXPECT_EQ(box0->text(), "  7  ");
  EXPECT_EQ(box1->text(), "  -  ");
  set.findChild<QPushButton*>("clearButton")->click();
  EXPECT_EQ(box0->text(), "  -  ");
  EXPECT_TRUE(set.digits().isEmpty());
  for (int d : {1, 2, 3, 4, 5}) set.PressDigit(d);
  EXPECT_EQ(set.digits(), "1234");
  EXPECT_EQ(set.result(), 0);  // set mode waits for OK

  CPasswordDlg check(nullptr, CPasswordDlg::Mode::kCheck);
  check.PressDigit(0);
  EXPECT_EQ(check.findChild<QLabel*>("box0")->text(), "  *  ");
  for (int d : {0, 4, 2}) check.PressDigit(d);
  EXPECT_EQ(check.result(), QDialog::Accepted);
  EXPECT_TRUE(PasswordMatches(check.digits(), 42));
  EXPECT_FALSE(PasswordMatches("042", 42));
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

void AddAlert(PortfolioStore& s, const char* symbol, BYTE condition, BYTE compare, double t) {
  auto alert = std::make_unique<StockAlert>();
  *alert = {};
  CopyToField(alert->szQuoteSymbol, symbol);
  alert->ucCondition = condition;
  alert->ucCompare = compare;
  alert->dThreshold = t;
  s.alerts.push_back(std::move(alert));
}

TEST_F(MainFrameTest, StartUpEvaluatesTheAlertsForTheButtonAndTheTodayItem) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A", .price = "12"}},
          [](PortfolioStore& s) { AddAlert(s, "A", 0, 4, 10); });
  Start();
  EXPECT_EQ(app->store()->bAlertActive, 1);
  EXPECT_EQ(frame->ToolbarImageOf(ID_ALERTS), 5);
  EXPECT_EQ(ReadAlertValue(fx.ctx().registry()), 1u);
  // Low memory and back: the button keeps its image until the next evaluation.
  frame->OnWindowMessage({WM_HIBERNATE, 0, 0});
  frame->OnWindowMessage({WM_ACTIVATE, 1, 0});
  EXPECT_EQ(app->store()->bAlertActive, 1);
  EXPECT_EQ(frame->ToolbarImageOf(ID_ALERTS), 5);
}

TEST_F(MainFrameTest, AnAlertThatDoesNotFireLeavesTheButtonPlain) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A", .price = "12"}},
          [](PortfolioStore& s) { AddAlert(s, "A", 0, 0, 10); });
  Start();
  EXPECT_EQ(app->store()->bAlertActive, 0);
  EXPECT_EQ(frame->ToolbarImageOf(ID_ALERTS), 2);
  EXPECT_EQ(ReadAlertValue(fx.ctx().registry()), 0u);
}

TEST_F(MainFrameTest, NotificationBubbleIsReplacedAndGoesWithOpenOrDismiss) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"}});
  Start();
  ASSERT_TRUE(frame->ShowAlertNotification());
  auto* first = frame->alertBubble();
  ASSERT_NE(first, nullptr);
  ASSERT_TRUE(frame->ShowAlertNotification());
  EXPECT_NE(frame->alertBubble(), first);
  QApplication::processEvents();
  EXPECT_EQ(frame->findChildren<QFrame*>("alertBubble").size(), 1);
  frame->alertBubble()->findChild<QPushButton*>("dismissButton")->click();
  EXPECT_EQ(frame->alertBubble(), nullptr);
  frame->ShowAlertNotification();
  frame->OnCommand(ID_NOTIFY_OPEN);
  EXPECT_EQ(frame->alertBubble(), nullptr);
  EXPECT_TRUE(frame->isVisible());
}

TEST_F(MainFrameTest, WithAShellRunningTheNotificationIsTheShellsBubbleAndOpenRemovesIt) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"}});
  const std::string root = fx.ctx().root();
  WindowStation station(root);
  WindowStation shell(root);
  ASSERT_NE(shell.CreateWindow("", kShellNotifyClass, "\\Windows\\shell32.exe",
                               [](const WindowMessage&) { return 0; }),
            0u);
  fx.ctx().SetWindowStation(&station);
  CQuilletApp withStation(fx.ctx());
  withStation.SetModalAnswerer([](QDialog&) { return 1; });
  ASSERT_TRUE(withStation.InitInstance());
  CMainFrame* f = withStation.frame();
  ASSERT_TRUE(f->ShowAlertNotification());
  EXPECT_EQ(f->alertBubble(), nullptr) << "no bubble of the program's own beside the shell's";
  ASSERT_TRUE(f->ShowAlertNotification());
  std::vector<SHNOTIFICATIONDATA> shown = ReadNotifications(root);
  ASSERT_EQ(shown.size(), 1u) << "shown again, it replaces the first";
  EXPECT_EQ(shown[0].dwID, 6611u);
  EXPECT_EQ(shown[0].npPriority, SHNP_INFORM);
  EXPECT_EQ(shown[0].csDuration, 20u);
  EXPECT_EQ(shown[0].hicon, 65136u);
  EXPECT_EQ(shown[0].hwndSink, f->hwnd());
  EXPECT_EQ(shown[0].pszTitle, u"Quillet");
  EXPECT_EQ(shown[0].pszHTML,
            u"<html><body><form method=\"POST\" action=><font size=\"+1\"><b>1 or more active "
            u"alerts</b></font><p><a href=\"cmd:11\">Open</a> Quillet</p><p align=right><input "
            u"type=button name='cmd:10' value='Dismiss'></p></form></body></html>");
  // The shell sends the link back as command 11.
  ASSERT_TRUE(shell.PostMessage(f->hwnd(), WM_COMMAND, ID_NOTIFY_OPEN, 0));
  for (int i = 0; i < 500 && !ReadNotifications(root).empty(); ++i) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  EXPECT_TRUE(ReadNotifications(root).empty());
  EXPECT_TRUE(f->isVisible());
  withStation.ExitInstance();
  fx.ctx().SetWindowStation(nullptr);
}

// Counts the paint events a widget receives.
class PaintCounter final : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

TEST_F(MainFrameTest, TheTitleBarClockMovesWithTheMinutes) {
  testing::ScopedTimeZone utc("UTC");
  fx.root.clock.Set(1051891200 + 45);  // 2003-05-02 16:00:45
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"}});
  Start();
  EXPECT_EQ(frame->TitleClockText(), QString("16:00"));
  QTimer& clock = frame->titleClock();
  ASSERT_TRUE(clock.isActive()) << "the time is painted again, not once";
  EXPECT_EQ(clock.interval(), 15 * 1000 + 50) << "woken just after the next whole minute";

  PaintCounter counter;
  frame->installEventFilter(&counter);
  QApplication::processEvents();
  counter.paints = 0;
  fx.root.clock.Advance(20);  // 16:01:05: the minute has turned
  clock.start(0);             // and the timer fires
  for (int i = 0; i < 250 && counter.paints == 0; ++i) QTest::qWait(20);
  EXPECT_GT(counter.paints, 0) << "the title bar was painted again";
  EXPECT_EQ(frame->TitleClockText(), QString("16:01"));
  EXPECT_TRUE(clock.isActive());
  EXPECT_EQ(clock.interval(), 55 * 1000 + 50);
  frame->removeEventFilter(&counter);
}

}  // namespace
}  // namespace quillet
