// How the simulator answers: a request is routed to a quote source by its path (the sources' own
// path prefixes from the source table), and the handler registered for that source writes the
// answer in the source's format. New formats are new SourceHandler classes (or TemplateHandler
// texts) registered under their source numbers; the server itself does not change.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/simulator/sim_prices.h"

namespace quillet::sim {

struct SimRequest {
  std::string raw;  // the request head exactly as received
  std::string method, target, version;
  std::string path;                  // the target without a proxy's "http://host:port"
  std::string host;                  // the Host header
  int source = -1;                   // the quote source the path belongs to, -1 when none
  std::string symbolText;            // between the source's path prefix and its query suffix
  std::vector<std::string> symbols;  // symbolText split at the source's separator
  // The value of key=value in the query string, or "" when absent.
  std::string QueryValue(std::string_view key) const;
};

struct SimAnswer {
  int status = 200;
  std::string reason = "OK";
  std::string contentType = "text/plain";
  std::vector<std::string> lines;  // body lines, each followed by lineEnd
  std::string lineEnd = "\r\n";
  bool keepOpen = false;             // the server keeps the connection open after the body
  std::vector<std::string> headers;  // more header lines ("Location: /x")
  bool chunked = false;              // HTTP/1.1 with the body in chunks instead of a Content-Length
};

class SourceHandler {
 public:
  virtual ~SourceHandler() = default;
  virtual SimAnswer Answer(const SimRequest& request, const PriceBook& prices) const = 0;
};

// Parses the request line and headers; false when the head is not an HTTP request.
bool ParseRequestHead(std::string_view raw, SimRequest* request);
// The source whose path prefix starts the path (the longest match; the lowest number among
// sources sharing a prefix), or -1.
int SourceOfPath(std::string_view path);
// Fills source, symbolText and symbols from the path.
void RouteRequest(SimRequest* request);

class HandlerTable {
 public:
  void Register(int source, std::shared_ptr<const SourceHandler> handler);
  const SourceHandler* Find(int source) const;
  // Routes and answers; 404 when no source or no handler matches.
  SimAnswer Answer(SimRequest& request, const PriceBook& prices) const;

 private:
  std::map<int, std::shared_ptr<const SourceHandler>> handlers_;
};

// The CSV quote service and its look-alikes. Each source writes the same twelve values with its
// own quoting, date and time form and line ends.
struct CsvFormat {
  bool quoted = true;       // symbol, date, time and range in double quotes
  bool splitRange = false;  // year low and high as two fields instead of "low - high"
  int dateStyle = 2;        // 1 d.m.yyyy, 2 m/d/yyyy
  bool twelveHour = true;   // "4:01pm" rather than "16:01"
  std::string linePrefix;   // written before each line
  std::string lineEnd = "\r\n";
  bool keepOpen = false;
};

class CsvQuoteHandler final : public SourceHandler {
 public:
  explicit CsvQuoteHandler(CsvFormat format) : format_(std::move(format)) {}
  SimAnswer Answer(const SimRequest& request, const PriceBook& prices) const override;
  std::string QuoteLine(const SimQuote& quote) const;
  std::string UnknownLine(std::string_view symbol) const;

 private:
  CsvFormat format_;
};

// The price-history host: "Date,Open,High,Low,Close,Volume" or "Date,Close", newest day first,
// and "No data" for an unknown symbol.
class HistoryHandler final : public SourceHandler {
 public:
  explicit HistoryHandler(bool shortLayout) : shortLayout_(shortLayout) {}
  SimAnswer Answer(const SimRequest& request, const PriceBook& prices) const override;

 private:
  bool shortLayout_;
};

// The value of a placeholder of a quote's own fields ("last", "date_dmy", "time12", ...), or
// nullopt for a name it does not know.
std::optional<std::string> QuoteValue(std::string_view name, const SimQuote& quote);
// Replaces every "{{name}}" of text by valueOf(name); a name it does not know stays as written.
std::string FillPlaceholders(
    std::string_view text,
    const std::function<std::optional<std::string>(std::string_view)>& valueOf);

// A page written from texts with placeholders: `head` once, `row` once per requested symbol,
// `tail` once. Placeholders: {{symbol}} {{last}} {{change}} {{low}} {{high}} {{prevclose}}
// {{volume}} {{bid}} {{ask}} {{yearlow}} {{yearhigh}} {{date_dmy}} (2.5.2003) {{date_mdy}}
// (5/2/2003) {{date_dmony}} (2-May-03) {{time24}} (16:01) {{time12}} (4:01pm). An unknown symbol
// fills every value with N/A, or uses `unknownRow` when one is given.
class TemplateHandler final : public SourceHandler {
 public:
  TemplateHandler(std::string head, std::string row, std::string tail, std::string unknownRow = {},
                  std::string contentType = "text/html");
  SimAnswer Answer(const SimRequest& request, const PriceBook& prices) const override;
  static std::string Fill(std::string_view text, const SimQuote& quote);

 private:
  std::string head_, row_, tail_, unknownRow_, contentType_;
};

struct HandlerOptions {
  bool shortHistory = false;
};

// CSV formats for sources 0, 1, 4, 7, 9, 11 and 13, the history host (10), and the page, list and
// XML answers of the other sources (RegisterPageHandlers).
HandlerTable DefaultHandlers(const HandlerOptions& options);

}  // namespace quillet::sim
