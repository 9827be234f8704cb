#include "tools/simulator/sim_handlers.h"

#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>

#include "core/quote_tables.h"
#include "platform/ascii.h"
#include "tools/simulator/sim_pages.h"
#include "tools/simulator/sim_user_sources.h"

namespace quillet::sim {

namespace {

constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string DateDmy(const SimQuote& q) {
  return std::to_string(q.day) + "." + std::to_string(q.month) + "." + std::to_string(q.year);
}
std::string DateMdy(int year, int month, int day) {
  return std::to_string(month) + "/" + std::to_string(day) + "/" + std::to_string(year);
}
std::string DateDmony(int year, int month, int day) {
  char text[32];
  std::snprintf(text, sizeof text, "%d-%s-%02d", day, kMonthNames[(month - 1) % 12], year % 100);
  return text;
}
std::string Time24(const SimQuote& q) {
  char text[16];
  std::snprintf(text, sizeof text, "%d:%02d", q.hour, q.minute);
  return text;
}
std::string Time12(const SimQuote& q) {
  int hour = q.hour % 12 == 0 ? 12 : q.hour % 12;
  char text[16];
  std::snprintf(text, sizeof text, "%d:%02d%s", hour, q.minute, q.hour < 12 ? "am" : "pm");
  return text;
}

// The prefix a path must start with to belong to a source: the path prefix, or for a format
// string (the history host) the part before its first '%'.
std::string_view RoutePrefix(const QuoteSource& source) {
  std::string_view prefix(source.szPathPrefix);
  return prefix.substr(0, prefix.find('%'));
}

// Today's date from the price book's clock, for requests that leave the end date out.
void Today(const PriceBook& prices, int* year, int* month, int* day) {
  std::time_t t = static_cast<std::time_t>(prices.now());
  std::tm tm{};
  localtime_r(&t, &tm);
  *year = tm.tm_year + 1900;
  *month = tm.tm_mon + 1;
  *day = tm.tm_mday;
}

int NumberOr(const std::string& text, int fallback) {
  if (text.empty()) return fallback;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || v < -100000 || v > 100000) return fallback;
  return static_cast<int>(v);
}

}  // namespace

