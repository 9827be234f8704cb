#include "core/preferences.h"

#include <cstring>

#include "core/data_codecs.h"
#include "core/registry/registry_store.h"
#include "platform/ras.h"

namespace quillet {
namespace {

template <std::size_t N>
void CopyText(char (&to)[N], const char* from, std::size_t fromSize) {
  CopyToField(to, FieldText(from, fromSize));
}

}  // namespace

bool LoadPreferences(PortfolioStore& s) {
  s.ResetToDefaults();
  RegistryStore reg(s.context().registry());
  reg.SetProductKey(kProductName);
  DWORD size = reg.GetDword(kPrefSizeValue, 0);
  char stored[kPrefRecordSize] = {};
  reg.GetBinary(kPrefBufValue, stored, sizeof stored);  // a short value leaves zeros
  const PrefRecord r = DecodePrefRecord(std::string_view(stored, sizeof stored));
  const bool firstStart = size == 0;
  if (!firstStart) {
    s.wPrefKept4 = r.wKept4;
    s.ucColumnText = r.ucColumnText;
    s.ucColumnData = r.ucColumnData;
    s.ucColumnValue = r.ucColumnValue;
    s.bShowClosed = r.bShowClosed;
    s.ucDefaultMarket = r.ucDefaultMarket;
    s.wViewPortfolio = r.wViewPortfolio;
    s.wNewStockPortfolio = r.wNewStockPortfolio >= kMaxPortfolios ? 0 : r.wNewStockPortfolio;
    CopyText(s.szProxyHost, r.szProxyHost, sizeof r.szProxyHost);
    s.wProxyPort = r.wProxyPort;
    s.bUseProxy = r.bUseProxy;
    s.bCloseConnection = r.bCloseConnection;
    s.ucChartSize = r.ucChartSize;
    s.wPassword = r.wPassword;
    s.dwSelectedStock = r.dwSelectedStock;
    s.fCustomFeePercent = r.fCustomFeePercent;
    s.tLastUpdate = r.tLastUpdate;
    s.bPassword = r.bPassword;
    s.ucSortKey = r.ucSortKey;
    s.bSortDescending = r.bSortDescending;
    s.bWatchedAtBottom = r.bWatchedAtBottom;
    s.bAutoSort = r.bAutoSort;
    s.bDividendTimesPrice = r.bDividendTimesPrice;
    s.wPortfolioChartMode = r.wPortfolioChartMode;
    s.wPortfolioChartValue = r.wPortfolioChartValue;
    s.ucPrefKept118 = r.ucKept118;
    s.bNameInCharts = r.bNameInCharts;
    std::memcpy(s.szPrefKept124, r.szKept124, sizeof s.szPrefKept124);
    CopyText(s.szRasEntry, r.szRasEntry, sizeof r.szRasEntry);
    s.ucPrefFlags = r.ucPrefFlags;
    s.bAutoUpdate = r.bAutoUpdate;
    s.ucUpdateMinutes = r.ucUpdateMinutes;
    // The portfolio count is only known once the stock file is read, which checks the view
    // against it again; here the choices are brought into the tables' bounds.
    s.ClampPreferenceChoices();
  }
  if (s.ucUpdateMinutes == 0) s.ucUpdateMinutes = 5;
  if (s.szRasEntry[0] == '\0' || s.szRasEntry[0] == '`') {
    std::vector<std::u16string> entries;
    if (RasEnumEntries(s.context().registry(), &entries) == ERROR_SUCCESS && !entries.empty()) {
      CopyToField(s.szRasEntry, Utf16ToAnsi(entries.front()));
    }
  }
  reg.SetString(kProgramPathValue, Utf8ToUtf16(s.context().programPath()));
  return firstStart;
}

void SavePreferences(PortfolioStore& s) {
  PrefRecord r;
  std::memset(&r, 0, sizeof r);
  r.wVersion = kPrefVersion;
  r.wKept4 = s.wPrefKept4;
  r.ucColumnText = s.ucColumnText;
  r.ucColumnData = s.ucColumnData;
  r.ucColumnValue = s.ucColumnValue;
  r.bShowClosed = s.bShowClosed;
  r.ucDefaultMarket = s.ucDefaultMarket;
  r.wViewPortfolio = s.wViewPortfolio;
  r.wNewStockPortfolio = s.wNewStockPortfolio;
  CopyText(r.szProxyHost, s.szProxyHost, sizeof s.szProxyHost);
  r.wProxyPort = s.wProxyPort;
  r.bUseProxy = s.bUseProxy;
  r.bCloseConnection = s.bCloseConnection;
  r.ucChartSize = s.ucChartSize;
  r.wPassword = s.wPassword;
  r.dwSelectedStock = s.dwSelectedStock;
  r.fCustomFeePercent = s.fCustomFeePercent;
  r.tLastUpdate = s.tLastUpdate;
  r.bPassword = s.bPassword;
  r.ucSortKey = s.ucSortKey;
  r.bSortDescending = s.bSortDescending;
  r.bWatchedAtBottom = s.bWatchedAtBottom;
  r.bAutoSort = s.bAutoSort;
  r.bDividendTimesPrice = s.bDividendTimesPrice;
  r.wPortfolioChartMode = s.wPortfolioChartMode;
  r.wPortfolioChartValue = s.wPortfolioChartValue;
  r.ucKept118 = s.ucPrefKept118;
  r.bNameInCharts = s.bNameInCharts;
  std::memcpy(r.szKept124, s.szPrefKept124, sizeof r.szKept124);
  CopyText(r.szRasEntry, s.szRasEntry, sizeof s.szRasEntry);
  r.ucPrefFlags = s.ucPrefFlags;
  r.bAutoUpdate = s.bAutoUpdate;
  r.ucUpdateMinutes = s.ucUpdateMinutes;
  RegistryStore reg(s.context().registry());
  reg.SetProductKey(kProductName);
  // Both values or neither: a size stored without its record would read back as a record of
  // zeros. Write failures are not reported: the settings stay in effect for this run.
  Registry::Transaction tx(s.context().registry());
  const std::string bytes = EncodePrefRecord(r);
  if (reg.SetDword(kPrefSizeValue, kPrefRecordSize) &&
      reg.SetBinary(kPrefBufValue, bytes.data(), static_cast<DWORD>(bytes.size()))) {
    tx.Commit();
  }
}

void SetTodayItem(PortfolioStore& s, bool on) {
  if (on == s.TodayItemOn()) return;
  RegistryStore reg(s.context().registry());
  reg.SetRoot(HKEY_LOCAL_MACHINE);
  reg.SetKeyPath(kTodayItemKey);
  if (on) {
    s.ucPrefFlags = static_cast<BYTE>(s.ucPrefFlags & ~kPrefTodayItemOff);
    reg.SetDword(u"Type", 4);
    reg.SetDword(u"Options", 0);
    reg.SetDword(u"Enabled", 1);
    reg.SetString(u"DLL", kTodayItemDll);
  } else {
    s.ucPrefFlags = static_cast<BYTE>(s.ucPrefFlags | kPrefTodayItemOff);
    reg.DeleteKey(kTodayItemKey);
  }
  if (s.windows()) s.windows()->Broadcast(WM_SETTINGCHANGE, kTodayReloadWParam, 0);
}

}  // namespace quillet
