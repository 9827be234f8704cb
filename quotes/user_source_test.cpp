// The user's source definitions and the readers of their answers, on definitions and answers
// written by hand the way today's CSV and JSON quote services write them.
#include "quotes/user_source.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using testing::ScopedTimeZone;

SourceFields CsvFields() {
  return {{"quote_url", "https://quotes.example/q?s={symbols}&f=csv"},
          {"format", "csv"},
          {"header", "yes"},
          {"symbol", "1"},
          {"last", "2"},
          {"change", "3"},
          {"date", "4"},
          {"time", "5"},
          {"low", "6"},
          {"high", "7"},
          {"volume", "8"},
          {"prev_close", "9"}};
}

SourceFields JsonFields() {
  return {{"quote_url", "https://api.example/v7/quote?symbols={symbols}"},
          {"format", "json"},
          {"list", "quoteResponse.result"},
          {"date_style", "unix"},
          {"symbol", "symbol"},
          {"last", "regularMarketPrice"},
          {"change", "regularMarketChange"},
          {"date", "regularMarketTime"},
          {"volume", "regularMarketVolume"}};
}

UserSource Parsed(const SourceFields& fields, const char* name = "mine") {
  std::string error;
  auto source = ParseUserSource(name, fields, &error);
  EXPECT_TRUE(source) << error;
  return source.value_or(UserSource{});
}

std::string Refusal(SourceFields fields, const char* name = "mine") {
  std::string error;
  EXPECT_FALSE(ParseUserSource(name, fields, &error));
  return error;
}

TEST(UserSourceDefinition, ReadsEveryFieldAndWritesThemBackTheSame) {
  SourceFields fields = CsvFields();
  fields["separator"] = "%2C";
  fields["batch"] = "40";
  fields["divisor"] = "100";
  fields["delimiter"] = ";";
  fields["date_style"] = "dmy";
  fields["history_url"] = "https://quotes.example/h/{symbol}?a={from}&b={to}";
  fields["history_dates"] = "dd.mm.yyyy";
  fields["history_date"] = "1";
  fields["history_close"] = "5";
  UserSource s = Parsed(fields);
  EXPECT_EQ(s.separator, "%2C");
  EXPECT_EQ(s.batchSize, 40);
  EXPECT_EQ(s.divisor, 100);
  EXPECT_EQ(s.delimiter, ';');
  EXPECT_TRUE(s.skipHeader);
  EXPECT_EQ(s.dateStyle, AnswerDateStyle::kDmy);
  EXPECT_EQ(s.historyDates, UrlDateForm::kDmyDots);
  EXPECT_EQ(s.fields[kFieldPrevClose], "9");
  // What is stored reads back as the same definition.
  UserSource again = Parsed(UserSourceFields(s));
  EXPECT_EQ(UserSourceFields(again), UserSourceFields(s));
  EXPECT_EQ(again.historyUrl, s.historyUrl);
}

TEST(UserSourceDefinition, DefaultsAreThoseOfACommaSeparatedBatchOfTwenty) {
  UserSource s = Parsed(JsonFields());
  EXPECT_EQ(s.separator, ",");
  EXPECT_EQ(s.batchSize, 20);
  EXPECT_EQ(s.divisor, 1);
  EXPECT_EQ(s.format, AnswerFormat::kJson);
  EXPECT_TRUE(s.historyUrl.empty());
}

