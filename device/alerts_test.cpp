// Alerts through the program's own windows: the stock sheet's Alert page, the Alerts view with
// its edit dialog, and what the user is shown afterwards (the Alerts button, the Today item's
// value, the notification bubble).
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <functional>
#include <map>

#include "core/alert_evaluation.h"
#include "core/quote_tables.h"
#include "device/alert_bubble.h"
#include "device/alerts_view.h"
#include "device/main_frame.h"
#include "device/resource_ids.h"
#include "device/stock_sheet.h"
#include "device/testing/device_test_support.h"
#include "platform/message_box.h"
#include "quotes/device/update_timer.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

using testing::DeviceFixture;

template <class T>
T* Child(QWidget* parent, const char* name) {
  T* found = parent ? parent->findChild<T*>(QString::fromLatin1(name)) : nullptr;
  EXPECT_NE(found, nullptr) << name;
  return found;
}

void AddSeedAlert(PortfolioStore& s, const char* symbol, BYTE condition, BYTE compare, double t,
                  BYTE market = 0) {
  auto alert = std::make_unique<StockAlert>();
  *alert = {};
  CopyToField(alert->szQuoteSymbol, symbol);
  alert->ucMarket = market;
  alert->ucCondition = condition;
  alert->ucCompare = compare;
  alert->dThreshold = t;
  s.alerts.push_back(std::move(alert));
}

QStringList Lines(QListWidget* list) {
  QStringList lines;
  for (int k = 0; k < list->count(); ++k) lines << list->item(k)->text();
  return lines;
}

// The first market whose quote symbols carry a suffix or prefix.
int MarketWithSuffix() {
  for (int m = 0; m < kMarketCount; ++m) {
    if (QuoteSymbol("X", m).size() > 1) return m;
  }
  return -1;
}

// The first market whose quote symbols carry a prefix, which no symbol length drops.
int MarketWithPrefix() {
  for (int m = 0; m < kMarketCount; ++m) {
    const std::string q = QuoteSymbol("Q", m);
    if (q.size() > 1 && q.back() == 'Q') return m;
  }
  return -1;
}

class AlertsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (app) app->ExitInstance();
  }
  void Start() {
    bool started = false;
    app = fx.Start(&started);
    ASSERT_TRUE(started);
    frame = app->frame();
    fx.AnswerDialogsWith(scripts);
  }
  void Select(std::string_view name) {
    CStockListView* list = frame->list();
    for (int row = 0; row < list->RowCount(); ++row) {
      if (list->StockAtRow(row)->Name() == name) list->SelectRow(row);
    }
  }
  static void Click(QWidget* parent, const char* name) {
    if (auto* b = Child<QAbstractButton>(parent, name)) b->click();
  }
  static void Type(QWidget* parent, const char* name, const char* text) {
    if (auto* e = Child<QLineEdit>(parent, name)) e->setText(QString::fromLatin1(text));
  }
  static void Choose(QWidget* parent, const char* name, int index) {
    if (auto* c = Child<QComboBox>(parent, name)) c->setCurrentIndex(index);
  }

  testing::ScopedTimeZone tz{"UTC"};
  DeviceFixture fx;
  std::unique_ptr<CQuilletApp> app;
  CMainFrame* frame = nullptr;
  testing::DeviceFixture::DialogScripts scripts;
};

// ---- The Alert page -----------------------------------------------------------------------------

