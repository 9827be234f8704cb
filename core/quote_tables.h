// The fixed knowledge about where prices come from: the 25 quote sources, the 80 markets a stock
// can belong to, and the list the user picks a market from; plus the lookups every part of the
// program uses to name a market, find its source and decorate a symbol for it.
//
// The tables are constant data, identical in the handheld program and the desktop companion.
// Every lookup takes an int and checks it, so a market byte read from a damaged file never
// indexes past a table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quillet {

inline constexpr int kQuoteSourceCount = 25;
inline constexpr int kMarketCount = 80;
inline constexpr int kMarketChoiceCount = 80;
// The market byte of a stock or alert that belongs to no market.
inline constexpr int kNoMarket = 255;
// The source byte of a market that is never priced (market 46).
inline constexpr int kNoSource = 102;

// Sources with a special role in the update run.
inline constexpr int kSourceCsvUs = 0;
inline constexpr int kSourceCsvEurope = 1;
inline constexpr int kSourceCurrency = 7;
inline constexpr int kSourceHistory = 10;
inline constexpr int kSourcePrefixMarkets = 19;
inline constexpr int kSourcePlaceholder = 22;

// Markets with a special role.
inline constexpr int kMarketUs = 0;
inline constexpr int kMarketCurrency = 49;
inline constexpr int kMarketNoUpdate = 74;

// One quote server and how to ask it. The host is only the default: where connections really go
// is configuration (see quotes/quote_server.h), while requests keep naming this host.
struct QuoteSource {
  char szHost[32];              // default host name, NUL-terminated
  std::uint16_t wPort;          // TCP port
  char szPathPrefix[84];        // start of the request path; the symbol list follows directly
  char szQuerySuffix[80];       // appended after the symbol list; may be empty
  std::uint8_t bOnePerRequest;  // 1: one request per symbol; 0: a batch per request
  std::uint8_t ucDateStyle;     // 0 none, 1 d-m-y, 2 m-d-y, 3 d-monthname-y
  std::uint8_t ucTimeStyle;
  char cSeparator;     // joins the symbols of a batch request
  char cSeparatorEnd;  // always 0, so &cSeparator reads as a one-character string
};

struct MarketInfo {
  std::uint8_t ucSource;  // QuoteSource number; kNoSource for a market never priced
  char szSuffix[5];       // ".TO", "=X"; for source 19 a prefix ("ZA:"); may be empty
  char szName[20];        // ANSI (market 14 holds the pound sign 0xA3)
};

// One line of the market selector: the text shown and the market it stands for.
struct MarketChoice {
  char szText[20];
  std::uint8_t ucMarket;  // kNoMarket for a separator line
  bool IsSeparator() const { return ucMarket == kNoMarket; }
};

inline constexpr char kMarketSeparatorText[] = "------------";

std::span<const QuoteSource> QuoteSources();
std::span<const MarketInfo> Markets();
// The selector's entries in display order.
std::span<const MarketChoice> MarketChoices();

// Null when source is outside 0..24 (market 46's 102 included).
const QuoteSource* GetQuoteSource(int source);
// Null when market is outside 0..79.
const MarketInfo* GetMarketInfo(int market);

// The first market whose name equals `name` without regard to ASCII case; the selector's own
// texts ("Korea KOSDAQ") are recognised too. 0 ("US") when nothing matches.
int FindMarketByName(std::string_view name);
// The market's name; market 0's name for an index outside the table.
const char* GetMarketName(int market);
// The market's source number (may be kNoSource); 0 for an index outside the table.
int GetMarketSource(int market);

// Decorates a symbol for its market in place: appends the suffix unless the symbol already ends
// in it or would grow past 15 characters; for the prefix markets of source 19 puts the prefix in
// front unless the symbol already starts with it. `capacity` is the buffer's size in bytes,
// terminator included; a decoration that would not fit is left out. Market 255 and markets outside
// the table leave the symbol alone, and so does an empty symbol.
void AppendMarketSuffix(int market, char* symbol, std::size_t capacity);
void AppendMarketSuffix(int market, std::string& symbol);

// The form in which a stock's symbol is sent, matched against answers and keys its price history:
// every space removed, then AppendMarketSuffix. A symbol of spaces only gives "".
std::string QuoteSymbol(std::string_view symbol, int market);

// The market selector: the entry standing for a market (0, "US", when the market is not offered),
// and the market an entry stands for (0 for a separator or an index outside the list).
int MarketChoiceIndex(int market);
int MarketOfChoice(int choice);

}  // namespace quillet