TEST(UserSourceDefinition, ARefusalNamesTheField) {
  auto without = [](SourceFields f, const char* key) {
    f.erase(key);
    return f;
  };
  auto with = [](SourceFields f, const char* key, const char* value) {
    f[key] = value;
    return f;
  };
  const SourceFields csv = CsvFields();
  EXPECT_EQ(Refusal(without(csv, "quote_url")), "quote_url: is missing");
  EXPECT_EQ(Refusal(with(csv, "quote_url", "ftp://x/{symbols}")).rfind("quote_url:", 0), 0u);
  EXPECT_EQ(Refusal(with(csv, "quote_url", "file:///etc/passwd?{symbols}")).rfind("quote_url:", 0),
            0u);
  EXPECT_EQ(Refusal(with(csv, "quote_url", "https://x/q?s=IBM")),
            "quote_url: must contain {symbols}");
  EXPECT_EQ(Refusal(with(csv, "quote_url", "https:///q?{symbols}")), "quote_url: has no host");
  EXPECT_EQ(
      Refusal(with(csv, "quote_url", "https://x/q?s={symbols} HTTP/1.1")).rfind("quote_url:", 0),
      0u);
  EXPECT_EQ(Refusal(with(csv, "format", "xml")), "format: must be csv or json");
  EXPECT_EQ(Refusal(without(csv, "format")).rfind("format:", 0), 0u);
  EXPECT_EQ(Refusal(with(csv, "batch", "0")).rfind("batch:", 0), 0u);
  EXPECT_EQ(Refusal(with(csv, "batch", "151")).rfind("batch:", 0), 0u);
  EXPECT_EQ(Refusal(with(csv, "batch", "ten")).rfind("batch:", 0), 0u);
  EXPECT_EQ(Refusal(with(csv, "last", "0")).rfind("last:", 0), 0u);
  EXPECT_EQ(Refusal(with(csv, "low", "65")).rfind("low:", 0), 0u);
  EXPECT_EQ(Refusal(without(csv, "symbol")), "symbol: is missing");
  EXPECT_EQ(Refusal(without(csv, "last")), "last: is missing");
  EXPECT_EQ(Refusal(with(csv, "divisor", "0")).rfind("divisor:", 0), 0u);
  EXPECT_EQ(Refusal(with(csv, "divisor", "-100")).rfind("divisor:", 0), 0u);
  EXPECT_EQ(Refusal(with(csv, "header", "maybe")), "header: must be yes or no");
  EXPECT_EQ(Refusal(with(csv, "separator", "")).rfind("separator:", 0), 0u);
  EXPECT_EQ(Refusal(with(csv, "date_style", "ddmmyy")).rfind("date_style:", 0), 0u);
  EXPECT_EQ(Refusal(with(csv, "lsat", "2")), "lsat: is not a field of a source definition");
  EXPECT_EQ(Refusal(csv, "bad name").rfind("name:", 0), 0u);
  EXPECT_EQ(Refusal(csv, "").rfind("name:", 0), 0u);
  EXPECT_EQ(Refusal(csv, "a/../b").rfind("name:", 0), 0u);
  // History: the URL needs all three places and the two fields a day needs.
  SourceFields h = with(csv, "history_url", "https://x/h?s={symbol}&from={from}");
  h["history_date"] = "1";
  h["history_close"] = "5";
  EXPECT_EQ(Refusal(h), "history_url: must contain {to}");
  h["history_url"] = "https://x/h?s={symbol}&from={from}&to={to}";
  EXPECT_EQ(Refusal(without(h, "history_close")), "history_close: is missing");
  EXPECT_EQ(Refusal(with(h, "history_dates", "julian")).rfind("history_dates:", 0), 0u);
  // JSON paths may not have empty names.
  const SourceFields json = JsonFields();
  EXPECT_EQ(Refusal(with(json, "last", "a..b")).rfind("last:", 0), 0u);
  EXPECT_EQ(Refusal(with(json, "list", ".result")).rfind("list:", 0), 0u);
}

TEST(UserSourceUrls, SymbolsAreEncodedAndJoinedWithTheSeparator) {
  SourceFields f = CsvFields();
  f["separator"] = "+";
  UserSource s = Parsed(f);
  EXPECT_EQ(QuoteUrlFor(s, {"IBM", "^GSPC", "EURUSD=X", "BRK B"}),
            "https://quotes.example/q?s=IBM+%5EGSPC+EURUSD%3DX+BRK%20B&f=csv");
  // A symbol cannot smuggle a parameter or a path into the request.
  EXPECT_EQ(QuoteUrlFor(s, {"A&f=x/../y"}), "https://quotes.example/q?s=A%26f%3Dx%2F..%2Fy&f=csv");
}

TEST(UserSourceUrls, HistoryDatesInEachForm) {
  ScopedTimeZone tz("UTC");
  SourceFields f = CsvFields();
  f["history_url"] = "https://x/h/{symbol}?from={from}&to={to}";
  f["history_date"] = "1";
  f["history_close"] = "5";
  const StockTime from = 1041379200;  // 2003-01-01 00:00 UTC
  const StockTime to = 1051891200;    // 2003-05-02 16:00 UTC
  const std::pair<const char*, const char*> forms[] = {
      {"yyyy-mm-dd", "from=2003-01-01&to=2003-05-02"},
      {"yyyymmdd", "from=20030101&to=20030502"},
      {"dd.mm.yyyy", "from=01.01.2003&to=02.05.2003"},
      {"mm/dd/yyyy", "from=01/01/2003&to=05/02/2003"},
      {"unix", "from=1041379200&to=1051891200"},
  };
  for (const auto& [form, query] : forms) {
    f["history_dates"] = form;
    EXPECT_EQ(HistoryUrlFor(Parsed(f), "VOD.L", from, to),
              std::string("https://x/h/VOD.L?") + query)
        << form;
  }
}