TEST_F(AlertsTest, AlertPageAddsChangesAndDeletesAndTheButtonFollowsWhenTheSheetCloses) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A", .price = "12"}},
          [](PortfolioStore& s) { AddSeedAlert(s, "OTHER", 0, 4, 1); });
  Start();
  ASSERT_EQ(frame->ToolbarImageOf(ID_ALERTS), 2);
  Select("Alpha");
  scripts["stockSheet"] = [&](QDialog& d) {
    auto& sheet = static_cast<CStockSheet&>(d);
    QWidget* page = Child<QWidget>(&sheet, "alertPage");
    EXPECT_EQ(sheet.CurrentPage(), page);
    auto* list = Child<QListWidget>(page, "alertList");
    EXPECT_EQ(list->count(), 0);  // the other stock's alert is not this one's
    // Refused silently: an empty threshold, a threshold of 0.
    Click(page, "addButton");
    Type(page, "thresholdEdit", "0");
    Click(page, "addButton");
    EXPECT_EQ(list->count(), 0);
    Choose(page, "conditionCombo", 0);
    Choose(page, "compareCombo", 0);
    Type(page, "thresholdEdit", "11");
    Click(page, "addButton");
    EXPECT_EQ(Lines(list), QStringList{"C.Price     <     11.00"});
    EXPECT_EQ(list->currentRow(), 0);
    // Choosing a line copies it into the controls; Change keeps the line selected.
    Choose(page, "compareCombo", 3);
    Type(page, "thresholdEdit", "1");
    list->setCurrentRow(-1);
    list->setCurrentRow(0);
    EXPECT_EQ(Child<QComboBox>(page, "compareCombo")->currentIndex(), 0);
    EXPECT_EQ(Child<QLineEdit>(page, "thresholdEdit")->text(), "11.00");
    Choose(page, "conditionCombo", 4);
    Choose(page, "compareCombo", 4);
    Type(page, "thresholdEdit", "0");
    Click(page, "changeButton");  // a zero threshold changes nothing
    EXPECT_EQ(Lines(list), QStringList{"C.Price     <     11.00"});
    Choose(page, "conditionCombo", 0);
    Type(page, "thresholdEdit", "10");
    Click(page, "changeButton");
    EXPECT_EQ(Lines(list), QStringList{"C.Price     >     10.00"});
    EXPECT_EQ(list->currentRow(), 0);
    // Deleting the last alert leaves the list empty and nothing selected.
    Click(page, "deleteButton");
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(list->currentRow(), -1);
    Type(page, "thresholdEdit", "10");
    Click(page, "addButton");
    Click(&sheet, "okButton");
  };
  frame->OnCommand(ID_VIEW_ALERTS);
  // 12 > 10 fires: the evaluation ran when the sheet closed.
  EXPECT_EQ(app->store()->bAlertActive, 1);
  EXPECT_EQ(frame->ToolbarImageOf(ID_ALERTS), 5);
  EXPECT_EQ(ReadAlertValue(fx.ctx().registry()), 1u);
  auto saved = fx.LoadSaved();
  ASSERT_EQ(saved->alerts.size(), 2u);
  EXPECT_EQ(frame->list()->SelectedStock()->Name(), "Alpha");
}

TEST_F(AlertsTest, AlertPageNamesTheStockAsTheInfoPageWillSaveIt) {
  const int market = MarketWithSuffix();
  ASSERT_GE(market, 0);
  fx.Seed({}, {{.name = "Alpha", .symbol = "A", .price = "12"}});
  Start();
  scripts["stockSheet"] = [&](QDialog& d) {
    auto& sheet = static_cast<CStockSheet&>(d);
    QWidget* info = Child<QWidget>(&sheet, "infoPage");
    QWidget* page = Child<QWidget>(&sheet, "alertPage");
    // A new stock has no symbol yet: an alert would name nothing.
    Type(info, "symbolEdit", "");
    sheet.tabs()->setCurrentWidget(page);
    Type(page, "thresholdEdit", "5");
    Click(page, "addButton");
    EXPECT_TRUE(app->store()->alerts.empty());
    // Typed and chosen, not yet stored: the alert takes what the Info page will store.
    sheet.tabs()->setCurrentWidget(info);
    Type(info, "nameEdit", "Newco");
    Type(info, "symbolEdit", "NEW CO");
    auto* combo = Child<QComboBox>(info, "marketCombo");
    combo->setCurrentIndex(MarketChoiceIndex(market));
    emit combo->activated(combo->currentIndex());
    Type(info, "priceEdit", "3");
    sheet.tabs()->setCurrentWidget(page);
    Click(page, "addButton");
    EXPECT_EQ(Child<QListWidget>(page, "alertList")->count(), 1);
    Click(&sheet, "okButton");
  };
  frame->OnCommand(ID_NEW_STOCK);
  PortfolioStore& s = *app->store();
  ASSERT_EQ(s.alerts.size(), 1u);
  StockRecord* r = nullptr;
  for (auto& stock : s.stocks) {
    if (stock->Name() == "Newco") r = stock.get();
  }
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->ucMarket, market);
  EXPECT_TRUE(PortfolioStore::AlertNamesStock(*s.alerts[0], *r));
}

