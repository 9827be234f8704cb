#include "quotes/page_parsers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "platform/socket.h"
#include "platform/testing/test_support.h"
#include "quotes/quote_client.h"
#include "quotes/quote_dates.h"
#include "quotes/testing/client_kit.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

// Every field of a result, by name, so a test can list just the ones a page fills and check
// that the others stayed empty.
std::map<std::string, std::string> Fields(const QuoteResult& r) {
  return {{"symbol", r.szSymbol},  {"last", r.szLast}, {"date", r.szDate}, {"time", r.szTime},
          {"change", r.szChange},  {"low", r.szLow},   {"high", r.szHigh}, {"volume", r.szVolume},
          {"prev", r.szPrevClose}, {"bid", r.szBid},   {"ask", r.szAsk},   {"ylow", r.szYearLow},
          {"yhigh", r.szYearHigh}};
}

void ExpectFields(const QuoteResult& r, std::map<std::string, std::string> expected) {
  for (const auto& [name, value] : Fields(r)) {
    auto it = expected.find(name);
    EXPECT_EQ(value, it == expected.end() ? "" : it->second) << "field " << name;
  }
}

int Fetch(CQuoteClient& client, int source, std::string_view symbol) {
  client.FreeResults();
  client.BeginRequest(source);
  client.AppendRequest(symbol);
  client.EndRequest();
  return client.Execute();
}

// The simulator with one stock whose figures show every kind of cleaning: thousands, a
// positive change, a volume above a million.
class PageSources : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testing::TempDir;
    std::ofstream(dir_->File("quotes.txt"))
        << "# symbol,last,change,low,high,prevclose,volume,bid,ask,yearlow,yearhigh\n"
           "QT,1234.56,+1.25,1230.10,1240.90,1233.31,1234567,1234.50,1234.60,1000.01,1500.99\n"
           "ZA:QT,1234.56,+1.25,1230.10,1240.90,1233.31,1234567,1234.50,1234.60,1000.01,1500.99\n"
           "DOWN,10.00,-1.25,9.90,11.30,11.25,5000,9.99,10.01,8.00,12.00\n"
           "FLAT,10.00,0.00,9.90,10.10,10.00,5000,9.99,10.01,8.00,12.00\n";
    // The simulator keeps the time zone it starts in: UTC, so its today is Friday 2 May 2003
    // after the close.
    testing::ScopedTimeZone tz("UTC");
    sim_ = new testing::QuoteSimProcess({"--fixture", dir_->File("quotes.txt")});
  }
  static void TearDownTestSuite() {
    delete sim_;
    delete dir_;
  }
  void SetUp() override {
    ASSERT_TRUE(sim_->running());
    client.SetServerOverride(QuoteEndpoint{"127.0.0.1", sim_->port()});
    client.SetTimeout(5);
  }
  // The one result of a page request, which must succeed.
  const QuoteResult& Page(int source, std::string_view symbol) {
    EXPECT_EQ(Fetch(client, source, symbol), QR_OK) << client.errorText();
    static const QuoteResult empty{};
    if (client.results().size() != 1) {
      ADD_FAILURE() << "source " << source << ": " << client.results().size() << " results";
      return empty;
    }
    return *client.results()[0];
  }

  static testing::TempDir* dir_;
  static testing::QuoteSimProcess* sim_;
  testing::ClientKit kit;
  CQuoteClient client{ClientVariant::kDevice, kit.Services()};
};

testing::TempDir* PageSources::dir_ = nullptr;
testing::QuoteSimProcess* PageSources::sim_ = nullptr;

const std::map<std::string, std::string> kAllFigures = {
    {"last", "1234.56"},   {"low", "1230.10"},  {"high", "1240.90"},
    {"prev", "1233.31"},   {"bid", "1234.50"},  {"ask", "1234.60"},
    {"volume", "1234567"}, {"ylow", "1000.01"}, {"yhigh", "1500.99"}};

