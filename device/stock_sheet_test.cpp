// The stock sheet driven through its real widgets: opened from the list's commands and taps, its
// pages filled in and confirmed, the Add, Sell and Fee dialogs answered, and what the list and
// the files hold afterwards.
#include "device/stock_sheet.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <map>

#include "core/chart_store.h"
#include "core/messages.h"
#include "core/portfolio_math.h"
#include "core/quote_tables.h"
#include "device/main_frame.h"
#include "device/resource_ids.h"
#include "device/stock_page_calc.h"
#include "device/testing/device_test_support.h"
#include "platform/message_box.h"

namespace quillet {
namespace {

using testing::DeviceFixture;
using testing::StockSeed;

template <class T>
T* Child(QWidget* parent, const char* name) {
  T* found = parent ? parent->findChild<T*>(QString::fromLatin1(name)) : nullptr;
  EXPECT_NE(found, nullptr) << name;
  return found;
}

void Type(QWidget* page, const char* name, const QString& text) {
  if (auto* edit = Child<QLineEdit>(page, name)) edit->setText(text);
}

class StockSheetTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (app) app->ExitInstance();
  }
  void Start() {
    bool started = false;
    app = fx.Start(&started);
    ASSERT_TRUE(started);
    frame = app->frame();
    list = frame->list();
    fx.AnswerDialogsWith(scripts);
  }
  // Opens the sheet through a command about the selected row (or New Stock).
  void Command(UINT id) {
    frame->UpdateCommandStates();
    frame->OnCommand(id);
  }
  void OnSheet(std::function<void(CStockSheet&)> script) {
    scripts["stockSheet"] = [script](QDialog& d) { script(static_cast<CStockSheet&>(d)); };
  }
  static QWidget* Page(CStockSheet& sheet, const char* name) {
    return Child<QWidget>(&sheet, name);
  }
  static void Click(QWidget* parent, const char* name) {
    if (auto* b = Child<QAbstractButton>(parent, name)) b->click();
  }
  static void ShowPage(CStockSheet& sheet, const char* name) {
    sheet.tabs()->setCurrentWidget(Page(sheet, name));
  }
  StockRecord* Stock(std::string_view name) {
    for (auto& r : app->store()->stocks) {
      if (r->Name() == name) return r.get();
    }
    return nullptr;
  }
  void SelectNamed(std::string_view name) {
    for (int row = 0; row < list->RowCount(); ++row) {
      if (list->StockAtRow(row)->Name() == name) list->SelectRow(row);
    }
  }

  testing::ScopedTimeZone tz{"UTC"};
  DeviceFixture fx;
  std::unique_ptr<CQuilletApp> app;
  CMainFrame* frame = nullptr;
  CStockListView* list = nullptr;
  testing::DeviceFixture::DialogScripts scripts;
};

// ---- New stocks and the Info page --------------------------------------------------------------

TEST_F(StockSheetTest, ANewStockTakesItsBuyPriceAsPriceIsListedSelectedAndSaved) {
  fx.Seed({"Tech"}, {{.name = "Alpha", .symbol = "A", .portfolio = 1}});
  Start();
  const std::size_t before = app->store()->stocks.size();
  OnSheet([](CStockSheet& sheet) {
    EXPECT_EQ(sheet.CurrentPage()->objectName(), "infoPage");
    QWidget* info = Page(sheet, "infoPage");
    EXPECT_EQ(Child<QLineEdit>(info, "nameEdit")->text(), "My Stock");
    Type(info, "nameEdit", "Fresh");
    Type(info, "symbolEdit", "FRS");
    Type(info, "priceEdit", "12.5");
    Type(info, "numberEdit", "10");
    Click(&sheet, "okButton");
  });
  Click(list, "newButton");
  ASSERT_EQ(app->store()->stocks.size(), before + 1);
  StockRecord* fresh = Stock("Fresh");
  ASSERT_NE(fresh, nullptr);
  EXPECT_STREQ(fresh->szPrice, "12.5");
  EXPECT_EQ(list->SelectedStock(), fresh);
  auto saved = fx.LoadSaved();
  ASSERT_EQ(saved->stocks.size(), before + 1);
  EXPECT_STREQ(saved->stocks.back()->szPrice, "12.5");
  EXPECT_EQ(saved->stocks.back()->Symbol(), "FRS");
}

TEST_F(StockSheetTest, CancelRemovesTheNewStockAndGivesItsCashBack) {
  fx.Seed({"Tech"}, {{.name = "Alpha", .symbol = "A", .portfolio = 1}},
          [](PortfolioStore& s) { s.dCash[1] = 1000; });
  Start();
  OnSheet([](CStockSheet& sheet) {
    QWidget* info = Page(sheet, "infoPage");
    Type(info, "priceEdit", "10");
    Type(info, "numberEdit", "10");
    // Storing the page (as New entry, Add shares and Sell do) pays for the stock...
    EXPECT_TRUE(sheet.SaveAllPages());
    Click(&sheet, "cancelButton");
  });
  Command(ID_NEW_STOCK);
  // ... and Cancel takes it all back.
  EXPECT_EQ(app->store()->stocks.size(), 1u);
  EXPECT_EQ(app->store()->dCash[1], 1000);
  EXPECT_EQ(list->RowCount(), 1);
  EXPECT_EQ(fx.LoadSaved()->stocks.size(), 1u);
}

