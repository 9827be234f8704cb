#include "core/alert_evaluation.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/portfolio_math.h"
#include "core/preferences.h"
#include "core/quote_tables.h"
#include "core/registry/registry_store.h"
#include "platform/ascii.h"

namespace quillet {
namespace {

constexpr const char* kConditionTexts[kAlertConditionCount] = {"C.Price", "Profit", "Profit %",
                                                               "Change", "Change %"};
constexpr const char* kCompareTexts[kAlertCompareCount] = {"<", "<=", "=", ">=", ">"};

// The figures of one group of stocks: consecutive (in symbol order), not sold, with one quote
// symbol. Profit and cost add up over the lots; price, change and previous close are those of
// the last lot added.
struct Group {
  std::string symbol;
  int market = 0;
  double profit = 0;
  double cost = 0;
  double price = 0;
  double change = 0;
  double prevClose = 0;
};

void AddToGroup(const PortfolioStore& store, const StockRecord& r, Group* g) {
  g->profit += StockValue(store, r, kValueProfit, kNoConversion);
  g->cost += StockValue(store, r, kValueCost, kNoConversion);
  g->price = ParseDecimal(FieldText(r.szPrice), 4, store.cDecimalSeparator);
  g->change = ParseDecimal(FieldText(r.szChange), 4, store.cDecimalSeparator);
  g->prevClose = ParseDecimal(FieldText(r.szPrevClose), 4, store.cDecimalSeparator);
}

Group OpenGroup(const PortfolioStore& store, const StockRecord& r, const std::string& symbol) {
  Group g;
  g.symbol = symbol;
  g.market = r.ucMarket;
  AddToGroup(store, r, &g);
  return g;
}

bool Fires(const StockAlert& alert, const Group& g) {
  if (!AlertIsWellFormed(alert)) return false;
  double figure = 0;
  switch (alert.ucCondition) {
    case kAlertPrice:
      figure = g.price;
      break;
    case kAlertProfit:
      figure = g.profit;
      break;
    case kAlertProfitPercent:
      if (g.cost == 0) return false;
      figure = (100 / g.cost) * g.profit;
      break;
    case kAlertChange:
      figure = g.change;
      break;
    case kAlertChangePercent:
      if (g.change == 0 || g.prevClose == 0) return false;
      figure = (100 / g.prevClose) * g.change;
      break;
    default:
      return false;
  }
  // A figure of 0 is a figure the stock does not have yet (never updated, nothing held).
  if (figure == 0) return false;
  const double t = alert.dThreshold;
  switch (alert.ucCompare) {
    case kCompareLess:
      return figure < t;
    case kCompareLessEqual:
      return figure <= t;
    case kCompareEqual:
      return figure == t;
    case kCompareGreaterEqual:
      return figure >= t;
    case kCompareGreater:
      return figure > t;
    default:
      return false;
  }
}

bool NamesGroup(const StockAlert& alert, const Group& g) {
  return !g.symbol.empty() && CompareNoCase(g.symbol, alert.QuoteSymbol()) == 0 &&
         alert.ucMarket == g.market;
}

// Sorts both lists as SortForEvaluation says and returns the quote symbol of each stock in the
// new order, in lower case: the walk compares symbols without regard to case, so the sort key
// serves it too. Every key is made once per record: making quote symbols inside the
// comparisons (a string each time) cost several times the whole walk.
std::vector<std::string> SortBothLists(PortfolioStore& store) {
  const std::size_t n = store.stocks.size();
  std::vector<std::string> symbols(n);
  std::vector<BYTE> markets(n);
  std::vector<std::uint32_t> order(n);
  for (std::size_t i = 0; i < n; ++i) {
    // The records lie wherever they were allocated: fetching a few ahead into the cache keeps
    // the walk from waiting on memory at every one.
    if (i + 12 < n) {
      const char* ahead = reinterpret_cast<const char*>(store.stocks[i + 12].get());
      for (std::size_t offset = 0; offset < sizeof(StockRecord); offset += 64) {
        __builtin_prefetch(ahead + offset);
      }
    }
    const StockRecord& r = *store.stocks[i];
    symbols[i] = QuoteSymbol(r.Symbol(), r.ucMarket);
    for (char& c : symbols[i]) c = ToLowerAscii(c);
    markets[i] = r.ucMarket;
    order[i] = static_cast<std::uint32_t>(i);
  }
  // Lots of one symbol and market keep their order (their position breaks the tie).
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    if (int c = symbols[a].compare(symbols[b]); c != 0) return c < 0;
    if (markets[a] != markets[b]) return markets[a] < markets[b];
    return a < b;
  });
  std::vector<std::unique_ptr<StockRecord>> stocks;
  std::vector<std::string> sortedSymbols;
  stocks.reserve(n);
  sortedSymbols.reserve(n);
  for (std::uint32_t i : order) {
    stocks.push_back(std::move(store.stocks[i]));
    sortedSymbols.push_back(std::move(symbols[i]));
  }
  store.stocks = std::move(stocks);

