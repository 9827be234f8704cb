#include "tools/simulator/sim_pages.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/testing/test_support.h"

namespace quillet::sim {
namespace {

constexpr std::int64_t kFriday = 1051891200;  // 2003-05-02 16:00 UTC

SimQuote Quote(std::string last, std::string change, std::string prev, std::string volume) {
  SimQuote q;
  q.symbol = "QT";
  q.last = std::move(last);
  q.change = std::move(change);
  q.prevClose = std::move(prev);
  q.volume = std::move(volume);
  q.low = q.high = q.bid = q.ask = q.yearLow = q.yearHigh = "N/A";
  q.year = 2003;
  q.month = 5;
  q.day = 2;
  q.hour = 16;
  return q;
}

TEST(SimPages, ValuesInThePagesOwnForms) {
  testing::ScopedTimeZone tz("UTC");
  PriceBook book(1, kFriday);
  SimQuote q = Quote("1234567.5", "-12.50", "250.00", "1234567");
  EXPECT_EQ(PageHandler::Fill("{{eu:last}}|{{commas:volume}}|{{eu:change}}", q, book),
            "1.234.567,5|1,234,567|-12,50");
  EXPECT_EQ(PageHandler::Fill("{{pct}} {{arrow}} {{abs:change}} {{dash_change}}", q, book),
            "-5.00 dn 12.50 -12.50");
  EXPECT_EQ(PageHandler::Fill("{{eu:low}} {{commas:high}}", q, book), "N/A N/A");
  EXPECT_EQ(PageHandler::Fill("{{date_dmy2}} {{date_dmy_slash}} {{date_dmony4}} {{date_dmonthy}}",
                              q, book),
            "02.05.2003 02/05/2003 02-May-2003 02 May 2003");
  EXPECT_EQ(PageHandler::Fill("{{time_sec}} {{time_hhmm}} {{time_nbsp}} {{symbol}}", q, book),
            "16:00:00 1600 4:00&nbsp;PM QT");

  SimQuote flat = Quote("10.00", "0.00", "10.00", "5");
  EXPECT_EQ(PageHandler::Fill("{{pct}} {{arrow}} {{dash_change}}", flat, book), "0.00 unch -");

  // The Tokyo stamp: the date after the close, the time while the market is open.
  EXPECT_EQ(PageHandler::Fill("{{stamp_today}}", q, book), "5/2/2003");
  SimQuote open = q;
  open.hour = 14;
  open.minute = 25;
  EXPECT_EQ(PageHandler::Fill("{{stamp_today}}", open, book), "14:25");
}

TEST(SimPages, ListsOfTheSwissServices) {
  testing::ScopedTimeZone tz("UTC");
  PriceBook book(1, kFriday);
  std::string error;
  ASSERT_TRUE(book.LoadFixture("QT,10.50,+0.50,10.00,11.00,10.00,1200,10.40,10.60,8,12\n", &error));
  SimRequest bar;
  bar.symbols = {"QT", "NOPE"};
  SimAnswer list = BarListHandler().Answer(bar, book);
  EXPECT_EQ(
      list.lines,
      (std::vector<std::string>{
          " QT | OK | 10.50 | 10.00 | 10.40 | 10.60 | 11.00 | 10.00 | 1200 | 1600 ", "NOPE | NA"}));

  SimAnswer xml = XmlListHandler().Answer(bar, book);
  ASSERT_GE(xml.lines.size(), 4u);
  EXPECT_EQ(xml.lines[1], "<QUOTE_LIST>");
  EXPECT_EQ(xml.lines[2], "<QUOTE_ELEMENT>");
  EXPECT_EQ(xml.lines[xml.lines.size() - 2], "<NOT_FOUND>NOPE</NOT_FOUND>");
  EXPECT_EQ(xml.lines.back(), "</QUOTE_LIST>");
  EXPECT_EQ(xml.lineEnd, "\r\n");
}

}  // namespace
}  // namespace quillet::sim
