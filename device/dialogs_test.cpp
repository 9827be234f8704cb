// The dialogs of the Stocks and Tools menus and the toolbar, driven through their real widgets:
// portfolios, currencies, cash, the Internet update summary, sorting, splitting, the
// preference pages and the network log.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <map>

#include "core/messages.h"
#include "core/pref_record.h"
#include "core/registry/registry_store.h"
#include "device/main_frame.h"
#include "device/resource_ids.h"
#include "device/testing/device_test_support.h"
#include "platform/message_box.h"
#include "quotes/device/update_timer.h"

namespace quillet {
namespace {

using testing::DeviceFixture;

template <class T>
T* Child(QWidget* parent, const char* name) {
  T* found = parent ? parent->findChild<T*>(QString::fromLatin1(name)) : nullptr;
  EXPECT_NE(found, nullptr) << name;
  return found;
}

class DialogsTest : public ::testing::Test {
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
  void On(const char* dialog, std::function<void(QDialog&)> script) {
    scripts[dialog] = std::move(script);
  }
  StockRecord* Stock(std::string_view name) {
    for (auto& r : app->store()->stocks) {
      if (r->Name() == name) return r.get();
    }
    return nullptr;
  }
  static void Click(QWidget* parent, const char* name) {
    if (auto* b = Child<QAbstractButton>(parent, name)) b->click();
  }
  static void Type(QWidget* parent, const char* name, const QString& text) {
    if (auto* e = Child<QLineEdit>(parent, name)) e->setText(text);
  }
  static void Choose(QWidget* parent, const char* name, int index) {
    if (auto* c = Child<QComboBox>(parent, name)) {
      c->setCurrentIndex(index);
      emit c->activated(index);
    }
  }
  std::vector<std::string> Messages() { return fx.root.answers.texts(); }

