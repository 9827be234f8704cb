// The fixture of the tests that run whole updates against the quote service simulator: a
// temporary device with a chart store and a store, the run's services recorded, a simulator
// started by the test, and helpers that add stocks and read back what the simulator was asked.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/alert_evaluation.h"
#include "core/decimal_text.h"
#include "platform/testing/test_support.h"
#include "quotes/device/testing/recording_update_host.h"
#include "quotes/device/update_quotes.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet::testing {

// One attempt and a short time-out: a test never waits long for a server.
inline UpdateSettings QuickSettings() {
  UpdateSettings s;
  s.retry = false;
  s.timeoutSeconds = 5;
  return s;
}

class UpdateRunFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(charts.OpenChartStore());
    CopyToField(store.currencies[0].szCode, "USD");
    store.currencies[0].dRate = 1;
  }
  void StartSim(std::vector<std::string> args = {}) {
    sim = std::make_unique<QuoteSimProcess>(std::move(args));
    ASSERT_TRUE(sim->running());
    settings.server = QuoteEndpoint{"127.0.0.1", sim->port()};
  }
  // A fixture file for the simulator: only its symbols (and currency pairs) are known.
  std::string Fixture(const std::string& text) {
    std::string path = files.File("fixture.csv");
    std::ofstream(path) << text;
    return path;
  }

  StockRecord& Add(std::string_view symbol, int market = 0, int status = kStatusActive,
                   std::string_view price = "") {
    auto r = std::make_unique<StockRecord>();
    std::memset(r.get(), 0, sizeof(StockRecord));
    r->dwId = ++store.dwMaxStockId;
    CopyToField(r->szName, symbol);
    CopyToField(r->szSymbol, symbol);
    r->ucMarket = static_cast<BYTE>(market);
    r->ucStatus = static_cast<BYTE>(status);
    r->ucPortfolio = 1;
    CopyToField(r->szShares, "10");
    CopyToField(r->szBuyPrice, "1");
    CopyToField(r->szPrice, price);
    r->ucTrend = kTrendNotUpdated;
    store.stocks.push_back(std::move(r));
    return *store.stocks.back();
  }
  StockRecord& Find(std::string_view symbol, int market = 0) {
    for (auto& r : store.stocks) {
      if (r->Symbol() == symbol && r->ucMarket == market) return *r;
    }
    ADD_FAILURE() << "no stock " << symbol;
    return *store.stocks.front();
  }
  void AddCurrency(std::string_view code, double rate) {
    CurrencyEntry& c = store.currencies[store.wCurrencyCount++];
    CopyToField(c.szCode, code);
    c.dRate = rate;
  }

  UpdateOutcome Run(bool background = false) {
    CUpdateCommand command(services, settings);
    return Run(command, background);
  }
  UpdateOutcome Run(CUpdateCommand& command, bool background) {
    UpdateOutcome outcome = command.UpdateStocks(background);
    EXPECT_TRUE(command.saved());
    return outcome;
  }

  // The request targets the simulator saw, in order. A request the run gave up on may reach the
  // simulator's log a moment after the run: wait (a little) for at least `atLeast` of them.
  std::vector<std::string> Targets(std::size_t atLeast = 0) {
    for (int i = 0; i < 300 && sim->Requests().size() < atLeast; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::vector<std::string> targets;
    for (const std::string& head : sim->Requests()) {
      std::string line = head.substr(0, head.find("\r\n"));
      std::size_t from = line.find(' ') + 1;
      targets.push_back(line.substr(from, line.rfind(' ') - from));
    }
    return targets;
  }
  // The symbols of a request to the CSV service.
  static std::vector<std::string> SymbolsOf(const std::string& target) {
    std::vector<std::string> symbols;
    std::size_t at = target.find("?s=");
    if (at == std::string::npos) return symbols;
    std::string text = target.substr(at + 3, target.find('&', at) - at - 3);
    std::size_t pos = 0;
    for (;;) {
      std::size_t plus = text.find('+', pos);
      symbols.push_back(text.substr(pos, plus - pos));
      if (plus == std::string::npos) break;
      pos = plus + 1;
    }
    return symbols;
  }
  bool Logged(std::string_view line) {
    return log.text().find(std::string(line) + "\r\n") != std::string::npos;
  }

  TempDir files;
  TestRoot root;
  ChartStore charts{root.ctx->objectStore(), root.ctx->messageBoxes()};
  PortfolioStore store{*root.ctx, &charts};
  NetworkLog log;
  RecordingUpdateHost host;
  RecordingAlertIndicator alerts;
  UpdateServices services{store, &charts, log, host, alerts};
  UpdateSettings settings = QuickSettings();
  std::unique_ptr<QuoteSimProcess> sim;
};

}  // namespace quillet::testing
