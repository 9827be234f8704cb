#include "quotes/csv_quotes.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/socket.h"
#include "platform/testing/test_support.h"
#include "quotes/quote_client.h"
#include "quotes/quote_dates.h"
#include "quotes/testing/client_kit.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

// Runs a request of `source` whose answer is the given body after a 200 status.
struct Answered : testing::ScriptedAnswer {
  Answered(int source, const std::string& body)
      : ScriptedAnswer(source, "X",
                       "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                           std::to_string(body.size()) + "\r\n\r\n" + body) {}
};

TEST(CsvQuotes, ServiceLineFillsEveryField) {
  Answered a(0,
             "\"IBM\",84.50,\"5/2/2003\",\"4:01pm\",+0.75,83.10,84.90,83.75,5432100,N/A,N/A,"
             "\"54.01 - 126.39\"\r\n");
  ASSERT_EQ(a.code, QR_OK);
  ASSERT_EQ(a.count(), 1u);
  const QuoteResult& r = a.at(0);
  EXPECT_STREQ(r.szSymbol, "IBM");
  EXPECT_STREQ(r.szLast, "84.50");
  EXPECT_STREQ(r.szDate, "5/2/2003");
  EXPECT_STREQ(r.szTime, "4:01pm");
  EXPECT_STREQ(r.szChange, "+0.75");
  EXPECT_STREQ(r.szLow, "83.10");
  EXPECT_STREQ(r.szHigh, "84.90");
  EXPECT_STREQ(r.szPrevClose, "83.75");
  EXPECT_STREQ(r.szVolume, "5432100");
  EXPECT_STREQ(r.szBid, "N/A");
  EXPECT_STREQ(r.szAsk, "N/A");
  EXPECT_STREQ(r.szYearLow, "54.01");
  EXPECT_STREQ(r.szYearHigh, "126.39");
  EXPECT_EQ(r.sConverted, 0);

  testing::ScopedTimeZone tz("America/New_York");
  ManualClock clock(1051891200);
  // 2 May 2003 16:01 in New York (daylight time, UTC-4) is 20:01 UTC.
  EXPECT_EQ(QuoteTimeOf(0, r.szDate, r.szTime, false, clock), 1051891200u + 4 * 3600 + 60);
}

TEST(CsvQuotes, WhichLinesAreQuotes) {
  std::string body =
      "\"SYMBOL\",\"LAST\"\r\n"
      "\"WKN\",\"KURS\"\r\n"
      "IBM,1.00\r\n"
      "\r\n"
      "\"MSFT\",2.00\r\n"
      "\"SYMBOLX\",3.00\r\n";
  Answered service(0, body);
  ASSERT_EQ(service.count(), 1u);
  EXPECT_STREQ(service.at(0).szSymbol, "MSFT");

  // Every non-empty line is a quote for the handheld services.
  Answered istanbul(13, body);
  ASSERT_EQ(istanbul.count(), 5u);
  EXPECT_STREQ(istanbul.at(0).szSymbol, "SYMBOL");
  EXPECT_STREQ(istanbul.at(2).szSymbol, "IBM");
  EXPECT_STREQ(istanbul.at(2).szLast, "1.00");
}

TEST(CsvQuotes, ErrorLineStopsTheParse) {
  Answered a(0, "\"IBM\",1.00\r\n\"error\",\"unknown\"\r\n\"MSFT\",2.00\r\n");
  EXPECT_EQ(a.code, QR_ERROR);
  // A failed request keeps none of its quotes, not even those before the error line.
  EXPECT_EQ(a.count(), 0u);
  EXPECT_STREQ(a.client.errorText(), "");
  // "Error" in another case is an ordinary symbol.
  Answered b(0, "\"Error\",1.00\r\n");
  EXPECT_EQ(b.code, QR_OK);
  EXPECT_EQ(b.count(), 1u);
}

TEST(CsvQuotes, EmptyFieldsMoveLaterFieldsForward) {
  Answered a(1, "\"BAY.F\",,44.10,\"2.5.2003\",,\"17:35\"\r\n");
  ASSERT_EQ(a.count(), 1u);
  EXPECT_STREQ(a.at(0).szLast, "44.10");
  EXPECT_STREQ(a.at(0).szDate, "2.5.2003");
  EXPECT_STREQ(a.at(0).szTime, "17:35");
  EXPECT_STREQ(a.at(0).szChange, "");
  // A line of quotes and commas only has no symbol and is skipped.
  Answered b(0, "\",,\"\r\n\"\"\r\n");
  EXPECT_EQ(b.code, QR_OK);
  EXPECT_EQ(b.count(), 0u);
}

TEST(CsvQuotes, BidAskCleaningAndRanges) {
  Answered a(0,
             "\"A\",1,\"d\",\"t\",0,1,2,3,4,<b>12.50</b>,12.60&nbsp;x,\"10 - 20\"\r\n"
             "\"B\",1,\"d\",\"t\",0,1,2,3,4,<b,  7.5&nbsp;,\"9.5\",11.25\r\n");
  ASSERT_EQ(a.count(), 2u);
  EXPECT_STREQ(a.at(0).szBid, "12.50</b>");
  EXPECT_STREQ(a.at(0).szAsk, "12.60");
  EXPECT_STREQ(a.at(0).szYearLow, "10");
  EXPECT_STREQ(a.at(0).szYearHigh, "20");
  EXPECT_STREQ(a.at(1).szBid, "");
  EXPECT_STREQ(a.at(1).szAsk, "7.5");
  EXPECT_STREQ(a.at(1).szYearLow, "9.5");
  EXPECT_STREQ(a.at(1).szYearHigh, "11.25");
}

TEST(CsvQuotes, LinesWithManyFieldsAndQuotesLeaveTheNextLineIntact) {
  // Quotes are dropped inside the line as it is read; the line after a long one full of them
  // must come through whole, and fields past the ones a quote has are ignored.
  Answered a(0,
             "\"A\",\"1\",\"d\",\"t\",\"0\",\"1\",\"2\",\"3\",\"4\",\"5\",\"6\","
             "\"7 - 8\",\"x\",\"y\",\"z\",\"w\",\"v\"\r\n"
             "\"B\",2.5,\"d2\",\"t2\",+1,2,3,4,5,6,7,\"1 - 9\"\r\n");
  ASSERT_EQ(a.code, QR_OK);
  ASSERT_EQ(a.count(), 2u);
  EXPECT_STREQ(a.at(0).szYearLow, "7");
  EXPECT_STREQ(a.at(0).szYearHigh, "8");
  EXPECT_STREQ(a.at(1).szSymbol, "B");
  EXPECT_STREQ(a.at(1).szLast, "2.5");
  EXPECT_STREQ(a.at(1).szDate, "d2");
  EXPECT_STREQ(a.at(1).szAsk, "7");
  EXPECT_STREQ(a.at(1).szYearLow, "1");
  EXPECT_STREQ(a.at(1).szYearHigh, "9");
  // Source 11 keeps its last four fields as they are, past a longer line too.
  Answered b(11, "P,1,d,t,0,1,2,3,4,5,6,7,8,9,10,11\r\n");
  ASSERT_EQ(b.count(), 1u);
  EXPECT_STREQ(b.at(0).szYearLow, "7");
  EXPECT_STREQ(b.at(0).szYearHigh, "8");
}

TEST(CsvQuotes, SourceSpecificRules) {
  // Source 11 keeps its four last fields as they are.
  Answered jakarta(11, "TLKM.JK,3.50,2.5.2003,16:00,+0.05,3.4,3.6,3.45,100,<x>3.4,3.5,2.1,4.9\n");
  ASSERT_EQ(jakarta.count(), 1u);
  EXPECT_STREQ(jakarta.at(0).szBid, "<x>3.4");
  EXPECT_STREQ(jakarta.at(0).szAsk, "3.5");
  EXPECT_STREQ(jakarta.at(0).szYearLow, "2.1");
  EXPECT_STREQ(jakarta.at(0).szYearHigh, "4.9");

  // Source 9 starts its lines with a CR.
  Answered athens(9, "\rALPHA,1.0\n\rBETA,2.0\n");
  ASSERT_EQ(athens.count(), 2u);
  EXPECT_STREQ(athens.at(0).szSymbol, "ALPHA");
  EXPECT_STREQ(athens.at(1).szSymbol, "BETA");
  Answered other(13, "ALPHA,1.0\n\rBETA,2.0\n");
  EXPECT_STREQ(other.at(1).szSymbol, "\rBETA");

  // Source 4 computes the change from last and previous close.
  Answered fund(4,
                "847101,10.50,2.5.2003,17:00,X,10.00,11.00,10.25,5\n"
                "847102,10.25,2.5.2003,17:00,X,10.00,11.00,10.50,5\n"
                "847103,10.25,2.5.2003,17:00,X,10.00,11.00,10.25,5\n"
                "847104,10.25\n");
  ASSERT_EQ(fund.count(), 4u);
  EXPECT_STREQ(fund.at(0).szChange, "+0.25");
  EXPECT_STREQ(fund.at(1).szChange, "-0.25");
  EXPECT_STREQ(fund.at(2).szChange, "0");
  EXPECT_STREQ(fund.at(3).szChange, "N/A");
}

TEST(CsvQuotes, LongValuesAreCutToTheirFields) {
  Answered a(0, "\"" + std::string(40, 'S') + "\"," + std::string(30, '9') + ",\"" +
                    std::string(30, 'D') + "\"\r\n");
  ASSERT_EQ(a.count(), 1u);
  EXPECT_EQ(std::string(a.at(0).szSymbol), std::string(19, 'S'));
  EXPECT_EQ(std::string(a.at(0).szLast), std::string(11, '9'));
  EXPECT_EQ(std::string(a.at(0).szDate), std::string(19, 'D'));
}

TEST(CsvQuotes, HeadersThatNeverEnd) {
  ScriptedSockets sockets;
  sockets.answer = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n";
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDevice, kit.Services(sockets));
  client.BeginRequest(0);
  client.EndRequest();
  EXPECT_EQ(client.Execute(), QR_ERROR);
  EXPECT_TRUE(client.results().empty());
}