TEST_F(StockSheetTest, ANewStockIsPaidFromCashOnceWhateverStoresThePageFirst) {
  fx.Seed({"Tech"}, {}, [](PortfolioStore& s) {
    s.dCash[1] = 1000;
    s.wViewPortfolio = 1;
  });
  Start();
  scripts["addSharesDialog"] = [](QDialog& d) {
    Type(&d, "priceEdit", "20");
    Type(&d, "numberEdit", "10");
    Click(&d, "okButton");
  };
  OnSheet([](CStockSheet& sheet) {
    QWidget* info = Page(sheet, "infoPage");
    Type(info, "priceEdit", "10");
    Type(info, "numberEdit", "10");
    Click(info, "addSharesButton");  // stores the page first, and pays 100
    EXPECT_EQ(sheet.resultMode(), kSheetSharesAdded);
    EXPECT_EQ(Child<QLineEdit>(info, "numberEdit")->text(), "20.0000");  // the page was reloaded
    Click(&sheet, "okButton");  // stores the page again: no second payment
  });
  fx.root.answers.Push(IDYES);  // "Add more shares to this stock entry?"
  Command(ID_NEW_STOCK);
  ASSERT_EQ(app->store()->stocks.size(), 1u);
  StockRecord* r = app->store()->stocks[0].get();
  EXPECT_STREQ(r->szShares, "20.0000");
  EXPECT_STREQ(r->szBuyPrice, "15");
  EXPECT_EQ(app->store()->dCash[1], 900);
  EXPECT_EQ(fx.LoadSaved()->dCash[1], 900);
}

TEST_F(StockSheetTest, InfoPageStoresOnlyWhatChangedAndLeavesAnUnlistedMarketAlone) {
  fx.Seed({"Tech"}, {{.name = "Odd", .symbol = "ODD", .portfolio = 1, .market = 46},
                     {.name = "Plain", .symbol = "PLN", .portfolio = 1}});
  Start();
  SelectNamed("Odd");
  OnSheet([](CStockSheet& sheet) {
    QWidget* info = Page(sheet, "infoPage");
    auto* market = Child<QComboBox>(info, "marketCombo");
    EXPECT_EQ(market->currentText(), "US");  // the selector cannot show market 46
    Click(&sheet, "okButton");
  });
  Command(ID_VIEW_BUY);
  EXPECT_EQ(Stock("Odd")->ucMarket, 46);
  EXPECT_EQ(fx.LoadSaved()->stocks[0]->ucMarket, 46);

  // A separator line puts the selector back; a real choice is stored and remembered.
  SelectNamed("Plain");
  OnSheet([](CStockSheet& sheet) {
    auto* market = Child<QComboBox>(Page(sheet, "infoPage"), "marketCombo");
    int separator = -1, toronto = -1;
    for (int i = 0; i < market->count(); ++i) {
      if (market->itemText(i) == "------------" && separator < 0) separator = i;
      if (market->itemText(i) == "Toronto") toronto = i;
    }
    ASSERT_GE(separator, 0);
    ASSERT_GE(toronto, 0);
    market->setCurrentIndex(separator);
    emit market->activated(separator);
    EXPECT_EQ(market->currentText(), "US");
    market->setCurrentIndex(toronto);
    emit market->activated(toronto);
    Click(&sheet, "okButton");
  });
  Command(ID_VIEW_BUY);
  EXPECT_EQ(Stock("Plain")->ucMarket, 1);
  EXPECT_EQ(app->store()->ucDefaultMarket, 1);
}

TEST_F(StockSheetTest, ANumberThatIsNotOneKeepsTheSheetOpenAndTheOldValue) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A", .buyPrice = "10"}});
  Start();
  SelectNamed("Alpha");
  bool closedOnBadText = true;
  OnSheet([&](CStockSheet& sheet) {
    QWidget* info = Page(sheet, "infoPage");
    ShowPage(sheet, "notePage");
    Type(info, "priceEdit", "12x");
    Type(info, "nameEdit", "Alpha One");
    Click(&sheet, "okButton");
    closedOnBadText = !sheet.isVisible();
    EXPECT_EQ(sheet.CurrentPage(), info) << "the page with the bad field is shown";
    EXPECT_TRUE(Child<QLineEdit>(info, "priceEdit")->property("invalid").toBool());
    EXPECT_STREQ(sheet.stock()->szBuyPrice, "10");
    Type(info, "priceEdit", "12");
    Click(&sheet, "okButton");
  });
  Command(ID_VIEW_BUY);
  EXPECT_FALSE(closedOnBadText);
  StockRecord* r = Stock("Alpha One");
  ASSERT_NE(r, nullptr);
  EXPECT_STREQ(r->szBuyPrice, "12");
}

