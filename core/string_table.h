// The system's string table: every text the programs load by number, and the choice lists that
// menus and combo boxes are filled from, for the handheld program, the update run and the
// portfolio core alike. A choice list is one entry holding the number of items ("2", "5", "10")
// followed by the items in the next entries. The table is plain data, so any part of the system
// (with a user interface or without one) reads the same words.
#pragma once

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace quillet::strings {

// Ids of the entries the program loads.
inline constexpr UINT IDS_TOOLS = 103;
inline constexpr UINT IDS_SOCKETS_FAILED = 104;
inline constexpr UINT IDS_PREFERENCES = 2100;
inline constexpr UINT IDS_EDIT_PORTFOLIOS = 10000;
inline constexpr UINT IDS_PARTNERS = 10055;
inline constexpr UINT IDS_CONNECTING_SERVER = 10059;
inline constexpr UINT IDS_RETRIEVING_STOCKS = 10060;
inline constexpr UINT IDS_RETRIEVING_CHART = 10061;
inline constexpr UINT IDS_UPDATE_NOT_COMPLETE = 10062;
inline constexpr UINT IDS_CONNECTING_INTERNET = 10063;
inline constexpr UINT IDS_CLOSING_CONNECTION = 10064;
inline constexpr UINT IDS_SUPPORT = 10065;
inline constexpr UINT IDS_COLUMN_TEXT = 31000;   // choice list of column 0
inline constexpr UINT IDS_COLUMN_DATA = 31100;   // choice list of column 1
inline constexpr UINT IDS_COLUMN_VALUE = 31200;  // choice list of column 2
inline constexpr UINT IDS_FEE_PERCENTS = 31300;  // the fee menu: percentages, then "Custom..."
inline constexpr UINT IDS_SORT_KEYS = 31400;
inline constexpr UINT IDS_SORT_ORDER = 31500;
inline constexpr UINT IDS_ALERT_CONDITIONS = 31600;
inline constexpr UINT IDS_ALERT_COMPARES = 31700;
inline constexpr UINT IDS_TOOLTIP_BASE = 31800;  // 31800 (empty) .. 31805
inline constexpr UINT IDS_TOTAL_PROFIT = 31900;  // .. 31904 "Value:"
inline constexpr UINT IDS_NEW = 31905;
inline constexpr UINT IDS_ARROW_MODES = 31945;       // choice list of column 3
inline constexpr UINT IDS_PORTFOLIO_SERIES = 31920;  // "Cost", "Value", "Profit"
inline constexpr UINT IDS_CHART_SIZES = 31950;
inline constexpr UINT IDS_UPDATE_INTERVALS = 32800;
inline constexpr UINT IDS_STOCKS = 65001;
inline constexpr UINT IDS_ALERT_NOTIFICATION = 65008;

// Questions and messages of the portfolio core.
inline constexpr UINT IDS_NO_STOCK_SELECTED = 10001;
inline constexpr UINT IDS_DELETE_STOCK = 10006;
inline constexpr UINT IDS_CANNOT_SELL_MORE = 10009;
inline constexpr UINT IDS_NEW_SOLD_STOCK = 10013;
inline constexpr UINT IDS_NOT_OWNED = 10014;
inline constexpr UINT IDS_NO_DATA = 10031;
inline constexpr UINT IDS_DELETE_CHART_DATA = 10033;
inline constexpr UINT IDS_SPLIT_CHART_DATA = 10035;
inline constexpr UINT IDS_DELETE_CURRENCY = 10038;
inline constexpr UINT IDS_DELETE_ALL_STOCKS = 10039;
inline constexpr UINT IDS_ADD_SHARES = 10049;
inline constexpr UINT IDS_COPY_STOCK = 10050;
inline constexpr UINT IDS_SELL_STOCK = 10051;
inline constexpr UINT IDS_DELETE_ALERTS = 10052;
inline constexpr UINT IDS_DELETE_NOTE = 10057;
inline constexpr UINT IDS_DELETE_PORTFOLIO = 10058;
inline constexpr UINT IDS_NO_DATA_OR_NEGATIVE = 10067;
inline constexpr UINT IDS_SELECT_PORTFOLIO = 10068;
inline constexpr UINT IDS_PRICE_REQUIRED = 10069;

// The help notes of the desktop companion's options sheet.
inline constexpr UINT IDS_HELP_CONNECT = 20001;
inline constexpr UINT IDS_HELP_NETWORK = 20002;
inline constexpr UINT IDS_HELP_EXPORT = 20003;
inline constexpr UINT IDS_HELP_IMPORT = 20004;

// The desktop companion's progress window during an update run.
inline constexpr UINT IDS_DESK_PREPARING = 20101;
inline constexpr UINT IDS_DESK_READING = 20102;
inline constexpr UINT IDS_DESK_IMPORTING_STOCKS = 20103;
inline constexpr UINT IDS_DESK_EXPORTING_STOCKS = 20104;
inline constexpr UINT IDS_DESK_CONNECTING = 20105;
inline constexpr UINT IDS_DESK_HANGING_UP = 20106;
inline constexpr UINT IDS_DESK_IMPORTING_CHARTS = 20107;
inline constexpr UINT IDS_DESK_EXPORTING_CHARTS = 20108;
inline constexpr UINT IDS_DESK_WRITING = 20109;
inline constexpr UINT IDS_DESK_BACKING_UP = 20110;

struct StringEntry {
  UINT id;
  const char* text;
};

// Sorted by id.
inline constexpr StringEntry kStringTable[] = {
    {IDS_TOOLS, "Tools"},
    {IDS_SOCKETS_FAILED, "Windows sockets initialization failed."},
    {IDS_PREFERENCES, "Preferences"},
    {IDS_EDIT_PORTFOLIOS, "Edit portfolios..."},
    {IDS_NO_STOCK_SELECTED, "No stock selected!"},
    {IDS_DELETE_STOCK, "Delete this stock?"},
    {IDS_CANNOT_SELL_MORE, "Cannot sell more shares!"},
    {IDS_NEW_SOLD_STOCK,
     "If you want to make a new sold stock, first create a new active stock and then sell it."},
    {IDS_NOT_OWNED, "You do not own the stock."},
    {IDS_NO_DATA, "No Data"},
    {IDS_DELETE_CHART_DATA, "Delete stock chart data?"},
    {IDS_SPLIT_CHART_DATA, "Split stock chart data?"},
    {IDS_DELETE_CURRENCY, "Delete currency?"},
    {IDS_DELETE_ALL_STOCKS, "Delete ALL stocks?"},
    {IDS_ADD_SHARES, "Add more shares to this stock entry?"},
    {IDS_COPY_STOCK, "Create a new stock entry based on this entry?"},
    {IDS_SELL_STOCK, "Sell this stock?"},
    {IDS_DELETE_ALERTS, "Delete alert(s)?"},
    {IDS_PARTNERS,
     "Quillet thanks the quote services that serve it: the CSV quote service for most markets, "
     "and the exchanges and news sites whose pages and lists it reads for the others. Their "
     "addresses are kept in the program's quote source table."},
    {IDS_DELETE_NOTE, "Delete note?"},
    {IDS_DELETE_PORTFOLIO,
     "Delete portfolio (this will move all the stocks from this portfolio to the 'Unfiled' "
     "portfolio)?"},
    {IDS_CONNECTING_SERVER, "Connecting to server..."},
    {IDS_RETRIEVING_STOCKS, "Retrieving stock information..."},
    {IDS_RETRIEVING_CHART, "Retrieving chart information..."},
    {IDS_UPDATE_NOT_COMPLETE, "Update not complete, check the network log."},
    {IDS_CONNECTING_INTERNET, "Connecting to the Internet..."},
    {IDS_CLOSING_CONNECTION, "Closing connection..."},
    {IDS_SUPPORT,
     "For help with Quillet, questions and suggestions, visit the support page at "
     "https://quillet.invalid/support"},
    {IDS_NO_DATA_OR_NEGATIVE, "No Data or Negative"},
    {IDS_SELECT_PORTFOLIO, "Select portfolio\nother than \"All\""},
    {IDS_PRICE_REQUIRED, "Enter a price above 0 (low, high and volume may stay empty)."},
    {IDS_HELP_CONNECT,
     "With a direct connection Quillet relies on Windows to connect to the Internet (dialling "
     "on demand if needed). Choose Modem to let Quillet dial the chosen profile itself and close "
     "the connection after the update; this needs the password saved in the dial-up settings."},
    {IDS_HELP_NETWORK,
     "If this computer reaches the Internet through a firewall, tick Use Proxy and enter the "
     "host name and port of the proxy server (ask your network administrator)."},
    {IDS_HELP_EXPORT,
     "The exported files are written to the \"Quillet\" subdirectory of the ActiveSync "
     "installation directory."},
    {IDS_HELP_IMPORT,
     "To import historical chart data, add up to 16 symbols (or tick All stocks) and choose a "
     "starting date. Chart data is downloaded from that date to the current trading day. Not "
     "all markets are supported."},
    {IDS_DESK_PREPARING, "Preparing for update..."},
    {IDS_DESK_READING, "Reading databases..."},
    {IDS_DESK_IMPORTING_STOCKS, "Importing stock data..."},
    {IDS_DESK_EXPORTING_STOCKS, "Exporting stock data..."},
    {IDS_DESK_CONNECTING, "Connecting to Internet..."},
    {IDS_DESK_HANGING_UP, "Hanging up modem..."},
    {IDS_DESK_IMPORTING_CHARTS, "Importing chart data..."},
    {IDS_DESK_EXPORTING_CHARTS, "Exporting chart data..."},
    {IDS_DESK_WRITING, "Writing databases..."},
    {IDS_DESK_BACKING_UP, "Backing up databases..."},
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
    {31300, "13"},
    {31301, "0.25%"},
    {31302, "0.5%"},
    {31303, "0.75%"},
    {31304, "1%"},
    {31305, "1.25%"},
    {31306, "1.5%"},
    {31307, "1.75%"},
    {31308, "2%"},
    {31309, "2.5%"},
    {31310, "3%"},
    {31311, "4%"},
    {31312, "5%"},
    {31313, "Custom..."},
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
    {31920, "3"},
    {31921, "Cost"},
    {31922, "Value"},
    {31923, "Profit"},
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

static_assert(std::is_sorted(std::begin(kStringTable), std::end(kStringTable),
                             [](const StringEntry& a, const StringEntry& b) {
                               return a.id < b.id;
                             }));

// The text of an entry, or null for an id the table does not hold; usable in constant
// expressions, so a named text can be the table's own.
constexpr const char* TextOf(UINT id) {
  auto it = std::lower_bound(std::begin(kStringTable), std::end(kStringTable), id,
                             [](const StringEntry& e, UINT v) { return e.id < v; });
  return it != std::end(kStringTable) && it->id == id ? it->text : nullptr;
}

// The text of an entry; empty for an id the table does not hold.
std::string LoadString(UINT id);
// True when the table holds the id (an entry may hold an empty text).
bool HasString(UINT id);
// The items of the choice list whose count sits at `id`.
std::vector<std::string> ChoiceList(UINT id);

}  // namespace quillet::strings
