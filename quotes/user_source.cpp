#include "quotes/user_source.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "core/chart_store.h"
#include "core/decimal_text.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "quotes/quote_dates.h"

namespace quillet {
namespace {

using Json = nlohmann::json;

// Answers nested deeper than this are refused before they are parsed: no quote service needs
// it, and a hostile answer must not exhaust the stack.
constexpr int kMaxJsonDepth = 64;

constexpr std::array<std::pair<const char*, AnswerDateStyle>, 4> kDateStyles = {{
    {"ymd", AnswerDateStyle::kYmd},
    {"mdy", AnswerDateStyle::kMdy},
    {"dmy", AnswerDateStyle::kDmy},
    {"unix", AnswerDateStyle::kUnix},
}};
constexpr std::array<std::pair<const char*, UrlDateForm>, 5> kUrlDateForms = {{
    {"yyyy-mm-dd", UrlDateForm::kIso},
    {"yyyymmdd", UrlDateForm::kCompact},
    {"dd.mm.yyyy", UrlDateForm::kDmyDots},
    {"mm/dd/yyyy", UrlDateForm::kMdySlashes},
    {"unix", UrlDateForm::kUnix},
}};

template <typename T, std::size_t N>
std::optional<T> Lookup(const std::array<std::pair<const char*, T>, N>& table,
                        std::string_view text) {
  for (const auto& [name, value] : table) {
    if (EqualNoCase(name, text)) return value;
  }
  return std::nullopt;
}

template <typename T, std::size_t N>
std::string NameOf(const std::array<std::pair<const char*, T>, N>& table, T value) {
  for (const auto& [name, v] : table) {
    if (v == value) return name;
  }
  return table[0].first;
}

template <typename T, std::size_t N>
std::string Choices(const std::array<std::pair<const char*, T>, N>& table) {
  std::string out;
  for (const auto& [name, v] : table) {
    if (!out.empty()) out += ", ";
    out += name;
  }
  return out;
}

std::optional<long> WholeNumber(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// A URL the transport may be given: http or https, a host, printable ASCII without blanks.
std::optional<std::string> UrlProblem(std::string_view url) {
  if (url.size() > kMaxUrlLength) return "is longer than " + std::to_string(kMaxUrlLength);
  std::string_view rest;
  if (StartsWithNoCase(url, "https://")) {
    rest = url.substr(8);
  } else if (StartsWithNoCase(url, "http://")) {
    rest = url.substr(7);
  } else {
    return std::string("must start with http:// or https://");
  }
  if (rest.empty() || rest.front() == '/' || rest.front() == ':' || rest.front() == '{') {
    return std::string("has no host");
  }
  for (unsigned char c : url) {
    if (c <= 0x20 || c >= 0x7f) return std::string("may hold no blanks or control characters");
  }
  return std::nullopt;
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

std::string ReplaceAll(std::string text, std::string_view what, std::string_view with) {
  std::size_t at = 0;
  while ((at = text.find(what, at)) != std::string::npos) {
    text.replace(at, what.size(), with);
    at += with.size();
  }
  return text;
}

std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

// A JSON path: names separated by '.', each name a key of an object or the index of a list.
bool ValidPath(std::string_view path) {
  if (path.empty()) return false;
  std::size_t start = 0;
  for (;;) {
    std::size_t dot = path.find('.', start);
    std::string_view part = path.substr(start, dot == std::string_view::npos ? dot : dot - start);
    if (part.empty()) return false;
    if (dot == std::string_view::npos) return true;
    start = dot + 1;
  }
}

std::string FormatDate(UrlDateForm form, StockTime t) {
  if (form == UrlDateForm::kUnix) return std::to_string(t);
  const LocalTime d = ToLocal(t);
  char text[32];
  switch (form) {
    case UrlDateForm::kCompact:
      std::snprintf(text, sizeof text, "%04d%02d%02d", d.year, d.month, d.day);
      break;
    case UrlDateForm::kDmyDots:
      std::snprintf(text, sizeof text, "%02d.%02d.%04d", d.day, d.month, d.year);
      break;
    case UrlDateForm::kMdySlashes:
      std::snprintf(text, sizeof text, "%02d/%02d/%04d", d.month, d.day, d.year);
      break;
    default:
      std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
      break;
  }
  return text;
}

// The deepest nesting of lists and objects in `text`, counted outside strings.
int JsonDepth(std::string_view text) {
  int depth = 0;
  int deepest = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return deepest;
}

const Json* Walk(const Json& root, std::string_view path) {
  const Json* at = &root;
  std::size_t start = 0;
  while (start <= path.size() && !path.empty()) {
    std::size_t dot = path.find('.', start);
    std::string_view part = path.substr(start, dot == std::string_view::npos ? dot : dot - start);
    if (at->is_object()) {
      auto found = at->find(std::string(part));
      if (found == at->end()) return nullptr;
      at = &*found;
    } else if (at->is_array()) {
      auto index = WholeNumber(part);
      if (!index || static_cast<std::size_t>(*index) >= at->size()) return nullptr;
      at = &(*at)[static_cast<std::size_t>(*index)];
    } else {
      return nullptr;
    }
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return at;
}

// A value as the text a CSV answer would have held.
std::string TextOf(const Json* value) {
  if (value == nullptr || value->is_null()) return {};
  if (value->is_string()) return value->get<std::string>();
  if (value->is_number_integer() || value->is_number_unsigned()) return value->dump();
  if (value->is_number_float()) {
    // Written out in full: a service may send 1.5e-05, which the stock fields cannot hold.
    const double d = value->get<double>();
    if (!std::isfinite(d)) return {};
    return FormatDecimalTrimmed(d, 6);
  }
  return {};
}

// One CSV line split at the delimiter; a field in double quotes may hold the delimiter, and ""
// inside it is one quote.
std::vector<std::string> SplitCsv(std::string_view line, char delimiter) {
  std::vector<std::string> out(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        out.back().push_back('"');
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        out.back().push_back(c);
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == delimiter) {
      out.emplace_back();
      if (out.size() > static_cast<std::size_t>(kMaxCsvColumn) + 1) break;
    } else {
      out.back().push_back(c);
    }
  }
  return out;
}

std::vector<std::string_view> Lines(std::string_view body) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < body.size()) {
    std::size_t end = body.find('\n', start);
    if (end == std::string_view::npos) end = body.size();
    std::string_view line = body.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return std::string(text);
}

// The rows of an answer as lists of field texts in the order of `names`' fields.
template <std::size_t N>
bool ReadRows(const UserSource& source, std::string_view body, const std::string& listPath,
              const std::array<std::string, N>& fields,
              std::vector<std::array<std::string, N>>* rows, std::size_t limit,
              std::string* error) {
  if (source.format == AnswerFormat::kCsv) {
    std::vector<std::string_view> lines = Lines(body);
    // An empty answer is a failure; a header alone is an answer without quotes.
    if (std::all_of(lines.begin(), lines.end(),
                    [](std::string_view line) { return Trim(line).empty(); })) {
      *error = "the answer is empty";
      return false;
    }
    std::size_t first = 0;
    if (source.skipHeader && !lines.empty()) first = 1;
    for (std::size_t i = first; i < lines.size() && rows->size() < limit; ++i) {
      if (Trim(lines[i]).empty()) continue;
      std::vector<std::string> cells = SplitCsv(lines[i], source.delimiter);
      std::array<std::string, N> row;
      for (std::size_t f = 0; f < N; ++f) {
        auto column = WholeNumber(fields[f]);
        if (!column || *column < 1) continue;
        const auto index = static_cast<std::size_t>(*column - 1);
        if (index < cells.size()) row[f] = Trim(cells[index]);
      }
      rows->push_back(std::move(row));
    }
    return true;
  }
  if (JsonDepth(body) > kMaxJsonDepth) {
    *error = "the answer is nested too deeply";
    return false;
  }
  Json root = Json::parse(body.begin(), body.end(), nullptr, false);
  if (root.is_discarded()) {
    *error = "the answer is not JSON";
    return false;
  }
  const Json* list = listPath.empty() ? &root : Walk(root, listPath);
  if (list == nullptr) {
    *error = "the answer has nothing at '" + listPath + "'";
    return false;
  }
  if (!list->is_array()) {
    *error =
        "the answer has no list at '" + (listPath.empty() ? std::string("(top)") : listPath) + "'";
    return false;
  }
  for (const Json& item : *list) {
    if (rows->size() >= limit) break;
    std::array<std::string, N> row;
    for (std::size_t f = 0; f < N; ++f) {
      if (!fields[f].empty()) row[f] = Trim(TextOf(Walk(item, fields[f])));
    }
    rows->push_back(std::move(row));
  }
  return true;
}

bool IsNumberText(const std::string& text) {
  return !Trim(text).empty() && ReadsWholeDecimal(text);
}

// A price text divided by the divisor; texts that are no number ("N/A") stay as they are.
std::string Divided(const std::string& text, double divisor) {
  if (divisor == 1 || text.empty() || !IsNumberText(text)) return text;
  const double value = ParseDecimal(text, kAllPlaces) / divisor;
  for (int places = 6; places >= 0; --places) {
    std::string out = FormatDecimalTrimmed(value, places);
    if (out.size() < kDecimalTextSize) return out;
  }
  return text;
}

double NumberOf(const std::string& text) {
  return IsNumberText(text) ? ParseDecimal(text, kAllPlaces) : 0;
}

}  // namespace

bool IsValidSourceName(std::string_view name) {
  if (name.empty() || name.size() > kMaxSourceNameLength) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
  });
}

