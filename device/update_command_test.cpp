// The "Update Stocks" command of the program against the quote service simulator: the progress
// window, a second start while one runs, the failure message, the Alerts button afterwards, and
// the automatic-update timer.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include "core/alert_evaluation.h"
#include "device/main_frame.h"
#include "device/resource_ids.h"
#include "device/testing/device_test_support.h"
#include "device/update_progress_dialog.h"
#include "device/wait_cursor.h"
#include "quotes/device/update_timer.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

using testing::DeviceFixture;

class UpdateCommandTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (app) app->ExitInstance();
  }
  // Points the program's quote connections at the simulator, as the quote server setting
  // would.
  void UseQuoteServer(std::uint16_t port) {
    fx.ctx().settings().quoteServer = "127.0.0.1:" + std::to_string(port);
  }
  void Start() {
    bool started = false;
    app = fx.Start(&started);
    ASSERT_TRUE(started);
    frame = app->frame();
  }
  void SeedOneStockWithAlert() {
    fx.Seed({}, {{.name = "Microsoft", .symbol = "MSFT", .price = "0", .trend = kTrendNotUpdated}},
            [](PortfolioStore& s) {
              auto alert = std::make_unique<StockAlert>();
              *alert = {};
              CopyToField(alert->szQuoteSymbol, "MSFT");
              alert->ucCondition = 0;  // C.Price
              alert->ucCompare = 4;    // >
              alert->dThreshold = 0.01;
              s.alerts.push_back(std::move(alert));
            });
  }

  testing::ScopedTimeZone tz{"UTC"};
  DeviceFixture fx;
  std::unique_ptr<CQuilletApp> app;
  CMainFrame* frame = nullptr;
};

TEST_F(UpdateCommandTest, UpdateShowsProgressAppliesPricesAndSetsTheAlertsButton) {
  testing::QuoteSimProcess sim;
  ASSERT_TRUE(sim.running());
  UseQuoteServer(sim.port());
  SeedOneStockWithAlert();
  Start();
  // A price of 0 never fires, so the button starts plain.
  EXPECT_EQ(frame->ToolbarImageOf(ID_ALERTS), 2);
  QStringList statuses;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (auto* p = app->updateHost().progress()) {
      if (statuses.isEmpty() || statuses.back() != p->status()) statuses << p->status();
    }
  });
  watch.start(0);
  frame->Action(ID_UPDATE_STOCKS)->trigger();
  watch.stop();
  EXPECT_EQ(app->updateHost().progress(), nullptr);  // closed by the run
  EXPECT_TRUE(statuses.contains("Connecting to server...")) << statuses.join("|").toStdString();
  EXPECT_TRUE(fx.root.answers.texts().empty());
  StockRecord* r = app->store()->stocks.at(0).get();
  EXPECT_GT(ParseDecimal(FieldText(r->szPrice), 4), 0);
  EXPECT_EQ(app->store()->bAlertActive, 1);
  EXPECT_EQ(frame->ToolbarImageOf(ID_ALERTS), 5);
  EXPECT_EQ(ReadAlertValue(fx.ctx().registry()), 1u);
  EXPECT_FALSE(app->networkLog().text().empty());
  // The stock file was saved by the command.
  auto saved = fx.LoadSaved();
  EXPECT_EQ(std::string(FieldText(saved->stocks.at(0)->szPrice)),
            std::string(FieldText(r->szPrice)));
  EXPECT_EQ(sim.Requests().size(), 1u);
}

// The override cursor's shape now, -1 when none is set.
int CursorShapeNow() {
  const QCursor* c = QApplication::overrideCursor();
  return c ? static_cast<int>(c->shape()) : -1;
}

TEST_F(UpdateCommandTest, TheWaitCursorTakesOverFromTheProgressWindowUntilTheListIsFilled) {
  testing::QuoteSimProcess sim;
  ASSERT_TRUE(sim.running());
  UseQuoteServer(sim.port());
  SeedOneStockWithAlert();
  Start();
  // The save and the list's refill after the window closes take long with many stocks.
  int afterWindow = -2;
  int duringRefill = -2;
  bool hooked = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    CUpdateProgressDlg* p = app->updateHost().progress();
    if (!p || hooked) return;
    hooked = true;
    QObject::connect(p, &QObject::destroyed, [&] { afterWindow = CursorShapeNow(); });
  });
  auto* list = frame->list()->findChild<QTreeView*>("stockList");
  ASSERT_NE(list, nullptr);
  QObject::connect(list->model(), &QAbstractItemModel::modelReset,
                   [&] { duringRefill = CursorShapeNow(); });
  watch.start(0);
  frame->Action(ID_UPDATE_STOCKS)->trigger();
  watch.stop();
  ASSERT_TRUE(hooked);
  EXPECT_EQ(afterWindow, Qt::WaitCursor);
  EXPECT_EQ(duringRefill, Qt::WaitCursor);
  EXPECT_EQ(CursorShapeNow(), -1);  // and gone when the command is done
  EXPECT_EQ(list->model()->rowCount(), 1);
}

TEST_F(UpdateCommandTest, ADialogOpenedUnderTheWaitCursorShowsTheArrowWhileItWaits) {
  fx.Seed({}, {{.name = "Microsoft", .symbol = "MSFT"}});
  Start();
  int during = -2;
  fx.dialogs = [&](QDialog&) {
    during = CursorShapeNow();
    return 1;
  };
  {
    CWaitCursor wait;
    QDialog question;
    EXPECT_EQ(app->RunModal(question), 1);
    EXPECT_EQ(during, Qt::ArrowCursor);
    EXPECT_EQ(CursorShapeNow(), Qt::WaitCursor);  // the work goes on under its cursor
  }
  EXPECT_EQ(CursorShapeNow(), -1);
  // Without work under the wait cursor, a dialog sets no cursor of its own.
  QDialog plain;
  app->RunModal(plain);
  EXPECT_EQ(during, -1);
}

