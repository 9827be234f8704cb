#include "quotes/xml_quotes.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/socket.h"
#include "platform/testing/test_support.h"
#include "quotes/quote_client.h"
#include "quotes/testing/client_kit.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

constexpr int kXmlSource = 14;

// The XML service's answer `body` to a request for `symbols`, without a network.
struct XmlAnswer : testing::ScriptedAnswer {
  explicit XmlAnswer(const std::string& body, std::string_view symbols = "A,B")
      : ScriptedAnswer(kXmlSource, symbols,
                       "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n" + body) {}
};

TEST(XmlQuotes, ElementOverSeveralLinesWithUnknownTags) {
  XmlAnswer a(
      "<?xml version=\"1.0\"?>\r\n"
      "<QUOTE_LIST>\r\n"
      "<QUOTE_ELEMENT>\r\n"
      "  <FQ_SYMBOL>  NESN.VX</FQ_SYMBOL>\r\n"
      "  <ISIN>CH0012056047</ISIN>\r\n"
      "  <DATE>5/2/2003</DATE>\r\n"
      "  <TIME>17:30</TIME>\r\n"
      "  <LAST>290.50</LAST>\r\n"
      "  <NETCHANGE_PERCENT>1.2</NETCHANGE_PERCENT>\r\n"
      "  <NETCHANGE_POINT>+3.50</NETCHANGE_POINT>\r\n"
      "  <HIGH>291.00</HIGH>\r\n"
      "  <LOW>286.00</LOW>\r\n"
      "  <CLOSE>287.00</CLOSE>\r\n"
      "  <TOT_VOLUME>1234567</TOT_VOLUME>\r\n"
      "  <BID>290.25</BID>\r\n"
      "  <ASK>290.75</ASK>\r\n"
      "</QUOTE_ELEMENT>\r\n"
      "</QUOTE_LIST>\r\n");
  ASSERT_EQ(a.code, QR_OK);
  ASSERT_EQ(a.count(), 1u);
  const QuoteResult& r = a.at(0);
  EXPECT_STREQ(r.szSymbol, "NESN.VX");
  EXPECT_STREQ(r.szDate, "5/2/2003");
  EXPECT_STREQ(r.szTime, "17:30");
  EXPECT_STREQ(r.szLast, "290.50");
  EXPECT_STREQ(r.szChange, "+3.50");
  EXPECT_STREQ(r.szHigh, "291.00");
  EXPECT_STREQ(r.szLow, "286.00");
  EXPECT_STREQ(r.szPrevClose, "287.00");
  EXPECT_STREQ(r.szVolume, "1234567");
  EXPECT_STREQ(r.szBid, "290.25");
  EXPECT_STREQ(r.szAsk, "290.75");
  EXPECT_STREQ(r.szYearLow, "");
}

TEST(XmlQuotes, NotFoundListGivesEmptyResultsPerSymbol) {
  XmlAnswer a("<QUOTE_LIST>\r\n<NOT_FOUND>AAA, BBB</NOT_FOUND>\r\n</QUOTE_LIST>\r\n", "AAA,BBB");
  ASSERT_EQ(a.code, QR_OK);
  ASSERT_EQ(a.count(), 2u);
  EXPECT_STREQ(a.at(0).szSymbol, "AAA");
  EXPECT_STREQ(a.at(1).szSymbol, "BBB");
  EXPECT_STREQ(a.at(0).szLast, "");
  EXPECT_STREQ(a.at(1).szLast, "");
  // A list whose closing tag is missing is not a list.
  XmlAnswer open("<QUOTE_LIST>\r\n<NOT_FOUND>AAA,BBB\r\n</QUOTE_LIST>\r\n", "AAA,BBB");
  EXPECT_EQ(open.count(), 0u);
}

TEST(XmlQuotes, AnswerCutInsideAnElementFails) {
  XmlAnswer a(
      "<QUOTE_LIST>\r\n"
      "<QUOTE_ELEMENT>\r\n<FQ_SYMBOL>A</FQ_SYMBOL>\r\n<LAST>1.00</LAST>\r\n</QUOTE_ELEMENT>\r\n"
      "<QUOTE_ELEMENT>\r\n<FQ_SYMBOL>B</FQ_SYMBOL>\r\n<LAST>2.0");
  EXPECT_EQ(a.code, QR_ERROR);
  EXPECT_EQ(a.count(), 0u) << "a failed request keeps none of its quotes";
}

TEST(XmlQuotes, AnswerWithoutAListHasNoQuotes) {
  XmlAnswer none("<html><body>Service unavailable</body></html>\r\n");
  EXPECT_EQ(none.code, QR_OK);
  EXPECT_EQ(none.count(), 0u);
  XmlAnswer empty("<QUOTE_LIST>");
  EXPECT_EQ(empty.code, QR_OK);
  EXPECT_EQ(empty.count(), 0u);
}

TEST(XmlQuotes, SimulatorListParsesBackToItsQuotes) {
  testing::ScopedTimeZone tz("UTC");
  testing::QuoteSimProcess sim({"--unknown", "NOPE1,NOPE2"});
  ASSERT_TRUE(sim.running());
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDevice, kit.Services());
  client.SetServerOverride(QuoteEndpoint{"127.0.0.1", sim.port()});
  client.SetTimeout(5);
  client.BeginRequest(kXmlSource);
  client.AppendRequest("NESN,NOPE1,UBSN,NOPE2");
  client.EndRequest();
  ASSERT_EQ(client.Execute(), QR_OK);
  ASSERT_EQ(client.results().size(), 4u);
  const QuoteResult* nesn = FindResult(client.results(), "NESN");
  ASSERT_NE(nesn, nullptr);
  EXPECT_STREQ(nesn->szDate, "5/2/2003");
  EXPECT_STREQ(nesn->szTime, "16:00");
  double last = std::stod(nesn->szLast), prev = std::stod(nesn->szPrevClose);
  EXPECT_NEAR(std::stod(nesn->szChange), last - prev, 0.006);
  EXPECT_NE(std::string(nesn->szVolume), "");
  EXPECT_NE(std::string(nesn->szBid), "");
  ASSERT_NE(FindResult(client.results(), "UBSN"), nullptr);
  for (const char* unknown : {"NOPE1", "NOPE2"}) {
    const QuoteResult* r = FindResult(client.results(), unknown);
    ASSERT_NE(r, nullptr) << unknown;
    EXPECT_STREQ(r->szLast, "");
  }
  // The symbols go out as one comma-separated list.
  auto requests = sim.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].rfind("GET /marrowby/list_quote.asp?Quote_ListSymbol_FQCode="
                              "NESN,NOPE1,UBSN,NOPE2&Quote_NotFound=1&User_ID=1 HTTP/1.0\r\n",
                              0),
            0u);
}

}  // namespace
}  // namespace quillet
