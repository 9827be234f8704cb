// The portfolio commands, each run as its own process on one device root, so every step goes
// through the data files and the registry as the program's own start and shutdown do.
#include <gtest/gtest.h>

#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using testing::RunCommand;
using testing::ShellQuote;

class PortfolioCommands : public ::testing::Test {
 protected:
  // 2003-05-02 16:00 UTC; every command sees the same "now".
  int Cli(const std::string& args, std::string* out = nullptr, bool withErrors = true) {
    std::string cmd = "TZ=UTC QUILLET_NOW=1051891200 " +
                      ShellQuote(testing::BuiltProgram("bin/quillet-cli")) + " --device-root " +
                      ShellQuote(dir.path()) + " " + args + (withErrors ? " 2>&1" : " 2>/dev/null");
    return RunCommand(cmd, out);
  }
  std::string Out(const std::string& args) {
    std::string out;
    EXPECT_EQ(Cli(args, &out, false), 0) << args;
    return out;
  }
  testing::TempDir dir;
};

TEST_F(PortfolioCommands, ShowListsTheColumnsAndTotals) {
  EXPECT_EQ(Out("new-stock name=Microsoft symbol=MSFT shares=100 buyPrice=25.5 buyFee=10 price=30 "
                "change=+0.5 prevClose=29.5 buyDate=2003-02-01"),
            "1\n");
  EXPECT_EQ(Out("new-stock name=Watch status=watched price=7 buyDate=2003-02-01"), "2\n");
  ASSERT_EQ(Cli("set --id 1 note=remember"), 0);
  ASSERT_EQ(Cli("set columnData=2 columnValue=3 cash.1=100"), 0);
  EXPECT_EQ(Out("show"),
            "All (active), amounts in USD\n"
            "Name                         Num          Cost  arrow note\n"
            "Microsoft                    100       2560.00  new   *\n"
            "Watch                          -             0  new   \n"
            "Profit: 440.00  Profit %: 17.19%  Profit PA: 69.70%\n"
            "Cost: 2560.00  Value: 3100.00\n"
            "Change Last Update: 440.00 (0%)  Change Today: 50.00 (1.69%)\n");

  std::string json = Out("show --portfolio 1 --json");
  EXPECT_NE(json.find("\"values\": [\"440.00\", \"17.19%\", \"69.19%\", \"2560.00\", \"3000.00\", "
                      "\"0.39%\", \"25.50\", \"+0.5\", \"1.69%\", \"50.00\"]"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"totals\": {\"profit\": \"440.00\""), std::string::npos);
  EXPECT_NE(json.find("\"changeToday\": {\"amount\": \"50.00\", \"percent\": \"1.69%\"}"),
            std::string::npos);
  ASSERT_EQ(Cli("set showClosed=1"), 0);
  EXPECT_NE(Out("show").find("All (sold)"), std::string::npos);
  EXPECT_NE(Out("show --active").find("Microsoft"), std::string::npos);
  EXPECT_EQ(Out("dump notes --json"),
            "[\n  {\"dwStockId\": 1, \"dwLength\": 8, \"szText\": \"remember\"}\n]\n");
  EXPECT_EQ(Cli("show --portfolio 7"), 1);
  EXPECT_EQ(Cli("show --bogus"), 2);
}

TEST_F(PortfolioCommands, SellSplitAndAddSharesRewriteTheHolding) {
  ASSERT_EQ(Out("new-stock name=Lot shares=100 buyPrice=10 buyFee=10.00"), "1\n");
  // Without an answer the question is declined and nothing changes.
  EXPECT_EQ(Cli("sell --id 1 30 12 2.50"), 1);
  EXPECT_EQ(Cli("sell --id 1 30 12 2.50 --yes --date 2003-05-01"), 0);
  std::string stocks = Out("dump stocks --json");
  EXPECT_NE(stocks.find("\"dwId\": 1, \"ucPortfolio\": 1, \"ucStatus\": 0"), std::string::npos);
  EXPECT_NE(
      stocks.find("\"szShares\": \"70.0000\", \"szBuyPrice\": \"10\", \"szBuyFee\": \"7.00\""),
      std::string::npos);
  EXPECT_NE(stocks.find("\"dwId\": 2, \"ucPortfolio\": 1, \"ucStatus\": 2"), std::string::npos);
  EXPECT_NE(stocks.find("\"tSellDate\": 1051747200"), std::string::npos);
  EXPECT_NE(stocks.find("\"portfolio1.dCash\": 357.5"), std::string::npos);

  std::string out;
  EXPECT_EQ(Cli("sell --id 1 71 12 --yes", &out), 1);
  EXPECT_NE(out.find("Cannot sell more shares!"), std::string::npos);
  EXPECT_EQ(Cli("split --id 1 2 1"), 0);
  EXPECT_EQ(Cli("add-shares --id 1 20 60 --yes"), 0);
  stocks = Out("dump stocks");
  EXPECT_NE(stocks.find("szShares: 200.0000\nszBuyPrice: 9.5\n"), std::string::npos) << stocks;
  EXPECT_EQ(Cli("split --id 9 2 1"), 1) << "no such stock";
  EXPECT_EQ(Cli("sell 1 2"), 2) << "no --id: a wrong command line";
}

