// Quote sources the user defines: where to ask (a quote URL with the symbols of a batch, and a
// history URL for one symbol between two dates), how the answer reads (CSV columns or JSON
// paths), and an optional divisor for answers in pence or cents. A definition is a set of named
// text fields, the same on both sides: the handheld keeps them in its registry, the desktop in
// its INI file, and both hand them to ParseUserSource, which refuses a definition that cannot be
// used and names the field at fault.
//
// The readers turn an answer into QuoteResult records (the built-in sources' form, so the update
// steps apply them the same way) and history answers into chart points.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/chart_points.h"
#include "platform/clock.h"
#include "quotes/quote_result.h"

namespace quillet {

// A definition's fields by name, as stored.
using SourceFields = std::map<std::string, std::string>;

enum class AnswerFormat { kCsv, kJson };

// How the answer writes a date: year-month-day, month/day/year, day.month.year (any non-digit
// between the numbers), or seconds since 1970.
enum class AnswerDateStyle { kYmd, kMdy, kDmy, kUnix };

// How {from} and {to} are written into the history URL.
enum class UrlDateForm { kIso, kCompact, kDmyDots, kMdySlashes, kUnix };

// The fields of a quote answer, in the order of the field names below.
enum QuoteField : int {
  kFieldSymbol,
  kFieldLast,
  kFieldChange,
  kFieldDate,
  kFieldTime,
  kFieldLow,
  kFieldHigh,
  kFieldVolume,
  kFieldPrevClose,
  kQuoteFieldCount
};
inline constexpr std::array<const char*, kQuoteFieldCount> kQuoteFieldNames = {
    "symbol", "last", "change", "date", "time", "low", "high", "volume", "prev_close"};

enum HistoryField : int {
  kHistoryDate,
  kHistoryClose,
  kHistoryLow,
  kHistoryHigh,
  kHistoryVolume,
  kHistoryFieldCount
};
inline constexpr std::array<const char*, kHistoryFieldCount> kHistoryFieldNames = {
    "history_date", "history_close", "history_low", "history_high", "history_volume"};

inline constexpr std::size_t kMaxSourceNameLength = 32;
inline constexpr int kMaxUserBatch = 150;
inline constexpr std::size_t kMaxUrlLength = 2000;
inline constexpr int kMaxCsvColumn = 64;

struct UserSource {
  std::string name;
  std::string quoteUrl;         // holds {symbols}
  std::string separator = ",";  // joins the symbols of a batch
  int batchSize = 20;           // symbols per request, 1..150
  std::string historyUrl;       // empty: no history; else holds {symbol}, {from} and {to}
  UrlDateForm historyDates = UrlDateForm::kIso;
  AnswerFormat format = AnswerFormat::kCsv;
  bool skipHeader = false;  // CSV: the first line names the columns
  char delimiter = ',';     // CSV
  AnswerDateStyle dateStyle = AnswerDateStyle::kYmd;
  std::string list;         // JSON: path of the list of quotes ("" = the answer itself)
  std::string historyList;  // JSON: path of the list of days
  // CSV: the column number (1 = first) as text; JSON: the path of the value. "" = not given.
  std::array<std::string, kQuoteFieldCount> fields;
  std::array<std::string, kHistoryFieldCount> historyFields;
  double divisor = 1;  // every price is divided by it (100 for pence or cents)
};

// A name a source can be stored under: 1 to 32 letters, digits, '-', '_' or '.'.
bool IsValidSourceName(std::string_view name);

// The definition the fields describe, or nullopt with *error naming the field and what is
// wrong with it ("quote_url: must contain {symbols}"). Unknown field names are refused too, so
// a misspelt field is not silently ignored.
std::optional<UserSource> ParseUserSource(std::string_view name, const SourceFields& fields,
                                          std::string* error);
// The fields of a definition as ParseUserSource reads them back (defaults included).
SourceFields UserSourceFields(const UserSource& source);
// Every field name a definition may hold.
std::vector<std::string> UserSourceFieldNames();

// The quote URL with {symbols} replaced by the symbols, each percent-encoded, joined with the
// separator.
std::string QuoteUrlFor(const UserSource& source, const std::vector<std::string>& symbols);
// The history URL for one symbol between two days (local calendar).
std::string HistoryUrlFor(const UserSource& source, std::string_view symbol, StockTime from,
                          StockTime to);

// Reads a quote answer into results (appended; at most kMaxQuoteResults), prices divided by
// the divisor. A row without a symbol is skipped. False with *error when the answer cannot be
// read at all (not JSON, no list at the path, an empty CSV).
bool ReadUserQuotes(const UserSource& source, std::string_view body, QuoteResultList* results,
                    std::string* error);

// Reads a history answer into points (one per readable row, prices divided by the divisor),
// at most kMaxChartPoints, in the answer's order. False with *error when it cannot be read.
bool ReadUserHistory(const UserSource& source, std::string_view body, Clock& clock,
                     std::vector<ChartPoint>* points, std::string* error);

// The time of a quote's date and time texts written in the source's style; 0 when the date
// cannot be read.
StockTime UserQuoteTime(const UserSource& source, std::string_view date, std::string_view time,
                        Clock& clock);

}  // namespace quillet
