// `update` and `alerts` as a script uses them: quillet-cli run as its own process on a device
// root, against the quote service simulator on loopback.
#include <gtest/gtest.h>

#include <chrono>

#include "core/data_files.h"
#include "core/portfolio_store.h"
#include "platform/codepage.h"
#include "platform/testing/test_support.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

using testing::QuoteSimProcess;
using testing::RunCommand;
using testing::ShellQuote;

class UpdateCommand : public ::testing::Test {
 protected:
  void StartSim(std::vector<std::string> args = {}) {
    sim = std::make_unique<QuoteSimProcess>(std::move(args));
    ASSERT_TRUE(sim->running());
  }
  // The command line of the tool on the root, its standard error into errPath.
  std::string Command(const std::string& args) {
    std::string server = sim ? "QUILLET_QUOTE_SERVER=127.0.0.1:" + std::to_string(sim->port()) : "";
    return "TZ=UTC QUILLET_NOW=1051891200 " + server + " " +
           ShellQuote(testing::BuiltProgram("bin/quillet-cli")) + " --device-root " +
           ShellQuote(dir.path()) + " " + args + " 2>" + ShellQuote(errPath);
  }
  // Runs the tool; standard output into *out, standard error into *err.
  int Cli(const std::string& args, std::string* out = nullptr, std::string* err = nullptr) {
    int status = RunCommand(Command(args), out);
    if (err != nullptr) {
      std::string text;
      RunCommand("cat " + ShellQuote(errPath), &text);
      *err = text;
    }
    return status;
  }
  std::string Out(const std::string& args) {
    std::string out;
    EXPECT_EQ(Cli(args, &out), 0) << args;
    return out;
  }
  static bool Has(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
  }

  testing::TempDir dir;
  std::string errPath = dir.File("stderr.txt");
  std::unique_ptr<QuoteSimProcess> sim;
};

TEST_F(UpdateCommand, UpdatesPricesHistoryAndRatesAndPrintsTheLog) {
  std::string fixture = dir.File("quotes.csv");
  ASSERT_EQ(RunCommand("printf 'IBM,81.5,+1.5,80,82,80,1000000,81.4,81.6,60,90\\n"
                       "MSFT,25,-1,24.5,26,26,2000,24.9,25.1,20,30\\n' > " +
                       ShellQuote(fixture)),
            0);
  StartSim({"--fixture", fixture});
  ASSERT_EQ(Out("new-stock name=IBM symbol=IBM shares=10 buyPrice=70 price=80 chart=1"), "1\n");
  ASSERT_EQ(Out("new-stock name=Microsoft symbol=MSFT shares=5 buyPrice=20 price=26 chart=0"),
            "2\n");
  ASSERT_EQ(Cli("currency add EUR 1.1"), 0);
  std::string out, err;
  ASSERT_EQ(Cli("update", &out, &err), 0) << err;
  EXPECT_EQ(out,
            "Quillet v4.36a (PocketPC)\n"
            "Query String: IBM+MSFT\n"
            "  [IBM] : [80] -> [81.5]\n"
            "  [MSFT] : [26] -> [25]\n"
            "Query String: EURUSD=X\n"
            "  [EURUSD=X] : [1.100000] -> [1.0846]\n");
  EXPECT_TRUE(Has(err, "Connecting to server...\nRetrieving stock information...\n")) << err;

  std::string stocks = Out("dump stocks");
  EXPECT_TRUE(Has(stocks, "szPrice: 81.5\n")) << stocks;
  EXPECT_TRUE(Has(stocks, "szChange: +1.5\n"));
  std::string charts = Out("dump charts");
  EXPECT_TRUE(Has(charts,
                  "IBM market 0 points 1\n  2003-05-02T16:00:00 81.5000 80.0000 82.0000 "
                  "1000000\n"))
      << charts;
  EXPECT_FALSE(Has(charts, "MSFT"));
  EXPECT_TRUE(Has(Out("currency list"), "1.0846"));
  EXPECT_TRUE(Has(Out("dump prefs"), "tLastUpdate: 1051891200"));

  // A background run shows no progress.
  ASSERT_EQ(Cli("update --background", &out, &err), 0);
  EXPECT_EQ(err, "");
}