TEST_F(AlertsTest, CancellingANewStockTakesItsAlertsWithIt) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A", .price = "12"}},
          [](PortfolioStore& s) { AddSeedAlert(s, "A", 0, 4, 10); });
  Start();
  scripts["stockSheet"] = [&](QDialog& d) {
    auto& sheet = static_cast<CStockSheet&>(d);
    Type(Child<QWidget>(&sheet, "infoPage"), "symbolEdit", "NEWCO");
    QWidget* page = Child<QWidget>(&sheet, "alertPage");
    sheet.tabs()->setCurrentWidget(page);
    Type(page, "thresholdEdit", "5");
    Click(page, "addButton");
    EXPECT_EQ(app->store()->alerts.size(), 2u);
    Click(&sheet, "cancelButton");
  };
  frame->OnCommand(ID_NEW_STOCK);
  ASSERT_EQ(app->store()->alerts.size(), 1u);
  EXPECT_EQ(app->store()->alerts[0]->QuoteSymbol(), "A");
  EXPECT_EQ(app->store()->stocks.size(), 1u);
}

TEST_F(AlertsTest, AlertPageRefusesASymbolTooLongForTheAlertAndASoldStock) {
  const int market = MarketWithPrefix();
  ASSERT_GE(market, 0);
  fx.Seed({}, {{.name = "Long", .symbol = "ABCDEFGHIJKLMNO", .market = static_cast<BYTE>(market)},
               {.name = "Gone", .symbol = "G", .status = kStatusSold}});
  Start();
  for (const char* name : {"Long", "Gone"}) {
    if (std::string_view(name) == "Gone") frame->OnCommand(ID_ACTIVE_SOLD);
    Select(name);
    ASSERT_NE(frame->list()->SelectedStock(), nullptr) << name;
    scripts["stockSheet"] = [&](QDialog& d) {
      QWidget* page = Child<QWidget>(&d, "alertPage");
      static_cast<CStockSheet&>(d).tabs()->setCurrentWidget(page);
      Type(page, "thresholdEdit", "5");
      Click(page, "addButton");
      EXPECT_EQ(Child<QListWidget>(page, "alertList")->count(), 0) << name;
      Click(&d, "okButton");
    };
    frame->OnCommand(ID_VIEW_BUY);
  }
  EXPECT_TRUE(app->store()->alerts.empty());
  EXPECT_TRUE(fx.root.answers.texts().empty());
}

// ---- The Alerts view ----------------------------------------------------------------------------

class AlertsViewTest : public AlertsTest {
 protected:
  void SetUp() override {
    // Sorted by name the list shows Alpha first; in symbol order Zeta ("A") comes first.
    fx.Seed({},
            {{.name = "Zeta", .symbol = "A", .price = "12"},
             {.name = "Alpha", .symbol = "B", .price = "5"}},
            [](PortfolioStore& s) {
              s.bNameInCharts = 1;
              AddSeedAlert(s, "B", 0, 0, 1);     // 5 < 1: no
              AddSeedAlert(s, "GONE", 0, 4, 1);  // no stock
              AddSeedAlert(s, "A", 0, 4, 10);    // 12 > 10: fires
              AddSeedAlert(s, "A", 9, 4, 10);    // a condition the program does not know
            });
    Start();
  }
  QListWidget* ActiveList(QDialog& d) { return Child<QListWidget>(&d, "activeList"); }
  QListWidget* InactiveList(QDialog& d) { return Child<QListWidget>(&d, "inactiveList"); }
};

