#include "core/preferences.h"

#include <cstring>
#include <type_traits>

#include "core/data_codecs.h"
#include "core/registry/registry_store.h"
#include "platform/ras.h"

namespace quillet {
namespace {

template <std::size_t N>
void CopyText(char (&to)[N], const char* from, std::size_t fromSize) {
  CopyToField(to, FieldText(from, fromSize));
}

// Every setting beside its place in the preference record, once: reading and writing walk the
// same list. `copy(recordField, storeField)` moves one value in the direction it chooses. The
// kept bytes at 124 are not text and are copied whole by the callers.
template <class Copy>
void EachPreferenceField(PrefRecord& r, PortfolioStore& s, Copy copy) {
  copy(r.wKept4, s.wPrefKept4);
  copy(r.ucColumnText, s.ucColumnText);
  copy(r.ucColumnData, s.ucColumnData);
  copy(r.ucColumnValue, s.ucColumnValue);
  copy(r.bShowClosed, s.bShowClosed);
  copy(r.ucDefaultMarket, s.ucDefaultMarket);
  copy(r.wViewPortfolio, s.wViewPortfolio);
  copy(r.wNewStockPortfolio, s.wNewStockPortfolio);
  copy(r.szProxyHost, s.szProxyHost);
  copy(r.wProxyPort, s.wProxyPort);
  copy(r.bUseProxy, s.bUseProxy);
  copy(r.bCloseConnection, s.bCloseConnection);
  copy(r.ucChartSize, s.ucChartSize);
  copy(r.wPassword, s.wPassword);
  copy(r.dwSelectedStock, s.dwSelectedStock);
  copy(r.fCustomFeePercent, s.fCustomFeePercent);
  copy(r.tLastUpdate, s.tLastUpdate);
  copy(r.bPassword, s.bPassword);
  copy(r.ucSortKey, s.ucSortKey);
  copy(r.bSortDescending, s.bSortDescending);
  copy(r.bWatchedAtBottom, s.bWatchedAtBottom);
  copy(r.bAutoSort, s.bAutoSort);
  copy(r.bDividendTimesPrice, s.bDividendTimesPrice);
  copy(r.wPortfolioChartMode, s.wPortfolioChartMode);
  copy(r.wPortfolioChartValue, s.wPortfolioChartValue);
  copy(r.ucKept118, s.ucPrefKept118);
  copy(r.bNameInCharts, s.bNameInCharts);
  copy(r.szRasEntry, s.szRasEntry);
  copy(r.ucPrefFlags, s.ucPrefFlags);
  copy(r.bAutoUpdate, s.bAutoUpdate);
  copy(r.ucUpdateMinutes, s.ucUpdateMinutes);
}

// One value across, in either direction; a text through a bounded copy that always terminates.
template <class To, class From>
void Assign(To& to, const From& from) {
  if constexpr (std::is_array_v<To>) {
    CopyText(to, from, sizeof from);
  } else {
    to = static_cast<To>(from);
  }
}

}  // namespace

bool LoadPreferences(PortfolioStore& s) {
  s.ResetToDefaults();
  RegistryStore reg(s.context().registry());
  reg.SetProductKey(kProductName);
  DWORD size = reg.GetDword(kPrefSizeValue, 0);
  char stored[kPrefRecordSize] = {};
  reg.GetBinary(kPrefBufValue, stored, sizeof stored);  // a short value leaves zeros
  PrefRecord r = DecodePrefRecord(std::string_view(stored, sizeof stored));
  const bool firstStart = size == 0;
  if (!firstStart) {
    ApplyPreferenceRecord(s, r);
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

void ApplyPreferenceRecord(PortfolioStore& s, const PrefRecord& record) {
  PrefRecord r = record;
  EachPreferenceField(r, s, [](auto& from, auto& field) { Assign(field, from); });
  std::memcpy(s.szPrefKept124, r.szKept124, sizeof s.szPrefKept124);
}

bool SavePreferences(PortfolioStore& s) {
  PrefRecord r;
  std::memset(&r, 0, sizeof r);
  r.wVersion = kPrefVersion;
  EachPreferenceField(r, s, [](auto& record, auto& field) { Assign(record, field); });
  std::memcpy(r.szKept124, s.szPrefKept124, sizeof r.szKept124);
  RegistryStore reg(s.context().registry());
  reg.SetProductKey(kProductName);
  // Both values or neither: a size stored without its record would read back as a record of
  // zeros.
  const std::string bytes = EncodePrefRecord(r);
  Registry::Transaction tx(s.context().registry());
  if (reg.SetDword(kPrefSizeValue, kPrefRecordSize) &&
      reg.SetBinary(kPrefBufValue, bytes.data(), static_cast<DWORD>(bytes.size()))) {
    return tx.Commit();
  }
  return false;
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

std::optional<WORD> ReadProxyPort(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return static_cast<WORD>(value);
}

bool ProxyHostFits(std::string_view host) {
  // The field's last bytes stay zero: the host is read up to its terminator.
  return host.size() <= 62;
}

std::optional<WORD> PasswordFromDigits(std::string_view digits) {
  if (digits.size() != 4) return std::nullopt;
  unsigned value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0) return std::nullopt;
  return static_cast<WORD>(value);
}

}  // namespace quillet