TEST_F(StockSheetTest, TheFeeMenuComputesFromTheTypedPriceAndNumber) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"}});
  Start();
  SelectNamed("Alpha");
  scripts["feeDialog"] = [](QDialog& d) {
    Type(&d, "percentEdit", "2.5");
    Click(&d, "okButton");
  };
  OnSheet([](CStockSheet& sheet) {
    QWidget* info = Page(sheet, "infoPage");
    Type(info, "priceEdit", "20");
    Type(info, "numberEdit", "100");
    auto* menu = Child<QMenu>(info, "feeMenu");
    ASSERT_EQ(menu->actions().size(), 13);
    EXPECT_EQ(menu->actions().back()->text(), "Custom...");
    menu->actions()[3]->trigger();  // "1%"
    EXPECT_EQ(Child<QLineEdit>(info, "feeEdit")->text(), "20.00");
    menu->actions().back()->trigger();
    EXPECT_EQ(Child<QLineEdit>(info, "feeEdit")->text(), "50.00");
    Click(&sheet, "okButton");
  });
  Command(ID_VIEW_BUY);
  EXPECT_STREQ(Stock("Alpha")->szBuyFee, "50.00");
  EXPECT_FLOAT_EQ(app->store()->fCustomFeePercent, 2.5f);
}

// ---- The price history follows the symbol -------------------------------------------------------

TEST_F(StockSheetTest, ASymbolChangeMovesTheHistoryUnlessAnotherLotSharesIt) {
  fx.Seed({}, {{.name = "Alone", .symbol = "ALN"},
               {.name = "Lot one", .symbol = "TWO"},
               {.name = "Lot two", .symbol = "TWO"}});
  Start();
  ChartStore* charts = app->charts();
  ASSERT_TRUE(charts->SetPoint("ALN", 0, 1051833600, {.price = 5}, 10000));
  ASSERT_TRUE(charts->SetPoint("TWO", 0, 1051833600, {.price = 7}, 10000));
  auto renameTo = [this](const char* symbol) {
    OnSheet([symbol](CStockSheet& sheet) {
      Type(Page(sheet, "infoPage"), "symbolEdit", symbol);
      Click(&sheet, "okButton");
    });
  };
  SelectNamed("Alone");
  renameTo("NEW");
  Command(ID_VIEW_BUY);
  EXPECT_FALSE(charts->HasSeries("ALN", 0));
  ASSERT_TRUE(charts->HasSeries("NEW", 0));
  EXPECT_EQ(charts->FindSeries("NEW", 0)->points.size(), 1u);

  SelectNamed("Lot one");
  renameTo("OTHER");
  Command(ID_VIEW_BUY);
  EXPECT_EQ(Stock("Lot one")->Symbol(), "OTHER");
  EXPECT_TRUE(charts->HasSeries("TWO", 0)) << "the other lot keeps its history";
  EXPECT_FALSE(charts->HasSeries("OTHER", 0));
}

// ---- Selling
// --------------------------------------------------------------------------------------

class SellTest : public StockSheetTest {
 protected:
  void SellFromTheSheet(const char* number) {
    scripts["sellDialog"] = [number](QDialog& d) {
      EXPECT_EQ(Child<QLabel>(&d, "buyNumber")->text(), "100");
      EXPECT_EQ(Child<QLineEdit>(&d, "numberEdit")->text(), "100");
      Type(&d, "numberEdit", number);
      Type(&d, "priceEdit", "15");
      Type(&d, "feeEdit", "5");
      Click(&d, "okButton");
    };
    OnSheet([this](CStockSheet& sheet) {
      Click(Page(sheet, "infoPage"), "sellButton");
      closedBySale = !sheet.isVisible();
      mode = sheet.resultMode();
      sheetStock = sheet.stockId();
    });
    fx.root.answers.Push(IDYES);  // "Sell this stock?"
    Command(ID_VIEW_BUY);
  }
  bool closedBySale = false;
  int mode = -1;
  DWORD sheetStock = 0;
};

TEST_F(SellTest, APartialSaleSelectsTheLotThatStays) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A", .shares = "100"}, {.name = "Beta", .symbol = "B"}});
  Start();
  SelectNamed("Alpha");
  const DWORD id = list->SelectedStock()->dwId;
  SellFromTheSheet("30");
  EXPECT_TRUE(closedBySale);
  EXPECT_EQ(mode, kSheetSold);
  ASSERT_NE(list->SelectedStock(), nullptr);
  EXPECT_EQ(list->SelectedStock()->dwId, id);
  EXPECT_STREQ(list->SelectedStock()->szShares, "70.0000");
  EXPECT_EQ(list->SelectedStock()->ucStatus, kStatusActive);
  auto saved = fx.LoadSaved();
  ASSERT_EQ(saved->stocks.size(), 3u);
  StockRecord* sold = nullptr;
  for (auto& r : saved->stocks) {
    if (r->ucStatus == kStatusSold) sold = r.get();
  }
  ASSERT_NE(sold, nullptr);
  EXPECT_NE(sold->dwId, id);
  EXPECT_STREQ(sold->szShares, "30.0000");
  EXPECT_STREQ(sold->szPrice, "15");
  EXPECT_STREQ(saved->FindStock(id)->szShares, "70.0000");
}