TEST_F(AlertsViewTest, ShowsFiringAndOtherAlertsWithTheirLabelsAndEvaluatesOnClosing) {
  Select("Zeta");
  scripts["alertsView"] = [&](QDialog& d) {
    EXPECT_EQ(Lines(ActiveList(d)), QStringList{"Zeta           C.Price    >    10.00"});
    EXPECT_EQ(Lines(InactiveList(d)),
              (QStringList{"Zeta           ?    >    10.00", "Alpha          C.Price    <    1.00",
                           "GONE           C.Price    >    1.00"}));
    // One selection over both lists.
    ActiveList(d)->setCurrentRow(0);
    InactiveList(d)->setCurrentRow(1);
    EXPECT_TRUE(ActiveList(d)->selectedItems().isEmpty());
    // Change through the edit dialog: a zero threshold keeps it open.
    scripts["alertEditDialog"] = [&](QDialog& e) {
      Type(&e, "thresholdEdit", "0");
      Click(&e, "okButton");
      EXPECT_TRUE(e.isVisible());
      Choose(&e, "compareCombo", 4);
      Type(&e, "thresholdEdit", "4");
      Click(&e, "okButton");
    };
    Click(&d, "changeButton");
    // The changed alert stays in its list until "Check".
    EXPECT_EQ(Lines(InactiveList(d))[1], "Alpha          C.Price    >    4.00");
    EXPECT_EQ(ActiveList(d)->count(), 1);
    Click(&d, "checkButton");
    EXPECT_EQ(ActiveList(d)->count(), 2);
    // Delete asks; the lines left still name their own alerts.
    InactiveList(d)->setCurrentRow(InactiveList(d)->count() - 1);
    fx.root.answers.Push(IDNO);
    Click(&d, "deleteButton");
    EXPECT_EQ(InactiveList(d)->count(), 2);
    InactiveList(d)->setCurrentRow(InactiveList(d)->count() - 1);
    fx.root.answers.Push(IDYES);
    Click(&d, "deleteButton");
    EXPECT_EQ(Lines(InactiveList(d)), QStringList{"Zeta           ?    >    10.00"});
    Click(&d, "okButton");
  };
  frame->OnCommand(ID_ALERTS);
  EXPECT_EQ(fx.root.answers.texts(),
            (std::vector<std::string>{"Delete alert(s)?", "Delete alert(s)?"}));
  EXPECT_EQ(app->store()->bAlertActive, 1);
  EXPECT_EQ(frame->ToolbarImageOf(ID_ALERTS), 5);
  // The user's order again, and the stock selected before selected again.
  EXPECT_EQ(frame->list()->StockAtRow(0)->Name(), "Alpha");
  EXPECT_EQ(frame->list()->SelectedStock()->Name(), "Zeta");
  // The unknown condition was kept as it was read; the deleted alert is gone from the file.
  auto saved = fx.LoadSaved();
  ASSERT_EQ(saved->alerts.size(), 3u);
  int unknown = 0;
  for (auto& a : saved->alerts) unknown += a->ucCondition == 9;
  EXPECT_EQ(unknown, 1);
}

