// The preference record: 216 bytes kept in the registry value "PrefBuf" (with its size in
// "PrefSize") under the product key. While the program runs the settings live in fields of the
// PortfolioStore; the record is only their stored form.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win_types.h"

namespace quillet {

inline constexpr DWORD kPrefRecordSize = 216;
inline constexpr WORD kPrefVersion = 100;

struct PrefRecord {
  WORD wVersion;
  BYTE reserved2[2];
  WORD wKept4;
  BYTE ucColumnText;
  BYTE ucColumnData;
  BYTE ucColumnValue;
  BYTE bShowClosed;
  BYTE ucDefaultMarket;
  BYTE reserved11;
  WORD wViewPortfolio;
  WORD wNewStockPortfolio;
  char szProxyHost[64];
  WORD wProxyPort;
  WORD bUseProxy;
  BYTE reserved84[4];
  BYTE bCloseConnection;
  BYTE ucChartSize;
  WORD wPassword;
  BYTE reserved92[4];
  DWORD dwSelectedStock;
  float fCustomFeePercent;
  DWORD tLastUpdate;
  BYTE bPassword;
  BYTE ucSortKey;
  BYTE bSortDescending;
  BYTE bWatchedAtBottom;
  BYTE bAutoSort;
  BYTE bDividendTimesPrice;
  WORD wPortfolioChartMode;
  WORD wPortfolioChartValue;
  BYTE ucKept118;
  BYTE bNameInCharts;
  DWORD dwDesktopMaxId;  // the desktop companion's; the handheld writes 0
  char szKept124[20];
  char szRasEntry[24];
  BYTE ucPrefFlags;
  BYTE reserved169;
  BYTE bAutoUpdate;
  BYTE ucUpdateMinutes;
  BYTE reserved172[44];
};

static_assert(sizeof(PrefRecord) == kPrefRecordSize);
static_assert(offsetof(PrefRecord, wKept4) == 4);
static_assert(offsetof(PrefRecord, ucColumnText) == 6);
static_assert(offsetof(PrefRecord, ucColumnData) == 7);
static_assert(offsetof(PrefRecord, ucColumnValue) == 8);
static_assert(offsetof(PrefRecord, bShowClosed) == 9);
static_assert(offsetof(PrefRecord, ucDefaultMarket) == 10);
static_assert(offsetof(PrefRecord, wViewPortfolio) == 12);
static_assert(offsetof(PrefRecord, wNewStockPortfolio) == 14);
static_assert(offsetof(PrefRecord, szProxyHost) == 16);
static_assert(offsetof(PrefRecord, wProxyPort) == 80);
static_assert(offsetof(PrefRecord, bUseProxy) == 82);
static_assert(offsetof(PrefRecord, bCloseConnection) == 88);
static_assert(offsetof(PrefRecord, ucChartSize) == 89);
static_assert(offsetof(PrefRecord, wPassword) == 90);
static_assert(offsetof(PrefRecord, dwSelectedStock) == 96);
static_assert(offsetof(PrefRecord, fCustomFeePercent) == 100);
static_assert(offsetof(PrefRecord, tLastUpdate) == 104);
static_assert(offsetof(PrefRecord, bPassword) == 108);
static_assert(offsetof(PrefRecord, ucSortKey) == 109);
static_assert(offsetof(PrefRecord, bSortDescending) == 110);
static_assert(offsetof(PrefRecord, bWatchedAtBottom) == 111);
static_assert(offsetof(PrefRecord, bAutoSort) == 112);
static_assert(offsetof(PrefRecord, bDividendTimesPrice) == 113);
static_assert(offsetof(PrefRecord, wPortfolioChartMode) == 114);
static_assert(offsetof(PrefRecord, wPortfolioChartValue) == 116);
static_assert(offsetof(PrefRecord, ucKept118) == 118);
static_assert(offsetof(PrefRecord, bNameInCharts) == 119);
static_assert(offsetof(PrefRecord, dwDesktopMaxId) == 120);
static_assert(offsetof(PrefRecord, szKept124) == 124);
static_assert(offsetof(PrefRecord, szRasEntry) == 144);
static_assert(offsetof(PrefRecord, ucPrefFlags) == 168);
static_assert(offsetof(PrefRecord, bAutoUpdate) == 170);
static_assert(offsetof(PrefRecord, ucUpdateMinutes) == 171);
static_assert(offsetof(PrefRecord, reserved172) == 172);

// Registry names.
inline constexpr char16_t kProductName[] = u"Quillet";
inline constexpr char16_t kPrefSizeValue[] = u"PrefSize";
inline constexpr char16_t kPrefBufValue[] = u"PrefBuf";
inline constexpr char16_t kProgramPathValue[] = u"ProgramPath";
inline constexpr char16_t kTodayItemKey[] = u"Software\\Microsoft\\Today\\Items\\\"Quillet\"";
inline constexpr char16_t kTodayItemDll[] = u"QuilletToday.dll";
// wParam of the settings-changed broadcast that makes the Today screen reload its items.
inline constexpr std::uintptr_t kTodayReloadWParam = 0xF2;

}  // namespace quillet
