#include "device/testing/device_test_support.h"

#include <cstring>

#include "core/data_files.h"
#include "core/preferences.h"

namespace quillet::testing {

DeviceFixture::DeviceFixture() = default;

void DeviceFixture::Seed(const std::vector<std::string>& portfolios,
                         const std::vector<StockSeed>& stocks,
                         const std::function<void(PortfolioStore&)>& more) {
  PortfolioStore store(ctx());
  LoadPreferences(store);
  LoadStocks(store);
  for (const std::string& p : portfolios) store.AddPortfolio(p);
  store.wViewPortfolio = PORTFOLIO_ALL;
  for (const StockSeed& s : stocks) {
    StockRecord* r = store.NewStock();
    CopyToField(r->szName, s.name);
    CopyToField(r->szSymbol, s.symbol);
    r->ucPortfolio = static_cast<BYTE>(s.portfolio);
    r->ucStatus = s.status;
    r->ucTrend = s.trend;
    r->ucMarket = s.market;
    CopyToField(r->szShares, s.shares);
    CopyToField(r->szBuyPrice, s.buyPrice);
    CopyToField(r->szPrice, s.price);
    CopyToField(r->szChange, s.change);
    if (s.status == kStatusSold) r->tSellDate = r->tBuyDate;
  }
  if (more) more(store);
  SavePreferences(store);
  SaveStocks(store);
  SaveNotes(store);
  SaveAlerts(store);
}

std::unique_ptr<PortfolioStore> DeviceFixture::LoadSaved() {
  auto store = std::make_unique<PortfolioStore>(ctx());
  LoadPreferences(*store);
  LoadStocks(*store);
  LoadNotes(*store);
  LoadAlerts(*store);
  return store;
}

std::unique_ptr<CQuilletApp> DeviceFixture::Start(bool* started) {
  auto app = std::make_unique<CQuilletApp>(ctx());
  app->SetModalAnswerer([this](QDialog& d) {
    dialogsShown.push_back(d.objectName().toStdString());
    return dialogs ? dialogs(d) : 1;
  });
  bool ok = app->InitInstance();
  if (started) *started = ok;
  return app;
}

void DeviceFixture::AnswerDialogsWith(DialogScripts& scripts) {
  dialogs = [&scripts](QDialog& d) {
    auto it = scripts.find(d.objectName().toStdString());
    if (it == scripts.end()) return 0;
    d.show();
    it->second(d);
    const int result = d.isVisible() ? 0 : d.result();
    d.hide();
    return result;
  };
}

}  // namespace quillet::testing