  const std::size_t m = store.alerts.size();
  std::vector<std::string> alertKeys(m);
  std::vector<std::uint32_t> alertOrder(m);
  for (std::size_t j = 0; j < m; ++j) {
    alertKeys[j] = ToLowerAscii(store.alerts[j]->QuoteSymbol());
    alertOrder[j] = static_cast<std::uint32_t>(j);
  }
  std::sort(alertOrder.begin(), alertOrder.end(), [&](std::uint32_t a, std::uint32_t b) {
    if (int c = alertKeys[a].compare(alertKeys[b]); c != 0) return c < 0;
    const StockAlert& x = *store.alerts[a];
    const StockAlert& y = *store.alerts[b];
    if (x.ucMarket != y.ucMarket) return x.ucMarket < y.ucMarket;
    if (int c = x.QuoteSymbol().compare(y.QuoteSymbol()); c != 0) return c < 0;
    return a < b;
  });
  std::vector<std::unique_ptr<StockAlert>> alerts;
  alerts.reserve(m);
  for (std::uint32_t j : alertOrder) alerts.push_back(std::move(store.alerts[j]));
  store.alerts = std::move(alerts);
  return sortedSymbols;
}

// The merge of the symbol-sorted stocks and alerts. `visit` is called with each alert position
// and whether it fired; it returns false to stop the walk.
template <class Visit>
void WalkAlerts(PortfolioStore& store, Visit visit) {
  const std::vector<std::string> symbols = SortBothLists(store);
  const auto& stocks = store.stocks;
  const auto& alerts = store.alerts;
  std::size_t i = 0, j = 0;
  std::optional<Group> group;
  while (i < stocks.size() && j < alerts.size()) {
    const StockRecord& r = *stocks[i];
    if (r.IsSold()) {
      ++i;
      continue;
    }
    const std::string& symbol = symbols[i];
    if (!group) {
      group = OpenGroup(store, r, symbol);
      ++i;
      continue;
    }
    // One holding is one quote symbol on one market: lots of a symbol that two markets share
    // (markets without a suffix) are two groups, each met by its own market's alerts.
    if (!symbol.empty() && !group->symbol.empty() && CompareNoCase(symbol, group->symbol) == 0 &&
        r.ucMarket == group->market) {
      AddToGroup(store, r, &*group);
      ++i;
      continue;
    }
    // The group is complete: test the alerts of its symbol, skip alerts of symbols that have
    // no stock, or move on to the next group.
    const StockAlert& alert = *alerts[j];
    int order = group->symbol.empty() ? -1 : CompareNoCase(group->symbol, alert.QuoteSymbol());
    if (order == 0) order = group->market - alert.ucMarket;
    if (order == 0) {
      bool fired = Fires(alert, *group);
      ++j;
      if (!visit(j - 1, fired)) return;
    } else if (order < 0) {
      group = OpenGroup(store, r, symbol);
      ++i;
    } else {
      ++j;
    }
  }
  if (!group) return;
  for (; j < alerts.size(); ++j) {
    if (!NamesGroup(*alerts[j], *group)) continue;
    if (!visit(j, Fires(*alerts[j], *group))) return;
  }
}

