// Command, control and window-message numbers of the handheld program. Commands arrive from the
// menus, the toolbar, the list's buttons and the tap-and-hold menu, and are routed by number.
#pragma once

#include "platform/win_types.h"

namespace quillet {

// Menu and toolbar commands.
inline constexpr UINT ID_APP_EXIT = 65100;
inline constexpr UINT ID_ABOUT_PARTNERS = 65101;
inline constexpr UINT ID_UPDATE_STOCKS = 65104;
inline constexpr UINT ID_NEW_STOCK = 65106;
inline constexpr UINT ID_SPLIT_STOCK = 65107;
inline constexpr UINT ID_DELETE_STOCK = 65108;
inline constexpr UINT ID_DELETE_ALL = 65109;
inline constexpr UINT ID_SORT_STOCKS = 65110;
inline constexpr UINT ID_PREFERENCES = 65111;
inline constexpr UINT ID_PORTFOLIO_CASH = 65112;
inline constexpr UINT ID_CURRENCIES = 65113;
inline constexpr UINT ID_PORTFOLIO_CHARTS = 65114;
inline constexpr UINT ID_ALERTS = 65115;
inline constexpr UINT ID_INTERNET_UPDATE = 65116;
inline constexpr UINT ID_ACTIVE_SOLD = 65117;
inline constexpr UINT ID_PORTFOLIOS = 65118;
inline constexpr UINT ID_CURRENCY_TOGGLE = 65119;
inline constexpr UINT ID_NETWORK_LOG = 65120;
inline constexpr UINT ID_VIEW_CHART = 65121;
inline constexpr UINT ID_VIEW_CALC = 65122;
inline constexpr UINT ID_SELL_STOCK = 65123;
inline constexpr UINT ID_EDIT_PRICE = 65125;
inline constexpr UINT ID_SUPPORT = 65129;
inline constexpr UINT ID_VIEW_BUY = 65130;
inline constexpr UINT ID_VIEW_MARKET = 65131;
inline constexpr UINT ID_VIEW_NOTES = 65132;
inline constexpr UINT ID_VIEW_ALERTS = 65133;
inline constexpr UINT ID_VIEW_SELL = 65134;
inline constexpr UINT ID_APP_ABOUT = 57664;
// Commands of the alert notification bubble.
inline constexpr UINT ID_NOTIFY_DISMISS = 10;
inline constexpr UINT ID_NOTIFY_OPEN = 11;

// Controls of the stock list window.
inline constexpr int IDC_STOCK_LIST = 1001;
inline constexpr int IDC_PORTFOLIO_SELECTOR = 1002;
// Item data of the selector's entries that are not portfolios.
inline constexpr int kSelectorEditItem = 256;

// Page codes of the stock sheet.
inline constexpr int kPageMarket = 3;
inline constexpr int kPageNote = 4;
inline constexpr int kPageCalc = 5;
inline constexpr int kPageChart = 6;
inline constexpr int kPageAlert = 7;
inline constexpr int kPageInfo = 9;

// Private window messages: the desktop's request to close for synchronisation, and its twin
// that is accepted and ignored.
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_QUILLET_CLOSE = WM_USER + 245;    // 0x4F5, 1269
inline constexpr UINT WM_QUILLET_IGNORED = WM_USER + 246;  // 0x4F6, 1270
inline constexpr UINT WA_INACTIVE = 0;

// The result a modal dialog ends with when the desktop asks the program to close: as with OK.
inline constexpr int kCloseForSyncResult = 1;

}  // namespace quillet
