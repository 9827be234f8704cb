// The program's string table: every fixed text the handheld program loads by number, and the
// choice lists that the menus and combo boxes are filled from. A choice list is one entry
// holding the number of items ("2", "5", "10") followed by the items in the next entries.
#pragma once

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
inline constexpr UINT IDS_RETRIEVING_CHARTS = 10061;
inline constexpr UINT IDS_UPDATE_NOT_COMPLETE = 10062;
inline constexpr UINT IDS_CONNECTING_INTERNET = 10063;
inline constexpr UINT IDS_CLOSING_CONNECTION = 10064;
inline constexpr UINT IDS_SUPPORT = 10065;
inline constexpr UINT IDS_COLUMN_TEXT = 31000;   // choice list of column 0
inline constexpr UINT IDS_COLUMN_DATA = 31100;   // choice list of column 1
inline constexpr UINT IDS_COLUMN_VALUE = 31200;  // choice list of column 2
inline constexpr UINT IDS_SORT_KEYS = 31400;
inline constexpr UINT IDS_SORT_ORDER = 31500;
inline constexpr UINT IDS_ALERT_CONDITIONS = 31600;
inline constexpr UINT IDS_ALERT_COMPARES = 31700;
inline constexpr UINT IDS_TOOLTIP_BASE = 31800;  // 31800 (empty) .. 31805
inline constexpr UINT IDS_TOTAL_PROFIT = 31900;  // .. 31904 "Value:"
inline constexpr UINT IDS_NEW = 31905;
inline constexpr UINT IDS_ARROW_MODES = 31945;  // choice list of column 3
inline constexpr UINT IDS_CHART_SIZES = 31950;
inline constexpr UINT IDS_UPDATE_INTERVALS = 32800;
inline constexpr UINT IDS_STOCKS = 65001;
inline constexpr UINT IDS_ALERT_NOTIFICATION = 65008;

// The text of an entry (UTF-8); empty for an id the table does not hold.
std::string LoadString(UINT id);
// True when the table holds the id (an entry may hold an empty text).
bool HasString(UINT id);
// The items of the choice list whose count sits at `id`.
std::vector<std::string> ChoiceList(UINT id);

}  // namespace quillet::strings
