#include "quotes/quote_parsers.h"

#include "quotes/csv_quotes.h"
#include "quotes/page_parsers.h"
#include "quotes/xml_quotes.h"

namespace quillet {

const std::array<QuoteParserFunction, kQuoteSourceCount>& QuoteParserTable() {
  // A source whose slot is empty is fetched but its answer is not read.
  static const std::array<QuoteParserFunction, kQuoteSourceCount> table = {
      ParseCsvQuotes,        // 0  CSV quote service (US)
      ParseCsvQuotes,        // 1  CSV quote service (Europe)
      ParseAmsterdamPage,    // 2  quote-detail page
      ParseZurichList,       // 3  bar-separated list
      ParseCsvQuotes,        // 4  fund page for handhelds
      ParseViennaPage,       // 5  Vienna page
      ParseGermanFundPage,   // 6  fund-price page
      ParseCsvQuotes,        // 7  CSV quote service, currency rates
      ParseCanadaFundPage,   // 8  Toronto page (funds)
      ParseCsvQuotes,        // 9  Athens service for handhelds
      nullptr,               // 10 price history: the desktop plugs its own parser in
      ParseCsvQuotes,        // 11 Indonesian service
      ParseBrusselsPage,     // 12 Brussels page
      ParseCsvQuotes,        // 13 Turkish service for handhelds
      ParseXmlQuotes,        // 14 XML list
      ParseNordicPage,       // 15 Nordic servlet
      ParseCyprusPage,       // 16 Cyprus page
      ParseTokyoPage,        // 17 Japanese portal
      ParseThaiPage,         // 18 Thai page
      ParseQuickChartPage,   // 19 quick-chart portal
      ParseFrenchFundPage,   // 20 French foreign-fund page
      ParseFrenchFundPage,   // 21 French fund page
      nullptr,               // 22 placeholder, never contacted
      ParseCanadaTrustPage,  // 23 Toronto page (trusts)
      ParseAustriaFundPage,  // 24 Austrian fund page
  };
  return table;
}

}  // namespace quillet