TEST(UserSourceCsv, ReadsTheColumnsOfAHandWrittenAnswer) {
  ScopedTimeZone tz("UTC");
  UserSource s = Parsed(CsvFields());
  const std::string body =
      "Symbol,Last,Change,Date,Time,Low,High,Volume,PrevClose\r\n"
      "IBM,81.50,+1.25,2003-05-02,16:00,80.10,82.00,5772432,80.25\r\n"
      "\"BRK,B\",\"3,100.5\",-2,2003-05-02,15:59,3000,3200,100,3102.5\r\n"
      "\r\n"
      ",1,2,3\r\n"     // no symbol: not a quote
      "MSFT,41.75\n";  // short line, LF only, no final newline
  QuoteResultList results;
  std::string error;
  ASSERT_TRUE(ReadUserQuotes(s, body, &results, &error)) << error;
  ASSERT_EQ(results.size(), 3u);
  const QuoteResult& ibm = *results[0];
  EXPECT_STREQ(ibm.szSymbol, "IBM");
  EXPECT_STREQ(ibm.szLast, "81.50");
  EXPECT_STREQ(ibm.szChange, "+1.25");
  EXPECT_STREQ(ibm.szDate, "2003-05-02");
  EXPECT_STREQ(ibm.szTime, "16:00");
  EXPECT_STREQ(ibm.szLow, "80.10");
  EXPECT_STREQ(ibm.szHigh, "82.00");
  EXPECT_STREQ(ibm.szVolume, "5772432");
  EXPECT_STREQ(ibm.szPrevClose, "80.25");
  EXPECT_STREQ(results[1]->szSymbol, "BRK,B");
  EXPECT_STREQ(results[1]->szLast, "3,100.5");
  EXPECT_STREQ(results[2]->szLast, "41.75");
  EXPECT_STREQ(results[2]->szChange, "");
  EXPECT_EQ(UserQuoteTime(s, ibm.szDate, ibm.szTime, *std::make_unique<ManualClock>(0)),
            1051891200u);
}