TEST_F(AlertsViewTest, DeletingTheFiringAlertTurnsTheButtonAndTheTodayValueOff) {
  ASSERT_EQ(ReadAlertValue(fx.ctx().registry()), 1u);
  scripts["alertsView"] = [&](QDialog& d) {
    ActiveList(d)->setCurrentRow(0);
    fx.root.answers.Push(IDYES);
    Click(&d, "deleteButton");
    EXPECT_EQ(ActiveList(d)->count(), 0);
    Click(&d, "okButton");
  };
  frame->OnCommand(ID_ALERTS);
  EXPECT_EQ(app->store()->bAlertActive, 0);
  EXPECT_EQ(frame->ToolbarImageOf(ID_ALERTS), 2);
  EXPECT_EQ(ReadAlertValue(fx.ctx().registry()), 0u);
}

TEST_F(AlertsViewTest, TheCloseRequestEndsTheEditDialogAsCancel) {
  scripts["alertsView"] = [&](QDialog& d) {
    ActiveList(d)->setCurrentRow(0);
    scripts["alertEditDialog"] = [&](QDialog& e) {
      Type(&e, "thresholdEdit", "99");
      app->CloseForSync();
    };
    Click(&d, "changeButton");
  };
  frame->OnCommand(ID_ALERTS);
  EXPECT_TRUE(app->closing());
  app->ExitInstance();
  auto saved = fx.LoadSaved();
  for (auto& a : saved->alerts) EXPECT_NE(a->dThreshold, 99);
  app.reset();
}

TEST_F(AlertsViewTest, NoAutomaticUpdateRunsWhileTheViewIsOpen) {
  // Were a run to start, it would fail against a closed port and say so in the log.
  fx.ctx().settings().quoteServer = "127.0.0.1:1";
  scripts["alertsView"] = [&](QDialog& d) {
    app->updateTimer()->OnUpdateTimer();
    Click(&d, "okButton");
  };
  frame->OnCommand(ID_ALERTS);
  EXPECT_TRUE(app->networkLog().text().empty());
  EXPECT_TRUE(fx.root.answers.texts().empty());
}

// ---- Through an update --------------------------------------------------------------------------

TEST_F(AlertsTest, ABackgroundUpdateWithAFiringAlertShowsTheImageAndTheBubble) {
  testing::QuoteSimProcess sim;
  ASSERT_TRUE(sim.running());
  fx.ctx().settings().quoteServer = "127.0.0.1:" + std::to_string(sim.port());
  fx.Seed({}, {{.name = "Microsoft", .symbol = "MSFT", .price = "0", .trend = kTrendNotUpdated}},
          [](PortfolioStore& s) { AddSeedAlert(s, "MSFT", 0, 4, 0.01); });
  Start();
  ASSERT_EQ(frame->ToolbarImageOf(ID_ALERTS), 2);
  EXPECT_EQ(app->UpdateStocks(true), UpdateOutcome::kComplete);
  EXPECT_EQ(frame->ToolbarImageOf(ID_ALERTS), 5);
  ASSERT_NE(frame->alertBubble(), nullptr);
  // "Open" shows the alerts that fired.
  scripts["alertsView"] = [&](QDialog& d) {
    EXPECT_EQ(Child<QListWidget>(&d, "activeList")->count(), 1);
    Click(&d, "okButton");
  };
  ASSERT_TRUE(app->openDialogs().empty());
  ASSERT_TRUE(app->IsCommandAvailable(ID_ALERTS));
  ASSERT_FALSE(app->closing());
  frame->OnCommand(ID_NOTIFY_OPEN);
  EXPECT_EQ(frame->alertBubble(), nullptr);
  EXPECT_EQ(std::count(fx.dialogsShown.begin(), fx.dialogsShown.end(), "alertsView"), 1);
  // "Dismiss" only closes the bubble.
  ASSERT_TRUE(frame->ShowAlertNotification());
  frame->OnCommand(ID_NOTIFY_DISMISS);
  EXPECT_EQ(frame->alertBubble(), nullptr);
  EXPECT_EQ(std::count(fx.dialogsShown.begin(), fx.dialogsShown.end(), "alertsView"), 1);
}

}  // namespace
}  // namespace quillet