std::map<std::string, std::string> With(std::map<std::string, std::string> base,
                                        const std::map<std::string, std::string>& more,
                                        std::initializer_list<const char*> without = {}) {
  for (const auto& [k, v] : more) base[k] = v;
  for (const char* k : without) base.erase(k);
  return base;
}

TEST_F(PageSources, GermanLanguagePagesGiveEveryFieldTheyShow) {
  // Amsterdam: the change comes from the percentage (1.25 / 1233.31 = 0.10 %), of the last
  // price, cut at 4 decimals: 1234.56 * 0.10 / 100 = 1.2345...
  ExpectFields(Page(2, "QT"), {{"symbol", "QT"},
                               {"date", "02.05.2003"},
                               {"time", "16:00"},
                               {"last", "1234.56"},
                               {"change", "1.23"}});
  ExpectFields(Page(5, "QT"), With(kAllFigures,
                                   {{"symbol", "QT"},
                                    {"date", "02-May-2003"},
                                    {"time", "16:00"},
                                    {"change", "+1.25"},
                                    {"prev", "N/A"}},
                                   {"bid", "ask", "ylow", "yhigh"}));
  ExpectFields(
      Page(6, "QT"),
      With(kAllFigures,
           {{"symbol", "QT"}, {"date", "02.05.2003"}, {"time", "16:00"}, {"change", "+1.25"}},
           {"prev", "bid", "ask", "ylow", "yhigh"}));
  ExpectFields(Page(24, "QT"), {{"symbol", "QT"},
                                {"last", "1234.56"},
                                {"date", "02.05.2003"},
                                {"prev", "1233.31"},
                                {"change", "+1.25"},
                                {"time", "16:00"}});
}

TEST_F(PageSources, OtherEuropeanPagesGiveEveryFieldTheyShow) {
  const QuoteResult& zurich = Page(3, "QT");
  ExpectFields(zurich, With(kAllFigures, {{"symbol", "QT"}, {"time", "16:00"}, {"change", "+1.25"}},
                            {"ylow", "yhigh"}));
  ExpectFields(
      Page(12, "QT"),
      With(kAllFigures,
           {{"symbol", "QT"}, {"date", "02/05/2003"}, {"time", "16:00"}, {"change", "+1.25"}},
           {"ylow", "yhigh"}));
  ExpectFields(
      Page(15, "QT"),
      With(kAllFigures,
           {{"symbol", "QT"}, {"date", "02.05.2003"}, {"time", "16:00"}, {"change", "+1.25"}}));
  ExpectFields(
      Page(16, "QT"),
      With(kAllFigures,
           {{"symbol", "QT"}, {"date", "02/05/2003"}, {"time", "16:00"}, {"change", "+1.25"}}));
  // The French fund pages give a percentage too: 1234.56 * 0.10 * 0.01 = 1.23; the previous
  // value is worked back from it.
  for (int source : {20, 21}) {
    ExpectFields(Page(source, "QT"), {{"symbol", "QT"},
                                      {"last", "1234.56"},
                                      {"change", "1.23"},
                                      {"prev", "1233.33"},
                                      {"date", "02/05/2003"},
                                      {"ask", "1234.60"},
                                      {"bid", "1234.50"},
                                      {"yhigh", "1500.99"},
                                      {"ylow", "1000.01"}});
  }
}