std::vector<std::string> UserSourceFieldNames() {
  std::vector<std::string> names = {"quote_url",     "separator", "batch",        "history_url",
                                    "history_dates", "format",    "header",       "delimiter",
                                    "date_style",    "list",      "history_list", "divisor"};
  for (const char* f : kQuoteFieldNames) names.emplace_back(f);
  for (const char* f : kHistoryFieldNames) names.emplace_back(f);
  return names;
}

std::optional<UserSource> ParseUserSource(std::string_view name, const SourceFields& fields,
                                          std::string* error) {
  auto fail = [&](const std::string& field, const std::string& why) {
    *error = field + ": " + why;
    return std::nullopt;
  };
  if (!IsValidSourceName(name)) {
    return fail("name", "must be 1 to 32 letters, digits, '-', '_' or '.'");
  }
  const std::vector<std::string> known = UserSourceFieldNames();
  for (const auto& [key, value] : fields) {
    if (std::find(known.begin(), known.end(), key) == known.end()) {
      return fail(key, "is not a field of a source definition");
    }
  }
  auto get = [&](const char* key) -> std::string {
    auto found = fields.find(key);
    return found == fields.end() ? std::string() : found->second;
  };
  UserSource s;
  s.name = std::string(name);

  s.quoteUrl = get("quote_url");
  if (s.quoteUrl.empty()) return fail("quote_url", "is missing");
  if (auto problem = UrlProblem(s.quoteUrl)) return fail("quote_url", *problem);
  if (!Contains(s.quoteUrl, "{symbols}")) return fail("quote_url", "must contain {symbols}");

  if (fields.count("separator") != 0) s.separator = get("separator");
  if (s.separator.empty() || s.separator.size() > 8) {
    return fail("separator", "must be 1 to 8 characters");
  }
  for (unsigned char c : s.separator) {
    if (c <= 0x20 || c >= 0x7f) return fail("separator", "may hold no blanks");
  }
  if (fields.count("batch") != 0) {
    auto batch = WholeNumber(get("batch"));
    if (!batch || *batch < 1 || *batch > kMaxUserBatch) {
      return fail("batch", "must be a whole number from 1 to " + std::to_string(kMaxUserBatch));
    }
    s.batchSize = static_cast<int>(*batch);
  }

  const std::string format = get("format");
  if (EqualNoCase(format, "csv")) {
    s.format = AnswerFormat::kCsv;
  } else if (EqualNoCase(format, "json")) {
    s.format = AnswerFormat::kJson;
  } else {
    return fail("format", format.empty() ? "is missing (csv or json)" : "must be csv or json");
  }
  if (fields.count("header") != 0) {
    const std::string header = get("header");
    if (header == "1" || EqualNoCase(header, "yes")) {
      s.skipHeader = true;
    } else if (header == "0" || EqualNoCase(header, "no")) {
      s.skipHeader = false;
    } else {
      return fail("header", "must be yes or no");
    }
  }
  if (fields.count("delimiter") != 0) {
    const std::string delimiter = get("delimiter");
    if (EqualNoCase(delimiter, "tab")) {
      s.delimiter = '\t';
    } else if (delimiter.size() == 1 && delimiter[0] != '"' && delimiter[0] > 0x20 &&
               delimiter[0] < 0x7f) {
      s.delimiter = delimiter[0];
    } else {
      return fail("delimiter", "must be one character or tab");
    }
  }
  if (fields.count("date_style") != 0) {
    auto style = Lookup(kDateStyles, get("date_style"));
    if (!style) return fail("date_style", "must be one of " + Choices(kDateStyles));
    s.dateStyle = *style;
  }
  if (fields.count("divisor") != 0) {
    const std::string divisor = get("divisor");
    // Kept to six decimals, as it is written back.
    const double d = IsNumberText(divisor) ? ParseDecimal(divisor, 6) : 0;
    if (!(d >= 0.000001) || !std::isfinite(d) || d > 1e6) {
      return fail("divisor", "must be a number from 0.000001 to 1000000");
    }
    s.divisor = d;
  }
  s.list = get("list");
  s.historyList = get("history_list");

  // Each field is a column number for CSV and a path for JSON.
  auto checkField = [&](const std::string& key, const std::string& value) -> bool {
    if (value.empty()) return true;
    if (s.format == AnswerFormat::kCsv) {
      auto column = WholeNumber(value);
      if (!column || *column < 1 || *column > kMaxCsvColumn) {
        *error = key + ": must be a column number from 1 to " + std::to_string(kMaxCsvColumn);
        return false;
      }
    } else if (!ValidPath(value)) {
      *error = key + ": must be a path of names separated by '.'";
      return false;
    }
    return true;
  };
  for (int f = 0; f < kQuoteFieldCount; ++f) {
    s.fields[static_cast<std::size_t>(f)] = get(kQuoteFieldNames[static_cast<std::size_t>(f)]);
    if (!checkField(kQuoteFieldNames[static_cast<std::size_t>(f)],
                    s.fields[static_cast<std::size_t>(f)])) {
      return std::nullopt;
    }
  }
  if (s.fields[kFieldSymbol].empty()) return fail("symbol", "is missing");
  if (s.fields[kFieldLast].empty()) return fail("last", "is missing");
  if (s.format == AnswerFormat::kJson) {
    if (!s.list.empty() && !ValidPath(s.list)) return fail("list", "must be a path of names");
    if (!s.historyList.empty() && !ValidPath(s.historyList)) {
      return fail("history_list", "must be a path of names");
    }
  }

  s.historyUrl = get("history_url");
  for (int f = 0; f < kHistoryFieldCount; ++f) {
    const auto i = static_cast<std::size_t>(f);
    s.historyFields[i] = get(kHistoryFieldNames[i]);
    if (!checkField(kHistoryFieldNames[i], s.historyFields[i])) return std::nullopt;
  }
  if (fields.count("history_dates") != 0) {
    auto form = Lookup(kUrlDateForms, get("history_dates"));
    if (!form) return fail("history_dates", "must be one of " + Choices(kUrlDateForms));
    s.historyDates = *form;
  }
  if (!s.historyUrl.empty()) {
    if (auto problem = UrlProblem(s.historyUrl)) return fail("history_url", *problem);
    for (const char* part : {"{symbol}", "{from}", "{to}"}) {
      if (!Contains(s.historyUrl, part)) {
        return fail("history_url", std::string("must contain ") + part);
      }
    }
    if (s.historyFields[kHistoryDate].empty()) return fail("history_date", "is missing");
    if (s.historyFields[kHistoryClose].empty()) return fail("history_close", "is missing");
  }
  return s;
}