TEST(UserSourceCsv, WithoutAHeaderTheFirstLineIsAQuoteAndOverlongTextsAreCut) {
  SourceFields f = CsvFields();
  f["header"] = "no";
  f["delimiter"] = "tab";
  UserSource s = Parsed(f);
  QuoteResultList results;
  std::string error;
  ASSERT_TRUE(
      ReadUserQuotes(s, "AVERYLONGSYMBOLNAMEOFTHIRTYCHARS\t123456789012345\n", &results, &error));
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(std::string(results[0]->szSymbol).size(), sizeof results[0]->szSymbol - 1);
  EXPECT_EQ(std::string(results[0]->szLast), "12345678901");
  // A symbol that a NUL byte ends before its first character is no symbol.
  results.clear();
  ASSERT_TRUE(ReadUserQuotes(s, std::string("\0IBM\t12\nMSFT\0X\t3\n", 17), &results, &error));
  ASSERT_EQ(results.size(), 1u);
  EXPECT_STREQ(results[0]->szSymbol, "MSFT");
  // An empty answer is a failure, not an update with no prices.
  results.clear();
  EXPECT_FALSE(ReadUserQuotes(s, "", &results, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(ReadUserQuotes(s, "\r\n \n", &results, &error));
  // A header alone is an answer that holds no quote.
  s.skipHeader = true;
  EXPECT_TRUE(ReadUserQuotes(s, "Symbol\tLast\r\n", &results, &error));
  EXPECT_TRUE(results.empty());
}

TEST(UserSourceCsv, TheDivisorBringsPenceToPoundsAndLeavesNonNumbersAlone) {
  SourceFields f = CsvFields();
  f["divisor"] = "100";
  UserSource s = Parsed(f);
  QuoteResultList results;
  std::string error;
  ASSERT_TRUE(ReadUserQuotes(s, "h\nVOD.L,12050,-150,2003-05-02,16:00,11900,N/A,5000,12200\n",
                             &results, &error));
  ASSERT_EQ(results.size(), 1u);
  EXPECT_STREQ(results[0]->szLast, "120.5");
  EXPECT_STREQ(results[0]->szChange, "-1.5");
  EXPECT_STREQ(results[0]->szLow, "119");
  EXPECT_STREQ(results[0]->szHigh, "N/A");
  EXPECT_STREQ(results[0]->szVolume, "5000");  // a count, never divided
  EXPECT_STREQ(results[0]->szPrevClose, "122");
}

TEST(UserSourceJson, ReadsNumbersStringsAndNullsAtTheirPaths) {
  UserSource s = Parsed(JsonFields());
  const std::string body = R"({"quoteResponse":{"result":[
      {"symbol":"IBM","regularMarketPrice":81.5,"regularMarketChange":-0.25,
       "regularMarketTime":1051891200,"regularMarketVolume":5772432},
      {"symbol":"MSFT","regularMarketPrice":"41.75","regularMarketChange":null},
      {"symbol":"TINY","regularMarketPrice":1.5e-05},
      {"regularMarketPrice":9},
      {"symbol":{"nested":"object"},"regularMarketPrice":1}
    ],"error":null}})";
  QuoteResultList results;
  std::string error;
  ASSERT_TRUE(ReadUserQuotes(s, body, &results, &error)) << error;
  ASSERT_EQ(results.size(), 3u);
  EXPECT_STREQ(results[0]->szSymbol, "IBM");
  EXPECT_STREQ(results[0]->szLast, "81.5");
  EXPECT_STREQ(results[0]->szChange, "-0.25");
  EXPECT_STREQ(results[0]->szDate, "1051891200");
  EXPECT_STREQ(results[0]->szVolume, "5772432");
  EXPECT_STREQ(results[1]->szLast, "41.75");
  EXPECT_STREQ(results[1]->szChange, "");
  EXPECT_STREQ(results[2]->szLast, "0.000015");
  ManualClock clock(0);
  EXPECT_EQ(UserQuoteTime(s, results[0]->szDate, "", clock), 1051891200u);
  // Milliseconds, as some services send, are read as the same instant.
  EXPECT_EQ(UserQuoteTime(s, "1051891200000", "", clock), 1051891200u);
}

TEST(UserSourceJson, ListsByIndexAndTheAnswerItselfAsTheList) {
  SourceFields f = JsonFields();
  f["list"] = "data.0.quotes";
  f["last"] = "price.last";
  UserSource s = Parsed(f);
  QuoteResultList results;
  std::string error;
  ASSERT_TRUE(
      ReadUserQuotes(s, R"({"data":[{"quotes":[{"symbol":"SAP.DE","price":{"last":"62.10"}}]}]})",
                     &results, &error))
      << error;
  ASSERT_EQ(results.size(), 1u);
  EXPECT_STREQ(results[0]->szLast, "62.10");
  f.erase("list");
  s = Parsed(f);
  results.clear();
  ASSERT_TRUE(ReadUserQuotes(s, R"([{"symbol":"A","price":{"last":2}}])", &results, &error));
  EXPECT_STREQ(results[0]->szLast, "2");
}

TEST(UserSourceJson, AnswersThatCannotBeReadSayWhy) {
  UserSource s = Parsed(JsonFields());
  QuoteResultList results;
  std::string error;
  EXPECT_FALSE(ReadUserQuotes(s, "<html>Too Many Requests</html>", &results, &error));
  EXPECT_EQ(error, "the answer is not JSON");
  EXPECT_FALSE(ReadUserQuotes(s, R"({"quoteResponse":{"result":null}})", &results, &error));
  EXPECT_EQ(error, "the answer has no list at 'quoteResponse.result'");
  EXPECT_FALSE(ReadUserQuotes(s, R"({"finance":{"error":"gone"}})", &results, &error));
  EXPECT_EQ(error, "the answer has nothing at 'quoteResponse.result'");
  EXPECT_FALSE(ReadUserQuotes(s, R"({"quoteResponse":{"result":[{"symbol":"A")", &results, &error));
  // Nesting a hostile answer could use to exhaust the stack is refused before parsing.
  EXPECT_FALSE(
      ReadUserQuotes(s, std::string(100000, '[') + std::string(100000, ']'), &results, &error));
  EXPECT_EQ(error, "the answer is nested too deeply");
  EXPECT_TRUE(results.empty());
}