TEST_F(SellTest, AWholeSaleSelectsTheSoldRecord) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A", .shares = "100"}, {.name = "Beta", .symbol = "B"}});
  Start();
  SelectNamed("Alpha");
  const DWORD id = list->SelectedStock()->dwId;
  SellFromTheSheet("100");
  EXPECT_EQ(mode, kSheetSold);
  EXPECT_EQ(sheetStock, id);
  StockRecord* sold = app->store()->FindStock(id);
  ASSERT_NE(sold, nullptr);
  EXPECT_EQ(sold->ucStatus, kStatusSold);
  // The active list has no place for it; the sold list shows it.
  EXPECT_EQ(list->SelectedStock(), nullptr);
  EXPECT_EQ(list->RowCount(), 1);
  EXPECT_EQ(fx.LoadSaved()->FindStock(id)->ucStatus, kStatusSold);
}

TEST_F(SellTest, TheSellCommandSellsTheSelectedStockAndAWatchedOneIsRefused) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A", .shares = "100"},
               {.name = "Seen", .symbol = "S", .status = kStatusWatched}});
  Start();
  SelectNamed("Seen");
  Command(ID_SELL_STOCK);
  EXPECT_EQ(fx.root.answers.texts().back(), text::kNotOwned);
  EXPECT_EQ(fx.dialogsShown, std::vector<std::string>{});
  SelectNamed("Alpha");
  const DWORD id = list->SelectedStock()->dwId;
  scripts["sellDialog"] = [](QDialog& d) {
    Type(&d, "numberEdit", "40");
    Click(&d, "okButton");
  };
  fx.root.answers.Push(IDYES);
  Command(ID_SELL_STOCK);
  ASSERT_NE(list->SelectedStock(), nullptr);
  EXPECT_EQ(list->SelectedStock()->dwId, id);
  EXPECT_STREQ(list->SelectedStock()->szShares, "60.0000");
  EXPECT_EQ(fx.LoadSaved()->stocks.size(), 3u);
}

TEST_F(SellTest, TheSellPageOfASoldStockStoresItsChangesWhenLeft) {
  fx.Seed({}, {{.name = "Gone", .symbol = "G", .status = kStatusSold, .price = "12"}});
  Start();
  Command(ID_ACTIVE_SOLD);
  SelectNamed("Gone");
  OnSheet([](CStockSheet& sheet) {
    QWidget* sell = Page(sheet, "sellPage");
    EXPECT_EQ(sheet.CurrentPage(), sell) << "a sold stock opens on its Sell page";
    EXPECT_EQ(Child<QLineEdit>(sell, "priceEdit")->text(), "12");
    Type(sell, "priceEdit", "13.25");
    ShowPage(sheet, "marketPage");
    EXPECT_STREQ(sheet.stock()->szPrice, "13.25");
    EXPECT_FALSE(Child<QCheckBox>(Page(sheet, "infoPage"), "ownCheck")->isEnabled());
    Click(&sheet, "cancelButton");  // what was stored on leaving the page stays
  });
  Command(ID_VIEW_SELL);
  EXPECT_STREQ(Stock("Gone")->szPrice, "13.25");
  EXPECT_STREQ(fx.LoadSaved()->stocks[0]->szPrice, "13.25");
}

// ---- Calc, Market and Note pages
// ------------------------------------------------------------------

