#include "tools/simulator/sim_user_sources.h"

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace quillet::sim {
namespace {

std::vector<std::string> SplitSymbols(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    if (comma > start) out.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  return out;
}

std::string PathOnly(const std::string& path) { return path.substr(0, path.find('?')); }

std::string Iso(int year, int month, int day) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

// Seconds since 1970 of a local calendar day and time.
long long Unix(int year, int month, int day, int hour, int minute) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_isdst = -1;
  return static_cast<long long>(std::mktime(&t));
}

void LocalDay(long long seconds, int* year, int* month, int* day) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&t, &local);
  *year = local.tm_year + 1900;
  *month = local.tm_mon + 1;
  *day = local.tm_mday;
}

bool ReadIso(const std::string& text, int* year, int* month, int* day) {
  return std::sscanf(text.c_str(), "%d-%d-%d", year, month, day) == 3;
}

// A price text scaled to hundredths when the answer is in pence; "N/A" stays.
std::string Scaled(const std::string& text, bool pence) {
  if (!pence || text == "N/A" || text.empty()) return text;
  return Fixed(std::strtod(text.c_str(), nullptr) * 100, 2);
}

// A JSON number from a price text, or null for "N/A".
std::string JsonNumber(const std::string& text) {
  if (text == "N/A" || text.empty()) return "null";
  std::string out = text;
  if (!out.empty() && out[0] == '+') out.erase(0, 1);
  return out;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

SimAnswer Quotes(const SimRequest& request, const PriceBook& prices, bool json, bool pence) {
  SimAnswer answer;
  answer.lineEnd = "\n";
  const std::vector<std::string> symbols =
      SplitSymbols(PercentDecoded(request.QueryValue(json ? "symbols" : "s")));
  if (json) {
    answer.contentType = "application/json";
    std::string body = "{\"quoteResponse\":{\"result\":[";
    bool first = true;
    for (const std::string& symbol : symbols) {
      auto q = prices.Quote(symbol);
      if (!q) continue;
      if (!first) body += ",";
      first = false;
      body += "{\"symbol\":" + JsonString(q->symbol) +
              ",\"regularMarketPrice\":" + JsonNumber(Scaled(q->last, pence)) +
              ",\"regularMarketChange\":" + JsonNumber(Scaled(q->change, pence)) +
              ",\"regularMarketTime\":" +
              std::to_string(Unix(q->year, q->month, q->day, q->hour, q->minute)) +
              ",\"regularMarketDayLow\":" + JsonNumber(Scaled(q->low, pence)) +
              ",\"regularMarketDayHigh\":" + JsonNumber(Scaled(q->high, pence)) +
              ",\"regularMarketVolume\":" + JsonNumber(q->volume) +
              ",\"regularMarketPreviousClose\":" + JsonNumber(Scaled(q->prevClose, pence)) + "}";
    }
    body += "]},\"error\":null}";
    answer.lines = {body};
    return answer;
  }
  answer.contentType = "text/csv";
  answer.lines.push_back("Symbol,Last,Change,Date,Time,Low,High,Volume,PrevClose");
  for (const std::string& symbol : symbols) {
    auto q = prices.Quote(symbol);
    if (!q) continue;
    char time[8];
    std::snprintf(time, sizeof time, "%02d:%02d", q->hour, q->minute);
    answer.lines.push_back(q->symbol + "," + Scaled(q->last, pence) + "," +
                           Scaled(q->change, pence) + "," + Iso(q->year, q->month, q->day) + "," +
                           time + "," + Scaled(q->low, pence) + "," + Scaled(q->high, pence) + "," +
                           q->volume + "," + Scaled(q->prevClose, pence));
  }
  return answer;
}

SimAnswer History(const SimRequest& request, const PriceBook& prices, bool json, bool pence) {
  SimAnswer answer;
  answer.lineEnd = "\n";
  int fromY = 0, fromM = 0, fromD = 0, toY = 0, toM = 0, toD = 0;
  const std::string from = PercentDecoded(request.QueryValue("from"));
  const std::string to = PercentDecoded(request.QueryValue("to"));
  bool read = json ? true : ReadIso(from, &fromY, &fromM, &fromD) && ReadIso(to, &toY, &toM, &toD);
  if (json) {
    LocalDay(std::atoll(from.c_str()), &fromY, &fromM, &fromD);
    LocalDay(std::atoll(to.c_str()), &toY, &toM, &toD);
  }
  if (!read) {
    answer.status = 400;
    answer.reason = "Bad Request";
    answer.lines = {"from and to must be YYYY-MM-DD"};
    return answer;
  }
  const std::string symbol = PercentDecoded(request.QueryValue(json ? "symbol" : "s"));
  const auto days = prices.History(symbol, fromY, fromM, fromD, toY, toM, toD);
  const double scale = pence ? 100 : 1;
  if (json) {
    answer.contentType = "application/json";
    std::string body = "{\"symbol\":" + JsonString(symbol) + ",\"prices\":[";
    for (std::size_t i = 0; i < days.size(); ++i) {
      const SimHistoryDay& d = days[i];
      if (i > 0) body += ",";
      body += "{\"date\":" + std::to_string(Unix(d.year, d.month, d.day, 0, 0)) +
              ",\"close\":" + Fixed(d.close * scale, 2) + ",\"low\":" + Fixed(d.low * scale, 2) +
              ",\"high\":" + Fixed(d.high * scale, 2) + ",\"volume\":" + std::to_string(d.volume) +
              "}";
    }
    answer.lines = {body + "]}"};
    return answer;
  }
  answer.contentType = "text/csv";
  answer.lines.push_back("Date,Open,High,Low,Close,Volume");
  for (const SimHistoryDay& d : days) {
    answer.lines.push_back(Iso(d.year, d.month, d.day) + "," + Fixed(d.open * scale, 2) + "," +
                           Fixed(d.high * scale, 2) + "," + Fixed(d.low * scale, 2) + "," +
                           Fixed(d.close * scale, 2) + "," + std::to_string(d.volume));
  }
  return answer;
}

}  // namespace

std::string PercentDecoded(std::string_view text) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() + 0 && hex(text[i + 1]) >= 0 &&
        hex(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

bool IsUserSourcePath(std::string_view path) { return path.substr(0, 6) == "/user/"; }

SimAnswer UserSourceAnswer(const SimRequest& request, const PriceBook& prices) {
  const std::string path = PathOnly(request.path);
  const bool pence = request.QueryValue("pence") == "1";
  SimAnswer answer;
  if (path == "/user/csv" || path == "/user/json") {
    answer = Quotes(request, prices, path == "/user/json", pence);
  } else if (path == "/user/csv/history" || path == "/user/json/history") {
    answer = History(request, prices, path == "/user/json/history", pence);
  } else if (path == "/user/redirect") {
    answer.status = 302;
    answer.reason = "Found";
    answer.headers.push_back("Location: " + PercentDecoded(request.QueryValue("to")));
    answer.lines = {"moved"};
  } else {
    answer.status = 404;
    answer.reason = "Not Found";
    answer.lines = {"no such user source path"};
  }
  answer.chunked = request.QueryValue("chunked") == "1";
  return answer;
}

}  // namespace quillet::sim
