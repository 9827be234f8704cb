#include "quotes/page_steps.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/decimal_text.h"
#include "core/quote_tables.h"
#include "quotes/quote_text.h"

namespace quillet::page {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

QuoteResult* BeginPage(CQuoteClient& client, char symbolEnd) {
  if (!client.ReadHeaders()) return nullptr;
  QuoteResult* result = client.AddResult();
  if (result == nullptr) {
    client.SetResultCode(QR_ERROR);
    return nullptr;
  }
  Store(result->szSymbol, SymbolFromRequest(client, symbolEnd));
  return result;
}

std::string SymbolFromRequest(const CQuoteClient& client, char symbolEnd) {
  const QuoteSource* source = GetQuoteSource(client.source());
  if (source == nullptr) return {};
  std::string_view request = client.request();
  std::string_view prefix(source->szPathPrefix);
  std::size_t at = request.find(prefix);
  if (prefix.empty() || at == std::string_view::npos) return {};
  std::string_view rest = request.substr(at + prefix.size());
  return std::string(rest.substr(0, rest.find(symbolEnd)));
}

PageLines::PageLines(CQuoteClient& client, char delimiter)
    : client_(client), delimiter_(delimiter) {}

void PageLines::ReadMore() {
  pending_.erase(0, taken_);
  taken_ = 0;
  if (!client_.ReadLine(delimiter_)) {
    ended_ = true;
    return;
  }
  std::string_view text = client_.LineText();
  pending_.append(text);
  // A line that filled the client's buffer was cut there and goes on in the next one; any
  // shorter one ended at the delimiter (or at the end of the data), which the client dropped.
  if (text.size() < CQuoteClient::kLineBufferSize - 1) pending_ += delimiter_;
}

bool PageLines::Next() {
  while (true) {
    const std::size_t end = pending_.find_first_of("\r\n", taken_);
    const bool found = end != std::string::npos;
    // A CR at the very end of what was read may be the first half of a CR LF.
    const bool mayBeHalf = found && end + 1 == pending_.size() && pending_[end] == '\r' && !ended_;
    if (found && !mayBeHalf) {
      line_.assign(pending_, taken_, end - taken_);
      taken_ = end + 1;
      if (pending_[end] == '\r' && taken_ < pending_.size() && pending_[taken_] == '\n') ++taken_;
      return true;
    }
    if (!found && pending_.size() - taken_ >= kLongestLine) {
      line_.assign(pending_, taken_, kLongestLine);
      taken_ += kLongestLine;
      return true;
    }
    if (ended_) {
      if (taken_ >= pending_.size()) return false;
      line_.assign(pending_, taken_);
      taken_ = pending_.size();
      return true;
    }
    ReadMore();
  }
}

bool PageLines::Further(int count) {
  for (int i = 0; i < count; ++i) {
    if (!Next()) return false;
  }
  return true;
}

bool PageLines::MarkerLine(const char* marker, int count) {
  while (Next()) {
    if (line_.find(marker) != std::string::npos) return Further(count);
  }
  return false;
}

bool ReadLabelledFields(PageLines& lines, std::span<const LabelledField> fields, int offset,
                        const std::function<bool(std::string_view line, const LabelledField& field,
                                                 std::string* value)>& cut) {
  std::string value;
  for (const LabelledField& f : fields) {
    if (!lines.MarkerLine(f.label, offset) || !cut(lines.Text(), f, &value)) return false;
    CopyToField(f.field, f.size, value);
  }
  return true;
}

bool Between(std::string_view line, const char* start, const char* end, std::string* out) {
  return BetweenFrom(line, 0, start, end, out);
}

bool BetweenFrom(std::string_view line, std::size_t from, const char* start, const char* end,
                 std::string* out, std::size_t* next) {
  if (from > line.size()) return false;
  std::size_t begin = from;
  if (start != nullptr) {
    std::size_t found = line.find(start, from);
    if (found == std::string_view::npos) return false;
    begin = found + std::strlen(start);
  }
  std::size_t stop = line.size();
  std::size_t after = line.size();
  if (end != nullptr) {
    stop = line.find(end, begin);
    if (stop == std::string_view::npos) return false;
    after = stop + std::strlen(end);
  }
  if (out != nullptr) *out = Trimmed(line.substr(begin, stop - begin));
  if (next != nullptr) *next = after;
  return true;
}

std::string NumberIn(std::string_view text) {
  std::string source(text);
  std::string number(source.size() + 1, '\0');
  number[0] = '\0';
  FirstNumber(source.c_str(), number.data(), number.size());
  number.resize(std::strlen(number.c_str()));
  return number;
}

std::string Euro(std::string text) {
  EuropeanToPlainNumber(text.data());
  text.resize(std::strlen(text.c_str()));
  return text;
}

std::string WithoutChar(std::string text, char c) {
  RemoveChar(text.data(), c);
  text.resize(std::strlen(text.c_str()));
  return text;
}

std::string Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

std::string LineValue(std::string_view line) {
  std::string text;
  bool inTag = false;
  for (char c : line) {
    if (c == '<') {
      inTag = true;
    } else if (c == '>' && inTag) {
      inTag = false;
    } else if (!inTag) {
      text += c;
    }
  }
  return Trimmed(text);
}

std::string Word(std::string_view text, std::size_t index) {
  std::size_t pos = 0;
  for (std::size_t n = 0;; ++n) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos >= text.size()) return {};
    std::size_t end = pos;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    if (n == index) return std::string(text.substr(pos, end - pos));
    pos = end;
  }
}

std::string ChangeOf(std::string_view last, std::string_view previous) {
  if (last.empty() || previous.empty()) return "N/A";
  // Every decimal of both prices counts: some markets quote to a tenth of a cent, and rounding
  // the prices first can turn a small move into none. The nudge keeps a difference such as
  // 0.025, which a double holds as 0.02499..., from being rounded down.
  double change = ParseDecimal(last, kAllPlaces) - ParseDecimal(previous, kAllPlaces);
  if (!std::isfinite(change)) return "N/A";
  double cents = std::floor(std::fabs(change) * 100.0 + 0.5 + 1e-7);
  if (cents == 0) return "0.00";
  return (change > 0 ? "+" : "-") + FormatDecimal(cents / 100.0, 2);
}

double ReadNumber(std::string_view text) {
  if (text.find(',') != std::string_view::npos) return ParseDecimal(Euro(std::string(text)), 0);
  return ParseDecimal(text, 0);
}

std::string TwoDecimals(double value) {
  if (!std::isfinite(value)) return "0.00";
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", value);
  // A value that rounds to zero is written without a sign.
  if (std::strcmp(text, "-0.00") == 0) return "0.00";
  return text;
}

void LastZeroUnlessComplete(QuoteResult& result, bool complete) {
  if (!complete) Store(result.szLast, "0");
}

}  // namespace quillet::page
