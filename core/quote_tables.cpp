#include "core/quote_tables.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/ascii.h"

namespace quillet {

namespace {

// The full request of source 0 names these field letters; source 1 carries them in its path.
#define QUILLET_CSV_FIELDS "sl1d1t1c1ghpvbaw"

constexpr char kTorontoPath[] =
    "/HttpController?GetPage=QuotesViewPage&DetailedView=DetailedPrices&QuoteSymbol_1=";

// Host names are defaults only; none of them is ever contacted by a test.
constexpr QuoteSource kSources[kQuoteSourceCount] = {
    {"us.csvquotes.example", 80, "/d/quotes.csv?s=", "&f=" QUILLET_CSV_FIELDS "&e=.csv", 0, 2, 2,
     '+', 0},
    {"eu.csvquotes.example", 80, "/d/quotes.csv?f=" QUILLET_CSV_FIELDS "&s=", "", 0, 2, 1, '+', 0},
    {"detail.debank.example", 80, "/html/detail/main.html?sSym=", "", 1, 1, 1, '+', 0},
    {"quotes.chbroker.example", 80, "/fcgi-bin/parser?parser=3&symbols=", "", 0, 0, 1, '|', 0},
    {"palm.defunds.example", 80,
     "/cgi-bin/maweb.cgi/vermoegensmanagement/db_scripts/palm.htm?wpkn=", "", 0, 1, 0, '+', 0},
    {"kurse.vienna-exchange.example", 80, "/cgi-bin/kurse.pl?lang=1&kursneu_kuerzel=", "", 1, 3, 2,
     '+', 0},
    {"kurs.defundprice.example", 80, "/index.html?func=printkurs&sf=", "", 1, 1, 1, '+', 0},
    {"us.csvquotes.example", 80, "/d/quotes.csv?s=", "&f=" QUILLET_CSV_FIELDS "&e=.csv", 0, 2, 2,
     '+', 0},
    {"quotes.toronto-exchange.example", 80, "", "", 1, 3, 0, '+', 0},  // path filled below
    {"palm.athensquotes.example", 80, "/palmprices/palmprices.asp?symbols=", "", 0, 2, 2, '+', 0},
    {"history.csvquotes.example", 80,
     "/table.csv?a=%d&b=%d&c=%d&d=%d&e=%d&f=%d&g=d&y=0&ignore=.csv&s=%s", "", 1, 3, 0, '+', 0},
    {"stocks.idquotes.example", 80, "/cgi-bin/stocks.html?symbols=", "", 0, 1, 0, '+', 0},
    {"pd.brussels-exchange.example", 80, "/pd/end07.jsp?qCode=", "", 1, 1, 1, '+', 0},
    {"palm.trquotes.example", 80, "/palm/stocks.asp?Symbols=", "", 0, 1, 1, '+', 0},
    {"xml.chquotes.example", 80, "/marrowby/list_quote.asp?Quote_ListSymbol_FQCode=",
     "&Quote_NotFound=1&User_ID=1", 0, 2, 1, ',', 0},
    {"servlet.nordicdata.example", 80, "/servlet/GetQuote?symbol=", "&market=HEX", 1, 1, 1, '+', 0},
    {"quotes.cyprus-exchange.example", 80, "/nqcontent.cfm?a_name=qandr&lang=en&code=", "", 1, 1, 1,
     '+', 0},
    {"quote.jpportal.example", 80, "/q?s=", "&d=t", 1, 2, 1, '+', 0},
    {"market.thai-exchange.example", 80, "/set/en/market/market_u6.jsp?sym=", "", 1, 1, 1, '+', 0},
    {"quickchart.usportal.example", 80, "/quickchart/quickchart.asp?symb=", "", 1, 2, 2, '+', 0},
    {"funds.frportal.example", 80, "/opcvm/opcvm_etr.phtml?code=", "", 1, 1, 2, '+', 0},
    {"funds.frportal.example", 80, "/opcvm/opcvm.phtml?code=", "", 1, 1, 2, '+', 0},
    {"dummy.invalid", 80, "/dummy=", "", 1, 1, 2, '+', 0},
    {"quotes.toronto-exchange.example", 80, "", "", 1, 3, 0, '+', 0},  // path filled below
    {"fonds.atbank.example", 80, "/fonds/detail.asp?val=Ubersicht&sessionID=&Wpknr=", "", 1, 1, 1,
     '+', 0},
};

#undef QUILLET_CSV_FIELDS

// Sources 8 and 23 share one long path; it is copied in once rather than written out twice.
const std::array<QuoteSource, kQuoteSourceCount> kSourceTable = [] {
  std::array<QuoteSource, kQuoteSourceCount> table{};
  std::copy(std::begin(kSources), std::end(kSources), table.begin());
  for (int i : {8, 23}) {
    static_assert(sizeof(kTorontoPath) <= sizeof(QuoteSource::szPathPrefix));
    std::memcpy(table[i].szPathPrefix, kTorontoPath, sizeof(kTorontoPath));
  }
  return table;
}();

constexpr MarketInfo kMarkets[kMarketCount] = {
    {0, "", "US"},
    {0, ".TO", "Toronto"},
    {0, ".M", "Montreal"},
    {0, ".V", "Vancouver"},
    {0, ".AL", "Alberta"},
    {1, ".BC", "Barcelona"},
    {1, ".BE", "Berlin"},
    {1, ".BI", "Bilbao"},
    {1, ".BM", "Bremen"},
    {1, ".CO", "Copenhagen"},
    {1, ".D", "Dusseldorf"},
    {1, ".F", "Frankfurt"},
    {1, ".H", "Hamburg"},
    {1, ".HA", "Hannover"},
    {1, ".L", "London (\xA3)"},
    {1, ".MA", "Madrid"},
    {1, ".MI", "Milan"},
    {1, ".MU", "Munich"},
    {1, ".OL", "Oslo"},
    {1, ".PA", "Paris"},
    {1, ".ST", "Stockholm"},
    {1, ".SG", "Stuttgart"},
    {1, ".VA", "Valencia"},
    {1, ".DE", "Xetra"},
    {0, ".AX", "Australia"},
    {0, ".NZ", "New Zealand"},
    {0, ".SI", "Singapore"},
    {0, ".HK", "Hong Kong"},
    {0, ".TW", "Taiwan"},
    {1, ".MC", "Madrid (MC)"},
    {0, ".KS", "Korea"},
    {0, ".NS", "Dehli"},
    {11, ".JK", "Jakarta"},
    {0, ".BO", "Bombay"},
    {0, ".CL", "Calcutta"},
    {0, ".SS", "Shanghai"},
    {0, ".SZ", "Shenzhen"},
    {0, ".CR", "Caracas"},
    {0, ".MX", "Mexico"},
    {0, ".SN", "Santiago"},
    {0, ".SA", "Sao Paolo"},
    {6, "", "Germn Fund"},
    {2, ".ASX", "Amsterdam"},
    {0, ".TWO", "Taiwan OTC"},
    {3, "", "Zurich"},
    {0, ".KL", "Kuala Lumpur"},
    {kNoSource, "", "Milan Cell-Data"},
    {5, "", "Vienna"},
    {0, ".BA", "Buenos Aires"},
    {0, "=X", "Currency"},
    {0, "", "Index"},
    {0, ".OB", "OTC BB"},
    {0, ".X", "US Options"},
    {8, "", "Canada Fund"},
    {24, "", "Austria Fund"},
    {15, ".AT", "Athens"},
    {12, "", "Brussels"},
    {11, ".SB", "Surabaya"},
    {13, "", "Istanbul"},
    {15, ".LU", "Luxembourg"},
    {15, "", "Helsinki"},
    {1, ".IN", "Lisbon"},
    {16, "", "Cyprus"},
    {0, ".BK", "Thailand"},
    {17, ".T", "Tokyo"},
    {1, "", "Index Euro"},
    {0, ".TA", "Tel-Aviv"},
    {1, ".I", "Dublin"},
    {1, ".VX", "Virt-X"},
    {0, ".LM", "Lima"},
    {19, "ZA:", "Johannesburg"},
    {20, "", "France Sicav"},
    {19, "NL:", "Amsterdam 2"},
    {21, "", "France Fcp"},
    {22, "", "No Update"},
    {1, ".L", "London"},
    {23, "", "Canada Trust"},
    {0, ".KQ", "KOSDAQ"},
    {1, ".AS", "Amsterdam 3"},
    {1, ".MF", "Madrid (FIM)"},
};

constexpr std::uint8_t kSep = kNoMarket;

constexpr MarketChoice kChoices[kMarketChoiceCount] = {
    {"US", 0},
    {"OTC BB", 51},
    {"US Options", 52},
    {"Toronto", 1},
    {"Montreal", 2},
    {"Vancouver", 3},
    {"Canada Fund", 53},
    {"Canada Trust", 76},
    {"Index", 50},
    {"Index Euro", 65},
    {"Currency", 49},
    {"------------", kSep},
    {"Amsterdam", 42},
    {"Amsterdam 2", 72},
    {"Amsterdam 3", 78},
    {"Barcelona", 5},
    {"Berlin", 6},
    {"Bilbao", 7},
    {"Bremen", 8},
    {"Brussels", 56},
    {"Copenhagen", 9},
    {"Cyprus", 62},
    {"Dublin", 67},
    {"Dusseldorf", 10},
    {"Frankfurt", 11},
    {"Hamburg", 12},
    {"Hannover", 13},
    {"Lisbon", 61},
    {"London (\xA3)", 14},
    {"London", 75},
    {"Madrid", 15},
    {"Madrid (MC)", 29},
    {"Madrid (FIM)", 79},
    {"Milan", 16},
    {"Munich", 17},
    {"Oslo", 18},
    {"Paris", 19},
    {"Stockholm", 20},
    {"Stuttgart", 21},
    {"Tel-Aviv", 66},
    {"Valencia", 22},
    {"Vienna", 47},
    {"Virt-X", 68},
    {"Xetra", 23},
    {"Zurich", 44},
    {"------------", kSep},
    {"Austria Fund", 54},
    {"France Fcp", 73},
    {"France Sicav", 71},
    {"Germn Fund", 41},
    {"------------", kSep},
    {"Australia", 24},
    {"New Zealand", 25},
    {"Singapore", 26},
    {"Hong Kong", 27},
    {"Taiwan", 28},
    {"Taiwan OTC", 43},
    {"Korea", 30},
    {"Korea KOSDAQ", 77},
    {"Dehli", 31},
    {"Bombay", 33},
    {"Calcutta", 34},
    {"Jakarta", 32},
    {"Surabaya", 57},
    {"Shanghai", 35},
    {"Shenzhen", 36},
    {"Kuala Lumpur", 45},
    {"Thailand", 63},
    {"Tokyo", 64},
    {"------------", kSep},
    {"Buenos Aires", 48},
    {"Caracas", 37},
    {"Lima", 69},
    {"Mexico", 38},
    {"Santiago", 39},
    {"Sao Paolo", 40},
    {"------------", kSep},
    {"Johannesburg", 70},
    {"------------", kSep},
    {"No Update", 74},
};

enum class Decoration { kNone, kPrefix, kSuffix };

// What AppendMarketSuffix should do with `symbol` for `market`.
Decoration DecorationFor(int market, std::string_view symbol, std::string_view* affix) {
  const MarketInfo* info = GetMarketInfo(market);
  // An empty symbol stays empty, so that callers still see a stock without symbol.
  if (info == nullptr || info->szSuffix[0] == '\0' || symbol.empty()) return Decoration::kNone;
  std::string_view text(info->szSuffix);
  *affix = text;
  if (info->ucSource == kSourcePrefixMarkets) {
    if (symbol.size() >= text.size() && EqualNoCase(symbol.substr(0, text.size()), text)) {
      return Decoration::kNone;
    }
    return Decoration::kPrefix;
  }
  std::size_t last = symbol.rfind(text.front());
  if (last != std::string_view::npos && EqualNoCase(symbol.substr(last), text)) {
    return Decoration::kNone;
  }
  // A decorated symbol must still fit the 16-byte symbol fields of stocks and alerts.
  if (symbol.size() + text.size() > 15) return Decoration::kNone;
  return Decoration::kSuffix;
}

}  // namespace

std::span<const QuoteSource> QuoteSources() { return kSourceTable; }
std::span<const MarketInfo> Markets() { return kMarkets; }
std::span<const MarketChoice> MarketChoices() { return kChoices; }

const QuoteSource* GetQuoteSource(int source) {
  if (source < 0 || source >= kQuoteSourceCount) return nullptr;
  return &kSourceTable[static_cast<std::size_t>(source)];
}

const MarketInfo* GetMarketInfo(int market) {
  if (market < 0 || market >= kMarketCount) return nullptr;
  return &kMarkets[market];
}

int FindMarketByName(std::string_view name) {
  for (int i = 0; i < kMarketCount; ++i) {
    if (EqualNoCase(kMarkets[i].szName, name)) return i;
  }
  // The selector shows a few markets under a longer text ("Korea KOSDAQ").
  for (const MarketChoice& choice : kChoices) {
    if (!choice.IsSeparator() && EqualNoCase(choice.szText, name)) return choice.ucMarket;
  }
  return kMarketUs;
}

const char* GetMarketName(int market) {
  const MarketInfo* info = GetMarketInfo(market);
  return info != nullptr ? info->szName : kMarkets[kMarketUs].szName;
}

int GetMarketSource(int market) {
  const MarketInfo* info = GetMarketInfo(market);
  return info != nullptr ? info->ucSource : kMarkets[kMarketUs].ucSource;
}

void AppendMarketSuffix(int market, char* symbol, std::size_t capacity) {
  if (symbol == nullptr || capacity == 0) return;
  std::size_t length = strnlen(symbol, capacity);
  if (length == capacity) return;  // not a terminated string: leave it alone
  std::string_view affix;
  Decoration what = DecorationFor(market, std::string_view(symbol, length), &affix);
  if (what == Decoration::kNone || length + affix.size() + 1 > capacity) return;
  if (what == Decoration::kPrefix) {
    std::memmove(symbol + affix.size(), symbol, length + 1);
    std::memcpy(symbol, affix.data(), affix.size());
  } else {
    std::memcpy(symbol + length, affix.data(), affix.size());
    symbol[length + affix.size()] = '\0';
  }
}

void AppendMarketSuffix(int market, std::string& symbol) {
  std::string_view affix;
  switch (DecorationFor(market, symbol, &affix)) {
    case Decoration::kNone:
      break;
    case Decoration::kPrefix:
      symbol.insert(0, affix);
      break;
    case Decoration::kSuffix:
      symbol.append(affix);
      break;
  }
}

std::string QuoteSymbol(std::string_view symbol, int market) {
  std::string out;
  out.reserve(symbol.size() + 4);
  for (char c : symbol) {
    if (c != ' ') out.push_back(c);
  }
  AppendMarketSuffix(market, out);
  return out;
}

int MarketChoiceIndex(int market) {
  if (market < 0 || market >= kMarketCount) return 0;
  for (int i = 0; i < kMarketChoiceCount; ++i) {
    if (kChoices[i].ucMarket == market) return i;
  }
  return 0;
}

int MarketOfChoice(int choice) {
  if (choice < 0 || choice >= kMarketChoiceCount || kChoices[choice].IsSeparator()) {
    return kMarketUs;
  }
  return kChoices[choice].ucMarket;
}

}  // namespace quillet