std::optional<double> ReadThreshold(const PortfolioStore& store, std::string_view text) {
  if (text.empty()) return std::nullopt;
  double t = ParseDecimal(text, 2, store.cDecimalSeparator);
  if (t == 0) return std::nullopt;
  return t;
}

bool InRange(int condition, int compare) {
  return condition >= 0 && condition < kAlertConditionCount && compare >= 0 &&
         compare < kAlertCompareCount;
}

}  // namespace

const char* AlertConditionText(int condition) {
  return condition >= 0 && condition < kAlertConditionCount ? kConditionTexts[condition] : "";
}

const char* AlertCompareText(int compare) {
  return compare >= 0 && compare < kAlertCompareCount ? kCompareTexts[compare] : "";
}

void SortForEvaluation(PortfolioStore& store) { SortBothLists(store); }

bool CheckAlerts(PortfolioStore& store, bool restoreSort) {
  const bool fired = EvaluateAlerts(store, restoreSort);
  WriteAlertValue(store.context().registry(), fired);
  return fired;
}

bool EvaluateAlerts(PortfolioStore& store, bool restoreSort) {
  bool fired = false;
  if (!store.stocks.empty() && !store.alerts.empty()) {
    WalkAlerts(store, [&](std::size_t, bool f) {
      fired = f;
      return !f;
    });
    if (restoreSort) SortStocks(store);
  }
  return fired;
}

AlertPartition PartitionAlerts(PortfolioStore& store) {
  AlertPartition partition;
  std::vector<bool> fired(store.alerts.size(), false);
  if (!store.stocks.empty() && !store.alerts.empty()) {
    WalkAlerts(store, [&](std::size_t j, bool f) {
      if (f && !fired[j]) {
        fired[j] = true;
        partition.active.push_back(j);
      }
      return true;
    });
  }
  for (std::size_t j = 0; j < store.alerts.size(); ++j) {
    if (!fired[j]) partition.inactive.push_back(j);
  }
  return partition;
}

namespace {

std::string KnownOr(const char* text) { return *text ? std::string(text) : std::string("?"); }

std::string ThresholdText(const PortfolioStore& store, const StockAlert& alert) {
  return FormatDecimal(alert.dThreshold, 2, 0, store.cDecimalSeparator);
}

}  // namespace

std::string AlertPageLine(const PortfolioStore& store, const StockAlert& alert) {
  return KnownOr(AlertConditionText(alert.ucCondition)) + "     " +
         KnownOr(AlertCompareText(alert.ucCompare)) + "     " + ThresholdText(store, alert);
}

std::string AlertViewLine(const PortfolioStore& store, const StockAlert& alert) {
  std::string label(alert.QuoteSymbol());
  if (store.bNameInCharts) {
    for (const auto& r : store.stocks) {
      if (PortfolioStore::AlertNamesStock(alert, *r)) {
        label = std::string(r->Name());
        break;
      }
    }
  }
  label.resize(11, ' ');
  return label + "    " + KnownOr(AlertConditionText(alert.ucCondition)) + "    " +
         KnownOr(AlertCompareText(alert.ucCompare)) + "    " + ThresholdText(store, alert);
}

bool WriteAlertValue(Registry& registry, bool active) {
  RegistryStore reg(registry);
  reg.SetProductKey(kProductName);
  return reg.SetDword(kAlertValueName, active ? 1 : 0);
}

DWORD ReadAlertValue(Registry& registry) {
  RegistryStore reg(registry);
  reg.SetProductKey(kProductName);
  return reg.GetDword(kAlertValueName, 0);
}

