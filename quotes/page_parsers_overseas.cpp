// The pages from outside Europe: the Toronto exchange's fund (source 8) and trust (23) pages,
// the Japanese portal (17), the Thai exchange (18) and the US quick-chart portal that prices
// Johannesburg and Amsterdam (19).
#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/clock.h"
#include "quotes/page_parsers.h"
#include "quotes/page_steps.h"

namespace quillet {

namespace {

using page::Between;
using page::BetweenFrom;
using page::NumberIn;
using page::PageLines;
using page::Store;
using page::Trimmed;
using page::WithoutChar;

// The Japanese portal's labels, in its Shift-JIS bytes: "trade price" and "opening price".
constexpr char kTradePriceLabel[] = "\x8E\xE6\x88\xF8\x92\x6C";  // 取引値
constexpr char kOpeningPriceLabel[] = "\x8E\x6E\x92\x6C";        // 始値

bool HasDigit(std::string_view text) {
  return text.find_first_of("0123456789") != std::string_view::npos;
}

// The segment after the `n`-th "<br>" (counted from 1) up to the next one.
bool AfterBreak(std::string_view line, int n, std::string_view* segment) {
  std::size_t at = std::string_view::npos;
  std::size_t from = 0;
  for (int i = 0; i < n; ++i) {
    at = line.find("<br>", from);
    if (at == std::string_view::npos) return false;
    from = at + 4;
  }
  *segment = line.substr(from, line.find("<br>", from) - from);
  return true;
}

bool ReadCanadaFundQuote(PageLines& lines, QuoteResult& result) {
  std::string symbol(FieldText(result.szSymbol));
  std::string text;
  // The page names the fund in its title and again above the figures.
  if (symbol.empty() || !lines.MarkerLine(symbol.c_str()) || !lines.MarkerLine(symbol.c_str(), 1) ||
      !Between(lines.Text(), "text\">", "</TD>", &text)) {
    return false;
  }
  Store(result.szDate, text);
  if (!lines.Further(1) || !Between(lines.Text(), "text\">", "</TD>", &text)) {
    return false;
  }
  Store(result.szLast, text);
  return true;
}

bool ReadTokyoQuote(PageLines& lines, QuoteResult& result, Clock& clock) {
  // The figures of the day share one line with the label.
  std::string line;
  do {
    if (!lines.MarkerLine(kTradePriceLabel)) return false;
    std::string_view text = lines.Text();
    line = text.substr(text.find(kTradePriceLabel));
  } while (line.find("<br>") == std::string::npos);

  std::string_view stamp;
  AfterBreak(line, 1, &stamp);
  stamp.remove_prefix(std::min(stamp.find_first_not_of(' '), stamp.size()));
  stamp = stamp.substr(0, stamp.find_first_of(" <"));
  if (stamp.find(':') != std::string_view::npos) {
    // While the market is open the page shows the time of the last trade instead of its date.
    Store(result.szTime, Trimmed(stamp));
    LocalTime today = ToLocal(clock.Now());
    char date[32];
    std::snprintf(date, sizeof date, "%d/%d/%d", today.month, today.day, today.year);
    Store(result.szDate, date);
  } else {
    Store(result.szDate, Trimmed(stamp));
  }

  std::string text;
  if (!Between(line, "<b>", "</b>", &text)) return false;
  Store(result.szLast, WithoutChar(text, ','));

  struct Figure {
    char* field;
    std::size_t size;
  };
  const Figure figures[] = {{result.szChange, sizeof result.szChange},
                            {result.szPrevClose, sizeof result.szPrevClose},
                            {result.szVolume, sizeof result.szVolume}};
  int n = 2;
  for (const Figure& figure : figures) {
    std::string_view segment;
    if (!AfterBreak(line, n++, &segment)) return false;
    CopyToField(figure.field, figure.size, WithoutChar(NumberIn(segment), ','));
  }

  if (!lines.MarkerLine(kOpeningPriceLabel)) return false;
  std::string_view opening = lines.Text();
  line = opening.substr(opening.find(kOpeningPriceLabel));
  std::string_view segment;
  if (!AfterBreak(line, 2, &segment)) return false;
  Store(result.szHigh, WithoutChar(NumberIn(segment), ','));
  if (!AfterBreak(line, 3, &segment)) return false;
  Store(result.szLow, WithoutChar(NumberIn(segment), ','));
  return true;
}

bool ReadThaiQuote(PageLines& lines, QuoteResult& result) {
  if (!lines.MarkerLine("Last") || !lines.MarkerLine("<tr", 1)) return false;
  Store(result.szLast, NumberIn(lines.Text()));
  if (!lines.Further(2)) return false;
  // An unchanged price is shown as a bare dash, which is no change figure.
  std::string change = NumberIn(lines.Text());
  Store(result.szChange, HasDigit(change) ? change : std::string());

  if (!lines.MarkerLine("Prior") || !lines.MarkerLine("<tr", 1)) return false;
  Store(result.szPrevClose, NumberIn(lines.Text()));
  if (!lines.Further(4)) return false;
  Store(result.szHigh, NumberIn(lines.Text()));
  if (!lines.Further(2)) return false;
  Store(result.szLow, NumberIn(lines.Text()));

  // The volume sits a few lines into its row, after the cells' opening tags.
  if (!lines.MarkerLine("Volume") || !lines.MarkerLine("<tr")) return false;
  std::string volume;
  for (int i = 0; i < 4 && volume.empty(); ++i) {
    if (!lines.Next()) return false;
    volume = NumberIn(lines.Text());
  }
  if (volume.empty()) return false;
  Store(result.szVolume, WithoutChar(volume, ','));

  std::string text;
  if (!lines.MarkerLine("Date") || !Between(lines.Text(), ">", "</s", &text)) return false;
  Store(result.szDate, text);
  return true;
}

bool ReadQuickChartQuote(PageLines& lines, QuoteResult& result) {
  std::string stamp;
  if (!lines.MarkerLine("#333366") || !Between(lines.Text(), "#ccccff\">", "</FONT>", &stamp)) {
    return false;
  }
  // "5/2/2003&nbsp;4:01&nbsp;PM": the date, then the time with its half of the day.
  constexpr std::string_view kSpace = "&nbsp;";
  std::size_t first = stamp.find(kSpace);
  Store(result.szDate, Trimmed(std::string_view(stamp).substr(0, first)));
  if (first != std::string::npos) {
    std::string_view rest = std::string_view(stamp).substr(first + kSpace.size());
    std::size_t second = rest.find(kSpace);
    std::string time(Trimmed(rest.substr(0, second)));
    if (second != std::string_view::npos) {
      time += ' ';
      time += Trimmed(rest.substr(second + kSpace.size()));
    }
    Store(result.szTime, time);
  }

  std::string_view line;
  do {
    if (!lines.Next()) return false;
    line = lines.Text();
  } while (line.find("Last:") == std::string_view::npos ||
           line.find("</NOBR>", line.find("Last:")) == std::string_view::npos);
  Store(result.szLast, Trimmed(line.substr(line.rfind('>') + 1)));

  // The arrow picture tells the direction; the figure itself carries no sign.
  if (!lines.Further(1)) return false;
  line = lines.Text();
  std::string arrow;
  Between(line, "arrow_", "_sm", &arrow);
  if (arrow == "unch") {
    Store(result.szChange, "0");
  } else {
    std::size_t nobr = line.find("<NOBR>");
    if (nobr == std::string_view::npos) return false;
    std::string number = NumberIn(line.substr(nobr + 6));
    if (arrow == "dn" && !number.empty() && number.front() != '-') number.insert(0, "-");
    Store(result.szChange, number);
  }

  std::string text;
  for (char* field : {result.szPrevClose, result.szHigh, result.szLow}) {
    if (!lines.Further(1) || !Between(lines.Text(), "<NOBR>", "</NOBR>", &text)) {
      return false;
    }
    CopyToField(field, sizeof result.szPrevClose, text);
  }
  if (!lines.Further(1) || !Between(lines.Text(), "<B>", "</B>", &text)) {
    return false;
  }
  Store(result.szVolume, WithoutChar(text, ','));

  if (!lines.Further(3) || !lines.MarkerLine("<B><NOBR><NOBR>")) return false;
  std::string range(lines.Text());
  std::size_t next = 0;
  if (!BetweenFrom(range, 0, "<B><NOBR><NOBR>", "</NOBR>", &text, &next)) return false;
  Store(result.szYearLow, text);
  if (!BetweenFrom(range, next, "<B><NOBR>", "</NOBR>", &text)) return false;
  Store(result.szYearHigh, text);
  return true;
}

bool ReadCanadaTrustQuote(PageLines& lines, QuoteResult& result) {
  // "02 May 2003 16:01</TD>", indented with tabs; a tab between the words separates them as a
  // blank does.
  std::string text;
  if (!lines.MarkerLine("text\">Last Trade:", 1) ||
      !Between(lines.Text(), nullptr, "</TD>", &text)) {
    return false;
  }
  std::string date;
  for (std::size_t i = 0; i < 3; ++i) {
    std::string word = page::Word(text, i);
    if (word.empty()) break;
    if (!date.empty()) date += ' ';
    date += word;
  }
  Store(result.szDate, date);
  Store(result.szTime, page::Word(text, 3));

  const page::LabelledField figures[] = {
      {"Last Traded", result.szLast, sizeof result.szLast},
      {"Net Change", result.szChange, sizeof result.szChange},
      {"Volume", result.szVolume, sizeof result.szVolume},
      {"Last Bid", result.szBid, sizeof result.szBid},
      {"Last Ask", result.szAsk, sizeof result.szAsk},
      {"High", result.szHigh, sizeof result.szHigh},
      {"Low", result.szLow, sizeof result.szLow},
      {"52 Week High", result.szYearHigh, sizeof result.szYearHigh},
      {"52 Week Low", result.szYearLow, sizeof result.szYearLow},
  };
  return page::ReadLabelledFields(
      lines, figures, 1,
      [&](std::string_view line, const page::LabelledField& f, std::string* value) {
        *value = NumberIn(line);
        // Only the volume is written with thousands separators that must go.
        if (f.field == result.szVolume) *value = WithoutChar(*value, ',');
        return true;
      });
}

}  // namespace

bool ParseCanadaFundPage(CQuoteClient& client) {
  QuoteResult* result = page::BeginPage(client);
  if (result == nullptr) return false;
  PageLines lines(client);
  page::LastZeroUnlessComplete(*result, ReadCanadaFundQuote(lines, *result));
  return true;
}

bool ParseTokyoPage(CQuoteClient& client, Clock& clock) {
  QuoteResult* result = page::BeginPage(client, '&');
  if (result == nullptr) return false;
  PageLines lines(client);
  ReadTokyoQuote(lines, *result, clock);
  return true;
}

bool ParseTokyoPage(CQuoteClient& client) { return ParseTokyoPage(client, client.clock()); }

bool ParseThaiPage(CQuoteClient& client) {
  QuoteResult* result = page::BeginPage(client);
  if (result == nullptr) return false;
  PageLines lines(client);
  ReadThaiQuote(lines, *result);
  return true;
}

bool ParseQuickChartPage(CQuoteClient& client) {
  QuoteResult* result = page::BeginPage(client);
  if (result == nullptr) return false;
  PageLines lines(client);
  ReadQuickChartQuote(lines, *result);
  return true;
}

bool ParseCanadaTrustPage(CQuoteClient& client) {
  QuoteResult* result = page::BeginPage(client);
  if (result == nullptr) return false;
  PageLines lines(client);
  page::LastZeroUnlessComplete(*result, ReadCanadaTrustQuote(lines, *result));
  return true;
}

}  // namespace quillet
