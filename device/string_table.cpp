#include "device/string_table.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace quillet::strings {
namespace {

struct Entry {
  UINT id;
  const char* text;
};

// Sorted by id; checked once on first use.
constexpr Entry kTable[] = {
    {IDS_TOOLS, "Tools"},
    {IDS_SOCKETS_FAILED, "Windows sockets initialization failed."},
    {IDS_PREFERENCES, "Preferences"},
    {IDS_EDIT_PORTFOLIOS, "Edit portfolios..."},
    {IDS_PARTNERS,
     "Quillet thanks the quote services that serve it: the CSV quote service for most markets, "
     "and the exchanges and news sites whose pages and lists it reads for the others. Their "
     "addresses are kept in the program's quote source table."},
    {IDS_CONNECTING_SERVER, "Connecting to server..."},
    {IDS_RETRIEVING_STOCKS, "Retrieving stock information..."},
    {IDS_RETRIEVING_CHARTS, "Retrieving chart information..."},
    {IDS_UPDATE_NOT_COMPLETE, "Update not complete, check the network log."},
    {IDS_CONNECTING_INTERNET, "Connecting to the Internet..."},
    {IDS_CLOSING_CONNECTION, "Closing connection..."},
    {IDS_SUPPORT,
     "For help with Quillet, questions and suggestions, visit the support page at "
     "https://quillet.invalid/support"},
    {31000, "2"},
    {31001, "Name"},
    {31002, "Symbol"},
    {31100, "5"},
    {31101, "Price"},
    {31102, "Div."},
    {31103, "Num"},
    {31104, "Buy Date"},
    {31105, "Sell Date"},
    {31200, "10"},
    {31201, "Profit"},
    {31202, "Profit %"},
    {31203, "Profit PA"},
    {31204, "Cost"},
    {31205, "C. Value"},
    {31206, "Fee %"},
    {31207, "B. Price"},
    {31208, "Change"},
    {31209, "Change %"},
    {31210, "DChange"},
    {31400, "11"},
    {31401, "Name"},
    {31402, "Symbol"},
    {31403, "Price"},
    {31404, "Profit"},
    {31405, "Buy Date"},
    {31406, "Sell Date"},
    {31407, "Change"},
    {31408, "C.Value"},
    {31409, "Cost"},
    {31410, "Profit %"},
    {31411, "Change %"},
    {31500, "2"},
    {31501, "Ascending"},
    {31502, "Descending"},
    {31600, "5"},
    {31601, "C.Price"},
    {31602, "Profit"},
    {31603, "Profit %"},
    {31604, "Change"},
    {31605, "Change %"},
    {31700, "5"},
    {31701, "<"},
    {31702, "<="},
    {31703, "="},
    {31704, ">="},
    {31705, ">"},
    {31800, ""},
    {31801, "Active/Sold"},
    {31802, "Portfolio Charts"},
    {31803, "Alerts"},
    {31804, "Internet Update"},
    {31805, "Portfolio Cash"},
    {31900, "Profit:"},
    {31901, "Profit %:"},
    {31902, "Profit PA:"},
    {31903, "Cost:"},
    {31904, "Value:"},
    {31905, "New"},
    {31945, "2"},
    {31946, "Change Today"},
    {31947, "Change Last Update"},
    {31950, "3"},
    {31951, "Small"},
    {31952, "Medium"},
    {31953, "Big"},
    {32800, "7"},
    {32801, "2 Minutes"},
    {32802, "5 Minutes"},
    {32803, "10 Minutes"},
    {32804, "15 Minutes"},
    {32805, "30 Minutes"},
    {32806, "1 Hour"},
    {32807, "2 Hours"},
    {IDS_STOCKS, "Stocks"},
    {IDS_ALERT_NOTIFICATION,
     "<html><body><form method=\"POST\" action=><font size=\"+1\"><b>1 or more active "
     "alerts</b></font><p><a href=\"cmd:11\">Open</a> Quillet</p><p align=right><input "
     "type=button name='cmd:10' value='Dismiss'></p></form></body></html>"},
};

static_assert(std::is_sorted(std::begin(kTable), std::end(kTable),
                             [](const Entry& a, const Entry& b) { return a.id < b.id; }));

const Entry* Find(UINT id) {
  auto it = std::lower_bound(std::begin(kTable), std::end(kTable), id,
                             [](const Entry& e, UINT v) { return e.id < v; });
  return it != std::end(kTable) && it->id == id ? it : nullptr;
}

}  // namespace

std::string LoadString(UINT id) {
  const Entry* e = Find(id);
  return e ? e->text : "";
}

bool HasString(UINT id) { return Find(id) != nullptr; }

std::vector<std::string> ChoiceList(UINT id) {
  std::vector<std::string> items;
  const Entry* e = Find(id);
  if (!e) return items;
  long count = std::strtol(e->text, nullptr, 10);
  for (long k = 1; k <= count; ++k) {
    if (!HasString(id + static_cast<UINT>(k))) break;
    items.push_back(LoadString(id + static_cast<UINT>(k)));
  }
  return items;
}

}  // namespace quillet::strings