TEST(CsvQuotes, SimulatorAnswersParseBackToItsQuotes) {
  testing::QuoteSimProcess sim({"--unknown", "NOPE"});
  ASSERT_TRUE(sim.running());
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDevice, kit.Services());
  client.SetServerOverride(QuoteEndpoint{"127.0.0.1", sim.port()});
  client.SetTimeout(5);
  client.BeginRequest(0);
  client.AppendRequest("IBM+NOPE+EURUSD=X");
  client.EndRequest();
  ASSERT_EQ(client.Execute(), QR_OK);
  ASSERT_EQ(client.results().size(), 3u);
  const QuoteResult* ibm = FindResult(client.results(), "ibm");
  ASSERT_NE(ibm, nullptr);
  EXPECT_STREQ(ibm->szDate, "5/2/2003");
  EXPECT_NE(std::string(ibm->szYearHigh), "");
  const QuoteResult* nope = FindResult(client.results(), "NOPE");
  ASSERT_NE(nope, nullptr);
  EXPECT_STREQ(nope->szLast, "N/A");
  const QuoteResult* pair = FindResult(client.results(), "EURUSD=X");
  ASSERT_NE(pair, nullptr);
  double rate = std::stod(pair->szLast);
  EXPECT_GT(rate, 1.0);
  EXPECT_LT(rate, 1.2);
  EXPECT_EQ(FindResult(client.results(), "MSFT"), nullptr);
}

}  // namespace
}  // namespace quillet
