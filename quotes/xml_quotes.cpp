#include "quotes/xml_quotes.h"

#include <string>
#include <string_view>

#include "quotes/page_steps.h"
#include "quotes/quote_client.h"

namespace quillet {

namespace {

constexpr char kCr = '\r';

// Fills the field of the first known tag pair that the line holds. Lines with other tags (and
// the element's own lines) change nothing.
void FillField(std::string_view line, QuoteResult& result) {
  struct Field {
    const char* open;
    const char* close;
    char* field;
    std::size_t size;
  };
  const Field fields[] = {
      {"<FQ_SYMBOL>", "</FQ_SYMBOL>", result.szSymbol, sizeof result.szSymbol},
      {"<DATE>", "</DATE>", result.szDate, sizeof result.szDate},
      {"<TIME>", "</TIME>", result.szTime, sizeof result.szTime},
      {"<LAST>", "</LAST>", result.szLast, sizeof result.szLast},
      {"<NETCHANGE_POINT>", "</NETCHANGE_POINT>", result.szChange, sizeof result.szChange},
      {"<HIGH>", "</HIGH>", result.szHigh, sizeof result.szHigh},
      {"<LOW>", "</LOW>", result.szLow, sizeof result.szLow},
      {"<CLOSE>", "</CLOSE>", result.szPrevClose, sizeof result.szPrevClose},
      {"<TOT_VOLUME>", "</TOT_VOLUME>", result.szVolume, sizeof result.szVolume},
      {"<BID>", "</BID>", result.szBid, sizeof result.szBid},
      {"<ASK>", "</ASK>", result.szAsk, sizeof result.szAsk},
  };
  std::string text;
  for (const Field& f : fields) {
    if (page::Between(line, f.open, f.close, &text)) {
      CopyToField(f.field, f.size, text);
      return;
    }
  }
}

// Reads one element after its opening line. False when the data ends inside it.
bool ReadElement(page::PageLines& lines, QuoteResult& result) {
  while (lines.Next()) {
    std::string_view line = lines.Text();
    if (line.find("</QUOTE_ELEMENT>") != std::string_view::npos) return true;
    FillField(line, result);
  }
  return false;
}

// "<NOT_FOUND>AAA,BBB</NOT_FOUND>": a result holding only the symbol for each.
bool AddNotFound(CQuoteClient& client, std::string_view list) {
  while (!list.empty()) {
    std::size_t comma = list.find(',');
    std::string symbol = page::Trimmed(list.substr(0, comma));
    if (!symbol.empty()) {
      QuoteResult* result = client.AddResult();
      if (result == nullptr) return false;
      CopyToField(result->szSymbol, symbol);
    }
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return true;
}

}  // namespace

bool ParseXmlQuotes(CQuoteClient& client) {
  if (!client.ReadHeaders()) return false;
  // The service ends its lines with CR LF, which the client is asked to split at the CR; a
  // list that comes with LF or CR alone reads the same.
  page::PageLines lines(client, kCr);
  if (!lines.MarkerLine("<QUOTE_LIST>")) return true;
  while (lines.Next()) {
    std::string_view line = lines.Text();
    if (line.find("<QUOTE_ELEMENT>") != std::string_view::npos) {
      QuoteResult* result = client.AddResult();
      if (result == nullptr) {
        client.SetResultCode(QR_ERROR);
        return false;
      }
      if (!ReadElement(lines, *result)) {
        // An answer cut off inside an element is not a whole answer: the half-read quote is
        // dropped and the request counts as failed.
        client.results().pop_back();
        client.SetResultCode(QR_ERROR);
        return false;
      }
      continue;
    }
    std::string list;
    if (line.find("</NOT_FOUND>") != std::string_view::npos &&
        page::Between(line, "<NOT_FOUND>", "</NOT_FOUND>", &list) && !AddNotFound(client, list)) {
      client.SetResultCode(QR_ERROR);
      return false;
    }
  }
  return true;
}

}  // namespace quillet