TEST_F(StockSheetTest, TheCalculatorSumsTheLotsWithAShareWeightedBuyPrice) {
  fx.Seed({"Europe"},
          {{.name = "Early lot",
            .symbol = "ABC",
            .portfolio = 1,
            .shares = "300",
            .buyPrice = "20",
            .price = "25"},
           {.name = "Late lot",
            .symbol = "ABC",
            .portfolio = 1,
            .shares = "100",
            .buyPrice = "10",
            .price = "25"},
           {.name = "Elsewhere", .symbol = "ABC", .portfolio = 0}},
          [](PortfolioStore& s) {
            s.stocks[0]->tBuyDate = 1041379200;  // 2003-01-01
            s.stocks[1]->tBuyDate = 1044057600;  // 2003-02-01
            s.AddCurrency("EUR", "1.5");
            s.SetPortfolioCurrency(1, 1);
          });
  Start();
  SelectNamed("Late lot");
  OnSheet([this](CStockSheet& sheet) {
    auto* calc = qobject_cast<CStockCalc*>(Page(sheet, "calcPage"));
    ASSERT_NE(calc, nullptr);
    EXPECT_EQ(sheet.CurrentPage(), calc);
    auto* lots = Child<QComboBox>(calc, "lotCombo");
    ASSERT_EQ(lots->count(), 3);
    EXPECT_EQ(lots->itemText(0), "All");
    EXPECT_EQ(lots->itemText(1), "1/1/2003");
    EXPECT_EQ(lots->itemText(2), "2/1/2003");
    EXPECT_EQ(lots->currentIndex(), 2) << "it starts on the sheet's own lot";
    EXPECT_EQ(Child<QLabel>(calc, "calcShares")->text(), "100");
    EXPECT_EQ(Child<QLabel>(calc, "calcBuyPrice")->text(), "10.00");
    lots->setCurrentIndex(0);
    emit lots->activated(0);
    EXPECT_EQ(Child<QLabel>(calc, "calcShares")->text(), "400");
    EXPECT_EQ(Child<QLabel>(calc, "calcBuyPrice")->text(), "17.50");
    EXPECT_EQ(Child<QLabel>(calc, "calcCost")->text(), "7000.00");
    EXPECT_EQ(Child<QLabel>(calc, "calcValue")->text(), "10000.00");
    EXPECT_EQ(Child<QLabel>(calc, "calcProfit")->text(), "3000.00");
    EXPECT_EQ(Child<QLabel>(calc, "calcProfitPercent")->text(), "42.86%");
    EXPECT_EQ(Child<QLabel>(calc, "calcCurrency")->text(), "EUR");
    // The page's currency button converts what it shows, not the program's setting.
    Click(calc, "calcCurrencyButton");
    EXPECT_EQ(Child<QLabel>(calc, "calcCost")->text(), "10500.00");
    EXPECT_EQ(Child<QLabel>(calc, "calcCurrency")->text(), "USD");
    EXPECT_FALSE(app->store()->ConvertToBase());
    Click(&sheet, "okButton");
  });
  Command(ID_VIEW_CALC);
  EXPECT_FALSE(app->store()->ConvertToBase());
}

TEST_F(StockSheetTest, TheMarketPageShowsTheChangeAgainstThePreviousClose) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A", .price = "52", .change = "+2"}},
          [](PortfolioStore& s) {
            CopyToField(s.stocks[0]->szPrevClose, "50");
            CopyToField(s.stocks[0]->szVolume, "12,345");
            s.stocks[0]->tQuoteTime = 1051891200;
          });
  Start();
  SelectNamed("Alpha");
  OnSheet([](CStockSheet& sheet) {
    QWidget* market = Page(sheet, "marketPage");
    EXPECT_EQ(sheet.CurrentPage(), market);
    EXPECT_EQ(Child<QLabel>(market, "quotePrice")->text(), "52");
    EXPECT_EQ(Child<QLabel>(market, "quoteChange")->text(), "+2 (4.00%)");
    EXPECT_EQ(Child<QLabel>(market, "quoteClose")->text(), "50");
    EXPECT_EQ(Child<QLabel>(market, "quoteVolume")->text(), "12,345");
    EXPECT_EQ(Child<QLabel>(market, "quoteDate")->text(), "5/2/2003 4:00:00 PM");
    Click(&sheet, "okButton");
  });
  // A single tap on the arrow column opens the Market page.
  list->OnRowTap(0, 3);
  EXPECT_EQ(fx.dialogsShown, std::vector<std::string>{"stockSheet"});
}

TEST_F(StockSheetTest, DeleteNoteAsksAndTheNoteStaysDeleted) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"}},
          [](PortfolioStore& s) { s.SetNote(s.stocks[0]->dwId, u"first line\r\nsecond"); });
  Start();
  OnSheet([](CStockSheet& sheet) {
    QWidget* note = Page(sheet, "notePage");
    EXPECT_EQ(sheet.CurrentPage(), note);
    auto* edit = Child<QPlainTextEdit>(note, "noteEdit");
    EXPECT_EQ(edit->toPlainText(), "first line\nsecond");
    Click(note, "deleteNoteButton");  // answered No: nothing happens
    EXPECT_EQ(edit->toPlainText(), "first line\nsecond");
    Click(note, "deleteNoteButton");  // Yes
    EXPECT_TRUE(edit->toPlainText().isEmpty());
    ShowPage(sheet, "infoPage");
    Click(&sheet, "okButton");
  });
  fx.root.answers.Push(IDNO);
  fx.root.answers.Push(IDYES);
  // A single tap on the note column opens the Note page.
  list->OnRowTap(0, 4);
  EXPECT_EQ(fx.root.answers.texts(),
            (std::vector<std::string>{text::kDeleteNote, text::kDeleteNote}));
  EXPECT_TRUE(app->store()->notes.empty());
  EXPECT_TRUE(fx.LoadSaved()->notes.empty());
}

