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
using page::MarkerLine;
using page::NumberIn;
using page::Store;
using page::Trimmed;

// Source 2 after its headline: date and time, last, and the change from the percentage.
bool ReadAmsterdamQuote(CQuoteClient& client, QuoteResult& result) {
  if (!MarkerLine(client, "Uhr")) return false;
  std::string_view line = client.LineText();
  std::size_t tagEnd = line.find('>');
  if (tagEnd == std::string_view::npos) return false;
  std::string_view stamp = line.substr(tagEnd + 1);
  Store(result.szDate, page::Word(stamp, 0));
  Store(result.szTime, page::Word(stamp, 1));

  if (!MarkerLine(client, "bgYellow")) return false;
  std::string last = Euro(NumberIn(client.LineText()));
  Store(result.szLast, last);

  if (!MarkerLine(client, "span id")) return false;
  // The page gives the change as a percentage of the last price; the amount is cut, not
  // rounded, at 4 decimals before it is written with 2. The nudge keeps a product such as
  // 0.1851, which a double holds as 0.18509999..., from being cut to 0.1850.
  double percent = page::ReadNumber(NumberIn(client.LineText()));
  double scaled = page::ReadNumber(last) * percent / 100.0 * 10000.0;
  double change = std::trunc(scaled + (scaled < 0 ? -1e-6 : 1e-6)) / 10000.0;
  Store(result.szChange, page::TwoDecimals(change));
  return true;
}

bool ReadViennaQuote(CQuoteClient& client, QuoteResult& result) {
  std::string text;
  if (!MarkerLine(client, "Letztes Update") ||
      !Between(client.LineText(), "Update: ", nullptr, &text)) {
    return false;
  }
  Store(result.szDate, page::Word(text, 0));

  if (!MarkerLine(client, "invueber.pl") || !MarkerLine(client, "cell33", 1)) return false;
  Store(result.szLast, Euro(Trimmed(client.LineText())));

  if (!MarkerLine(client, "#CC0000") || !MarkerLine(client, "#CC0000", 2)) return false;
  Store(result.szChange, Euro(Trimmed(client.LineText())));

  // "17:35:12" is kept as "17:35".
  if (!MarkerLine(client, "cell33", 1)) return false;
  std::string time = Trimmed(client.LineText());
  std::size_t colon = time.find(':');
  if (colon != std::string::npos) {
    std::size_t second = time.find(':', colon + 1);
    if (second != std::string::npos) time.resize(second);
  }
  Store(result.szTime, time);

  if (!MarkerLine(client, "cell33", 1)) return false;
  Store(result.szHigh, Euro(Trimmed(client.LineText())));
  if (!MarkerLine(client, "cell33", 1)) return false;
  Store(result.szLow, Euro(Trimmed(client.LineText())));
  if (!MarkerLine(client, "cell33", 1)) return false;
  Store(result.szVolume, page::WithoutChar(Trimmed(client.LineText()), ','));
  return true;
}

// Source 6: the values stand on the five lines after the one that names the fund.
bool ReadGermanFundQuote(CQuoteClient& client, QuoteResult& result) {
  std::string symbol(FieldText(result.szSymbol));
  // With nothing to look for, every line would match; such a request has no quote to find.
  if (symbol.empty() || !MarkerLine(client, symbol.c_str(), 1)) return false;
  Store(result.szLast, Euro(NumberIn(client.LineText())));

  if (!page::LinesFurther(client, 1)) return false;
  Store(result.szChange, Euro(NumberIn(client.LineText())));

  if (!page::LinesFurther(client, 1)) return false;
  std::string text;
  std::size_t next = 0;
  std::string_view line = client.LineText();
  if (!page::BetweenFrom(line, 0, "<td>", "<br>", &text, &next)) return false;
  Store(result.szHigh, Euro(text));
  // The "<br>" that ended the high starts the low.
  if (!page::BetweenFrom(line, next - 4, "<br>", "</td>", &text)) return false;
  Store(result.szLow, Euro(text));

  if (!page::LinesFurther(client, 1)) return false;
  Store(result.szVolume, Euro(NumberIn(client.LineText())));

  // "<td>02.05.2003 17:35</td>": the date, and the time when the page gives one.
  if (!page::LinesFurther(client, 1)) return false;
  line = client.LineText();
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

bool ReadAustriaFundQuote(CQuoteClient& client, QuoteResult& result) {
  if (!MarkerLine(client, "R&uuml;cknahmepreis", 1)) return false;
  Store(result.szLast, Euro(NumberIn(client.LineText())));

  std::string date;
  if (!MarkerLine(client, "Kursdatum:", 1) || !Between(client.LineText(), ">", "<", &date)) {
    return false;
  }
  Store(result.szDate, date);

  if (!MarkerLine(client, "Vortag", 1)) return false;
  Store(result.szPrevClose, Euro(NumberIn(client.LineText())));
  if (!MarkerLine(client, "Differenz", 1)) return false;
  Store(result.szChange, Euro(NumberIn(client.LineText())));
  if (!MarkerLine(client, "Annahmeschluss", 1)) return false;
  Store(result.szTime, NumberIn(client.LineText()));
  return true;
}

}  // namespace

bool ParseAmsterdamPage(CQuoteClient& client) {
  QuoteResult* result = page::BeginPage(client);
  if (result == nullptr) return false;
  // A headline with "--" means the bank has no quote for the symbol today: the result stays
  // without values, so the stock is marked as not priced.
  if (!MarkerLine(client, "class=\"fHeadline\"") ||
      client.LineText().find("--") != std::string_view::npos) {
    return true;
  }
  // Past the headline, a page without the rest of its markers is not a quote page this parser
  // knows; its result is dropped so that the stock keeps the values it has.
  if (!ReadAmsterdamQuote(client, *result)) client.results().pop_back();
  return true;
}

bool ParseViennaPage(CQuoteClient& client) {
  QuoteResult* result = page::BeginPage(client);
  if (result == nullptr) return false;
  Store(result->szPrevClose, "N/A");  // the page does not show it
  ReadViennaQuote(client, *result);
  return true;
}

bool ParseGermanFundPage(CQuoteClient& client) {
  QuoteResult* result = page::BeginPage(client);
  if (result == nullptr) return false;
  ReadGermanFundQuote(client, *result);
  return true;
}

bool ParseAustriaFundPage(CQuoteClient& client) {
  QuoteResult* result = page::BeginPage(client);
  if (result == nullptr) return false;
  page::LastZeroUnlessComplete(*result, ReadAustriaFundQuote(client, *result));
  return true;
}

}  // namespace quillet
