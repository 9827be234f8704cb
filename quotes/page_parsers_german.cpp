// The German-language pages: the Amsterdam quote-detail page of a German bank (source 2), the
// Vienna exchange (5), a German fund-price page (6) and an Austrian bank's fund page (24).
// They write numbers the European way ("1.234,56"), which every value is cleaned of.
#include <algorithm>
#include <cmath>
#include <string>

#include "quotes/page_parsers.h"
#include "quotes/page_steps.h"

namespace quillet {

namespace {

using page::Between;
using page::Euro;
using page::NumberIn;
using page::PageLines;
using page::Store;
using page::Trimmed;

// Source 2 after its headline: date and time, last, and the change from the percentage.
bool ReadAmsterdamQuote(PageLines& lines, QuoteResult& result) {
  if (!lines.MarkerLine("Uhr")) return false;
  std::string_view line = lines.Text();
  std::size_t tagEnd = line.find('>');
  if (tagEnd == std::string_view::npos) return false;
  std::string_view stamp = line.substr(tagEnd + 1);
  Store(result.szDate, page::Word(stamp, 0));
  Store(result.szTime, page::Word(stamp, 1));

  if (!lines.MarkerLine("bgYellow")) return false;
  std::string last = Euro(NumberIn(lines.Text()));
  Store(result.szLast, last);

  if (!lines.MarkerLine("span id")) return false;
  // The page gives the change as a percentage of the last price; the amount is cut, not
  // rounded, at 4 decimals before it is written with 2. The nudge keeps a product such as
  // 0.1851, which a double holds as 0.18509999..., from being cut to 0.1850.
  double percent = page::ReadNumber(NumberIn(lines.Text()));
  double scaled = page::ReadNumber(last) * percent / 100.0 * 10000.0;
  double change = std::trunc(scaled + (scaled < 0 ? -1e-6 : 1e-6)) / 10000.0;
  Store(result.szChange, page::TwoDecimals(change));
  return true;
}

bool ReadViennaQuote(PageLines& lines, QuoteResult& result) {
  std::string text;
  if (!lines.MarkerLine("Letztes Update") || !Between(lines.Text(), "Update: ", nullptr, &text)) {
    return false;
  }
  // "Update: 02-May-2003 17:36:02", where the date may also end at the paragraph's closing tag.
  std::string date = page::Word(text, 0);
  Store(result.szDate, std::string_view(date).substr(0, date.find('<')));

  // The values below stand alone on their lines, at most followed by their cells' closing tags.
  if (!lines.MarkerLine("invueber.pl") || !lines.MarkerLine("cell33", 1)) return false;
  Store(result.szLast, Euro(page::LineValue(lines.Text())));

  if (!lines.MarkerLine("#CC0000") || !lines.MarkerLine("#CC0000", 2)) return false;
  Store(result.szChange, Euro(page::LineValue(lines.Text())));

  // "17:35:12" is kept as "17:35".
  if (!lines.MarkerLine("cell33", 1)) return false;
  std::string time = page::LineValue(lines.Text());
  std::size_t colon = time.find(':');
  if (colon != std::string::npos) {
    std::size_t second = time.find(':', colon + 1);
    if (second != std::string::npos) time.resize(second);
  }
  Store(result.szTime, time);

  if (!lines.MarkerLine("cell33", 1)) return false;
  Store(result.szHigh, Euro(page::LineValue(lines.Text())));
  if (!lines.MarkerLine("cell33", 1)) return false;
  Store(result.szLow, Euro(page::LineValue(lines.Text())));
  if (!lines.MarkerLine("cell33", 1)) return false;
  Store(result.szVolume, page::WithoutChar(page::LineValue(lines.Text()), ','));
  return true;
}

// Source 6: the values stand on the five lines after the one that names the fund.
bool ReadGermanFundQuote(PageLines& lines, QuoteResult& result) {
  std::string symbol(FieldText(result.szSymbol));
  // With nothing to look for, every line would match; such a request has no quote to find.
  if (symbol.empty() || !lines.MarkerLine(symbol.c_str(), 1)) return false;
  Store(result.szLast, Euro(NumberIn(lines.Text())));

  if (!lines.Further(1)) return false;
  Store(result.szChange, Euro(NumberIn(lines.Text())));

  if (!lines.Further(1)) return false;
  std::string text;
  std::size_t next = 0;
  std::string_view line = lines.Text();
  if (!page::BetweenFrom(line, 0, "<td>", "<br>", &text, &next)) return false;
  Store(result.szHigh, Euro(text));
  // The "<br>" that ended the high starts the low.
  if (!page::BetweenFrom(line, next - 4, "<br>", "</td>", &text)) return false;
  Store(result.szLow, Euro(text));

  if (!lines.Further(1)) return false;
  Store(result.szVolume, Euro(NumberIn(lines.Text())));

  // "<td>02.05.2003 17:35</td>": the date, and the time when the page gives one.
  if (!lines.Further(1)) return false;
  line = lines.Text();
  std::size_t cell = line.find("<td>");
  if (cell == std::string_view::npos) return false;
  std::string_view rest = line.substr(cell + 4);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  std::size_t blank = rest.find(' ');
  std::size_t close = rest.find("</td>");
  if (blank == std::string_view::npos && close == std::string_view::npos) return false;
  Store(result.szDate, rest.substr(0, std::min(blank, close)));
  if (blank != std::string_view::npos && (close == std::string_view::npos || blank < close)) {
    std::string_view after = rest.substr(blank + 1);
    std::size_t end = after.find("</td>");
    if (end != std::string_view::npos) Store(result.szTime, Trimmed(after.substr(0, end)));
  }
  return true;
}

bool ReadAustriaFundQuote(PageLines& lines, QuoteResult& result) {
  if (!lines.MarkerLine("R&uuml;cknahmepreis", 1)) return false;
  Store(result.szLast, Euro(NumberIn(lines.Text())));

  std::string date;
  if (!lines.MarkerLine("Kursdatum:", 1) || !Between(lines.Text(), ">", "<", &date)) {
    return false;
  }
  Store(result.szDate, date);

  if (!lines.MarkerLine("Vortag", 1)) return false;
  Store(result.szPrevClose, Euro(NumberIn(lines.Text())));
  if (!lines.MarkerLine("Differenz", 1)) return false;
  Store(result.szChange, Euro(NumberIn(lines.Text())));
  if (!lines.MarkerLine("Annahmeschluss", 1)) return false;
  Store(result.szTime, NumberIn(lines.Text()));
  return true;
}

}  // namespace

bool ParseAmsterdamPage(CQuoteClient& client) {
  QuoteResult* result = page::BeginPage(client);
  if (result == nullptr) return false;
  PageLines lines(client);
  // A headline with "--" means the bank has no quote for the symbol today: the result stays
  // without values, so the stock is marked as not priced.
  if (!lines.MarkerLine("class=\"fHeadline\"") ||
      lines.Text().find("--") != std::string_view::npos) {
    return true;
  }
  // Past the headline, a page without the rest of its markers is not a quote page this parser
  // knows; its result is dropped so that the stock keeps the values it has.
  if (!ReadAmsterdamQuote(lines, *result)) client.results().pop_back();
  return true;
}

bool ParseViennaPage(CQuoteClient& client) {
  QuoteResult* result = page::BeginPage(client);
  if (result == nullptr) return false;
  Store(result->szPrevClose, "N/A");  // the page does not show it
  PageLines lines(client);
  ReadViennaQuote(lines, *result);
  return true;
}

bool ParseGermanFundPage(CQuoteClient& client) {
  QuoteResult* result = page::BeginPage(client);
  if (result == nullptr) return false;
  PageLines lines(client);
  ReadGermanFundQuote(lines, *result);
  return true;
}

bool ParseAustriaFundPage(CQuoteClient& client) {
  QuoteResult* result = page::BeginPage(client);
  if (result == nullptr) return false;
  PageLines lines(client);
  page::LastZeroUnlessComplete(*result, ReadAustriaFundQuote(lines, *result));
  return true;
}

}  // namespace quillet