TEST_F(StockSheetTest, TheNoteIsStoredWhenThePageIsLeftAndAnEmptiedOneIsRemoved) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"}, {.name = "Beta", .symbol = "B"}},
          [](PortfolioStore& s) { s.SetNote(s.stocks[1]->dwId, u"old"); });
  Start();
  SelectNamed("Alpha");
  OnSheet([](CStockSheet& sheet) {
    Child<QPlainTextEdit>(Page(sheet, "notePage"), "noteEdit")->setPlainText("buy more\nsoon");
    ShowPage(sheet, "calcPage");
    ASSERT_NE(sheet.store().FindNote(sheet.stockId()), nullptr);
    EXPECT_EQ(sheet.store().FindNote(sheet.stockId())->Text(), "buy more\r\nsoon");
    Click(&sheet, "okButton");
  });
  Command(ID_VIEW_NOTES);
  SelectNamed("Beta");
  OnSheet([](CStockSheet& sheet) {
    Child<QPlainTextEdit>(Page(sheet, "notePage"), "noteEdit")->clear();
    Click(&sheet, "okButton");  // leaving with an empty edit removes the note, unasked
  });
  Command(ID_VIEW_NOTES);
  EXPECT_TRUE(fx.root.answers.texts().empty());
  auto saved = fx.LoadSaved();
  ASSERT_EQ(saved->notes.size(), 1u);
  EXPECT_EQ(saved->notes[0]->dwStockId, Stock("Alpha")->dwId);
}

// ---- Keys
// ------------------------------------------------------------------------------------------

TEST_F(StockSheetTest, UpAndDownWalkTheListStoringEveryPageIntoItsOwnStock) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "AAA", .buyPrice = "1"},
               {.name = "Beta", .symbol = "BBB", .buyPrice = "2"},
               {.name = "Gamma", .symbol = "CCC", .buyPrice = "3"}});
  Start();
  ChartStore* charts = app->charts();
  ASSERT_TRUE(charts->SetPoint("AAA", 0, 1051833600, {.price = 5}, 10000));
  SelectNamed("Alpha");
  OnSheet([](CStockSheet& sheet) {
    QWidget* info = Page(sheet, "infoPage");
    Type(info, "nameEdit", "Alpha Edited");
    ShowPage(sheet, "notePage");
    Child<QPlainTextEdit>(Page(sheet, "notePage"), "noteEdit")->setPlainText("alpha note");
    QWidget* focus = Child<QPlainTextEdit>(Page(sheet, "notePage"), "noteEdit");
    QTest::keyClick(focus, Qt::Key_Down);
    // Every page now shows Beta, the Info page too, though it was not the page in front.
    EXPECT_EQ(Child<QLineEdit>(info, "nameEdit")->text(), "Beta");
    EXPECT_EQ(Child<QLineEdit>(info, "symbolEdit")->text(), "BBB");
    EXPECT_EQ(Child<QLineEdit>(info, "priceEdit")->text(), "2");
    EXPECT_TRUE(
        Child<QPlainTextEdit>(Page(sheet, "notePage"), "noteEdit")->toPlainText().isEmpty());
    QTest::keyClick(focus, Qt::Key_Down);
    QTest::keyClick(focus, Qt::Key_Down);  // not past the end
    EXPECT_EQ(Child<QLineEdit>(info, "nameEdit")->text(), "Gamma");
    QTest::keyClick(focus, Qt::Key_Left);
    EXPECT_EQ(sheet.CurrentPage()->objectName(), "calcPage");
    QTest::keyClick(focus, Qt::Key_Right);
    EXPECT_EQ(sheet.CurrentPage()->objectName(), "notePage");
    Click(&sheet, "okButton");
  });
  Command(ID_VIEW_BUY);
  EXPECT_NE(Stock("Alpha Edited"), nullptr);
  EXPECT_EQ(Stock("Alpha Edited")->Symbol(), "AAA");
  EXPECT_EQ(Stock("Beta")->Symbol(), "BBB");
  EXPECT_STREQ(Stock("Beta")->szBuyPrice, "2");
  EXPECT_EQ(Stock("Gamma")->Symbol(), "CCC");
  EXPECT_STREQ(Stock("Gamma")->szBuyPrice, "3");
  EXPECT_TRUE(charts->HasSeries("AAA", 0)) << "no symbol changed, no history moved";
  ASSERT_EQ(app->store()->notes.size(), 1u);
  EXPECT_EQ(app->store()->notes[0]->dwStockId, Stock("Alpha Edited")->dwId);
  EXPECT_EQ(list->SelectedStock(), Stock("Gamma"));
}

