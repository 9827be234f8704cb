// Price alerts: the evaluation of every alert against the current figures of the stocks, the
// flag it yields (at least one alert fires), and the small list operations the alert editors
// and the tools share. The handheld program evaluates after every update run, at start-up and
// when the Alerts view closes; the desktop companion runs the same evaluation on the records it
// copied from the handheld.
//
// The result is shown in three places: the Alerts toolbar button and the notification bubble
// (through AlertIndicator, which the user interface implements) and the registry value "Alert"
// under the product key, which the Today-screen item reads.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/portfolio_store.h"
#include "core/stock_records.h"

namespace quillet {

// What an alert compares (ucCondition) and how (ucCompare).
enum AlertCondition : BYTE {
  kAlertPrice = 0,
  kAlertProfit = 1,
  kAlertProfitPercent = 2,
  kAlertChange = 3,
  kAlertChangePercent = 4,
};
enum AlertCompare : BYTE {
  kCompareLess = 0,
  kCompareLessEqual = 1,
  kCompareEqual = 2,
  kCompareGreaterEqual = 3,
  kCompareGreater = 4,
};
inline constexpr int kAlertConditionCount = 5;
inline constexpr int kAlertCompareCount = 5;

// "C.Price", "Profit", "Profit %", "Change", "Change %"; "" for anything else.
const char* AlertConditionText(int condition);
// "<", "<=", "=", ">=", ">"; "" for anything else.
const char* AlertCompareText(int compare);

// The registry value (DWORD, under the product key) that the Today item shows.
inline constexpr char16_t kAlertValueName[] = u"Alert";

// The parts of the user interface that show the alert state. The program's main frame
// implements it (toolbar image, notification bubble); tools and tests record the calls.
class AlertIndicator {
 public:
  virtual ~AlertIndicator() = default;
  // Shows the Alerts button as active (alertActive) or not.
  virtual void UpdateAlertButton(bool alertActive) = 0;
  // Posts the "1 or more active alerts" bubble, replacing one already shown. False when the
  // platform shows no bubbles (nothing posted).
  virtual bool ShowAlertNotification() = 0;
};

// An indicator that only remembers what it was told.
class RecordingAlertIndicator final : public AlertIndicator {
 public:
  void UpdateAlertButton(bool alertActive) override {
    ++buttonUpdates;
    buttonActive = alertActive;
  }
  bool ShowAlertNotification() override {
    ++notifications;
    return true;
  }
  int buttonUpdates = 0;
  bool buttonActive = false;
  int notifications = 0;
};

// Sorts the stocks by quote symbol (ascending, watched stocks not moved) and the alerts by
// quote symbol, each symbol's entries by market, the order in which the evaluation walks both
// lists. Alerts are ordered without
// regard to case (byte order among equal ones), the way the stocks are, so that a symbol typed
// in lower case is met by the walk like any other.
void SortForEvaluation(PortfolioStore& store);

// Evaluates the alerts and stops at the first that fires. Writes the registry value "Alert"
// (1 when one fired, else 0: with no stock or no alert that is 0 too, so the Today item never
// keeps showing an alert that no longer exists). The stocks are left sorted by quote symbol
// unless restoreSort is set, which applies the user's sort again. Returns whether one fired;
// the caller keeps that in bAlertActive.
bool CheckAlerts(PortfolioStore& store, bool restoreSort);
// The same evaluation without writing the registry value (a read-only start).
bool EvaluateAlerts(PortfolioStore& store, bool restoreSort);

// The Alerts view's evaluation: every alert is tested and sorted into the active list (in the
// order they fired) or the inactive list (every other alert, in array order). Entries are
// positions in store.alerts after the evaluation's sort. Nothing is written to the registry.
struct AlertPartition {
  std::vector<std::size_t> active;
  std::vector<std::size_t> inactive;
};
AlertPartition PartitionAlerts(PortfolioStore& store);

// The lines the alert editors show. A condition or comparison the program does not know (a
// damaged file) shows as "?".
// The Alert page: "condition     comparison     threshold" (five blanks, 2 decimals).
std::string AlertPageLine(const PortfolioStore& store, const StockAlert& alert);
// The Alerts view: an 11-character label, then condition, comparison and threshold with four
// blanks between. The label is the name of the first stock with the alert's quote symbol and
// market when "Use Stock Name in Charts" is on and there is one, else the quote symbol; cut or
// padded with blanks to 11.
std::string AlertViewLine(const PortfolioStore& store, const StockAlert& alert);

// Writes "Alert" = 0 or 1 under the product key. False when the registry refused.
bool WriteAlertValue(Registry& registry, bool active);
// The stored "Alert" value, 0 when missing.
DWORD ReadAlertValue(Registry& registry);

// The alert list operations of the Alert page, for the stock it names.
enum class AlertEditResult { kDone, kRefused };
// A new alert for the stock: its quote symbol and market, the condition and comparison, the
// threshold typed (read with 2 places, the locale separator allowed). Refused, and nothing
// added, for a sold stock, an empty or zero threshold, a condition or comparison out of range,
// or a stock without a quote symbol.
AlertEditResult AddAlert(PortfolioStore& store, const StockRecord& stock, int condition,
                         int compare, std::string_view thresholdText);
// The same for a stock whose Info page holds unsaved edits: `symbol` and `market` are what the
// page will store. Also refused when the quote symbol does not fit the alert's 15 characters
// (an alert cut short would name another stock, or none).
AlertEditResult AddAlertForQuote(PortfolioStore& store, std::string_view symbol, int market,
                                 bool sold, int condition, int compare,
                                 std::string_view thresholdText);
// A record read from a damaged file (no terminator in its symbol, an unknown condition or
// comparison) never fires and is kept as it was read.
bool AlertIsWellFormed(const StockAlert& alert);
// Changes an alert's condition, comparison and threshold; refused for a zero threshold.
AlertEditResult ChangeAlert(PortfolioStore& store, std::size_t index, int condition, int compare,
                            std::string_view thresholdText);
// Removes the alert at index; later ones move down by one. Refused for an index out of range.
AlertEditResult DeleteAlert(PortfolioStore& store, std::size_t index);
// Positions in store.alerts of the alerts naming the stock, in array order.
std::vector<std::size_t> AlertsOfStock(const PortfolioStore& store, const StockRecord& stock);
// The same for a quote symbol (as QuoteSymbol makes it) and market.
std::vector<std::size_t> AlertsOfQuote(const PortfolioStore& store, std::string_view quoteSymbol,
                                       int market);
// The position of an alert record in store.alerts, or -1 when it is no longer there. Editors
// hold alerts by identity: an evaluation re-sorts the array under them.
int IndexOfAlert(const PortfolioStore& store, const StockAlert* alert);

}  // namespace quillet
