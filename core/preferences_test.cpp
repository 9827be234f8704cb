// The preference record in the registry, the program path and the Today item.
#include "core/preferences.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/data_files.h"
#include "core/portfolio_math.h"
#include "core/portfolio_store.h"
#include "core/registry/registry_store.h"
#include "platform/locale_settings.h"
#include "platform/ras.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using quillet::testing::TestRoot;

class Preferences : public ::testing::Test {
 protected:
  Preferences() { root.ctx->SetWindowMessages(&windows); }
  RegistryStore Product() {
    RegistryStore reg(root.ctx->registry());
    reg.SetProductKey(u"Quillet");
    return reg;
  }
  void StoreRecord(const std::string& bytes, DWORD size = 216) {
    RegistryStore reg = Product();
    ASSERT_TRUE(reg.SetDword(u"PrefSize", size));
    ASSERT_TRUE(reg.SetBinary(u"PrefBuf", bytes.data(), static_cast<DWORD>(bytes.size())));
  }
  std::string StoredRecord() {
    std::string bytes(300, 'x');
    RegistryStore reg = Product();
    HKEY key;
    EXPECT_EQ(root.ctx->registry().OpenKey(HKEY_CURRENT_USER, reg.keyPath(), &key), 0);
    DWORD type = 0, size = static_cast<DWORD>(bytes.size());
    EXPECT_EQ(root.ctx->registry().QueryValue(key, u"PrefBuf", &type, bytes.data(), &size), 0);
    root.ctx->registry().CloseKey(key);
    bytes.resize(size);
    return bytes;
  }
  bool TodayKeyExists() {
    HKEY key;
    LONG rc = root.ctx->registry().OpenKey(HKEY_LOCAL_MACHINE, kTodayItemKey, &key);
    if (rc == 0) root.ctx->registry().CloseKey(key);
    return rc == 0;
  }

  TestRoot root;
  RecordingWindowMessages windows;
  PortfolioStore store{*root.ctx};
};

// A record built byte by byte at the offsets of the layout.
std::string GoldenRecord() {
  std::string r(216, '\0');
  auto put16 = [&](std::size_t at, unsigned v) {
    r[at] = static_cast<char>(v & 0xFF);
    r[at + 1] = static_cast<char>(v >> 8);
  };
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) r[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put16(0, 100);
  put16(4, 0x1234);  // kept field
  r[6] = 1;          // column text: Symbol
  r[7] = 3;          // column data: Buy Date
  r[8] = 9;          // column value: DChange
  r[9] = 1;          // closed list
  r[10] = 24;        // default market
  put16(12, 2);      // view portfolio
  put16(14, 3);      // new-stock portfolio
  std::memcpy(&r[16], "proxy.example", 13);
  put16(80, 3128);
  put16(82, 1);
  r[88] = 0;  // close connection off
  r[89] = 2;  // chart size Big
  put16(90, 4321);
  put32(96, 77);  // selected stock
  float fee = 0.75f;
  std::memcpy(&r[100], &fee, 4);
  put32(104, 1051891200);  // last update
  r[108] = 1;
  r[109] = 9;  // sort key Profit %
  r[110] = 1;
  r[111] = 0;
  r[112] = 0;
  r[113] = 1;
  put16(114, 2);
  put16(116, 1);
  r[118] = 5;  // kept field
  r[119] = 1;
  std::memcpy(&r[124], "kept text", 9);
  std::memcpy(&r[144], "Office modem", 12);
  r[168] = 0x04 | 0x08 | 0x20;
  r[170] = 1;
  r[171] = 30;
  return r;
}

TEST_F(Preferences, AFirstStartHasTheDefaults) {
  EXPECT_TRUE(LoadPreferences(store));
  EXPECT_EQ(store.wPortfolioCount, 2);
  EXPECT_EQ(store.PortfolioName(0), "Unfiled");
  EXPECT_EQ(store.PortfolioName(1), "NASDAQ");
  EXPECT_EQ(store.wViewPortfolio, PORTFOLIO_ALL);
  EXPECT_EQ(store.wNewStockPortfolio, 1);
  EXPECT_EQ(store.ucSortKey, 0);
  EXPECT_EQ(store.bSortDescending, 0);
  EXPECT_EQ(store.bWatchedAtBottom, 1);
  EXPECT_EQ(store.bAutoSort, 1);
  EXPECT_EQ(store.wProxyPort, 8080);
  EXPECT_EQ(store.bCloseConnection, 1);
  EXPECT_EQ(store.ucUpdateMinutes, 5);
  EXPECT_EQ(store.ucPrefFlags, kPrefMapArrowKeys | kPrefArrowsShowToday);
  EXPECT_EQ(store.wCurrencyCount, 1);
  EXPECT_EQ(store.CurrencyCode(0), "USD");
  EXPECT_DOUBLE_EQ(store.currencies[0].dRate, 1.0);
  EXPECT_EQ(Product().GetString(u"ProgramPath", u""), u"\\Program Files\\Quillet\\Quillet.exe");
}