  testing::ScopedTimeZone tz{"UTC"};
  DeviceFixture fx;
  std::unique_ptr<CQuilletApp> app;
  CMainFrame* frame = nullptr;
  testing::DeviceFixture::DialogScripts scripts;
};

// ---- Portfolios ---------------------------------------------------------------------------------

TEST_F(DialogsTest, DeletingPortfolioTwoOfFourMovesItsStocksAndRenumbersEverythingAfterIt) {
  fx.Seed({"Two", "Three"},
          {{.name = "InTwo", .symbol = "T2", .portfolio = 2},
           {.name = "InThree", .symbol = "T3", .portfolio = 3}},
          [](PortfolioStore& s) {
            s.AddCurrency("EUR", "1.5");
            s.ucPortfolioCurrency[3] = 1;
            s.dCash[3] = 30;
            s.wViewPortfolio = 3;
            s.wNewStockPortfolio = 3;
          });
  Start();
  ASSERT_EQ(app->store()->wPortfolioCount, 4);
  On("portfoliosDialog", [&](QDialog& d) {
    auto* list = Child<QListWidget>(&d, "portfolioList");
    // "Unfiled" can be neither renamed nor deleted.
    list->setCurrentRow(0);
    Click(&d, "deleteButton");
    Click(&d, "editButton");
    list->setCurrentRow(2);
    fx.root.answers.Push(IDYES);
    Click(&d, "deleteButton");
    EXPECT_EQ(list->count(), 3);
    Click(&d, "okButton");
  });
  frame->OnCommand(ID_PORTFOLIOS);
  EXPECT_EQ(Messages(), std::vector<std::string>{text::kDeletePortfolio});
  PortfolioStore& s = *app->store();
  EXPECT_EQ(s.wPortfolioCount, 3);
  EXPECT_EQ(Stock("InTwo")->ucPortfolio, 0);
  EXPECT_EQ(Stock("InThree")->ucPortfolio, 2);
  EXPECT_EQ(s.PortfolioName(2), "Three");
  EXPECT_EQ(s.dCash[2], 30);
  EXPECT_EQ(s.ucPortfolioCurrency[2], 1);
  EXPECT_EQ(s.dCash[3], 0);
  EXPECT_EQ(s.wViewPortfolio, 2);
  EXPECT_EQ(s.wNewStockPortfolio, 2);
  // The list shows the renumbered portfolio, and the file holds the new table.
  auto* selector = frame->list()->findChild<QComboBox*>();
  ASSERT_NE(selector, nullptr);
  EXPECT_EQ(selector->currentText(), "Three");
  EXPECT_EQ(selector->findText("Two"), -1);
  auto saved = fx.LoadSaved();
  EXPECT_EQ(saved->wPortfolioCount, 3);
  EXPECT_EQ(saved->PortfolioName(2), "Three");
}

TEST_F(DialogsTest, PortfolioNamesAreAddedAndRenamedAndTheCloseRequestKeepsTheOldName) {
  fx.Seed({"Two"}, {});
  Start();
  On("portfoliosDialog", [&](QDialog& d) {
    auto* list = Child<QListWidget>(&d, "portfolioList");
    On("portfolioDialog", [&](QDialog& p) {
      Type(&p, "nameEdit", "Fresh");
      Click(&p, "okButton");
    });
    Click(&d, "newButton");
    EXPECT_EQ(list->item(list->count() - 1)->text(), "Fresh");
    list->setCurrentRow(1);
    On("portfolioDialog", [&](QDialog& p) {
      EXPECT_EQ(Child<QLineEdit>(&p, "nameEdit")->text(), app->store()->PortfolioName(1).data());
      Type(&p, "nameEdit", "Renamed");
      app->CloseForSync();
    });
    Click(&d, "editButton");
  });
  const std::string before(app->store()->PortfolioName(1));
  frame->OnCommand(ID_PORTFOLIOS);
  EXPECT_EQ(app->store()->PortfolioName(1), before);
  EXPECT_EQ(app->store()->PortfolioName(app->store()->wPortfolioCount - 1), "Fresh");
}

// ---- Currencies ---------------------------------------------------------------------------------

TEST_F(DialogsTest, DeletingThePortfoliosCurrencyPutsItInTheBaseCurrency) {
  fx.Seed({"Two"}, {}, [](PortfolioStore& s) {
    s.AddCurrency("EUR", "1.5");
    s.AddCurrency("GBP", "2");
    s.ucPortfolioCurrency[1] = 1;
    s.ucPortfolioCurrency[2] = 2;
  });
  Start();
  On("currenciesDialog", [&](QDialog& d) {
    auto* list = Child<QListWidget>(&d, "currencyList");
    EXPECT_EQ(list->item(0)->data(Qt::UserRole).toString(), "EUR\t\t1.500000");
    EXPECT_EQ(list->item(0)->text(), "EUR        1.500000");
    EXPECT_EQ(list->currentRow(), 0);
    fx.root.answers.Push(IDYES);
    Click(&d, "deleteButton");
    EXPECT_EQ(list->count(), 1);
    Click(&d, "okButton");
  });
  frame->OnCommand(ID_CURRENCIES);
  PortfolioStore& s = *app->store();
  EXPECT_EQ(Messages(), std::vector<std::string>{text::kDeleteCurrency});
  EXPECT_EQ(s.wCurrencyCount, 2);
  EXPECT_EQ(s.ucPortfolioCurrency[1], 0);
  EXPECT_EQ(s.ucPortfolioCurrency[2], 1);
  EXPECT_EQ(s.CurrencyCode(1), "GBP");
}

TEST_F(DialogsTest, ARateThatIsNotAboveZeroIsRefusedAndTheOldRateKept) {
  fx.Seed({}, {}, [](PortfolioStore& s) { s.AddCurrency("GBP", "2"); });
  Start();
  On("currenciesDialog", [&](QDialog& d) {
    On("currencyDialog", [&](QDialog& c) {
      EXPECT_EQ(c.windowTitle(), "Currency Edit");
      for (const char* bad : {"0", "-1", "abc"}) {
        Type(&c, "rateEdit", bad);
        Click(&c, "okButton");
        EXPECT_TRUE(c.isVisible()) << bad;
      }
      Click(&c, "cancelButton");
    });
    Click(&d, "editButton");
    Click(&d, "okButton");
  });
  frame->OnCommand(ID_CURRENCIES);
  EXPECT_EQ(Messages(), std::vector<std::string>(3, text::kRateNotPositive));
  EXPECT_EQ(app->store()->currencies[1].dRate, 2);
}

TEST_F(DialogsTest, AEuroCurrencyGetsItsFixedRatioAsItsCodeIsTyped) {
  fx.Seed({}, {});
  Start();
  On("currenciesDialog", [&](QDialog& d) {
    Type(&d, "baseEdit", "eur");
    emit Child<QLineEdit>(&d, "baseEdit")->editingFinished();
    EXPECT_EQ(Child<QLineEdit>(&d, "baseEdit")->text(), "EUR");
    On("currencyDialog", [&](QDialog& c) {
      EXPECT_EQ(c.windowTitle(), "Currency Add");
      QTest::keyClicks(Child<QLineEdit>(&c, "codeEdit"), "dem");
      EXPECT_EQ(Child<QLineEdit>(&c, "codeEdit")->text(), "DEM");
      EXPECT_EQ(Child<QLineEdit>(&c, "rateEdit")->text(), "0.511292");
      Click(&c, "okButton");
    });
    Click(&d, "newButton");
    Click(&d, "okButton");
  });
  frame->OnCommand(ID_CURRENCIES);
  PortfolioStore& s = *app->store();
  EXPECT_EQ(s.CurrencyCode(0), "EUR");
  ASSERT_EQ(s.wCurrencyCount, 2);
  EXPECT_EQ(s.CurrencyCode(1), "DEM");
  EXPECT_NEAR(s.currencies[1].dRate, 1 / 1.95583, 1e-6);
}

// ---- Cash ---------------------------------------------------------------------------------------

TEST_F(DialogsTest, CashIsStoredOnlyWhenEditedAndTheDisplayCurrencyComesBack) {
  fx.Seed({"Two"}, {}, [](PortfolioStore& s) {
    s.AddCurrency("EUR", "1.5");
    s.ucPortfolioCurrency[2] = 1;
    s.dCash[2] = 10.005;
    s.dCash[0] = 7;
    s.ucPrefFlags |= kPrefConvertToBase;
  });
  Start();
  On("cashDialog", [&](QDialog& d) {
    auto* cash = Child<QLineEdit>(&d, "cashEdit");
    // "All": the total, shown only.
    EXPECT_FALSE(cash->isEnabled());
    // Each portfolio in its own currency while the dialog is open.
    Choose(&d, "portfolioCombo", 3);
    EXPECT_TRUE(cash->isEnabled());
    EXPECT_EQ(Child<QLabel>(&d, "currencyLabel")->text(), "EUR");
    Choose(&d, "portfolioCombo", 1);  // left untouched: not rounded to 10.01
    Click(&d, "currencyButton");      // figures in the base currency
    Choose(&d, "portfolioCombo", 3);
    EXPECT_FALSE(cash->isEnabled());  // a converted figure is not what the portfolio holds
    EXPECT_EQ(cash->text(), "15.01");
    Click(&d, "currencyButton");
    Type(&d, "cashEdit", "abc");
    Click(&d, "okButton");
    EXPECT_TRUE(d.isVisible());
    Type(&d, "cashEdit", "20");
    Choose(&d, "portfolioCombo", 1);
    EXPECT_EQ(cash->text(), "7.00");
    Click(&d, "okButton");
  });
  frame->OnCommand(ID_PORTFOLIO_CASH);
  PortfolioStore& s = *app->store();
  EXPECT_EQ(s.dCash[2], 20);
  EXPECT_EQ(s.dCash[0], 7);
  EXPECT_TRUE(s.ConvertToBase());
  EXPECT_EQ(fx.LoadSaved()->dCash[2], 20);
}

TEST_F(DialogsTest, CashLeftUntouchedKeepsEveryFigureAsItWas) {
  fx.Seed({"Two"}, {}, [](PortfolioStore& s) {
    s.dCash[1] = 1.005;
    s.dCash[2] = 2.0049;
  });
  Start();
  On("cashDialog", [&](QDialog& d) {
    Choose(&d, "portfolioCombo", 2);
    Choose(&d, "portfolioCombo", 3);
    Click(&d, "okButton");
  });
  frame->OnCommand(ID_PORTFOLIO_CASH);
  EXPECT_EQ(app->store()->dCash[1], 1.005);
  EXPECT_EQ(app->store()->dCash[2], 2.0049);
}

// ---- Sort, split, Internet update ---------------------------------------------------------------

TEST_F(DialogsTest, SortStoresTheChoicesAndSortsTheList) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "Z"}, {.name = "Beta", .symbol = "A"}});
  Start();
  On("sortDialog", [&](QDialog& d) {
    Choose(&d, "keyCombo", 1);
    Choose(&d, "orderCombo", 1);
    Child<QCheckBox>(&d, "watchedCheck")->setChecked(false);
    Click(&d, "okButton");
  });
  frame->OnCommand(ID_SORT_STOCKS);
  PortfolioStore& s = *app->store();
  EXPECT_EQ(s.ucSortKey, 1);
  EXPECT_EQ(s.bSortDescending, 1);
  EXPECT_EQ(s.bWatchedAtBottom, 0);
  EXPECT_EQ(frame->list()->StockAtRow(0)->Name(), "Alpha");
}