TEST_F(UpdateCommand, AFailedRunSaysSoAndExitsOne) {
  StartSim({"--status", "503"});
  ASSERT_EQ(Out("new-stock name=IBM symbol=IBM price=80"), "1\n");
  std::string out, err;
  EXPECT_EQ(Cli("update", &out, &err), 1);
  EXPECT_TRUE(Has(out, "Quillet: HTTP Error\nHTTP/1.0 503")) << out;
  EXPECT_TRUE(Has(err, "Update not complete, check the network log.")) << err;
  EXPECT_TRUE(Has(Out("dump stocks"), "szPrice: 80\n"));

  StartSim({"--silent"});
  EXPECT_EQ(Cli("update --timeout 1", &out, &err), 1);
  EXPECT_TRUE(Has(out, "Quillet: Timeout operation\n")) << out;
  EXPECT_EQ(Cli("update --timeout 0"), 2);
  EXPECT_EQ(Cli("update --bogus"), 2);
}

TEST_F(UpdateCommand, AStallInTheFirstOfTwoBatchesIsAnIncompleteRun) {
  // 151 stocks make two batches; the first answer stops mid-body and the server falls silent.
  StartSim({"--cut-stall", "after:\"S100\"", "--fault-count", "1"});
  {
    HostServices host(EnvironmentSettings{});
    auto ctx = PlatformContext::Open(PlatformContext::Kind::kDevice, dir.path(), host.services());
    ASSERT_TRUE(ctx);
    PortfolioStore store(*ctx);
    for (int i = 100; i < 251; ++i) {
      StockRecord* r = store.NewStock();
      ASSERT_NE(r, nullptr);
      CopyToField(r->szName, "S" + std::to_string(i));
      CopyToField(r->szSymbol, "S" + std::to_string(i));
      CopyToField(r->szPrice, "1");
    }
    ASSERT_TRUE(SaveStocks(store));
  }
  std::string out, err;
  EXPECT_EQ(Cli("update --timeout 1", &out, &err), 1) << out;
  EXPECT_TRUE(Has(out, "Quillet: Timeout operation\n")) << out;
  EXPECT_TRUE(Has(err, "Update not complete, check the network log.")) << err;
  EXPECT_EQ(sim->Requests().size(), 1u) << "the second batch is not asked";
  EXPECT_FALSE(Has(Out("dump stocks"), "szPrice: 1.")) << "no stock took a price";
}