TEST_F(StockSheetTest, ArrowKeysStayOffInANewStockAndWithoutTheSetting) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"}, {.name = "Beta", .symbol = "B"}});
  Start();
  OnSheet([](CStockSheet& sheet) {
    EXPECT_TRUE(sheet.isNewStock());
    QTest::keyClick(Child<QLineEdit>(Page(sheet, "infoPage"), "nameEdit"), Qt::Key_Down);
    EXPECT_EQ(Child<QLineEdit>(Page(sheet, "infoPage"), "nameEdit")->text(), "My Stock");
    Click(&sheet, "okButton");
  });
  Command(ID_NEW_STOCK);
  EXPECT_EQ(app->store()->stocks.size(), 3u);

  app->store()->ucPrefFlags &= static_cast<BYTE>(~kPrefMapArrowKeys);
  SelectNamed("Alpha");
  OnSheet([](CStockSheet& sheet) {
    auto* name = Child<QLineEdit>(Page(sheet, "infoPage"), "nameEdit");
    QTest::keyClick(name, Qt::Key_Down);
    QTest::keyClick(name, Qt::Key_Right);
    EXPECT_EQ(name->text(), "Alpha");
    EXPECT_EQ(sheet.CurrentPage()->objectName(), "infoPage");
    Click(&sheet, "okButton");
  });
  Command(ID_VIEW_BUY);
}

// ---- Result modes
// ------------------------------------------------------------------------------------

TEST_F(StockSheetTest, NewEntryEditsTheCopyAndDeleteRunsTheDeleteProcedure) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A", .shares = "5"}});
  Start();
  ChartStore* charts = app->charts();
  ASSERT_TRUE(charts->SetPoint("A", 0, 1051833600, {.price = 5}, 10000));
  SelectNamed("Alpha");
  OnSheet([](CStockSheet& sheet) {
    const DWORD original = sheet.stockId();
    QWidget* info = Page(sheet, "infoPage");
    Type(info, "numberEdit", "6");  // stored into the original before the copy is made
    Click(info, "newEntryButton");
    EXPECT_EQ(sheet.resultMode(), kSheetNewEntry);
    EXPECT_NE(sheet.stockId(), original);
    Type(info, "nameEdit", "Alpha copy");
    Click(&sheet, "okButton");
  });
  fx.root.answers.Push(IDYES);
  Command(ID_VIEW_BUY);
  ASSERT_NE(Stock("Alpha copy"), nullptr);
  EXPECT_STREQ(Stock("Alpha copy")->szShares, "6");
  EXPECT_STREQ(Stock("Alpha")->szShares, "6");
  EXPECT_EQ(list->SelectedStock(), Stock("Alpha copy"));
  EXPECT_EQ(fx.LoadSaved()->stocks.size(), 2u);

  SelectNamed("Alpha copy");
  OnSheet([](CStockSheet& sheet) { Click(Page(sheet, "infoPage"), "deleteButton"); });
  fx.root.answers.ClearShown();
  fx.root.answers.Push(IDYES);  // "Delete this stock?"
  fx.root.answers.Push(IDNO);   // "Delete stock chart data?": the other lot still uses it
  Command(ID_VIEW_BUY);
  EXPECT_EQ(fx.root.answers.texts(),
            (std::vector<std::string>{text::kDeleteStock, text::kDeleteChartData}));
  EXPECT_EQ(Stock("Alpha copy"), nullptr);
  EXPECT_TRUE(charts->HasSeries("A", 0));
  EXPECT_EQ(fx.LoadSaved()->stocks.size(), 1u);
}

TEST_F(StockSheetTest, AnEditWithAutoSortReSortsTheList) {
  fx.Seed({}, {{.name = "Bravo", .symbol = "B"}, {.name = "Charlie", .symbol = "C"}});
  Start();
  SelectNamed("Charlie");
  OnSheet([](CStockSheet& sheet) {
    Type(Page(sheet, "infoPage"), "nameEdit", "Alpha");
    Click(&sheet, "okButton");
  });
  Command(ID_VIEW_BUY);
  EXPECT_EQ(list->StockAtRow(0)->Name(), "Alpha");
  EXPECT_EQ(list->SelectedRow(), 0);
}

// ---- The stock is held by its id
// ------------------------------------------------------------------

TEST_F(StockSheetTest, EditsGoToTheSheetsStockWhenTheListIsReSortedUnderIt) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"}, {.name = "Beta", .symbol = "B"}});
  Start();
  SelectNamed("Beta");
  OnSheet([this](CStockSheet& sheet) {
    Type(Page(sheet, "infoPage"), "dividendEdit", "4");
    // Anything that re-sorts the stocks while the sheet is open (here: descending by name).
    SortStocks(*app->store(), kSortName, true, false);
    ASSERT_EQ(app->store()->stocks[1]->Name(), "Alpha");
    Click(&sheet, "okButton");
  });
  Command(ID_VIEW_BUY);
  EXPECT_STREQ(Stock("Beta")->szDividend, "4");
  EXPECT_STREQ(Stock("Alpha")->szDividend, "");
}