TEST_F(DialogsTest, ATwoForOneSplitDoublesTheSharesAndTheCloseRequestSplitsNothing) {
  fx.Seed({}, {{.name = "Alpha", .symbol = "A", .shares = "100", .buyPrice = "10", .price = "12"}});
  Start();
  frame->list()->SelectRow(0);
  On("splitDialog", [&](QDialog& d) {
    Type(&d, "ratioAEdit", "2");
    Type(&d, "ratioBEdit", "1");
    Click(&d, "okButton");
  });
  frame->OnCommand(ID_SPLIT_STOCK);
  StockRecord* r = Stock("Alpha");
  EXPECT_EQ(ParseDecimal(FieldText(r->szShares), 4), 200);
  EXPECT_EQ(ParseDecimal(FieldText(r->szBuyPrice), 4), 5);
  EXPECT_EQ(ParseDecimal(FieldText(r->szPrice), 4), 6);
  EXPECT_EQ(ParseDecimal(FieldText(fx.LoadSaved()->stocks.at(0)->szShares), 4), 200);
  On("splitDialog", [&](QDialog& d) {
    Type(&d, "ratioAEdit", "3");
    Type(&d, "ratioBEdit", "1");
    app->CloseForSync();
  });
  frame->OnCommand(ID_SPLIT_STOCK);
  EXPECT_EQ(ParseDecimal(FieldText(r->szShares), 4), 200);
}