TEST_F(Preferences, AGoldenRecordLoadsAndSavesBackIdentically) {
  StoreRecord(GoldenRecord());
  EXPECT_FALSE(LoadPreferences(store));
  EXPECT_EQ(store.ucColumnText, 1);
  EXPECT_EQ(store.ucColumnData, 3);
  EXPECT_EQ(store.ucColumnValue, 9);
  EXPECT_EQ(store.bShowClosed, 1);
  EXPECT_EQ(store.ucDefaultMarket, 24);
  EXPECT_EQ(store.wViewPortfolio, 2);
  EXPECT_EQ(store.wNewStockPortfolio, 3);
  EXPECT_EQ(FieldText(store.szProxyHost), "proxy.example");
  EXPECT_EQ(store.wProxyPort, 3128);
  EXPECT_EQ(store.wPassword, 4321);
  EXPECT_EQ(store.dwSelectedStock, 77u);
  EXPECT_FLOAT_EQ(store.fCustomFeePercent, 0.75f);
  EXPECT_EQ(store.tLastUpdate, 1051891200u);
  EXPECT_EQ(store.ucSortKey, 9);
  EXPECT_EQ(store.bWatchedAtBottom, 0);
  EXPECT_EQ(FieldText(store.szRasEntry), "Office modem");
  EXPECT_TRUE(store.ConvertToBase());
  EXPECT_EQ(store.ucUpdateMinutes, 30);
  Product().DeleteValue(u"PrefBuf");
  SavePreferences(store);
  EXPECT_EQ(StoredRecord(), GoldenRecord());
  EXPECT_EQ(Product().GetDword(u"PrefSize", 0), 216u);
}

TEST_F(Preferences, TheDesktopFieldIsWrittenAsZero) {
  std::string r = GoldenRecord();
  r[120] = 9;
  StoreRecord(r);
  LoadPreferences(store);
  SavePreferences(store);
  EXPECT_EQ(StoredRecord(), GoldenRecord());
}

TEST_F(Preferences, OutOfRangeChoicesAreBroughtIntoRange) {
  std::string r = GoldenRecord();
  r[6] = 7;                        // column text
  r[7] = 9;                        // column data
  r[8] = 10;                       // column value
  r[10] = static_cast<char>(200);  // market
  r[12] = 40;                      // view portfolio beyond the table
  r[14] = 32;                      // new-stock portfolio of 32 reads as 0
  r[109] = 11;                     // sort key
  r[171] = 0;                      // interval 0 reads as 5
  StoreRecord(r);
  LoadPreferences(store);
  EXPECT_EQ(store.ucColumnText, 0);
  EXPECT_EQ(store.ucColumnData, 0);
  EXPECT_EQ(store.ucColumnValue, 0);
  EXPECT_EQ(store.ucDefaultMarket, 0);
  EXPECT_EQ(store.wViewPortfolio, PORTFOLIO_ALL);
  EXPECT_EQ(store.wNewStockPortfolio, 0);
  EXPECT_EQ(store.ucSortKey, 0);
  EXPECT_EQ(store.ucUpdateMinutes, 5);
  // A view portfolio within the table but beyond the portfolio count is checked once the
  // stock file has said how many there are.
  r = GoldenRecord();
  r[12] = 9;
  StoreRecord(r);
  LoadPreferences(store);
  EXPECT_EQ(store.wViewPortfolio, 9);
  ASSERT_TRUE(LoadStocks(store));
  EXPECT_EQ(store.wViewPortfolio, PORTFOLIO_ALL);
}

TEST_F(Preferences, AShortRecordLeavesTheRestZeroAndUnterminatedTextStaysInItsField) {
  std::string r = GoldenRecord().substr(0, 100);
  std::memset(&r[16], 'p', 64);  // proxy host without its terminator
  StoreRecord(r);
  LoadPreferences(store);
  EXPECT_EQ(FieldText(store.szProxyHost).size(), 63u);
  EXPECT_EQ(store.ucSortKey, 0);
  EXPECT_EQ(store.bAutoSort, 0);
  EXPECT_EQ(store.ucUpdateMinutes, 5);
}

