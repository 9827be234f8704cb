#include "core/preferences.h"

#include <cstring>

#include "core/portfolio_store.h"
#include "core/registry/registry_store.h"
#include "platform/ras.h"

namespace quillet {
namespace {

template <std::size_t N>
void CopyText(char (&to)[N], const char* from, std::size_t fromSize) {
  CopyToField(to, FieldText(from, fromSize));
}

}  // namespace

bool PortfolioStore::LoadPreferences() {
  ResetToDefaults();
  RegistryStore reg(ctx_.registry());
  reg.SetProductKey(kProductName);
  DWORD size = reg.GetDword(kPrefSizeValue, 0);
  PrefRecord r;
  reg.GetBinary(kPrefBufValue, &r, sizeof r);  // zero-filled first; a short value leaves zeros
  const bool firstStart = size == 0;
  if (!firstStart) {
    wPrefKept4 = r.wKept4;
    ucColumnText = r.ucColumnText;
    ucColumnData = r.ucColumnData;
    ucColumnValue = r.ucColumnValue;
    bShowClosed = r.bShowClosed;
    ucDefaultMarket = r.ucDefaultMarket;
    wViewPortfolio = r.wViewPortfolio;
    wNewStockPortfolio = r.wNewStockPortfolio >= kMaxPortfolios ? 0 : r.wNewStockPortfolio;
    CopyText(szProxyHost, r.szProxyHost, sizeof r.szProxyHost);
    wProxyPort = r.wProxyPort;
    bUseProxy = r.bUseProxy;
    bCloseConnection = r.bCloseConnection;
    ucChartSize = r.ucChartSize;
    wPassword = r.wPassword;
    dwSelectedStock = r.dwSelectedStock;
    fCustomFeePercent = r.fCustomFeePercent;
    tLastUpdate = r.tLastUpdate;
    bPassword = r.bPassword;
    ucSortKey = r.ucSortKey;
    bSortDescending = r.bSortDescending;
    bWatchedAtBottom = r.bWatchedAtBottom;
    bAutoSort = r.bAutoSort;
    bDividendTimesPrice = r.bDividendTimesPrice;
    wPortfolioChartMode = r.wPortfolioChartMode;
    wPortfolioChartValue = r.wPortfolioChartValue;
    ucPrefKept118 = r.ucKept118;
    bNameInCharts = r.bNameInCharts;
    std::memcpy(szPrefKept124, r.szKept124, sizeof szPrefKept124);
    CopyText(szRasEntry, r.szRasEntry, sizeof r.szRasEntry);
    ucPrefFlags = r.ucPrefFlags;
    bAutoUpdate = r.bAutoUpdate;
    ucUpdateMinutes = r.ucUpdateMinutes;
    // The portfolio count is only known once the stock file is read, which checks the view
    // against it again; here the choices are brought into the tables' bounds.
    ClampPreferenceChoices();
  }
  if (ucUpdateMinutes == 0) ucUpdateMinutes = 5;
  if (szRasEntry[0] == '\0' || szRasEntry[0] == '`') {
    std::vector<std::u16string> entries;
    if (RasEnumEntries(ctx_.registry(), &entries) == ERROR_SUCCESS && !entries.empty()) {
      CopyToField(szRasEntry, Utf16ToAnsi(entries.front()));
    }
  }
  reg.SetString(kProgramPathValue, Utf8ToUtf16(ctx_.programPath()));
  return firstStart;
}

void PortfolioStore::SavePreferences() {
  PrefRecord r;
  std::memset(&r, 0, sizeof r);
  r.wVersion = kPrefVersion;
  r.wKept4 = wPrefKept4;
  r.ucColumnText = ucColumnText;
  r.ucColumnData = ucColumnData;
  r.ucColumnValue = ucColumnValue;
  r.bShowClosed = bShowClosed;
  r.ucDefaultMarket = ucDefaultMarket;
  r.wViewPortfolio = wViewPortfolio;
  r.wNewStockPortfolio = wNewStockPortfolio;
  CopyText(r.szProxyHost, szProxyHost, sizeof szProxyHost);
  r.wProxyPort = wProxyPort;
  r.bUseProxy = bUseProxy;
  r.bCloseConnection = bCloseConnection;
  r.ucChartSize = ucChartSize;
  r.wPassword = wPassword;
  r.dwSelectedStock = dwSelectedStock;
  r.fCustomFeePercent = fCustomFeePercent;
  r.tLastUpdate = tLastUpdate;
  r.bPassword = bPassword;
  r.ucSortKey = ucSortKey;
  r.bSortDescending = bSortDescending;
  r.bWatchedAtBottom = bWatchedAtBottom;
  r.bAutoSort = bAutoSort;
  r.bDividendTimesPrice = bDividendTimesPrice;
  r.wPortfolioChartMode = wPortfolioChartMode;
  r.wPortfolioChartValue = wPortfolioChartValue;
  r.ucKept118 = ucPrefKept118;
  r.bNameInCharts = bNameInCharts;
  std::memcpy(r.szKept124, szPrefKept124, sizeof r.szKept124);
  CopyText(r.szRasEntry, szRasEntry, sizeof szRasEntry);
  r.ucPrefFlags = ucPrefFlags;
  r.bAutoUpdate = bAutoUpdate;
  r.ucUpdateMinutes = ucUpdateMinutes;
  RegistryStore reg(ctx_.registry());
  reg.SetProductKey(kProductName);
  // Both values or neither: a size stored without its record would read back as a record of
  // zeros. Write failures are not reported: the settings stay in effect for this run.
  Registry::Transaction tx(ctx_.registry());
  if (reg.SetDword(kPrefSizeValue, kPrefRecordSize) && reg.SetBinary(kPrefBufValue, &r, sizeof r)) {
    tx.Commit();
  }
}

void PortfolioStore::SetTodayItem(bool on) {
  if (on == TodayItemOn()) return;
  RegistryStore reg(ctx_.registry());
  reg.SetRoot(HKEY_LOCAL_MACHINE);
  reg.SetKeyPath(kTodayItemKey);
  if (on) {
    ucPrefFlags = static_cast<BYTE>(ucPrefFlags & ~kPrefTodayItemOff);
    reg.SetDword(u"Type", 4);
    reg.SetDword(u"Options", 0);
    reg.SetDword(u"Enabled", 1);
    reg.SetString(u"DLL", kTodayItemDll);
  } else {
    ucPrefFlags = static_cast<BYTE>(ucPrefFlags | kPrefTodayItemOff);
    reg.DeleteKey(kTodayItemKey);
  }
  if (windows_) windows_->Broadcast(WM_SETTINGCHANGE, kTodayReloadWParam, 0);
}

}  // namespace quillet