TEST_F(DialogsTest, InternetUpdateShowsNoDateBeforeAnUpdateAndItsButtonRunsOne) {
  // The run fails against a closed port, which shows that it ran.
  fx.ctx().settings().quoteServer = "127.0.0.1:1";
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"}});
  Start();
  On("internetUpdateDialog", [&](QDialog& d) {
    EXPECT_EQ(Child<QLabel>(&d, "dateLabel")->text(), "N/A");
    EXPECT_EQ(Child<QLabel>(&d, "profitPercentLabel")->text(), "0%");
    Click(&d, "updateButton");
  });
  frame->OnCommand(ID_INTERNET_UPDATE);
  EXPECT_EQ(Messages(),
            std::vector<std::string>{strings::TextOf(strings::IDS_UPDATE_NOT_COMPLETE)});
  EXPECT_FALSE(app->networkLog().text().empty());
}

// ---- Preferences --------------------------------------------------------------------------------

class PreferencesTest : public DialogsTest {
 protected:
  void Password(QDialog& sheet, const char* digits, bool ok = true) {
    On("passwordDialog", [digits, ok](QDialog& p) {
      for (const char* c = digits; *c; ++c)
        Click(&p, QStringLiteral("digit%1").arg(*c).toLatin1().constData());
      Click(&p, ok ? "okButton" : "cancelButton");
    });
    Click(&sheet, "passwordCheck");
  }
};