TEST_F(Preferences, TheRasEntryFallsBackToTheFirstPhoneBookEntry) {
  ASSERT_EQ(RasAddEntry(root.ctx->registry(), u"A very long phone book entry name", u"555"), 0u);
  ASSERT_EQ(RasAddEntry(root.ctx->registry(), u"Second", u"556"), 0u);
  LoadPreferences(store);
  EXPECT_EQ(FieldText(store.szRasEntry), "A very long phone book ");  // 23 characters

  std::string r = GoldenRecord();
  std::memcpy(&r[144], "`Backquoted", 12);
  StoreRecord(r);
  LoadPreferences(store);
  EXPECT_EQ(FieldText(store.szRasEntry), "A very long phone book ");
  StoreRecord(GoldenRecord());
  LoadPreferences(store);
  EXPECT_EQ(FieldText(store.szRasEntry), "Office modem");
}

TEST_F(Preferences, TheSeparatorsComeFromTheDevicesLocale) {
  LocaleSettings locale;
  locale.decimalSeparator = ',';
  locale.thousandsSeparator = '.';
  WriteLocaleSettings(root.ctx->registry(), locale);
  root.ctx->ReloadLocale();
  LoadPreferences(store);
  EXPECT_EQ(store.cDecimalSeparator, ',');
  EXPECT_EQ(store.cThousandsSeparator, '.');
  StockRecord* r = store.NewStock();
  CopyToField(r->szShares, "1000");
  CopyToField(r->szPrice, "1.5");
  EXPECT_EQ(FormatStockValue(store, *r, kValueCurrentValue, PORTFOLIO_ALL), "1500,00");
}

TEST_F(Preferences, TheTodayItemIsRegisteredRemovedAndAnnounced) {
  LoadPreferences(store);
  SetTodayItem(store, true);  // already on: nothing happens
  EXPECT_TRUE(windows.sent().empty());
  EXPECT_FALSE(TodayKeyExists());

  SetTodayItem(store, false);
  EXPECT_TRUE(store.ucPrefFlags & kPrefTodayItemOff);
  SetTodayItem(store, true);
  EXPECT_FALSE(store.ucPrefFlags & kPrefTodayItemOff);
  ASSERT_TRUE(TodayKeyExists());
  RegistryStore today(root.ctx->registry());
  today.SetRoot(HKEY_LOCAL_MACHINE);
  today.SetKeyPath(kTodayItemKey);
  EXPECT_EQ(today.GetDword(u"Type", 0), 4u);
  EXPECT_EQ(today.GetDword(u"Options", 9), 0u);
  EXPECT_EQ(today.GetDword(u"Enabled", 0), 1u);
  EXPECT_EQ(today.GetString(u"DLL", u""), u"QuilletToday.dll");
  SetTodayItem(store, false);
  EXPECT_FALSE(TodayKeyExists());
  RecordingWindowMessages::Message reload{WM_SETTINGCHANGE, 0xF2, 0};
  EXPECT_EQ(windows.sent(), (std::vector<RecordingWindowMessages::Message>(3, reload)));
}

TEST(PreferenceValues, TypedValuesAreCheckedBeforeTheyAreStored) {
  EXPECT_EQ(ReadProxyPort("8080"), 8080);
  EXPECT_EQ(ReadProxyPort("1"), 1);
  EXPECT_EQ(ReadProxyPort("65535"), 65535);
  // 65536 and 70000 would wrap to ports 0 and 4464 in the record's 16 bits.
  for (const char* bad : {"0", "65536", "70000", "", "80a", "-80", "123456"}) {
    EXPECT_FALSE(ReadProxyPort(bad)) << bad;
  }
  EXPECT_TRUE(ProxyHostFits(std::string(62, 'h')));
  EXPECT_FALSE(ProxyHostFits(std::string(63, 'h')));
  EXPECT_EQ(PasswordFromDigits("0042"), 42);
  EXPECT_EQ(PasswordFromDigits("9999"), 9999);
  for (const char* bad : {"0000", "123", "12345", "12a4", ""}) {
    EXPECT_FALSE(PasswordFromDigits(bad)) << bad;
  }
}

}  // namespace
}  // namespace quillet