SourceFields UserSourceFields(const UserSource& s) {
  SourceFields out;
  out["quote_url"] = s.quoteUrl;
  out["separator"] = s.separator;
  out["batch"] = std::to_string(s.batchSize);
  out["format"] = s.format == AnswerFormat::kJson ? "json" : "csv";
  out["date_style"] = NameOf(kDateStyles, s.dateStyle);
  if (s.format == AnswerFormat::kCsv) {
    out["header"] = s.skipHeader ? "yes" : "no";
    out["delimiter"] = s.delimiter == '\t' ? std::string("tab") : std::string(1, s.delimiter);
  } else {
    if (!s.list.empty()) out["list"] = s.list;
    if (!s.historyList.empty()) out["history_list"] = s.historyList;
  }
  if (s.divisor != 1) out["divisor"] = FormatDecimalTrimmed(s.divisor, 6);
  for (int f = 0; f < kQuoteFieldCount; ++f) {
    const auto i = static_cast<std::size_t>(f);
    if (!s.fields[i].empty()) out[kQuoteFieldNames[i]] = s.fields[i];
  }
  if (!s.historyUrl.empty()) {
    out["history_url"] = s.historyUrl;
    out["history_dates"] = NameOf(kUrlDateForms, s.historyDates);
    for (int f = 0; f < kHistoryFieldCount; ++f) {
      const auto i = static_cast<std::size_t>(f);
      if (!s.historyFields[i].empty()) out[kHistoryFieldNames[i]] = s.historyFields[i];
    }
  }
  return out;
}