TEST_F(UpdateCommand, CtrlCIsTheCancelButton) {
  StartSim({"--delay", "5000"});
  ASSERT_EQ(Out("new-stock name=IBM symbol=IBM price=80"), "1\n");
  std::string out, err;
  auto start = std::chrono::steady_clock::now();
  // The tool runs in the background of a shell; the interrupt arrives while it waits.
  EXPECT_EQ(RunCommand(Command("update") + " & pid=$!; sleep 1; kill -INT $pid; wait $pid", &out),
            0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  EXPECT_TRUE(Has(out, "Quillet: Cancel operation\n")) << out;
  EXPECT_TRUE(Has(Out("dump stocks"), "szPrice: 80\n"));
  // A background run shows no progress, and Ctrl-C still ends it: sent once the run's query
  // is in its log, while the server holds the answer back.
  const std::string logPath = ShellQuote(dir.File("log.txt"));
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(
      RunCommand(Command("update --background") + " >" + logPath +
                     " & pid=$!; for i in $(seq 200); do grep -q 'Query String' " + logPath +
                     " && break; sleep 0.05; done; kill -INT $pid; wait $pid; status=$?; cat " +
                     logPath + "; exit $status",
                 &out),
      0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  EXPECT_TRUE(Has(out, "Quillet: Cancel operation\n")) << out;
}

TEST_F(UpdateCommand, DialsThePhoneBookEntryAndHangsUp) {
  StartSim();
  ASSERT_EQ(Out("new-stock name=IBM symbol=IBM"), "1\n");
  const std::string entry = ShellQuote("Comm\\RasBook\\Office");
  ASSERT_EQ(Cli("reg set " + entry + " Phone --string 555"), 0);
  std::string out, err;
  ASSERT_EQ(Cli("update", &out, &err), 0);
  EXPECT_TRUE(Has(out,
                  "Quillet: The password for the selected RAS connection was not found. "
                  "Using PocketPC default dialing.\n"))
      << out;
  ASSERT_EQ(Cli("reg set " + entry + " Password --string pw"), 0);
  ASSERT_EQ(Cli("reg set " + entry + " Connect --dword 1"), 0);
  ASSERT_EQ(Cli("update", &out, &err), 0);
  EXPECT_FALSE(Has(out, "dialing"));
  EXPECT_TRUE(Has(err, "Connecting to the Internet...\n")) << err;
  EXPECT_TRUE(Has(err, "Closing connection...\n")) << err;
  // "Use Modem" off: no dial at all.
  ASSERT_EQ(Cli("set prefFlags=41"), 0);
  ASSERT_EQ(Cli("update", &out, &err), 0);
  EXPECT_FALSE(Has(err, "Connecting to the Internet"));
}

TEST_F(UpdateCommand, AlertsForScripts) {
  ASSERT_EQ(Out("new-stock name=IBM symbol=IBM shares=10 buyPrice=70 price=80"), "1\n");
  ASSERT_EQ(Out("new-stock name=Old symbol=OLD status=sold price=80"), "2\n");
  EXPECT_EQ(Out("alerts check"), "No alerts\n");
  EXPECT_EQ(Out("alerts add --id 1 C.Price '<' 50"), "1\n");
  EXPECT_EQ(Out("alerts add --id 1 profit% '>=' 14.28"), "2\n");
  EXPECT_EQ(Out("alerts list"),
            "1  inactive  IBM  US  C.Price < 50.00\n"
            "2  active    IBM  US  Profit % >= 14.28\n");
  EXPECT_EQ(Out("alerts check"), "1 or more active alerts\n");
  EXPECT_EQ(Out("reg get 'SOFTWARE\\Marrowby\\Quillet' Alert"), "1\n");
  EXPECT_TRUE(Has(Out("alerts list --json"),
                  "{\"number\": 1, \"symbol\": \"IBM\", \"market\": 0, \"condition\": "
                  "\"C.Price\", \"compare\": \"<\", \"threshold\": 50.00, \"active\": false}"));
  // Refused: a sold stock, a zero threshold, an unknown comparison.
  std::string out, err;
  EXPECT_EQ(Cli("alerts add --id 2 C.Price '<' 50", &out, &err), 1);
  EXPECT_EQ(Cli("alerts add --id 1 C.Price '<' 0"), 2) << "a zero threshold is bad input";
  EXPECT_EQ(Cli("alerts add --id 1 C.Price '<>' 5"), 2);
  EXPECT_EQ(Cli("alerts delete 3"), 1);
  // Deleting the alert that fires turns the Today item off at once.
  EXPECT_EQ(Cli("alerts delete 2"), 0);
  EXPECT_EQ(Out("reg get 'SOFTWARE\\Marrowby\\Quillet' Alert"), "0\n");
  EXPECT_EQ(Cli("alerts delete 1"), 0);
  EXPECT_EQ(Out("alerts list"), "");
  EXPECT_EQ(Out("reg get 'SOFTWARE\\Marrowby\\Quillet' Alert"), "0\n");
  EXPECT_EQ(Cli("alerts"), 2);
}

}  // namespace
}  // namespace quillet
