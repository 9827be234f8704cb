// A desktop root with a working directory, settings, a stock list and an open chart database,
// and the step context over them, for the tests of the import, export, backup and restore.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/chart_store.h"
#include "core/portfolio_store.h"
#include "desktop/desk_steps.h"
#include "platform/codepage.h"
#include "platform/context.h"
#include "platform/file_system.h"
#include "platform/testing/test_support.h"

namespace quillet::testing {

class StepTest : public ::testing::Test {
 protected:
  static constexpr std::int64_t kNow = 1051891200;  // 2003-05-02 16:00 UTC, 12:00 in New York

  StepTest()
      : tz("America/New_York"),
        faults(desk.ctx->files()),
        charts(desk.ctx->objectStore(), desk.ctx->messageBoxes()) {}

  void SetUp() override {
    ASSERT_EQ(desk.ctx->registry().SetString(HKEY_LOCAL_MACHINE, kActiveSyncKey, u"InstalledDir",
                                             u"C:\\Program Files\\Microsoft ActiveSync"),
              0);
    dir = *FindWorkingDirectory(*desk.ctx);
    ASSERT_TRUE(charts.OpenQuietly());
  }

  DeskStepContext Context(bool withCharts = true) {
    DeskStepContext c{*desk.ctx, faults, dir, settings, store};
    c.charts = withCharts ? &charts : nullptr;
    c.locale = locale;
    c.log = [this](std::string_view line) { log.emplace_back(line); };
    c.show = [this](UINT id) { shown.push_back(id); };
    c.cancelled = [this] { return cancelled; };
    c.settingChanged = [this](std::string_view key) { changed.emplace_back(key); };
    c.marketUsed = [this](int market) { markets.push_back(market); };
    c.maxId = &maxId;
    return c;
  }

  StockRecord* AddStock(const char* name, const char* symbol, int portfolio, BYTE status,
                        const char* shares, const char* buyPrice, const char* price) {
    auto r = std::make_unique<StockRecord>();
    *r = {};
    r->dwId = static_cast<DWORD>(store.stocks.size() + 1);
    CopyToField(r->szName, name);
    CopyToField(r->szSymbol, symbol);
    r->ucPortfolio = static_cast<BYTE>(portfolio);
    r->ucStatus = status;
    CopyToField(r->szShares, shares);
    CopyToField(r->szBuyPrice, buyPrice);
    CopyToField(r->szPrice, price);
    store.stocks.push_back(std::move(r));
    return store.stocks.back().get();
  }

  std::string Working(std::string_view name) { return *WorkingFile(dir, name); }
  std::string Read(std::string_view name) {
    std::string bytes;
    desk.ctx->files().ReadAll(Working(name), &bytes);
    return bytes;
  }
  void Write(std::string_view name, std::string_view bytes) {
    ASSERT_EQ(desk.ctx->files().WriteAll(Working(name), bytes), 0);
  }
  bool Exists(std::string_view name) { return desk.ctx->files().Exists(Working(name)); }
  bool Logged(std::string_view line) const {
    return std::find(log.begin(), log.end(), line) != log.end();
  }
  bool LoggedStart(std::string_view start) const {
    return std::any_of(log.begin(), log.end(),
                       [&](const std::string& l) { return l.rfind(start, 0) == 0; });
  }

  ScopedTimeZone tz;
  TestRoot desk{PlatformContext::Kind::kDesktop, kNow};
  FaultInjectingFileSystem faults;
  WorkingDirectory dir;
  DeskSettings settings;
  PortfolioStore store{*desk.ctx};
  ChartStore charts;
  LocaleSettings locale;
  std::vector<std::string> log;
  std::vector<UINT> shown;
  std::vector<std::string> changed;
  std::vector<int> markets;
  bool cancelled = false;
  DWORD maxId = 0;
};

}  // namespace quillet::testing