TEST_F(UpdateCommandTest, ASecondUpdateWhileOneRunsDoesNothing) {
  testing::QuoteSimProcess sim({"--delay", "300"});
  ASSERT_TRUE(sim.running());
  UseQuoteServer(sim.port());
  SeedOneStockWithAlert();
  Start();
  bool triedDuringRun = false;
  bool blocked = false;
  bool released = true;
  QTimer::singleShot(0, [&] {
    triedDuringRun = app->updateHost().progress() != nullptr;
    // The window takes no commands while the run works on the stocks, and low memory waits.
    blocked = QApplication::activeModalWidget() == app->updateHost().progress();
    frame->OnWindowMessage({WM_HIBERNATE, 0, 0});
    released = app->released();
    EXPECT_EQ(app->UpdateStocks(false), UpdateOutcome::kTurnedAway);
    frame->Action(ID_UPDATE_STOCKS)->trigger();
  });
  EXPECT_EQ(app->UpdateStocks(false), UpdateOutcome::kComplete);
  EXPECT_TRUE(triedDuringRun);
  EXPECT_TRUE(blocked);
  EXPECT_FALSE(released);
  EXPECT_EQ(sim.Requests().size(), 1u);
}

TEST_F(UpdateCommandTest, AFailedRunSaysSoAndStillSaves) {
  testing::QuoteSimProcess sim({"--status", "500"});
  ASSERT_TRUE(sim.running());
  UseQuoteServer(sim.port());
  SeedOneStockWithAlert();
  Start();
  frame->Action(ID_UPDATE_STOCKS)->trigger();
  EXPECT_EQ(fx.root.answers.texts(),
            std::vector<std::string>{"Update not complete, check the network log."});
  EXPECT_EQ(frame->ToolbarImageOf(ID_ALERTS), 2);
  EXPECT_NE(app->networkLog().text().find("Quillet: "), std::string::npos);
}

TEST_F(UpdateCommandTest, CancelInTheProgressWindowEndsTheRun) {
  testing::QuoteSimProcess sim({"--delay", "5000"});
  ASSERT_TRUE(sim.running());
  UseQuoteServer(sim.port());
  SeedOneStockWithAlert();
  Start();
  QTimer press;
  QObject::connect(&press, &QTimer::timeout, [&] {
    if (auto* p = app->updateHost().progress()) p->findChild<QPushButton*>("cancelButton")->click();
  });
  press.start(50);
  auto started = std::chrono::steady_clock::now();
  app->UpdateStocks(false);
  press.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
  EXPECT_EQ(ParseDecimal(FieldText(app->store()->stocks.at(0)->szPrice), 4), 0);
}

TEST_F(UpdateCommandTest, NoTimerRunStartsUnderTheStockSheetTheNextTickRuns) {
  testing::QuoteSimProcess sim;
  ASSERT_TRUE(sim.running());
  UseQuoteServer(sim.port());
  fx.Seed({}, {{.name = "Microsoft", .symbol = "MSFT", .price = "0"},
               {.name = "Apple", .symbol = "AAPL", .price = "0"}});
  Start();
  CStockListView* list = frame->list();
  list->SelectRow(1);
  ASSERT_EQ(list->SelectedStock()->Name(), "Microsoft");
  fx.dialogs = [&](QDialog& d) {
    if (d.objectName() != "stockSheet") return 0;
    // The timer fires while the sheet is open: whether the program counts as in front or not,
    // nothing runs under the sheet.
    app->updateTimer()->OnUpdateTimer();
    EXPECT_TRUE(sim.Requests().empty());
    d.findChild<QLineEdit*>("dividendEdit")->setText("3");
    d.findChild<QPushButton*>("okButton")->click();
    return d.result();
  };
  frame->OnCommand(ID_VIEW_BUY);
  EXPECT_STREQ(app->store()->FindStock(list->SelectedStock()->dwId)->szDividend, "3");
  EXPECT_EQ(list->SelectedStock()->Name(), "Microsoft");
  // The next tick, with the sheet closed, runs.
  app->updateTimer()->OnUpdateTimer();
  EXPECT_EQ(sim.Requests().size(), 1u);
}

TEST_F(UpdateCommandTest, AutomaticUpdateTimerRunsWhileTheProgramRunsAndStopsWithIt) {
  fx.Seed({}, {{.name = "Microsoft", .symbol = "MSFT"}}, [](PortfolioStore& s) {
    s.bAutoUpdate = 1;
    s.ucUpdateMinutes = 60;
  });
  Start();
  EXPECT_EQ(app->timers().IntervalOf(kUpdateTimerId), 3600000);
  frame->OnWindowMessage({WM_HIBERNATE, 0, 0});
  EXPECT_EQ(app->timers().IntervalOf(kUpdateTimerId), -1);  // no runs on a released store
  frame->OnWindowMessage({WM_ACTIVATE, 1, 0});
  EXPECT_EQ(app->timers().IntervalOf(kUpdateTimerId), 3600000);
  app->ExitInstance();
  EXPECT_EQ(app->timers().IntervalOf(kUpdateTimerId), -1);
  app.reset();
}

}  // namespace
}  // namespace quillet