TEST_F(PreferencesTest, APasswordOfFewerThanFourDigitsOrAllZerosIsRefused) {
  fx.Seed({}, {});
  Start();
  On("prefsSheet", [&](QDialog& d) {
    auto* box = Child<QCheckBox>(&d, "passwordCheck");
    Password(d, "123");
    EXPECT_FALSE(box->isChecked());
    Password(d, "0000");
    EXPECT_FALSE(box->isChecked());
    Password(d, "0042");
    EXPECT_TRUE(box->isChecked());
    // Nothing is stored before OK.
    EXPECT_EQ(app->store()->wPassword, 0);
    Click(&d, "okButton");
  });
  frame->OnCommand(ID_PREFERENCES);
  EXPECT_EQ(app->store()->bPassword, 1);
  EXPECT_EQ(app->store()->wPassword, 42);
}

TEST_F(PreferencesTest, ClearingThePasswordAndCancellingKeepsProtectionOn) {
  fx.Seed({}, {}, [](PortfolioStore& s) {
    s.bPassword = 1;
    s.wPassword = 4321;
  });
  fx.dialogs = [](QDialog& d) {
    // The start-up check.
    for (const char* c = "4321"; *c; ++c)
      Click(&d, QStringLiteral("digit%1").arg(*c).toLatin1().constData());
    return d.result();
  };
  Start();
  On("prefsSheet", [&](QDialog& d) {
    Click(&d, "passwordCheck");
    EXPECT_FALSE(Child<QCheckBox>(&d, "passwordCheck")->isChecked());
    Click(&d, "cancelButton");
  });
  frame->OnCommand(ID_PREFERENCES);
  EXPECT_EQ(app->store()->bPassword, 1);
  EXPECT_EQ(app->store()->wPassword, 4321);
}

TEST_F(PreferencesTest, TheTimerIsSetForTheIntervalChosenAndKilledWhenTurnedOff) {
  fx.Seed({}, {});
  Start();
  ASSERT_EQ(app->timers().IntervalOf(kUpdateTimerId), -1);
  On("prefsSheet", [&](QDialog& d) {
    Child<QCheckBox>(&d, "autoUpdateCheck")->setChecked(true);
    auto* every = Child<QComboBox>(&d, "everyCombo");
    EXPECT_EQ(every->currentText(), "5 Minutes");
    every->setCurrentIndex(every->findText("1 Hour"));
    Click(&d, "okButton");
  });
  frame->OnCommand(ID_PREFERENCES);
  EXPECT_EQ(app->store()->ucUpdateMinutes, 60);
  EXPECT_EQ(app->timers().IntervalOf(kUpdateTimerId), 3600000);
  On("prefsSheet", [&](QDialog& d) {
    Child<QCheckBox>(&d, "autoUpdateCheck")->setChecked(false);
    Click(&d, "okButton");
  });
  frame->OnCommand(ID_PREFERENCES);
  EXPECT_EQ(app->timers().IntervalOf(kUpdateTimerId), -1);
}

TEST_F(PreferencesTest, TheTodayRegistrationIsDeletedAndWrittenOnOk) {
  fx.Seed({}, {});
  Start();
  RegistryStore reg(fx.ctx().registry());
  reg.SetRoot(HKEY_LOCAL_MACHINE);
  reg.SetKeyPath(kTodayItemKey);
  auto toggle = [&](bool on) {
    On("prefsSheet", [on](QDialog& d) {
      Child<QCheckBox>(&d, "todayCheck")->setChecked(on);
      Click(&d, "okButton");
    });
    frame->OnCommand(ID_PREFERENCES);
  };
  toggle(false);
  EXPECT_FALSE(app->store()->TodayItemOn());
  EXPECT_EQ(reg.GetDword(u"Type", 0), 0u);
  toggle(true);
  EXPECT_TRUE(app->store()->TodayItemOn());
  EXPECT_EQ(reg.GetDword(u"Type", 0), 4u);
  EXPECT_EQ(reg.GetDword(u"Enabled", 0), 1u);
}

