#include "quotes/csv_quotes.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/decimal_text.h"
#include "platform/codepage.h"
#include "quotes/quote_client.h"
#include "quotes/quote_text.h"

namespace quillet {

namespace {

// Every non-empty line of these sources is a quote; the others mark quote lines with a leading
// double quote.
bool EveryLineIsQuote(int source) {
  return source == 4 || source == 9 || source == 11 || source == 13;
}

// The CSV quote service answers the twelve fields its request letters name, the range last;
// N/A stands for a missing value, so a whole line always has all twelve.
constexpr std::size_t kCsvServiceFields = 12;
bool IsCsvService(int source) { return source == 0 || source == 1 || source == 7; }

bool IsQuoteLine(int source, std::string_view line) {
  if (EveryLineIsQuote(source)) return !line.empty();
  if (line.empty() || line.front() != '"') return false;
  // Column-title lines.
  return line.substr(0, 7) != "\"SYMBOL" && line.substr(0, 4) != "\"WKN";
}

// Comma-separated fields where a run of commas is one separator, so empty fields vanish and the
// later ones move forward, as the services' answers have always been read.
std::vector<std::string> SplitFields(std::string_view line) {
  std::vector<std::string> fields;
  std::size_t pos = 0;
  while (pos < line.size()) {
    std::size_t begin = line.find_first_not_of(',', pos);
    if (begin == std::string_view::npos) break;
    std::size_t end = line.find(',', begin);
    if (end == std::string_view::npos) end = line.size();
    fields.emplace_back(line.substr(begin, end - begin));
    pos = end;
  }
  return fields;
}

// Bid and ask sometimes come wrapped in markup or padded with "&nbsp".
void CopyCleaned(char (&field)[12], const std::string& value) {
  if (!value.empty() && value.front() == '<') {
    std::size_t close = value.find('>');
    CopyToField(field, close == std::string::npos ? std::string_view()
                                                  : std::string_view(value).substr(close + 1));
  } else if (value.find("&nbsp") != std::string::npos) {
    ExtractBetween(value.c_str(), nullptr, "&nbsp", field);
  } else {
    CopyToField(field, value);
  }
}

void ComputeChange(QuoteResult& result) {
  if (result.szPrevClose[0] == '\0' || result.szLast[0] == '\0') {
    CopyToField(result.szChange, "N/A");
    return;
  }
  double change = ParseDecimal(result.szLast, 2) - ParseDecimal(result.szPrevClose, 2);
  std::string text = FormatDecimal(change, 2);
  if (change > 0) text.insert(0, "+");
  CopyToField(result.szChange, text);
}

}  // namespace

bool ParseCsvQuotes(CQuoteClient& client) {
  if (!client.ReadHeaders()) return false;
  const int source = client.source();
  for (bool more = client.ReadLine(0); more; more = client.ReadLine(0)) {
    std::string line(client.LineText());
    if (!IsQuoteLine(source, line)) continue;
    RemoveChar(line.data(), '"');
    line.resize(std::strlen(line.c_str()));
    std::vector<std::string> fields = SplitFields(line);
    if (fields.empty()) continue;  // nothing but commas: no symbol to file a quote under
    if (fields[0] == "error") {
      client.SetResultCode(QR_ERROR);
      return false;
    }
    // An answer without a length that stops mid-line looks complete to the client; a last line
    // that lacks fields was cut, and its last field may be a price cut after its first digit.
    if (!client.lineTerminated() && IsCsvService(source) && fields.size() < kCsvServiceFields) {
      continue;
    }
    QuoteResult* result = client.AddResult();
    if (result == nullptr) {
      client.SetResultCode(QR_ERROR);
      return false;
    }
    std::string_view symbol = fields[0];
    if (source == 9 && !symbol.empty() && symbol.front() == '\r') symbol.remove_prefix(1);
    CopyToField(result->szSymbol, symbol);

    auto field = [&](std::size_t i) -> const std::string* {
      return i < fields.size() ? &fields[i] : nullptr;
    };
    auto copy = [&](auto& target, std::size_t i) {
      if (const std::string* f = field(i)) CopyToField(target, *f);
    };
    copy(result->szLast, 1);
    copy(result->szDate, 2);
    copy(result->szTime, 3);
    copy(result->szChange, 4);
    copy(result->szLow, 5);
    copy(result->szHigh, 6);
    copy(result->szPrevClose, 7);
    copy(result->szVolume, 8);
    if (source == 11) {
      copy(result->szBid, 9);
      copy(result->szAsk, 10);
      copy(result->szYearLow, 11);
      copy(result->szYearHigh, 12);
    } else {
      if (const std::string* bid = field(9)) CopyCleaned(result->szBid, *bid);
      if (const std::string* ask = field(10)) CopyCleaned(result->szAsk, *ask);
      if (const std::string* range = field(11)) {
        if (range->find(" - ") != std::string::npos) {
          ExtractBetween(range->c_str(), nullptr, " -", result->szYearLow);
          ExtractBetween(range->c_str(), "- ", nullptr, result->szYearHigh);
        } else {
          CopyToField(result->szYearLow, *range);
          copy(result->szYearHigh, 12);
        }
      }
    }
    if (source == 4) ComputeChange(*result);
  }
  return true;
}

}  // namespace quillet