std::string SimRequest::QueryValue(std::string_view key) const {
  std::size_t q = path.find('?');
  if (q == std::string::npos) return {};
  std::string_view query = std::string_view(path).substr(q + 1);
  while (!query.empty()) {
    std::size_t amp = query.find('&');
    std::string_view pair = query.substr(0, amp);
    std::size_t eq = pair.find('=');
    if (pair.substr(0, eq) == key) {
      return eq == std::string_view::npos ? std::string() : std::string(pair.substr(eq + 1));
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return {};
}

bool ParseRequestHead(std::string_view raw, SimRequest* request) {
  request->raw = std::string(raw);
  std::size_t lineEnd = raw.find('\n');
  std::string_view first = raw.substr(0, lineEnd);
  if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
  std::size_t a = first.find(' ');
  std::size_t b = a == std::string_view::npos ? a : first.find(' ', a + 1);
  if (a == std::string_view::npos || b == std::string_view::npos) return false;
  request->method = std::string(first.substr(0, a));
  request->target = std::string(first.substr(a + 1, b - a - 1));
  request->version = std::string(first.substr(b + 1));
  std::string_view target = request->target;
  // A proxy receives the absolute form; strip it to the path.
  if (target.substr(0, 7) == "http://") {
    std::size_t slash = target.find('/', 7);
    target = slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
  }
  request->path = std::string(target);
  std::string_view rest =
      lineEnd == std::string_view::npos ? std::string_view() : raw.substr(lineEnd + 1);
  while (!rest.empty()) {
    std::size_t end = rest.find('\n');
    std::string_view header = rest.substr(0, end);
    if (!header.empty() && header.back() == '\r') header.remove_suffix(1);
    std::size_t colon = header.find(':');
    if (colon != std::string_view::npos && ToUpperAscii(header.substr(0, colon)) == "HOST") {
      std::string_view value = header.substr(colon + 1);
      while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
      request->host = std::string(value);
    }
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return request->method == "GET" && !request->path.empty() && request->path.front() == '/';
}

int SourceOfPath(std::string_view path) {
  int best = -1;
  std::size_t bestLength = 0;
  auto sources = QuoteSources();
  for (std::size_t i = 0; i < sources.size(); ++i) {
    std::string_view prefix = RoutePrefix(sources[i]);
    if (prefix.size() > bestLength && path.substr(0, prefix.size()) == prefix) {
      best = static_cast<int>(i);
      bestLength = prefix.size();
    }
  }
  return best;
}

void RouteRequest(SimRequest* request) {
  request->source = SourceOfPath(request->path);
  request->symbols.clear();
  request->symbolText.clear();
  const QuoteSource* source = GetQuoteSource(request->source);
  if (source == nullptr) return;
  std::string_view text = std::string_view(request->path).substr(RoutePrefix(*source).size());
  std::string_view suffix(source->szQuerySuffix);
  if (!suffix.empty()) {
    if (std::size_t at = text.rfind(suffix); at != std::string_view::npos)
      text = text.substr(0, at);
  }
  request->symbolText = std::string(text);
  char separator = source->cSeparator;
  while (!text.empty()) {
    std::size_t cut = text.find(separator);
    if (std::string_view symbol = text.substr(0, cut); !symbol.empty()) {
      request->symbols.emplace_back(symbol);
    }
    if (cut == std::string_view::npos) break;
    text.remove_prefix(cut + 1);
  }
}

void HandlerTable::Register(int source, std::shared_ptr<const SourceHandler> handler) {
  handlers_[source] = std::move(handler);
}

const SourceHandler* HandlerTable::Find(int source) const {
  auto it = handlers_.find(source);
  return it == handlers_.end() ? nullptr : it->second.get();
}

SimAnswer HandlerTable::Answer(SimRequest& request, const PriceBook& prices) const {
  if (IsUserSourcePath(request.path)) return UserSourceAnswer(request, prices);
  RouteRequest(&request);
  if (const SourceHandler* handler = Find(request.source)) return handler->Answer(request, prices);
  SimAnswer answer;
  answer.status = 404;
  answer.reason = "Not Found";
  answer.contentType = "text/html";
  answer.lines = {"<HTML><BODY>Not Found</BODY></HTML>"};
  return answer;
}

std::string CsvQuoteHandler::QuoteLine(const SimQuote& q) const {
  auto text = [&](const std::string& value) {
    return format_.quoted ? "\"" + value + "\"" : value;
  };
  std::string date = !q.dateText.empty()      ? q.dateText
                     : format_.dateStyle == 1 ? DateDmy(q)
                                              : DateMdy(q.year, q.month, q.day);
  std::string time = !q.timeText.empty() ? q.timeText : format_.twelveHour ? Time12(q) : Time24(q);
  std::string line = format_.linePrefix + text(q.symbol) + "," + q.last + "," + text(date) + "," +
                     text(time) + "," + q.change + "," + q.low + "," + q.high + "," + q.prevClose +
                     "," + q.volume + "," + q.bid + "," + q.ask + ",";
  if (format_.splitRange) {
    line += q.yearLow + "," + q.yearHigh;
  } else if (q.yearLow == "N/A" && q.yearHigh == "N/A") {
    line += text("N/A");
  } else {
    line += text(q.yearLow + " - " + q.yearHigh);
  }
  return line;
}

std::string CsvQuoteHandler::UnknownLine(std::string_view symbol) const {
  SimQuote q;
  q.symbol = std::string(symbol);
  q.last = q.change = q.low = q.high = q.prevClose = q.volume = q.bid = q.ask = q.yearLow =
      q.yearHigh = q.dateText = q.timeText = "N/A";
  return QuoteLine(q);
}

SimAnswer CsvQuoteHandler::Answer(const SimRequest& request, const PriceBook& prices) const {
  SimAnswer answer;
  answer.lineEnd = format_.lineEnd;
  answer.keepOpen = format_.keepOpen;
  for (const std::string& symbol : request.symbols) {
    auto quote = prices.Quote(symbol);
    answer.lines.push_back(quote ? QuoteLine(*quote) : UnknownLine(symbol));
  }
  return answer;
}

SimAnswer HistoryHandler::Answer(const SimRequest& request, const PriceBook& prices) const {
  int year, month, day;
  Today(prices, &year, &month, &day);
  // Months in the query count from 0.
  int fromMonth = NumberOr(request.QueryValue("a"), month - 1) + 1;
  int fromDay = NumberOr(request.QueryValue("b"), day);
  int fromYear = NumberOr(request.QueryValue("c"), year - 1);
  int toMonth = NumberOr(request.QueryValue("d"), month - 1) + 1;
  int toDay = NumberOr(request.QueryValue("e"), day);
  int toYear = NumberOr(request.QueryValue("f"), year);
  std::string symbol = request.QueryValue("s");

  SimAnswer answer;
  answer.lineEnd = "\n";
  answer.lines.push_back(shortLayout_ ? "Date,Close" : "Date,Open,High,Low,Close,Volume");
  auto days = prices.History(symbol, fromYear, fromMonth, fromDay, toYear, toMonth, toDay);
  if (days.empty()) {
    answer.lines.push_back("No data available for " + symbol);
    return answer;
  }
  for (const SimHistoryDay& d : days) {
    std::string line = DateDmony(d.year, d.month, d.day) + ",";
    if (shortLayout_) {
      line += Fixed(d.close, 2);
    } else {
      line += Fixed(d.open, 2) + "," + Fixed(d.high, 2) + "," + Fixed(d.low, 2) + "," +
              Fixed(d.close, 2) + "," + std::to_string(d.volume);
    }
    answer.lines.push_back(line);
  }
  return answer;
}

TemplateHandler::TemplateHandler(std::string head, std::string row, std::string tail,
                                 std::string unknownRow, std::string contentType)
    : head_(std::move(head)),
      row_(std::move(row)),
      tail_(std::move(tail)),
      unknownRow_(std::move(unknownRow)),
      contentType_(std::move(contentType)) {}

std::optional<std::string> QuoteValue(std::string_view name, const SimQuote& q) {
  const std::pair<const char*, std::string> values[] = {
      {"symbol", q.symbol},
      {"last", q.last},
      {"change", q.change},
      {"low", q.low},
      {"high", q.high},
      {"prevclose", q.prevClose},
      {"volume", q.volume},
      {"bid", q.bid},
      {"ask", q.ask},
      {"yearlow", q.yearLow},
      {"yearhigh", q.yearHigh},
      {"date_dmy", DateDmy(q)},
      {"date_mdy", DateMdy(q.year, q.month, q.day)},
      {"date_dmony", DateDmony(q.year, q.month, q.day)},
      {"time24", Time24(q)},
      {"time12", Time12(q)},
  };
  for (const auto& [key, value] : values) {
    if (name == key) return value;
  }
  return std::nullopt;
}

std::string FillPlaceholders(
    std::string_view text,
    const std::function<std::optional<std::string>(std::string_view)>& valueOf) {
  std::string out;
  while (!text.empty()) {
    std::size_t open = text.find("{{");
    std::size_t close = open == std::string_view::npos ? open : text.find("}}", open + 2);
    if (close == std::string_view::npos) {
      out += text;
      break;
    }
    out += text.substr(0, open);
    if (auto value = valueOf(text.substr(open + 2, close - open - 2))) {
      out += *value;
    } else {
      out += text.substr(open, close + 2 - open);  // left as written
    }
    text.remove_prefix(close + 2);
  }
  return out;
}

std::string TemplateHandler::Fill(std::string_view text, const SimQuote& q) {
  return FillPlaceholders(text, [&](std::string_view name) { return QuoteValue(name, q); });
}

SimAnswer TemplateHandler::Answer(const SimRequest& request, const PriceBook& prices) const {
  std::string body = head_;
  for (const std::string& symbol : request.symbols) {
    if (auto quote = prices.Quote(symbol)) {
      body += Fill(row_, *quote);
    } else {
      SimQuote q;
      q.symbol = symbol;
      q.last = q.change = q.low = q.high = q.prevClose = q.volume = q.bid = q.ask = q.yearLow =
          q.yearHigh = "N/A";
      body += Fill(unknownRow_.empty() ? row_ : unknownRow_, q);
    }
  }
  body += tail_;
  SimAnswer answer;
  answer.contentType = contentType_;
  // Templates carry their own line ends; split so the server's line faults still apply.
  answer.lineEnd = "\n";
  std::string_view rest = body;
  while (!rest.empty()) {
    std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    answer.lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return answer;
}

HandlerTable DefaultHandlers(const HandlerOptions& options) {
  HandlerTable table;
  CsvFormat service;  // the CSV quote service: quoted texts, m/d/yyyy, 4:01pm
  auto csv = std::make_shared<CsvQuoteHandler>(service);
  table.Register(0, csv);
  table.Register(1, csv);
  table.Register(7, csv);

  CsvFormat fund;  // a fund page for handhelds: plain fields, d.m.yyyy
  fund.quoted = false;
  fund.dateStyle = 1;
  fund.twelveHour = false;
  table.Register(4, std::make_shared<CsvQuoteHandler>(fund));

  CsvFormat athens;  // ends its lines with LF CR, so each symbol begins with a CR
  athens.quoted = false;
  athens.linePrefix = "\r";
  athens.lineEnd = "\n";
  table.Register(9, std::make_shared<CsvQuoteHandler>(athens));

  CsvFormat jakarta = fund;  // year low and high as two fields; keeps the connection open
  jakarta.splitRange = true;
  jakarta.keepOpen = true;
  table.Register(11, std::make_shared<CsvQuoteHandler>(jakarta));

  CsvFormat istanbul = fund;  // keeps the connection open
  istanbul.keepOpen = true;
  table.Register(13, std::make_shared<CsvQuoteHandler>(istanbul));

  table.Register(kSourceHistory, std::make_shared<HistoryHandler>(options.shortHistory));
  RegisterPageHandlers(table);
  return table;
}

}  // namespace quillet::sim