std::string QuoteUrlFor(const UserSource& source, const std::vector<std::string>& symbols) {
  std::string joined;
  for (const std::string& symbol : symbols) {
    if (!joined.empty()) joined += source.separator;
    joined += PercentEncode(symbol);
  }
  return ReplaceAll(source.quoteUrl, "{symbols}", joined);
}

std::string HistoryUrlFor(const UserSource& source, std::string_view symbol, StockTime from,
                          StockTime to) {
  std::string url = ReplaceAll(source.historyUrl, "{symbol}", PercentEncode(symbol));
  url = ReplaceAll(url, "{from}", FormatDate(source.historyDates, from));
  return ReplaceAll(url, "{to}", FormatDate(source.historyDates, to));
}

StockTime UserQuoteTime(const UserSource& source, std::string_view date, std::string_view time,
                        Clock& clock) {
  std::string text = Trim(date);
  if (source.dateStyle == AnswerDateStyle::kUnix) {
    // Seconds, or milliseconds as some services write them.
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0 || digits > 13) return 0;
    long long value = std::stoll(text.substr(0, digits));
    if (digits > 10) value /= 1000;
    if (value <= 0 || value > 0xFFFFFFFFLL) return 0;
    return static_cast<StockTime>(value);
  }
  int numbers[3] = {0, 0, 0};
  int count = 0;
  std::size_t i = 0;
  while (i < text.size() && count < 3) {
    if (text[i] < '0' || text[i] > '9') {
      ++i;
      continue;
    }
    long value = 0;
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      if (digits < 6) value = value * 10 + (text[i] - '0');
      ++digits;
      ++i;
    }
    numbers[count++] = static_cast<int>(value);
  }
  if (count < 3) return 0;
  int year = 0, month = 0, day = 0;
  switch (source.dateStyle) {
    case AnswerDateStyle::kMdy:
      month = numbers[0], day = numbers[1], year = numbers[2];
      break;
    case AnswerDateStyle::kDmy:
      day = numbers[0], month = numbers[1], year = numbers[2];
      break;
    default:
      year = numbers[0], month = numbers[1], day = numbers[2];
      break;
  }
  if (year < 100) year += year < 50 ? 2000 : 1900;
  if (month < 1 || month > 12 || day < 1 || day > 31 || year < 1970 || year > 2105) return 0;
  std::optional<StockTime> t = FromLocal(year, month, day);
  if (!t) return 0;
  // A time written into the date field ("2026-12-08T16:00:00") counts when no time field is given.
  std::string timeText = Trim(time);
  if (timeText.empty()) {
    if (std::size_t at = text.find_first_of("T "); at != std::string::npos) {
      timeText = text.substr(at + 1);
    }
  }
  if (timeText.empty()) return *t;
  return *t + ParseQuoteTime(kDateNone, timeText.substr(0, 8), false, clock);
}

