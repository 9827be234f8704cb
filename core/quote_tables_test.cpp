#include "core/quote_tables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace quillet {
namespace {

TEST(QuoteSourceTable, SpotChecks) {
  ASSERT_EQ(QuoteSources().size(), 25u);
  const QuoteSource* us = GetQuoteSource(0);
  ASSERT_NE(us, nullptr);
  EXPECT_STREQ(us->szPathPrefix, "/d/quotes.csv?s=");
  EXPECT_STREQ(us->szQuerySuffix, "&f=sl1d1t1c1ghpvbaw&e=.csv");
  EXPECT_EQ(us->bOnePerRequest, 0);
  EXPECT_EQ(us->ucDateStyle, 2);
  EXPECT_EQ(us->ucTimeStyle, 2);

  const QuoteSource* eu = GetQuoteSource(1);
  EXPECT_STREQ(eu->szPathPrefix, "/d/quotes.csv?f=sl1d1t1c1ghpvbaw&s=");
  EXPECT_STREQ(eu->szQuerySuffix, "");
  EXPECT_EQ(eu->ucTimeStyle, 1);

  EXPECT_EQ(GetQuoteSource(3)->cSeparator, '|');
  EXPECT_EQ(GetQuoteSource(14)->cSeparator, ',');
  EXPECT_STREQ(GetQuoteSource(14)->szQuerySuffix, "&Quote_NotFound=1&User_ID=1");
  EXPECT_EQ(GetQuoteSource(3)->ucDateStyle, 0);
  EXPECT_EQ(GetQuoteSource(5)->ucDateStyle, 3);
  EXPECT_EQ(GetQuoteSource(4)->ucTimeStyle, 0);
  EXPECT_STREQ(GetQuoteSource(15)->szQuerySuffix, "&market=HEX");
  EXPECT_STREQ(GetQuoteSource(17)->szPathPrefix, "/q?s=");
  EXPECT_STREQ(GetQuoteSource(17)->szQuerySuffix, "&d=t");
  EXPECT_STREQ(GetQuoteSource(22)->szPathPrefix, "/dummy=");
  EXPECT_STREQ(GetQuoteSource(10)->szPathPrefix,
               "/table.csv?a=%d&b=%d&c=%d&d=%d&e=%d&f=%d&g=d&y=0&ignore=.csv&s=%s");
  EXPECT_STREQ(GetQuoteSource(24)->szPathPrefix,
               "/fonds/detail.asp?val=Ubersicht&sessionID=&Wpknr=");
  for (int s : {8, 23}) {
    EXPECT_STREQ(GetQuoteSource(s)->szPathPrefix,
                 "/HttpController?GetPage=QuotesViewPage&DetailedView=DetailedPrices&"
                 "QuoteSymbol_1=");
    EXPECT_EQ(GetQuoteSource(s)->ucDateStyle, 3);
    EXPECT_EQ(GetQuoteSource(s)->ucTimeStyle, 0);
  }
  // Batch sources by the table: 0, 1, 3, 4, 7, 9, 11, 13, 14.
  std::set<int> batch;
  for (int s = 0; s < 25; ++s) {
    if (GetQuoteSource(s)->bOnePerRequest == 0) batch.insert(s);
  }
  EXPECT_EQ(batch, (std::set<int>{0, 1, 3, 4, 7, 9, 11, 13, 14}));
}

TEST(QuoteSourceTable, EveryEntryIsWellFormed) {
  for (const QuoteSource& s : QuoteSources()) {
    EXPECT_EQ(s.wPort, 80);
    EXPECT_NE(s.szHost[0], '\0');
    EXPECT_LT(strnlen(s.szHost, sizeof s.szHost), sizeof s.szHost);
    EXPECT_EQ(s.szPathPrefix[0], '/');
    EXPECT_EQ(s.cSeparatorEnd, '\0');
    EXPECT_EQ(std::strlen(&s.cSeparator), 1u);
  }
  // Sources 0 and 7 name the same server and paths.
  EXPECT_STREQ(GetQuoteSource(0)->szHost, GetQuoteSource(7)->szHost);
  EXPECT_STREQ(GetQuoteSource(8)->szHost, GetQuoteSource(23)->szHost);
}

TEST(MarketTable, SpotChecks) {
  ASSERT_EQ(Markets().size(), 80u);
  struct Row {
    int market;
    const char* name;
    const char* suffix;
    int source;
  };
  const Row rows[] = {
      {0, "US", "", 0},
      {1, "Toronto", ".TO", 0},
      {4, "Alberta", ".AL", 0},
      {14, "London (\xA3)", ".L", 1},
      {23, "Xetra", ".DE", 1},
      {32, "Jakarta", ".JK", 11},
      {41, "Germn Fund", "", 6},
      {42, "Amsterdam", ".ASX", 2},
      {44, "Zurich", "", 3},
      {46, "Milan Cell-Data", "", 102},
      {47, "Vienna", "", 5},
      {49, "Currency", "=X", 0},
      {53, "Canada Fund", "", 8},
      {54, "Austria Fund", "", 24},
      {55, "Athens", ".AT", 15},
      {56, "Brussels", "", 12},
      {58, "Istanbul", "", 13},
      {62, "Cyprus", "", 16},
      {64, "Tokyo", ".T", 17},
      {70, "Johannesburg", "ZA:", 19},
      {71, "France Sicav", "", 20},
      {72, "Amsterdam 2", "NL:", 19},
      {73, "France Fcp", "", 21},
      {74, "No Update", "", 22},
      {75, "London", ".L", 1},
      {76, "Canada Trust", "", 23},
      {77, "KOSDAQ", ".KQ", 0},
      {79, "Madrid (FIM)", ".MF", 1},
  };
  for (const Row& r : rows) {
    const MarketInfo* info = GetMarketInfo(r.market);
    ASSERT_NE(info, nullptr) << r.market;
    EXPECT_STREQ(info->szName, r.name) << r.market;
    EXPECT_STREQ(info->szSuffix, r.suffix) << r.market;
    EXPECT_EQ(info->ucSource, r.source) << r.market;
  }
  // The pound sign is one Windows-1252 byte.
  EXPECT_EQ(std::strlen(GetMarketInfo(14)->szName), 10u);
  EXPECT_EQ(static_cast<unsigned char>(GetMarketInfo(14)->szName[8]), 0xA3);
  // No market is served by 4, 9, 14 or 18; source 10 only serves the history download.
  for (const MarketInfo& m : Markets()) {
    for (int unused : {4, 9, 10, 14, 18}) {
      EXPECT_NE(m.ucSource, unused);
    }
  }
}

TEST(MarketTable, LookupsOutsideTheTable) {
  EXPECT_EQ(GetMarketInfo(-1), nullptr);
  EXPECT_EQ(GetMarketInfo(80), nullptr);
  EXPECT_EQ(GetMarketInfo(255), nullptr);
  EXPECT_EQ(GetQuoteSource(-1), nullptr);
  EXPECT_EQ(GetQuoteSource(25), nullptr);
  EXPECT_EQ(GetQuoteSource(GetMarketSource(46)), nullptr);
  EXPECT_STREQ(GetMarketName(80), "US");
  EXPECT_STREQ(GetMarketName(255), "US");
  EXPECT_STREQ(GetMarketName(-7), "US");
  EXPECT_STREQ(GetMarketName(79), "Madrid (FIM)");
  EXPECT_EQ(GetMarketSource(80), 0);
  EXPECT_EQ(GetMarketSource(1000), 0);
  EXPECT_EQ(GetMarketSource(46), 102);
  EXPECT_EQ(GetMarketSource(70), 19);
}

TEST(MarketTable, FindMarketByName) {
  EXPECT_EQ(FindMarketByName("london (\xA3)"), 14);
  EXPECT_EQ(FindMarketByName("LONDON (\xA3)"), 14);
  EXPECT_EQ(FindMarketByName("London"), 75);
  EXPECT_EQ(FindMarketByName("toronto"), 1);
  EXPECT_EQ(FindMarketByName("KOSDAQ"), 77);
  EXPECT_EQ(FindMarketByName("Korea KOSDAQ"), 77);
  EXPECT_EQ(FindMarketByName("korea"), 30);
  EXPECT_EQ(FindMarketByName("Atlantis"), 0);
  EXPECT_EQ(FindMarketByName(""), 0);
  EXPECT_EQ(FindMarketByName("------------"), 0);
  EXPECT_EQ(FindMarketByName("Toronto "), 0);
}

TEST(MarketSuffix, SuffixesAndPrefixes) {
  EXPECT_EQ(QuoteSymbol("msft", 1), "msft.TO");
  EXPECT_EQ(QuoteSymbol("MSFT.to", 1), "MSFT.to");
  EXPECT_EQ(QuoteSymbol("BHP", 24), "BHP.AX");
  EXPECT_EQ(QuoteSymbol("EURUSD", 49), "EURUSD=X");
  EXPECT_EQ(QuoteSymbol("EURUSD=x", 49), "EURUSD=x");
  EXPECT_EQ(QuoteSymbol("ABC", 70), "ZA:ABC");
  EXPECT_EQ(QuoteSymbol("za:ABC", 70), "za:ABC");
  EXPECT_EQ(QuoteSymbol("ABC", 72), "NL:ABC");
  EXPECT_EQ(QuoteSymbol("IBM", 0), "IBM");
  EXPECT_EQ(QuoteSymbol("IBM", 74), "IBM");
  EXPECT_EQ(QuoteSymbol("IBM", 255), "IBM");
  EXPECT_EQ(QuoteSymbol("IBM", 80), "IBM");
  EXPECT_EQ(QuoteSymbol("IBM", -1), "IBM");
  // Only the text from the last '.' counts as an existing suffix.
  EXPECT_EQ(QuoteSymbol("A.TO.B", 1), "A.TO.B.TO");
  EXPECT_EQ(QuoteSymbol("BRK.B", 1), "BRK.B.TO");
}

TEST(MarketSuffix, LengthLimit) {
  // ".ASX": 13 + 4 > 15 stays bare; 11 + 4 = 15 gets it.
  EXPECT_EQ(QuoteSymbol("ABCDEFGHIJKLM", 42), "ABCDEFGHIJKLM");
  EXPECT_EQ(QuoteSymbol("ABCDEFGHIJK", 42), "ABCDEFGHIJK.ASX");
  EXPECT_EQ(QuoteSymbol("ABCDEFGHIJKL", 42), "ABCDEFGHIJKL");
  // Prefixes are not limited to 15: a 15-character symbol becomes 18.
  EXPECT_EQ(QuoteSymbol("ABCDEFGHIJKLMNO", 70), "ZA:ABCDEFGHIJKLMNO");
}

TEST(MarketSuffix, BlanksAreRemoved) {
  EXPECT_EQ(QuoteSymbol("BAY .F", 0), "BAY.F");
  EXPECT_EQ(QuoteSymbol(" B A Y ", 11), "BAY.F");
  EXPECT_EQ(QuoteSymbol("    ", 1), "");
  EXPECT_EQ(QuoteSymbol("", 0), "");
}

TEST(MarketSuffix, InPlaceBufferNeverOverflows) {
  char buffer[20] = "msft";
  AppendMarketSuffix(1, buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "msft.TO");

  char prefixed[20] = "ABCDEFGHIJKLMNOP";  // 16 characters: 19 with the prefix, still fits
  AppendMarketSuffix(70, prefixed, sizeof prefixed);
  EXPECT_STREQ(prefixed, "ZA:ABCDEFGHIJKLMNOP");

  // A 17-character symbol in a 20-byte buffer would need 21 bytes with the prefix.
  char tight[21];
  std::memset(tight, 'Z', sizeof tight);
  std::memcpy(tight, "ABCDEFGHIJKLMNOPQ", 18);
  AppendMarketSuffix(70, tight, 20);
  EXPECT_STREQ(tight, "ABCDEFGHIJKLMNOPQ");
  EXPECT_EQ(tight[20], 'Z');

  // A small buffer gets no suffix rather than a cut one.
  char small[6] = "AB";
  AppendMarketSuffix(42, small, sizeof small);
  EXPECT_STREQ(small, "AB");
  char exact[7] = "AB";
  AppendMarketSuffix(42, exact, sizeof exact);
  EXPECT_STREQ(exact, "AB.ASX");

  // Unterminated input is left untouched.
  char raw[4] = {'A', 'B', 'C', 'D'};
  AppendMarketSuffix(1, raw, sizeof raw);
  EXPECT_EQ(std::string(raw, 4), "ABCD");
}

TEST(MarketSelector, Entries) {
  auto choices = MarketChoices();
  ASSERT_EQ(choices.size(), 80u);
  int separators = 0;
  std::set<int> markets;
  for (const MarketChoice& c : choices) {
    if (c.IsSeparator()) {
      ++separators;
      EXPECT_STREQ(c.szText, "------------");
      continue;
    }
    markets.insert(c.ucMarket);
    if (c.ucMarket == 77) {
      EXPECT_STREQ(c.szText, "Korea KOSDAQ");
    } else {
      EXPECT_STREQ(c.szText, GetMarketName(c.ucMarket));
    }
  }
  EXPECT_EQ(separators, 6);
  EXPECT_EQ(markets.size(), 74u);
  for (int hidden : {4, 46, 55, 58, 59, 60}) {
    EXPECT_EQ(markets.count(hidden), 0u) << hidden;
  }
  EXPECT_STREQ(choices[0].szText, "US");
  EXPECT_STREQ(choices[11].szText, "------------");
  EXPECT_STREQ(choices[28].szText, "London (\xA3)");
  EXPECT_STREQ(choices[79].szText, "No Update");
}

TEST(MarketSelector, Mapping) {
  EXPECT_EQ(MarketChoiceIndex(0), 0);
  EXPECT_EQ(MarketChoiceIndex(51), 1);
  EXPECT_EQ(MarketChoiceIndex(49), 10);
  EXPECT_EQ(MarketChoiceIndex(42), 12);
  EXPECT_EQ(MarketChoiceIndex(77), 58);
  EXPECT_EQ(MarketChoiceIndex(74), 79);
  for (int hidden : {4, 46, 55, 58, 59, 60, 80, 255, -1}) {
    EXPECT_EQ(MarketChoiceIndex(hidden), 0) << hidden;
  }
  EXPECT_EQ(MarketOfChoice(0), 0);
  EXPECT_EQ(MarketOfChoice(10), 49);
  EXPECT_EQ(MarketOfChoice(11), 0);  // separator
  EXPECT_EQ(MarketOfChoice(58), 77);
  EXPECT_EQ(MarketOfChoice(79), 74);
  EXPECT_EQ(MarketOfChoice(80), 0);
  EXPECT_EQ(MarketOfChoice(-1), 0);
  // Every offered market comes back through the selector unchanged.
  for (int m = 0; m < 80; ++m) {
    int index = MarketChoiceIndex(m);
    if (index != 0 || m == 0) {
      EXPECT_EQ(MarketOfChoice(index), m);
    }
  }
}

}  // namespace
}  // namespace quillet
