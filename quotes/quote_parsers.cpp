#include "quotes/quote_parsers.h"

#include "quotes/csv_quotes.h"

namespace quillet {

const std::array<QuoteParserFunction, kQuoteSourceCount>& QuoteParserTable() {
  // The page and XML parsers take the empty slots as they are written; a source whose slot is
  // empty is fetched but its answer is not read.
  static const std::array<QuoteParserFunction, kQuoteSourceCount> table = {
      ParseCsvQuotes,  // 0  CSV quote service (US)
      ParseCsvQuotes,  // 1  CSV quote service (Europe)
      nullptr,         // 2  quote-detail page
      nullptr,         // 3  bar-separated list
      ParseCsvQuotes,  // 4  fund page for handhelds
      nullptr,         // 5  Vienna page
      nullptr,         // 6  fund-price page
      ParseCsvQuotes,  // 7  CSV quote service, currency rates
      nullptr,         // 8  Toronto page (funds)
      ParseCsvQuotes,  // 9  Athens service for handhelds
      nullptr,         // 10 price history: the desktop plugs its own parser in
      ParseCsvQuotes,  // 11 Indonesian service
      nullptr,         // 12 Brussels page
      ParseCsvQuotes,  // 13 Turkish service for handhelds
      nullptr,         // 14 XML list
      nullptr,         // 15 Nordic servlet
      nullptr,         // 16 Cyprus page
      nullptr,         // 17 Japanese portal
      nullptr,         // 18 Thai page
      nullptr,         // 19 quick-chart portal
      nullptr,         // 20 French foreign-fund page
      nullptr,         // 21 French fund page
      nullptr,         // 22 placeholder, never contacted
      nullptr,         // 23 Toronto page (trusts)
      nullptr,         // 24 Austrian fund page
  };
  return table;
}

}  // namespace quillet