bool ReadUserQuotes(const UserSource& source, std::string_view body, QuoteResultList* results,
                    std::string* error) {
  std::vector<std::array<std::string, kQuoteFieldCount>> rows;
  const std::size_t room =
      results->size() < kMaxQuoteResults ? kMaxQuoteResults - results->size() : 0;
  if (!ReadRows(source, body, source.list, source.fields, &rows, room, error)) return false;
  for (auto& row : rows) {
    // A text ends at a NUL byte, as the record field it goes into would end it.
    for (std::string& text : row) text.resize(std::min(text.size(), text.find('\0')));
    if (row[kFieldSymbol].empty()) continue;
    auto result = std::make_unique<QuoteResult>();
    *result = QuoteResult{};
    for (int f : {kFieldLast, kFieldChange, kFieldLow, kFieldHigh, kFieldPrevClose}) {
      row[static_cast<std::size_t>(f)] = Divided(row[static_cast<std::size_t>(f)], source.divisor);
    }
    CopyToField(result->szSymbol, row[kFieldSymbol]);
    CopyToField(result->szLast, row[kFieldLast]);
    CopyToField(result->szChange, row[kFieldChange]);
    CopyToField(result->szDate, row[kFieldDate]);
    CopyToField(result->szTime, row[kFieldTime]);
    CopyToField(result->szLow, row[kFieldLow]);
    CopyToField(result->szHigh, row[kFieldHigh]);
    CopyToField(result->szVolume, row[kFieldVolume]);
    CopyToField(result->szPrevClose, row[kFieldPrevClose]);
    results->push_back(std::move(result));
  }
  return true;
}