TEST(UserSourceJson, AnAnswerWithTooManyQuotesStopsAtTheLimit) {
  UserSource s = Parsed(JsonFields());
  std::string body = R"({"quoteResponse":{"result":[)";
  for (std::size_t i = 0; i < kMaxQuoteResults + 10; ++i) {
    body += (i ? "," : "") + std::string(R"({"symbol":"S)") + std::to_string(i) +
            R"(","regularMarketPrice":1})";
  }
  body += "]}}";
  QuoteResultList results;
  std::string error;
  ASSERT_TRUE(ReadUserQuotes(s, body, &results, &error));
  EXPECT_EQ(results.size(), kMaxQuoteResults);
}

TEST(UserSourceDates, EachStyleAndBadDates) {
  ScopedTimeZone tz("UTC");
  ManualClock clock(1051891200);
  UserSource s = Parsed(CsvFields());
  EXPECT_EQ(UserQuoteTime(s, "2003-05-02", "", clock), 1051833600u);
  EXPECT_EQ(UserQuoteTime(s, "2003-05-02T16:00:00Z", "", clock), 1051891200u);
  EXPECT_EQ(UserQuoteTime(s, "2003-05-02", "4:00pm", clock), 1051891200u);
  s.dateStyle = AnswerDateStyle::kMdy;
  EXPECT_EQ(UserQuoteTime(s, "5/2/03", "", clock), 1051833600u);
  s.dateStyle = AnswerDateStyle::kDmy;
  EXPECT_EQ(UserQuoteTime(s, "02.05.2003", "", clock), 1051833600u);
  EXPECT_EQ(UserQuoteTime(s, "31.02.2003", "", clock), 1046649600u);  // carried as mktime does
  EXPECT_EQ(UserQuoteTime(s, "N/A", "", clock), 0u);
  EXPECT_EQ(UserQuoteTime(s, "02.13.2003", "", clock), 0u);
  EXPECT_EQ(UserQuoteTime(s, "", "", clock), 0u);
  s.dateStyle = AnswerDateStyle::kUnix;
  EXPECT_EQ(UserQuoteTime(s, "-5", "", clock), 0u);
  EXPECT_EQ(UserQuoteTime(s, "99999999999999999", "", clock), 0u);
}

TEST(UserSourceHistory, CsvAndJsonDaysBecomePoints) {
  ScopedTimeZone tz("UTC");
  ManualClock clock(1051891200);
  SourceFields f = CsvFields();
  f["history_url"] = "https://x/h?s={symbol}&from={from}&to={to}";
  f["history_date"] = "1";
  f["history_close"] = "5";
  f["history_low"] = "4";
  f["history_high"] = "3";
  f["history_volume"] = "6";
  f["divisor"] = "100";
  UserSource s = Parsed(f);
  std::vector<ChartPoint> points;
  std::string error;
  ASSERT_TRUE(ReadUserHistory(s,
                              "Date,Open,High,Low,Close,Volume\n"
                              "2003-05-02,100,12100,11900,12050,5000\n"
                              "2003-05-01,100,12000,11800,N/A,4000\n"  // no close: no point
                              "bad,1,1,1,1,1\n"
                              "2003-04-30,100,12000,11800,11950,4000\n",
                              clock, &points, &error))
      << error;
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0].tDate, 1051833600u + 60);
  EXPECT_EQ(points[0].dwPrice, 1205000u);  // 120.50 * 10000
  EXPECT_EQ(points[0].dwLow, 1190000u);
  EXPECT_EQ(points[0].dwHigh, 1210000u);
  EXPECT_EQ(points[0].dwVolume, 5000u);
  EXPECT_EQ(points[1].dwPrice, 1195000u);

  SourceFields j = JsonFields();
  j["history_url"] = "https://x/h?s={symbol}&from={from}&to={to}";
  j["history_list"] = "prices";
  j["history_date"] = "date";
  j["history_close"] = "close";
  UserSource js = Parsed(j);
  points.clear();
  ASSERT_TRUE(ReadUserHistory(js, R"({"prices":[{"date":1051833600,"close":81.5}]})", clock,
                              &points, &error));
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(points[0].dwPrice, 815000u);
  EXPECT_EQ(points[0].dwLow, 0u);
  EXPECT_FALSE(ReadUserHistory(js, R"({"prices":{}})", clock, &points, &error));
}

}  // namespace
}  // namespace quillet
