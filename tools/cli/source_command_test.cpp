// `source` as a user runs it: quillet-cli as its own process on a device root defines a source,
// routes a market to it, checks it against the simulator over HTTPS, and `update` then prices
// the market through it.
#include <gtest/gtest.h>

#include "core/data_files.h"
#include "core/portfolio_store.h"
#include "platform/codepage.h"
#include "platform/testing/test_support.h"
#include "quotes/testing/quote_sim_process.h"
#include "quotes/testing/tls_certificates.h"

namespace quillet {
namespace {

using testing::QuoteSimProcess;
using testing::RunCommand;
using testing::ShellQuote;

class SourceCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(certs.ok());
    std::vector<std::string> args = certs.SimArgs(certs.server());
    args.insert(args.end(), {"--unknown", "NOSUCH"});
    sim = std::make_unique<QuoteSimProcess>(args);
    ASSERT_TRUE(sim->running());
    base = "https://127.0.0.1:" + std::to_string(sim->port());
  }
  int Cli(const std::string& args, std::string* out, std::string* err = nullptr) {
    const std::string errPath = dir.File("stderr.txt");
    int status = RunCommand(
        "TZ=UTC QUILLET_NOW=1051891200 QUILLET_CA_FILE=" + ShellQuote(certs.caFile()) + " " +
            ShellQuote(testing::BuiltProgram("bin/quillet-cli")) + " --device-root " +
            ShellQuote(dir.path()) + " " + args + " 2>" + ShellQuote(errPath),
        out);
    if (err != nullptr) RunCommand("cat " + ShellQuote(errPath), err);
    return status;
  }
  static bool Has(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
  }
  std::string AddJson(const std::string& name = "yq") {
    return "source add " + name + " " +
           ShellQuote("quote_url=" + base + "/user/json?symbols={symbols}") +
           " format=json list=quoteResponse.result symbol=symbol last=regularMarketPrice"
           " change=regularMarketChange date=regularMarketTime date_style=unix";
  }

  testing::TlsCertificates certs;
  testing::TempDir dir;
  std::unique_ptr<QuoteSimProcess> sim;
  std::string base;
};

TEST_F(SourceCommand, AddListRouteCheckAndRemove) {
  std::string out, err;
  ASSERT_EQ(Cli(AddJson(), &out, &err), 0) << err;
  ASSERT_EQ(Cli("source route Toronto yq", &out, &err), 0) << err;
  ASSERT_EQ(Cli("source list", &out, &err), 0) << err;
  EXPECT_TRUE(Has(out, "yq\n")) << out;
  EXPECT_TRUE(Has(out, "  last=regularMarketPrice\n")) << out;
  EXPECT_TRUE(Has(out, "  market 1 Toronto\n")) << out;

  ASSERT_EQ(Cli("source check yq RY.TO", &out, &err), 0) << out << err;
  EXPECT_TRUE(Has(out, "request: " + base + "/user/json?symbols=RY.TO\n")) << out;
  EXPECT_TRUE(Has(out, "status: 200\n")) << out;
  EXPECT_TRUE(Has(out, "  | {\"quoteResponse\":")) << out;
  EXPECT_TRUE(Has(out, "read: 1 quote(s)\n")) << out;
  EXPECT_TRUE(Has(out, "  symbol: RY.TO\n")) << out;
  EXPECT_TRUE(Has(out, "  date: 1051891200\n")) << out;
  // Fields the definition does not name are shown as not found.
  EXPECT_TRUE(Has(out, "  low: (not found)\n")) << out;

  // A field that points at nothing shows at once: the price is not found.
  ASSERT_EQ(Cli(AddJson() + " last=regularMarketPrize", &out, &err), 0) << err;
  EXPECT_EQ(Cli("source check yq RY.TO", &out, &err), 0);
  EXPECT_TRUE(Has(out, "  last: (not found)\n")) << out;
  // A symbol the service does not answer, and a path it does not have, fail the check.
  EXPECT_EQ(Cli("source check yq RY.TO NOSUCH", &out, &err), 1);
  EXPECT_TRUE(Has(out, "not answered: NOSUCH\n")) << out;
  ASSERT_EQ(Cli("source add bad " + ShellQuote("quote_url=" + base + "/user/nothing?{symbols}") +
                    " format=csv symbol=1 last=2",
                &out, &err),
            0);
  EXPECT_EQ(Cli("source check bad IBM", &out, &err), 1);
  EXPECT_TRUE(Has(out, "status: 404\n")) << out;

  ASSERT_EQ(Cli("source remove yq", &out, &err), 0) << err;
  ASSERT_EQ(Cli("source list", &out, &err), 0);
  EXPECT_FALSE(Has(out, "yq\n"));
  EXPECT_FALSE(Has(out, "Toronto"));
}

TEST_F(SourceCommand, BadDefinitionsAndCommandLinesAreRefusedWithTheirReason) {
  std::string out, err;
  EXPECT_EQ(Cli("source add x format=csv symbol=1 last=2", &out, &err), 2);
  EXPECT_TRUE(Has(err, "source x not stored: quote_url: is missing")) << err;
  EXPECT_EQ(Cli("source add x quote_url", &out, &err), 2);
  EXPECT_EQ(Cli("source route Atlantis x", &out, &err), 2);
  EXPECT_TRUE(Has(err, "there is no market Atlantis")) << err;
  EXPECT_EQ(Cli("source route 1 nosuch", &out, &err), 2);
  EXPECT_TRUE(Has(err, "there is no source named nosuch")) << err;
  EXPECT_EQ(Cli("source check nosuch IBM", &out, &err), 1);
  EXPECT_EQ(Cli("source frobnicate", &out, &err), 2);
  EXPECT_EQ(Cli("source list", &out, &err), 0);
  EXPECT_EQ(out, "");
}

TEST_F(SourceCommand, UpdatePricesARoutedMarketThroughTheSource) {
  std::string out, err;
  ASSERT_EQ(Cli(AddJson(), &out, &err), 0) << err;
  ASSERT_EQ(Cli("source route 1 yq", &out, &err), 0) << err;
  ASSERT_EQ(Cli("new-stock name=RY symbol=RY market=1 shares=10 buyPrice=50", &out, &err), 0)
      << err;
  EXPECT_EQ(Cli("update --timeout 10", &out, &err), 0) << out << err;
  EXPECT_TRUE(Has(out, "Query String: RY.TO")) << out;
  EXPECT_TRUE(Has(out, "  [RY.TO] : [] -> [")) << out;
}

}  // namespace
}  // namespace quillet
