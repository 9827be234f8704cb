// The other European sources: the Swiss broker's bar-separated list (source 3), the Brussels
// exchange (12), the Nordic servlet (15), the Cyprus exchange (16) and the French portal's fund
// pages (20 and 21).
#include <string>
#include <vector>

#include "core/decimal_text.h"
#include "quotes/page_parsers.h"
#include "quotes/page_steps.h"

namespace quillet {

namespace {

using page::Between;
using page::Euro;
using page::NumberIn;
using page::PageLines;
using page::Store;

// Fields between vertical bars, empty ones kept in their places.
std::vector<std::string> BarFields(std::string_view line) {
  std::vector<std::string> fields;
  while (true) {
    std::size_t bar = line.find('|');
    fields.emplace_back(line.substr(0, bar));
    if (bar == std::string_view::npos) break;
    line.remove_prefix(bar + 1);
  }
  return fields;
}

bool IsNotAvailable(std::string_view status) {
  return status.size() == 2 && (status[0] == 'N' || status[0] == 'n') &&
         (status[1] == 'A' || status[1] == 'a');
}

// "1735" -> "17:35"; other texts give nothing.
std::string ClockOfDigits(std::string_view digits) {
  if (digits.size() < 3 || digits.size() > 4) return {};
  for (char c : digits) {
    if (c < '0' || c > '9') return {};
  }
  return std::string(digits.substr(0, digits.size() - 2)) + ":" +
         std::string(digits.substr(digits.size() - 2));
}

bool ReadBrusselsQuote(PageLines& lines, QuoteResult& result) {
  std::string text;
  if (!lines.MarkerLine(".jsp?qIsin", 1)) return false;
  std::string line(lines.Text());
  if (!Between(line, "right\">", " at", &text)) return false;
  Store(result.szDate, text);
  if (!Between(line, "at ", "</th>", &text)) return false;
  Store(result.szTime, text);

  // Each figure stands in the line after its label: "<td ...>45,67 EUR</td>".
  const page::LabelledField figures[] = {
      {"Last", result.szLast, sizeof result.szLast},
      {"P.Close", result.szPrevClose, sizeof result.szPrevClose},
      {"Bid", result.szBid, sizeof result.szBid},
      {"High", result.szHigh, sizeof result.szHigh},
      {"Ask", result.szAsk, sizeof result.szAsk},
      {"Low", result.szLow, sizeof result.szLow},
  };
  if (!page::ReadLabelledFields(
          lines, figures, 1,
          [](std::string_view figureLine, const page::LabelledField&, std::string* value) {
            if (!Between(figureLine, ">", " ", value)) return false;
            *value = Euro(*value);
            return true;
          })) {
    return false;
  }
  if (!lines.MarkerLine("Volume", 1) || !Between(lines.Text(), ">", "<", &text)) {
    return false;
  }
  Store(result.szVolume, Euro(text));
  Store(result.szChange, page::ChangeOf(FieldText(result.szLast), FieldText(result.szPrevClose)));
  return true;
}

bool ReadNordicQuote(PageLines& lines, QuoteResult& result) {
  if (!lines.MarkerLine(">Last</", 4)) return false;
  std::string last = NumberIn(lines.Text());
  // A page that writes the last price with a decimal comma writes every later number so.
  const bool european = last.find(',') != std::string::npos;
  auto clean = [&](std::string number) { return european ? Euro(std::move(number)) : number; };
  Store(result.szLast, clean(last));

  if (!lines.MarkerLine("Volume</", 3)) return false;
  Store(result.szVolume, page::WithoutChar(page::WithoutChar(NumberIn(lines.Text()), '.'), ','));

  if (!lines.MarkerLine(">Change</") || !lines.MarkerLine("/images/", 3)) return false;
  Store(result.szChange, clean(NumberIn(lines.Text())));

  const page::LabelledField figures[] = {
      {"Bid<", result.szBid, sizeof result.szBid},
      {"Ask<", result.szAsk, sizeof result.szAsk},
      {"Day High<", result.szHigh, sizeof result.szHigh},
      {"Day Low<", result.szLow, sizeof result.szLow},
      {"Prev.&nbsp;Close<", result.szPrevClose, sizeof result.szPrevClose},
      {"52 Week High", result.szYearHigh, sizeof result.szYearHigh},
      {"52 Week Low", result.szYearLow, sizeof result.szYearLow},
  };
  if (!page::ReadLabelledFields(
          lines, figures, 3,
          [&](std::string_view line, const page::LabelledField&, std::string* value) {
            *value = clean(NumberIn(line));
            return true;
          })) {
    return false;
  }
  // Date and time stand alone on their lines, at most inside their cells' tags.
  if (!lines.MarkerLine("Update Date", 3)) return false;
  Store(result.szDate, page::LineValue(lines.Text()));
  if (!lines.MarkerLine("Time<", 3)) return false;
  Store(result.szTime, page::LineValue(lines.Text()));
  return true;
}

bool ReadCyprusQuote(PageLines& lines, QuoteResult& result) {
  std::string text;
  if (!lines.MarkerLine("Last Transaction", 1) ||
      !Between(lines.Text(), "bold;\">", "</span>", &text)) {
    return false;
  }
  Store(result.szLast, text);

  // A range is "low - high"; the high follows the dash after the low, not the first dash of the
  // line, which may stand in the cell's attributes ("text-align").
  std::size_t next = 0;
  if (!lines.MarkerLine("52-wk Range", 1)) return false;
  std::string line(lines.Text());
  if (!page::BetweenFrom(line, 0, "25%>", "-", &text, &next)) return false;
  Store(result.szYearLow, text);
  if (!page::BetweenFrom(line, next, nullptr, "</td>", &text)) return false;
  Store(result.szYearHigh, text);

  if (!lines.MarkerLine("Buy", 1) || !Between(lines.Text(), "25%>", "</td>", &text)) {
    return false;
  }
  Store(result.szBid, text);
  if (!lines.MarkerLine("Volume", 1) || !Between(lines.Text(), "25%>", "</td>", &text)) {
    return false;
  }
  Store(result.szVolume, page::WithoutChar(text, ','));
  if (!lines.MarkerLine("Sell", 1) || !Between(lines.Text(), "25%>", "</td>", &text)) {
    return false;
  }
  Store(result.szAsk, text);
  // The page has no previous close; the day's opening price stands in for it.
  if (!lines.MarkerLine("Open", 1) || !Between(lines.Text(), "25%>", "</td>", &text)) {
    return false;
  }
  Store(result.szPrevClose, text);

  if (!lines.MarkerLine("Day's Range", 1)) return false;
  line = lines.Text();
  if (!page::BetweenFrom(line, 0, "tbve\">", "-", &text, &next)) return false;
  Store(result.szLow, text);
  if (!page::BetweenFrom(line, next, nullptr, "</td>", &text)) return false;
  Store(result.szHigh, text);

  // "Last update: 02/05/2003 17:35:10": the date, then five characters of time.
  if (!lines.MarkerLine("<center>", 1)) return false;
  line = lines.Text();
  std::size_t from = line.find(": ");
  if (from == std::string::npos) return false;
  from += 2;
  while (from < line.size() && line[from] == ' ') ++from;
  std::size_t blank = line.find(' ', from);
  if (blank == std::string::npos) return false;
  Store(result.szDate, std::string_view(line).substr(from, blank - from));
  Store(result.szTime, std::string_view(line).substr(blank + 1, 5));

  Store(result.szChange, page::ChangeOf(FieldText(result.szLast), FieldText(result.szPrevClose)));
  return true;
}

bool ReadFrenchFundQuote(PageLines& lines, QuoteResult& result) {
  std::string text;
  if (!lines.MarkerLine("Valeur liquidative", 2) || !Between(lines.Text(), "<B>", " ", &text)) {
    return false;
  }
  Store(result.szLast, text);
  const double last = page::ReadNumber(text);

  // The page gives the day's variation in percent; the amount and the previous value follow.
  if (!lines.MarkerLine(">Variation", 2)) return false;
  double percent = page::ReadNumber(NumberIn(lines.Text()));
  std::string change = page::TwoDecimals(last * percent * 0.01);
  Store(result.szChange, change);
  Store(result.szPrevClose, page::TwoDecimals(last - ParseDecimal(change, 2)));

  if (!lines.MarkerLine(">Date<", 2) || !Between(lines.Text(), "<B>", "</B>", &text)) {
    return false;
  }
  Store(result.szDate, text);

  const page::LabelledField figures[] = {
      {">Prix de souscription<", result.szAsk, sizeof result.szAsk},
      {">Prix de rachat<", result.szBid, sizeof result.szBid},
      {"Haut 52", result.szYearHigh, sizeof result.szYearHigh},
      {"Bas 52", result.szYearLow, sizeof result.szYearLow},
  };
  return page::ReadLabelledFields(
      lines, figures, 2, [](std::string_view line, const page::LabelledField&, std::string* value) {
        return Between(line, "2>", " ", value);
      });
}

}  // namespace

bool ParseZurichList(CQuoteClient& client) {
  if (!client.ReadHeaders()) return false;
  PageLines lines(client);
  while (lines.Next()) {
    std::string line = page::WithoutChar(page::WithoutChar(std::string(lines.Text()), ' '), '\t');
    if (line.empty() || line.starts_with("ERROR")) continue;
    std::vector<std::string> fields = BarFields(line);
    if (fields[0].empty()) continue;  // no symbol to file the quote under
    QuoteResult* result = client.AddResult();
    if (result == nullptr) {
      client.SetResultCode(QR_ERROR);
      return false;
    }
    auto field = [&](std::size_t i) -> std::string_view {
      return i < fields.size() ? std::string_view(fields[i]) : std::string_view();
    };
    Store(result->szSymbol, field(0));
    if (IsNotAvailable(field(1))) {
      Store(result->szLast, "0");  // the broker has no quote: not priced
      continue;
    }
    Store(result->szLast, field(2));
    Store(result->szPrevClose, field(3));
    Store(result->szBid, field(4));
    Store(result->szAsk, field(5));
    Store(result->szHigh, field(6));
    Store(result->szLow, field(7));
    Store(result->szVolume, field(8));
    Store(result->szTime, ClockOfDigits(field(9)));
    Store(result->szChange, page::ChangeOf(field(2), field(3)));
  }
  return true;
}

bool ParseBrusselsPage(CQuoteClient& client) {
  QuoteResult* result = page::BeginPage(client);
  if (result == nullptr) return false;
  PageLines lines(client);
  page::LastZeroUnlessComplete(*result, ReadBrusselsQuote(lines, *result));
  return true;
}

bool ParseNordicPage(CQuoteClient& client) {
  QuoteResult* result = page::BeginPage(client, '&');
  if (result == nullptr) return false;
  PageLines lines(client);
  ReadNordicQuote(lines, *result);
  return true;
}

bool ParseCyprusPage(CQuoteClient& client) {
  QuoteResult* result = page::BeginPage(client);
  if (result == nullptr) return false;
  PageLines lines(client);
  ReadCyprusQuote(lines, *result);
  return true;
}

bool ParseFrenchFundPage(CQuoteClient& client) {
  QuoteResult* result = page::BeginPage(client);
  if (result == nullptr) return false;
  PageLines lines(client);
  ReadFrenchFundQuote(lines, *result);
  return true;
}

}  // namespace quillet