TEST_F(PortfolioCommands, DeleteStockAnswersTheQuestionsFromTheFlags) {
  ASSERT_EQ(Out("new-stock name=A symbol=AAA"), "1\n");
  ASSERT_EQ(Out("new-stock name=B"), "2\n");
  ASSERT_EQ(Cli("set --id 1 note=x"), 0);
  ASSERT_EQ(Cli("chart add AAA 0 2003-05-01 10"), 0);
  EXPECT_EQ(Cli("delete-stock --id 1"), 1);
  std::string out;
  ASSERT_EQ(Cli("delete-stock --id 1 --answers y,n", &out), 0);
  EXPECT_NE(out.find("Delete this stock? yes"), std::string::npos);
  EXPECT_NE(out.find("Delete stock chart data? no"), std::string::npos);
  EXPECT_EQ(Out("dump notes"), "");
  EXPECT_NE(Out("dump charts").find("AAA market 0"), std::string::npos);
  EXPECT_EQ(Cli("delete-stock --all --answers y,n"), 1);
  EXPECT_EQ(Cli("delete-stock --all --yes"), 0);
  EXPECT_EQ(Out("dump charts"), "");
  EXPECT_EQ(Out("dump stocks").find("dwId"), std::string::npos);
}

TEST_F(PortfolioCommands, PortfoliosAndCurrenciesWithACommaAsDecimalSeparator) {
  ASSERT_EQ(Cli("reg set \"Control Panel\\International\" sDecimal --string ,"), 0);
  ASSERT_EQ(Cli("portfolio add Europe"), 0);
  ASSERT_EQ(Cli("portfolio add Asia"), 0);
  ASSERT_EQ(Cli("portfolio rename 1 Tech"), 0);
  EXPECT_EQ(Cli("portfolio rename 0 Mine"), 1);
  ASSERT_EQ(Cli("currency base eur"), 0);
  ASSERT_EQ(Cli("currency add dem 5"), 0);  // a euro currency gets the fixed rate
  ASSERT_EQ(Cli("currency add USD 0,9"), 0);
  ASSERT_EQ(Cli("currency portfolio 3 2"), 0);
  EXPECT_EQ(Out("currency list"), "0 EUR 1,000000\n1 DEM 0,511292\n2 USD 0,900000\n");
  ASSERT_EQ(Cli("currency delete 1 --yes"), 0);
  EXPECT_EQ(Out("portfolio list"), "0 Unfiled EUR\n1 Tech EUR\n2 Europe EUR\n3 Asia USD\n");
  EXPECT_EQ(Cli("portfolio delete 2"), 1);  // declined
  ASSERT_EQ(Cli("portfolio delete 2 --yes"), 0);
  EXPECT_EQ(Out("portfolio list"), "0 Unfiled EUR\n1 Tech EUR\n2 Asia USD\n");
  EXPECT_EQ(Cli("currency edit 9 X 1"), 1);
  EXPECT_EQ(Cli("currency"), 2);
}

TEST_F(PortfolioCommands, BadFieldsChangeNothing) {
  ASSERT_EQ(Out("new-stock name=A"), "1\n");
  std::string out;
  // Bad fields are bad input (exit 2), and nothing of the line is stored.
  EXPECT_EQ(Cli("set --id 1 price=123456789012", &out), 2);
  EXPECT_NE(out.find("at most 11 characters"), std::string::npos);
  EXPECT_EQ(Cli("set --id 1 name=B bogus=1"), 2);
  EXPECT_NE(Out("dump stocks").find("szName: A\n"), std::string::npos);
  EXPECT_EQ(Cli("set columnValue=10"), 2);
  EXPECT_EQ(Cli("set --id 1 portfolio=5"), 2);
  EXPECT_NE(Out("dump prefs").find("ucColumnValue: 0\n"), std::string::npos);
}

}  // namespace
}  // namespace quillet