TEST_F(PreferencesTest, AProxyPortOrHostThatCannotBeStoredIsRefusedWithAMessage) {
  fx.Seed({}, {});
  Start();
  On("prefsSheet", [&](QDialog& d) {
    Child<QCheckBox>(&d, "useProxyCheck")->setChecked(true);
    for (const char* port : {"0", "70000", "65536", "80a"}) {
      Type(&d, "portEdit", port);
      Click(&d, "okButton");
      EXPECT_TRUE(d.isVisible()) << port;
    }
    Type(&d, "portEdit", "3128");
    Type(&d, "hostEdit", QString(63, 'h'));
    Click(&d, "okButton");
    EXPECT_TRUE(d.isVisible());
    Type(&d, "hostEdit", QString(62, 'h'));
    Click(&d, "okButton");
  });
  frame->OnCommand(ID_PREFERENCES);
  std::vector<std::string> expected(4, text::kProxyPortRange);
  expected.push_back(text::kProxyHostTooLong);
  EXPECT_EQ(Messages(), expected);
  EXPECT_EQ(app->store()->wProxyPort, 3128);
  EXPECT_EQ(FieldText(app->store()->szProxyHost).size(), 62u);
  EXPECT_EQ(app->store()->bUseProxy, 1);
}

// ---- The close request --------------------------------------------------------------------------

TEST_F(DialogsTest, TheCloseRequestSavesThePreferencesAndTheCashButNoUnconfirmedCurrency) {
  fx.Seed({"Two"}, {}, [](PortfolioStore& s) { s.AddCurrency("GBP", "2"); });
  Start();
  On("prefsSheet", [&](QDialog& d) {
    Child<QCheckBox>(&d, "namesCheck")->setChecked(true);
    // A value that cannot be stored keeps the old one; nobody is there to be told.
    Type(&d, "portEdit", "70000");
    app->CloseForSync();
  });
  frame->OnCommand(ID_PREFERENCES);
  EXPECT_TRUE(app->closing());
  EXPECT_EQ(app->store()->bNameInCharts, 1);
  EXPECT_EQ(app->store()->wProxyPort, 8080);
  app->ExitInstance();
  app.reset();
  EXPECT_EQ(fx.LoadSaved()->bNameInCharts, 1);

  Start();
  On("cashDialog", [&](QDialog& d) {
    Choose(&d, "portfolioCombo", 3);
    Type(&d, "cashEdit", "123.45");
    app->CloseForSync();
  });
  frame->OnCommand(ID_PORTFOLIO_CASH);
  app->ExitInstance();
  app.reset();
  EXPECT_EQ(fx.LoadSaved()->dCash[2], 123.45);

  Start();
  On("currenciesDialog", [&](QDialog& d) {
    On("currencyDialog", [&](QDialog& c) {
      Type(&c, "rateEdit", "3");
      app->CloseForSync();
    });
    Click(&d, "editButton");
  });
  frame->OnCommand(ID_CURRENCIES);
  app->ExitInstance();
  app.reset();
  EXPECT_EQ(fx.LoadSaved()->currencies[1].dRate, 2);
  EXPECT_TRUE(Messages().empty());
}

// ---- Network log --------------------------------------------------------------------------------

TEST_F(DialogsTest, TheNetworkLogIsShownAndCopiedToTheClipboardWhole) {
  fx.Seed({}, {});
  Start();
  app->networkLog().Append("Quillet: first");
  app->networkLog().Append("  MSFT 12.50");
  On("networkLogDialog", [&](QDialog& d) {
    EXPECT_EQ(Child<QPlainTextEdit>(&d, "logEdit")->toPlainText(),
              "Quillet: first\n  MSFT 12.50\n");
    Click(&d, "copyButton");
    Click(&d, "okButton");
  });
  frame->OnCommand(ID_NETWORK_LOG);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "Quillet: first\r\n  MSFT 12.50\r\n");
  EXPECT_TRUE(Messages().empty());
}

}  // namespace
}  // namespace quillet