TEST_F(StockSheetTest, ACommandSentWhileTheSheetIsOpenGoesToTheSheetNotUnderIt) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"}, {.name = "Beta", .symbol = "B"}});
  Start();
  SelectNamed("Alpha");
  bool closedByCommand = false;
  OnSheet([&](CStockSheet& sheet) {
    Type(Page(sheet, "infoPage"), "nameEdit", "Alpha sent");
    // "Delete Stock" is the main window's; with the sheet on top it reaches no stock.
    frame->OnWindowMessage(WindowMessage{WM_COMMAND, ID_DELETE_STOCK, 0});
    EXPECT_EQ(app->store()->stocks.size(), 2u);
    EXPECT_TRUE(sheet.isVisible());
    frame->OnWindowMessage(WindowMessage{WM_COMMAND, IDOK, 0});
    closedByCommand = !sheet.isVisible();
  });
  Command(ID_VIEW_BUY);
  EXPECT_TRUE(closedByCommand);
  EXPECT_TRUE(fx.root.answers.texts().empty()) << "no delete question was asked";
  EXPECT_NE(Stock("Alpha sent"), nullptr);
  EXPECT_EQ(app->store()->stocks.size(), 2u);
}

// ---- The close request
// ----------------------------------------------------------------------------

TEST_F(StockSheetTest, TheCloseRequestEndsAddAndFeeAsCancelAndTheSheetAsOk) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A", .shares = "10"}});
  Start();
  SelectNamed("Alpha");
  scripts["addSharesDialog"] = [this](QDialog& d) {
    Type(&d, "numberEdit", "500");
    frame->OnWindowMessage(WindowMessage{WM_QUILLET_CLOSE, 0, 0});
  };
  int sheetResult = -1;
  OnSheet([&](CStockSheet& sheet) {
    QWidget* info = Page(sheet, "infoPage");
    Type(info, "nameEdit", "Alpha kept");
    Click(info, "addSharesButton");
    sheetResult = sheet.result();
  });
  fx.root.answers.Push(IDYES);
  Command(ID_VIEW_BUY);
  EXPECT_EQ(sheetResult, kCloseForSyncResult);
  EXPECT_TRUE(app->quitRequested());
  EXPECT_STREQ(Stock("Alpha kept")->szShares, "10") << "no shares added";
  app->ExitInstance();
  auto saved = fx.LoadSaved();
  EXPECT_EQ(saved->stocks[0]->Name(), "Alpha kept");
  EXPECT_STREQ(saved->stocks[0]->szShares, "10");
  app.reset();
}

TEST_F(StockSheetTest, TheCloseRequestDuringTheFeeDialogLeavesTheFeeAlone) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A", .shares = "10"}});
  Start();
  SelectNamed("Alpha");
  scripts["feeDialog"] = [this](QDialog& d) {
    Type(&d, "percentEdit", "3");
    frame->OnWindowMessage(WindowMessage{WM_QUILLET_CLOSE, 0, 0});
  };
  OnSheet([](CStockSheet& sheet) {
    QWidget* info = Page(sheet, "infoPage");
    Child<QMenu>(info, "feeMenu")->actions().back()->trigger();
    EXPECT_TRUE(Child<QLineEdit>(info, "feeEdit")->text().isEmpty());
  });
  Command(ID_VIEW_BUY);
  EXPECT_TRUE(app->quitRequested());
  EXPECT_STREQ(Stock("Alpha")->szBuyFee, "");
  EXPECT_EQ(app->store()->fCustomFeePercent, 0.0f);
}

// ---- Commands and page codes
// ----------------------------------------------------------------------

TEST_F(StockSheetTest, CommandsOpenTheirPagesAndNeedASelectedStock) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"}});
  Start();
  list->RefillList(nullptr);
  Command(ID_VIEW_BUY);
  EXPECT_EQ(fx.root.answers.texts(), std::vector<std::string>{text::kNoStockSelected});
  EXPECT_TRUE(fx.dialogsShown.empty());
  const std::pair<UINT, const char*> pages[] = {
      {ID_VIEW_BUY, "infoPage"},   {ID_VIEW_MARKET, "marketPage"}, {ID_VIEW_CALC, "calcPage"},
      {ID_VIEW_NOTES, "notePage"}, {ID_VIEW_CHART, "chartPage"},   {ID_VIEW_ALERTS, "alertPage"},
      {ID_VIEW_SELL, "infoPage"}};
  for (auto [command, page] : pages) {
    list->SelectRow(0);
    std::string shown;
    OnSheet([&shown](CStockSheet& sheet) {
      shown = sheet.CurrentPage()->objectName().toStdString();
      EXPECT_EQ(sheet.tabs()->count(), 6) << "no Sell page for a stock that is not sold";
      Click(&sheet, "okButton");
    });
    Command(command);
    EXPECT_EQ(shown, page) << command;
  }
  EXPECT_TRUE(app->IsCommandAvailable(ID_VIEW_CHART));
  EXPECT_TRUE(app->IsCommandAvailable(ID_VIEW_ALERTS));
  EXPECT_TRUE(app->IsCommandAvailable(ID_NEW_STOCK));
  EXPECT_TRUE(frame->Action(ID_SELL_STOCK)->isEnabled());
}

}  // namespace
}  // namespace quillet