TEST_F(PageSources, OverseasPagesGiveEveryFieldTheyShow) {
  ExpectFields(Page(8, "QT"), {{"symbol", "QT"}, {"date", "02-May-2003"}, {"last", "1234.56"}});
  ExpectFields(
      Page(23, "QT"),
      With(kAllFigures,
           {{"symbol", "QT"}, {"date", "02 May 2003"}, {"time", "16:00"}, {"change", "+1.25"}},
           {"prev"}));
  // After the close the Tokyo page shows the date.
  ExpectFields(Page(17, "QT"),
               With(kAllFigures, {{"symbol", "QT"}, {"date", "5/2/2003"}, {"change", "+1.25"}},
                    {"bid", "ask", "ylow", "yhigh"}));
  ExpectFields(Page(18, "QT"),
               With(kAllFigures, {{"symbol", "QT"}, {"date", "02/05/2003"}, {"change", "+1.25"}},
                    {"bid", "ask", "ylow", "yhigh"}));
  ExpectFields(
      Page(19, "ZA:QT"),
      With(kAllFigures,
           {{"symbol", "ZA:QT"}, {"date", "5/2/2003"}, {"time", "4:00 PM"}, {"change", "1.25"}},
           {"bid", "ask"}));
}

TEST_F(PageSources, ArrowsAndDashesGiveTheChangeItsSign) {
  EXPECT_STREQ(Page(19, "DOWN").szChange, "-1.25");
  EXPECT_STREQ(Page(19, "FLAT").szChange, "0");
  EXPECT_STREQ(Page(18, "DOWN").szChange, "-1.25");
  EXPECT_STREQ(Page(18, "FLAT").szChange, "");  // a bare dash is no figure
}

TEST_F(PageSources, PagesWithoutTheirMarkersGiveResultsWithoutValues) {
  // Sources whose parsers mark an unpriced stock with last "0".
  for (int source : {8, 12, 23, 24}) {
    SCOPED_TRACE(source);
    ExpectFields(Page(source, "NOPE"), {{"symbol", "NOPE"}, {"last", "0"}});
  }
  for (int source : {2, 6, 15, 16, 17, 18, 19, 20, 21}) {
    SCOPED_TRACE(source);
    ExpectFields(Page(source, "NOPE"), {{"symbol", "NOPE"}});
  }
  ExpectFields(Page(5, "NOPE"), {{"symbol", "NOPE"}, {"prev", "N/A"}});
  ExpectFields(Page(3, "NOPE"), {{"symbol", "NOPE"}, {"last", "0"}});
}

TEST_F(PageSources, DatesAndTimesReadWithTheSourcesStyles) {
  // What the update run makes of each page's date and time: 2 May 2003, 16:00.
  testing::ScopedTimeZone tz("UTC");
  ManualClock clock(1051891200);
  for (int source : {2, 5, 6, 8, 12, 15, 16, 17, 18, 19, 20, 21, 23, 24}) {
    SCOPED_TRACE(source);
    const QuoteSource* entry = GetQuoteSource(source);
    const QuoteResult& r = Page(source, source == 19 ? "ZA:QT" : "QT");
    EXPECT_EQ(ParseQuoteDate(entry->ucDateStyle, r.szDate, false, clock), 1051833600u);
    if (r.szTime[0] != '\0') {
      EXPECT_EQ(ParseQuoteTime(entry->ucTimeStyle, r.szTime, false, clock), 16u * 3600);
    }
  }
}

TEST_F(PageSources, ZurichListAnswersABatch) {
  ASSERT_EQ(Fetch(client, 3, "QT|NOPE|DOWN"), QR_OK);
  ASSERT_EQ(client.results().size(), 3u);
  EXPECT_STREQ(client.results()[0]->szLast, "1234.56");
  EXPECT_STREQ(client.results()[1]->szLast, "0");
  EXPECT_STREQ(client.results()[2]->szChange, "-1.25");
}

TEST(TokyoPage, DuringTradingHoursTheDateIsToday) {
  // The simulator's today is Friday 2 May 2003 at 14:25 UTC, while the market is open.
  testing::ScopedTimeZone tz("UTC");
  testing::QuoteSimProcess sim({}, 1051885500);
  ASSERT_TRUE(sim.running());
  // The client's clock says the same: the page's parser takes "today" from it.
  testing::ClientKit kit;
  kit.clock.Set(1051885500);
  CQuoteClient client(ClientVariant::kDevice, kit.Services());
  client.SetServerOverride(QuoteEndpoint{"127.0.0.1", sim.port()});
  client.SetTimeout(5);
  ASSERT_EQ(Fetch(client, 17, "6758.T"), QR_OK);
  ASSERT_EQ(client.results().size(), 1u);
  EXPECT_STREQ(client.results()[0]->szTime, "14:25");
  EXPECT_STREQ(client.results()[0]->szDate, "5/2/2003");
  EXPECT_NE(std::string(client.results()[0]->szLast), "");
}

