#include "quotes/csv_quotes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

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

// The fields of a line as views into it: no line has more that are read than these, and a line
// is only asked whether it has fewer than twelve, so counting stops here.
struct LineFields {
  static constexpr std::size_t kMax = 14;
  std::array<std::string_view, kMax> at;
  std::size_t count = 0;
  std::size_t size() const { return count; }
  bool empty() const { return count == 0; }
  const std::string_view* field(std::size_t i) const { return i < count ? &at[i] : nullptr; }
};

// Comma-separated fields where a run of commas is one separator, so empty fields vanish and the
// later ones move forward, as the services' answers have always been read.
LineFields SplitFields(std::string_view line) {
  // One pass over the bytes: a search call per field cost more than the fields are long.
  LineFields fields;
  const char* p = line.data();
  const char* const end = p + line.size();
  while (fields.count < LineFields::kMax) {
    while (p < end && *p == ',') ++p;
    if (p == end) break;
    const char* begin = p;
    while (p < end && *p != ',') ++p;
    fields.at[fields.count++] = std::string_view(begin, static_cast<std::size_t>(p - begin));
  }
  return fields;
}

// A field as a NUL-terminated text for the helpers that search texts. A field is part of one
// line, which never exceeds the client's line buffer.
struct FieldCopy {
  explicit FieldCopy(std::string_view value) {
    const std::size_t n = std::min(value.size(), sizeof text - 1);
    std::memcpy(text, value.data(), n);
    text[n] = '\0';
  }
  char text[CQuoteClient::kLineBufferSize];
};

// Bid and ask sometimes come wrapped in markup or padded with "&nbsp".
void CopyCleaned(char (&field)[12], std::string_view value) {
  if (!value.empty() && value.front() == '<') {
    std::size_t close = value.find('>');
    CopyToField(field,
                close == std::string_view::npos ? std::string_view() : value.substr(close + 1));
  } else if (value.find("&nbsp") != std::string_view::npos) {
    ExtractBetween(FieldCopy(value).text, nullptr, "&nbsp", field);
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
    if (!IsQuoteLine(source, client.LineText())) continue;
    // The quotes are dropped in the client's line buffer itself, and the fields are views into
    // it: the line is read once and no field is copied until it lands in the result.
    RemoveChar(client.Line(), '"');
    const std::string_view line = client.LineText();
    const LineFields fields = SplitFields(line);
    if (fields.empty()) continue;  // nothing but commas: no symbol to file a quote under
    if (fields.at[0] == "error") {
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
    std::string_view symbol = fields.at[0];
    if (source == 9 && !symbol.empty() && symbol.front() == '\r') symbol.remove_prefix(1);
    CopyToField(result->szSymbol, symbol);

    auto copy = [&](auto& target, std::size_t i) {
      if (const std::string_view* f = fields.field(i)) CopyToField(target, *f);
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
      if (const std::string_view* bid = fields.field(9)) CopyCleaned(result->szBid, *bid);
      if (const std::string_view* ask = fields.field(10)) CopyCleaned(result->szAsk, *ask);
      if (const std::string_view* range = fields.field(11)) {
        if (range->find(" - ") != std::string_view::npos) {
          const FieldCopy text(*range);
          ExtractBetween(text.text, nullptr, " -", result->szYearLow);
          ExtractBetween(text.text, "- ", nullptr, result->szYearHigh);
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