bool ReadUserHistory(const UserSource& source, std::string_view body, Clock& clock,
                     std::vector<ChartPoint>* points, std::string* error) {
  std::vector<std::array<std::string, kHistoryFieldCount>> rows;
  const std::size_t limit = kMaxChartPoints + (source.skipHeader ? 1 : 0);
  if (!ReadRows(source, body, source.historyList, source.historyFields, &rows, limit * 2, error)) {
    return false;
  }
  for (const auto& row : rows) {
    if (points->size() >= kMaxChartPoints) break;
    StockTime day = UserQuoteTime(source, row[kHistoryDate], "", clock);
    const double close = NumberOf(row[kHistoryClose]) / source.divisor;
    if (day == 0 || !(close > 0)) continue;
    ChartPoint p{};
    // The day's point sits a minute after midnight, as the built-in history's do.
    p.tDate = DayStart(day) + 60;
    p.dwPrice = ToFixedPoint(close, kStockScale);
    p.dwLow = ToFixedPoint(std::max(0.0, NumberOf(row[kHistoryLow]) / source.divisor), kStockScale);
    p.dwHigh =
        ToFixedPoint(std::max(0.0, NumberOf(row[kHistoryHigh]) / source.divisor), kStockScale);
    p.dwVolume = ToFixedPoint(std::max(0.0, NumberOf(row[kHistoryVolume])), 1);
    points->push_back(p);
  }
  return true;
}

}  // namespace quillet