// A page of `source` given here, answered without a network.
struct Scripted : testing::ScriptedAnswer {
  Scripted(int source, const std::string& body, const std::string& symbol = "SYM",
           bool proxy = false)
      : ScriptedAnswer(source, symbol, "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + body,
                       std::size_t{1} << 16, [proxy](CQuoteClient& c) {
                         if (proxy) c.SetProxy(true, "proxy.example", 8080, false, "", "");
                       }) {}
};

TEST(PageParsers, ZurichLinesWithBlanksErrorsAndEmptyFields) {
  Scripted s(3,
             "ERROR unknown parameter\r\n"
             " NESN |  na \r\n"
             "UBSN|OK|50.10||50.00|50.20|51.00|49.00|1,000|935\r\n"
             "\r\n");
  ASSERT_EQ(s.count(), 2u);
  ExpectFields(s.at(0), {{"symbol", "NESN"}, {"last", "0"}});
  // Without a previous close there is no change to work out.
  ExpectFields(s.at(1), {{"symbol", "UBSN"},
                         {"last", "50.10"},
                         {"bid", "50.00"},
                         {"ask", "50.20"},
                         {"high", "51.00"},
                         {"low", "49.00"},
                         {"volume", "1,000"},
                         {"time", "9:35"},
                         {"change", "N/A"}});
}

TEST(PageParsers, AmsterdamDropsAPageThatStopsAfterTheHeadline) {
  Scripted noQuote(2, "<td class=\"fHeadline\">-- keine Kurse --</td>\r\n<td>x Uhr</td>\r\n");
  ASSERT_EQ(noQuote.count(), 1u);
  ExpectFields(noQuote.at(0), {{"symbol", "SYM"}});

  Scripted cut(2,
               "<td class=\"fHeadline\">SYM</td>\r\n<td>02.05.2003 17:35 Uhr</td>\r\n"
               "<td class=\"bgYellow\">12,34</td>\r\n");
  EXPECT_EQ(cut.code, QR_OK);
  EXPECT_EQ(cut.count(), 0u) << "a page without its change leaves the stock as it was";

  Scripted falling(2,
                   "<td class=\"fHeadline\">SYM</td>\r\n<td>02.05.2003 17:35 Uhr</td>\r\n"
                   "<td class=\"bgYellow\">12,34</td>\r\n<span id=\"p\">-1,5 %</span>\r\n");
  ASSERT_EQ(falling.count(), 1u);
  // 12.34 * -1.5 / 100 = -0.1851 (cut at 4 decimals), written with 2.
  EXPECT_STREQ(falling.at(0).szChange, "-0.19");
}

TEST(PageParsers, LastZeroWhenTheChainBreaksLate) {
  // Brussels found its last price but not the volume: the stock is not priced.
  Scripted s(12,
             "<a href=\"/pd/end07.jsp?qIsin=BE1\">x</a>\r\n"
             "<th align=\"right\">02/05/2003 at 17:35</th>\r\n"
             "<td>Last</td>\r\n<td>45,67 EUR</td>\r\n");
  ASSERT_EQ(s.count(), 1u);
  EXPECT_STREQ(s.at(0).szLast, "0");
  EXPECT_STREQ(s.at(0).szDate, "02/05/2003");
  EXPECT_STREQ(s.at(0).szTime, "17:35");
}

