#include <gtest/gtest.h>

#include <string>

#include "platform/testing/test_support.h"
#include "tools/simulator/sim_handlers.h"
#include "tools/simulator/sim_prices.h"
#include "tools/simulator/sim_server.h"

namespace quillet::sim {
namespace {

constexpr std::int64_t kFriday = 1051891200;  // 2003-05-02 16:00 UTC

SimRequest Request(std::string_view head) {
  SimRequest r;
  EXPECT_TRUE(ParseRequestHead(head, &r)) << head;
  return r;
}

TEST(SimRouting, PathsFindTheirSources) {
  EXPECT_EQ(SourceOfPath("/d/quotes.csv?s=IBM&f=sl1d1t1c1ghpvbaw&e=.csv"), 0);
  EXPECT_EQ(SourceOfPath("/d/quotes.csv?f=sl1d1t1c1ghpvbaw&s=BAY.F"), 1);
  EXPECT_EQ(SourceOfPath("/table.csv?a=0&b=1&c=2003&d=4&e=2&f=2003&g=d&y=0&ignore=.csv&s=X"), 10);
  EXPECT_EQ(SourceOfPath("/palm/stocks.asp?Symbols=A"), 13);
  EXPECT_EQ(SourceOfPath("/opcvm/opcvm_etr.phtml?code=1"), 20);
  EXPECT_EQ(SourceOfPath("/opcvm/opcvm.phtml?code=1"), 21);
  EXPECT_EQ(SourceOfPath("/HttpController?GetPage=QuotesViewPage&DetailedView=DetailedPrices&"
                         "QuoteSymbol_1=X"),
            8);
  EXPECT_EQ(SourceOfPath("/nowhere"), -1);
  EXPECT_EQ(SourceOfPath(""), -1);
}

TEST(SimRouting, SymbolsAndProxyForm) {
  SimRequest r = Request(
      "GET http://us.csvquotes.example:80/d/quotes.csv?s=IBM+EURUSD=X+ZA:ABC&f=sl1d1t1c1ghpvbaw"
      "&e=.csv HTTP/1.0\r\nhost:  us.csvquotes.example\r\n\r\n");
  EXPECT_EQ(r.path.substr(0, 16), "/d/quotes.csv?s=");
  EXPECT_EQ(r.host, "us.csvquotes.example");
  RouteRequest(&r);
  EXPECT_EQ(r.source, 0);
  EXPECT_EQ(r.symbolText, "IBM+EURUSD=X+ZA:ABC");
  EXPECT_EQ(r.symbols, (std::vector<std::string>{"IBM", "EURUSD=X", "ZA:ABC"}));

  SimRequest bar = Request("GET /fcgi-bin/parser?parser=3&symbols=NESN|UBSN|| HTTP/1.0\r\n\r\n");
  RouteRequest(&bar);
  EXPECT_EQ(bar.source, 3);
  EXPECT_EQ(bar.symbols, (std::vector<std::string>{"NESN", "UBSN"}));

  SimRequest history = Request("GET /table.csv?a=0&b=15&c=2002&s=IBM HTTP/1.0\r\n\r\n");
  EXPECT_EQ(history.QueryValue("b"), "15");
  EXPECT_EQ(history.QueryValue("s"), "IBM");
  EXPECT_EQ(history.QueryValue("z"), "");

  SimRequest bad;
  EXPECT_FALSE(ParseRequestHead("HELLO\r\n\r\n", &bad));
  EXPECT_FALSE(ParseRequestHead("POST /d/quotes.csv HTTP/1.0\r\n\r\n", &bad));
}

TEST(SimPrices, RepeatableBySeedAndDay) {
  PriceBook a(7, kFriday), b(7, kFriday), other(8, kFriday), nextDay(7, kFriday + 3 * 86400);
  auto qa = a.Quote("IBM"), qb = b.Quote("ibm"), qc = other.Quote("IBM");
  auto qd = nextDay.Quote("IBM");
  ASSERT_TRUE(qa && qb && qc && qd);
  EXPECT_EQ(qa->last, qb->last);
  EXPECT_EQ(qa->volume, qb->volume);
  EXPECT_EQ(qb->symbol, "ibm");
  EXPECT_NE(qa->last, qc->last);
  EXPECT_NE(qa->last, qd->last);
  // The values hang together.
  double last = std::stod(qa->last), prev = std::stod(qa->prevClose);
  EXPECT_NEAR(std::stod(qa->change), last - prev, 0.006);
  EXPECT_LE(std::stod(qa->low), std::min(last, prev));
  EXPECT_GE(std::stod(qa->high), std::max(last, prev));
  EXPECT_LT(std::stod(qa->yearLow), std::stod(qa->low));
  // Friday 16:00 UTC in a UTC simulator: today's date, the closing time.
  EXPECT_EQ(qa->year, 2003);
  EXPECT_EQ(qa->month, 5);
  EXPECT_EQ(qa->day, 2);
  EXPECT_EQ(qa->hour, 16);
}

TEST(SimPrices, WeekendQuotesCarryFriday) {
  testing::ScopedTimeZone tz("UTC");
  PriceBook sunday(1, kFriday + 2 * 86400);
  auto q = sunday.Quote("IBM");
  ASSERT_TRUE(q);
  EXPECT_EQ(q->day, 2);
  EXPECT_EQ(q->hour, 16);
  EXPECT_EQ(q->minute, 0);
}

TEST(SimPrices, CurrencyPairs) {
  PriceBook book(1, kFriday);
  auto eurusd = book.Quote("EURUSD=X");
  auto usdeur = book.Quote("USDEUR=X");
  ASSERT_TRUE(eurusd && usdeur);
  EXPECT_NEAR(std::stod(eurusd->last), 1 / 0.9234, 0.02);
  EXPECT_NEAR(std::stod(usdeur->last), 0.9234, 0.02);
  auto demeur = book.Quote("DEMEUR=X");
  ASSERT_TRUE(demeur);
  EXPECT_NEAR(std::stod(demeur->last), 1 / 1.95583, 0.01);
  EXPECT_FALSE(book.Quote("XXXUSD=X"));  // unknown currency
  EXPECT_FALSE(book.Quote("EURUS=X"));
  EXPECT_EQ(book.Quote("EURUSD")->last.empty(), false);  // not a pair: an ordinary symbol
}

TEST(SimPrices, FixtureAndUnknownSymbols) {
  PriceBook book(1, kFriday);
  std::string error;
  ASSERT_TRUE(book.LoadFixture(
      "# symbol,last,change,low,high,prev,volume,bid,ask,ylow,yhigh,date,time\n"
      "IBM,84.50,+0.75,83.10,84.90,83.75,5432100,,,54.01,126.39,5/2/2003,4:01pm\r\n"
      "\n"
      "BAY.F,44.10\n",
      &error))
      << error;
  auto ibm = book.Quote("ibm");
  ASSERT_TRUE(ibm);
  EXPECT_EQ(ibm->last, "84.50");
  EXPECT_EQ(ibm->bid, "N/A");
  EXPECT_EQ(ibm->yearHigh, "126.39");
  EXPECT_EQ(ibm->timeText, "4:01pm");
  EXPECT_EQ(book.Quote("BAY.F")->change, "N/A");
  EXPECT_FALSE(book.Quote("MSFT"));  // a fixture knows only its own symbols
  EXPECT_TRUE(book.Quote("EURUSD=X"));
  book.AddUnknown("ibm");
  EXPECT_FALSE(book.Quote("IBM"));

  PriceBook broken(1, kFriday);
  EXPECT_FALSE(broken.LoadFixture(",1.00\n", &error));
  EXPECT_EQ(error, "fixture line 1: no symbol");
  EXPECT_FALSE(broken.LoadFixture("A,1,2,3,4,5,6,7,8,9,10,11,12,13\n", &error));
}

TEST(SimAnswers, CsvServiceLines) {
  testing::ScopedTimeZone tz("UTC");
  PriceBook book(1, kFriday);
  std::string error;
  ASSERT_TRUE(
      book.LoadFixture("IBM,84.50,+0.75,83.10,84.90,83.75,5432100,N/A,N/A,54.01,126.39\n", &error));
  HandlerTable table = DefaultHandlers({});
  SimRequest r = Request("GET /d/quotes.csv?s=IBM+NOPE&f=sl1d1t1c1ghpvbaw&e=.csv HTTP/1.0\r\n\r\n");
  SimAnswer answer = table.Answer(r, book);
  EXPECT_EQ(answer.status, 200);
  ASSERT_EQ(answer.lines.size(), 2u);
  EXPECT_EQ(answer.lines[0],
            "\"IBM\",84.50,\"5/2/2003\",\"4:00pm\",+0.75,83.10,84.90,83.75,5432100,N/A,N/A,"
            "\"54.01 - 126.39\"");
  EXPECT_EQ(answer.lines[1], "\"NOPE\",N/A,\"N/A\",\"N/A\",N/A,N/A,N/A,N/A,N/A,N/A,N/A,\"N/A\"");

  SimRequest jakarta = Request("GET /cgi-bin/stocks.html?symbols=IBM HTTP/1.0\r\n\r\n");
  SimAnswer j = table.Answer(jakarta, book);
  ASSERT_EQ(j.lines.size(), 1u);
  EXPECT_EQ(j.lines[0],
            "IBM,84.50,2.5.2003,16:00,+0.75,83.10,84.90,83.75,5432100,N/A,N/A,54.01,"
            "126.39");
  EXPECT_TRUE(j.keepOpen);

  SimRequest page = Request("GET /html/detail/main.html?sSym=IBM HTTP/1.0\r\n\r\n");
  EXPECT_EQ(table.Answer(page, book).status, 200);  // the page formats are registered too
  SimRequest nowhere = Request("GET /nowhere HTTP/1.0\r\n\r\n");
  EXPECT_EQ(table.Answer(nowhere, book).status, 404);
}

TEST(SimAnswers, HistoryLayouts) {
  testing::ScopedTimeZone tz("UTC");
  PriceBook book(1, kFriday);
  book.AddUnknown("NOPE");
  SimRequest r = Request(
      "GET /table.csv?a=3&b=21&c=2003&d=4&e=2&f=2003&g=d&y=0&ignore=.csv&s=IBM HTTP/1.0\r\n\r\n");
  SimAnswer full = DefaultHandlers({}).Answer(r, book);
  // 21 April (Monday) to 2 May (Friday) 2003: ten weekdays, newest first.
  ASSERT_EQ(full.lines.size(), 11u);
  EXPECT_EQ(full.lines[0], "Date,Open,High,Low,Close,Volume");
  EXPECT_EQ(full.lines[1].substr(0, 9), "2-May-03,");
  EXPECT_EQ(full.lines[10].substr(0, 10), "21-Apr-03,");
  int commas = 0;
  for (char c : full.lines[5]) commas += c == ',';
  EXPECT_EQ(commas, 5);

  SimAnswer shortLayout = DefaultHandlers({true}).Answer(r, book);
  ASSERT_EQ(shortLayout.lines.size(), 11u);
  EXPECT_EQ(shortLayout.lines[0], "Date,Close");
  EXPECT_EQ(shortLayout.lines[1].substr(0, 9), "2-May-03,");
  // The close is the same number in both layouts.
  EXPECT_EQ(shortLayout.lines[1].substr(9),
            full.lines[1].substr(full.lines[1].rfind(',', full.lines[1].rfind(',') - 1) + 1,
                                 shortLayout.lines[1].size() - 9));

  SimRequest unknown = Request("GET /table.csv?a=3&b=21&c=2003&s=NOPE HTTP/1.0\r\n\r\n");
  SimAnswer none = DefaultHandlers({}).Answer(unknown, book);
  ASSERT_EQ(none.lines.size(), 2u);
  EXPECT_EQ(none.lines[1].substr(0, 7), "No data");
}

TEST(SimAnswers, Templates) {
  testing::ScopedTimeZone tz("UTC");
  PriceBook book(1, kFriday);
  std::string error;
  ASSERT_TRUE(book.LoadFixture("ABC,12.50,-1.25,12.00,13.00,13.75,900\n", &error));
  TemplateHandler handler("<html>\n",
                          "<b>{{symbol}}</b> {{last}} {{change}} {{date_dmony}} "
                          "{{date_dmy}} {{date_mdy}} {{time12}} {{time24}} {{nope}}\n",
                          "</html>\n", "<i>{{symbol}} unknown</i>\n");
  SimRequest r = Request("GET /quickchart/quickchart.asp?symb=ZA:ABC+XYZ HTTP/1.0\r\n\r\n");
  RouteRequest(&r);
  r.symbols = {"ABC", "XYZ"};
  SimAnswer answer = handler.Answer(r, book);
  ASSERT_EQ(answer.lines.size(), 4u);
  EXPECT_EQ(answer.lines[0], "<html>");
  EXPECT_EQ(answer.lines[1],
            "<b>ABC</b> 12.50 -1.25 2-May-03 2.5.2003 5/2/2003 4:00pm 16:00 {{nope}}");
  EXPECT_EQ(answer.lines[2], "<i>XYZ unknown</i>");
  EXPECT_EQ(answer.contentType, "text/html");
}

TEST(SimFaults, ResponseBytes) {
  SimAnswer answer;
  answer.lines = {"one", "two"};
  FaultOptions none;
  std::string plain = ResponseBytes(answer, none, 1);
  EXPECT_EQ(plain,
            "HTTP/1.0 200 OK\r\nServer: quillet-quote-sim\r\nContent-Type: text/plain\r\n"
            "Content-Length: 10\r\n\r\none\r\ntwo\r\n");

  FaultOptions f;
  f.noFinalNewline = true;
  f.lfOnly = true;
  f.contentLengthName = "CONTENT-LENGTH";
  std::string shaped = ResponseBytes(answer, f, 1);
  EXPECT_EQ(shaped.substr(shaped.find("CONTENT")), "CONTENT-LENGTH: 7\r\n\r\none\ntwo");

  FaultOptions status;
  status.status = 404;
  EXPECT_EQ(ResponseBytes(answer, status, 1).substr(0, 24), "HTTP/1.0 404 Not Found\r\n");

  FaultOptions cut;
  cut.truncate = 12;
  EXPECT_EQ(ResponseBytes(answer, cut, 1), "HTTP/1.0 200");

  // A cut by count or just after a text; a text the answer lacks cuts nothing.
  FaultOptions stop;
  stop.cut = FaultOptions::Cut::kReset;
  stop.cutAt = 5;
  EXPECT_EQ(CutPosition("HTTP/1.0 200 OK", stop), 5u);
  stop.cutAt = 50;
  EXPECT_EQ(CutPosition("HTTP/1.0 200 OK", stop), std::string_view::npos);
  stop.cutAfter = "one\r\nt";
  EXPECT_EQ(CutPosition("ab\r\none\r\ntwo", stop), 10u);
  stop.cutAfter = "three";
  EXPECT_EQ(CutPosition("ab\r\none\r\ntwo", stop), std::string_view::npos);

  FaultOptions longLine;
  longLine.longLine = 2000;
  longLine.noContentLength = true;
  std::string bytes = ResponseBytes(answer, longLine, 1);
  EXPECT_EQ(bytes.find("Content-Length"), std::string::npos);
  EXPECT_NE(bytes.find("\r\n\r\n" + std::string(2000, 'L') + "\r\none\r\n"), std::string::npos);

  FaultOptions garbage;
  garbage.garbage = 300;
  EXPECT_EQ(ResponseBytes(answer, garbage, 1).size(), 300u);
  EXPECT_EQ(ResponseBytes(answer, garbage, 1), ResponseBytes(answer, garbage, 1));
  EXPECT_NE(ResponseBytes(answer, garbage, 1), ResponseBytes(answer, garbage, 2));
}

TEST(SimProgram, RejectsBadOptions) {
  std::string program = testing::BuiltProgram("bin/quillet-quote-sim");
  EXPECT_EQ(testing::RunCommand(program + " --port 70000 2>/dev/null"), 2);
  EXPECT_EQ(testing::RunCommand(program + " --bogus 2>/dev/null"), 2);
  EXPECT_EQ(testing::RunCommand(program + " --fixture /nonexistent/fixture 2>/dev/null"), 1);
  std::string out;
  EXPECT_EQ(testing::RunCommand(program + " --help", &out), 0);
  EXPECT_NE(out.find("--silent"), std::string::npos);
}

}  // namespace
}  // namespace quillet::sim