bool AlertIsWellFormed(const StockAlert& alert) {
  return std::memchr(alert.szQuoteSymbol, 0, sizeof alert.szQuoteSymbol) != nullptr &&
         InRange(alert.ucCondition, alert.ucCompare);
}

AlertEditResult AddAlert(PortfolioStore& store, const StockRecord& stock, int condition,
                         int compare, std::string_view thresholdText) {
  return AddAlertForQuote(store, stock.Symbol(), stock.ucMarket, stock.IsSold(), condition, compare,
                          thresholdText);
}

AlertEditResult AddAlertForQuote(PortfolioStore& store, std::string_view stockSymbol, int market,
                                 bool sold, int condition, int compare,
                                 std::string_view thresholdText) {
  if (sold || !InRange(condition, compare)) return AlertEditResult::kRefused;
  if (market < 0 || market >= kMarketCount) return AlertEditResult::kRefused;
  auto threshold = ReadThreshold(store, thresholdText);
  std::string symbol = QuoteSymbol(stockSymbol, market);
  // The field keeps 15 characters and its terminator; a symbol cut to fit would be another.
  if (!threshold || symbol.empty() || symbol.size() >= sizeof(StockAlert::szQuoteSymbol)) {
    return AlertEditResult::kRefused;
  }
  auto alert = store.Allocate<StockAlert>();
  if (!alert) return AlertEditResult::kRefused;
  std::memset(alert.get(), 0, sizeof(StockAlert));
  CopyToField(alert->szQuoteSymbol, symbol);
  alert->ucMarket = static_cast<BYTE>(market);
  alert->ucCondition = static_cast<BYTE>(condition);
  alert->ucCompare = static_cast<BYTE>(compare);
  alert->dThreshold = *threshold;
  store.alerts.push_back(std::move(alert));
  return AlertEditResult::kDone;
}

AlertEditResult ChangeAlert(PortfolioStore& store, std::size_t index, int condition, int compare,
                            std::string_view thresholdText) {
  if (index >= store.alerts.size() || !InRange(condition, compare)) {
    return AlertEditResult::kRefused;
  }
  auto threshold = ReadThreshold(store, thresholdText);
  if (!threshold) return AlertEditResult::kRefused;
  StockAlert& a = *store.alerts[index];
  a.ucCondition = static_cast<BYTE>(condition);
  a.ucCompare = static_cast<BYTE>(compare);
  a.dThreshold = *threshold;
  return AlertEditResult::kDone;
}

AlertEditResult DeleteAlert(PortfolioStore& store, std::size_t index) {
  if (index >= store.alerts.size()) return AlertEditResult::kRefused;
  store.alerts.erase(store.alerts.begin() + static_cast<std::ptrdiff_t>(index));
  return AlertEditResult::kDone;
}

std::vector<std::size_t> AlertsOfQuote(const PortfolioStore& store, std::string_view quoteSymbol,
                                       int market) {
  std::vector<std::size_t> positions;
  if (quoteSymbol.empty()) return positions;
  for (std::size_t j = 0; j < store.alerts.size(); ++j) {
    const StockAlert& a = *store.alerts[j];
    if (a.ucMarket == market && EqualNoCase(a.QuoteSymbol(), quoteSymbol)) positions.push_back(j);
  }
  return positions;
}

int IndexOfAlert(const PortfolioStore& store, const StockAlert* alert) {
  for (std::size_t j = 0; j < store.alerts.size(); ++j) {
    if (store.alerts[j].get() == alert) return static_cast<int>(j);
  }
  return -1;
}

std::vector<std::size_t> AlertsOfStock(const PortfolioStore& store, const StockRecord& stock) {
  std::vector<std::size_t> positions;
  for (std::size_t j = 0; j < store.alerts.size(); ++j) {
    if (PortfolioStore::AlertNamesStock(*store.alerts[j], stock)) positions.push_back(j);
  }
  return positions;
}

}  // namespace quillet