TEST(PageParsers, SymbolComesFromTheRequestAlsoThroughAProxy) {
  Scripted direct(15, "nothing\r\n", "NOK1V");
  ASSERT_EQ(direct.count(), 1u);
  EXPECT_STREQ(direct.at(0).szSymbol, "NOK1V") << "cut at the '&' of the query suffix";
  Scripted proxied(12, "nothing\r\n", "SOLB", true);
  ASSERT_EQ(proxied.count(), 1u);
  EXPECT_STREQ(proxied.at(0).szSymbol, "SOLB");
  EXPECT_NE(proxied.client.request().find("http://"), std::string_view::npos);
}

TEST(PageParsers, NordicPageWithDecimalPointsKeepsThem) {
  Scripted s(15,
             "<td>Last</td>\r\n\r\n\r\n\r\n<td>1,234.50</td>\r\n"
             "<td>Volume</td>\r\n\r\n\r\n<td>1,234,567</td>\r\n");
  ASSERT_EQ(s.count(), 1u);
  // "1,234.50" has a comma, so it is read the European way: the page decides, not the parser.
  EXPECT_STREQ(s.at(0).szLast, "1.23450");
  EXPECT_STREQ(s.at(0).szVolume, "1234567");

  Scripted plain(15, "<td>Last</td>\r\n\r\n\r\n\r\n<td>12.50</td>\r\n");
  EXPECT_STREQ(plain.at(0).szLast, "12.50");
}

TEST(PageParsers, TokyoLabelsAreMatchedAsShiftJisBytes) {
  const std::string trade = "\x8E\xE6\x88\xF8\x92\x6C";
  const std::string open = "\x8E\x6E\x92\x6C";
  // The same words in UTF-8 are not the labels.
  Scripted utf8(17, "<td>\xE5\x8F\x96\xE5\xBC\x95\xE5\x80\xA4<br>5/2 <b>1,000</b><br>+1</td>\r\n");
  ExpectFields(utf8.at(0), {{"symbol", "SYM"}});

  Scripted sjis(17, "<td>" + trade +
                        "<br>5/2/2003 <b>1,000</b><br>-5<br>1,005<br>12,000</td>\r\n<td>" + open +
                        "<br>1,004<br>1,010<br>998</td>\r\n");
  // A time in place of the date, after a blank: the date is then today's (here the clock's).
  Scripted trading(17, "<td>" + trade + "<br> 14:25 <b>1,000</b></td>\r\n");
  EXPECT_STREQ(trading.at(0).szTime, "14:25");
  EXPECT_NE(std::string(trading.at(0).szDate), "");
  ExpectFields(sjis.at(0), {{"symbol", "SYM"},
                            {"date", "5/2/2003"},
                            {"last", "1000"},
                            {"change", "-5"},
                            {"prev", "1005"},
                            {"volume", "12000"},
                            {"high", "1010"},
                            {"low", "998"}});
}

TEST(PageParsers, OverlongValuesAreCutToTheirFields) {
  Scripted s(24, "R&uuml;cknahmepreis\r\n" + std::string(40, '9') + "\r\nKursdatum:\r\n<td>" +
                     std::string(40, 'D') + "</td>\r\n");
  ASSERT_EQ(s.count(), 1u);
  EXPECT_EQ(std::string(s.at(0).szLast), "0") << "the chain broke: Last 0";
  EXPECT_EQ(std::string(s.at(0).szDate), std::string(19, 'D'));
}

TEST(PageParsers, HeadersThatNeverEndAreAnError) {
  ScriptedSockets sockets;
  sockets.answer = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n";
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDevice, kit.Services(sockets));
  for (int source : {2, 3, 5, 6, 8, 12, 15, 16, 17, 18, 19, 20, 21, 23, 24}) {
    SCOPED_TRACE(source);
    EXPECT_EQ(Fetch(client, source, "X"), QR_ERROR);
    EXPECT_TRUE(client.results().empty());
  }
}

}  // namespace
}  // namespace quillet
