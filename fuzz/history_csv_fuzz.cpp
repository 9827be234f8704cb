// Feeds arbitrary bytes to the price-history download as the history host's answer, read
// through the client's line reader: first through the parser alone, then (when the first byte
// says so) through the whole download into a chart store, so that sorting, the pence division
// and the series write meet hostile data too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/chart_store.h"
#include "fuzz/scripted_answer.h"
#include "platform/context.h"
#include "platform/linux/host_services.h"
#include "platform/socket.h"
#include "quotes/history_download.h"
#include "quotes/quote_client.h"
#include "quotes/testing/client_kit.h"

namespace {

// One device root for the whole run, removed when the process ends.
struct FuzzRoot {
  FuzzRoot() {
    char pattern[] = "/tmp/quillet-history-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) __builtin_trap();
    path = pattern;
    ctx = quillet::PlatformContext::Open(quillet::PlatformContext::Kind::kDevice, path,
                                         host.services());
    if (ctx == nullptr) __builtin_trap();
    charts = std::make_unique<quillet::ChartStore>(ctx->objectStore(), ctx->messageBoxes());
    if (!charts->OpenChartStore()) __builtin_trap();
  }
  ~FuzzRoot() {
    charts.reset();
    ctx.reset();
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string path;
  quillet::HostServices host{quillet::EnvironmentSettings{}};
  std::unique_ptr<quillet::PlatformContext> ctx;
  std::unique_ptr<quillet::ChartStore> charts;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzRoot root;
  if (size == 0) return 0;
  const std::uint8_t control = data[0];
  ++data;
  --size;

  quillet::ScriptedSockets sockets;
  static constexpr std::size_t kChunks[] = {1, 11, 600, 1 << 16};
  quillet::fuzzing::ScriptAnswer(sockets, data, size, control & 0x80, kChunks[control & 3]);

  quillet::ManualClock clock(1051891200);
  quillet::testing::ClientKit kit;
  quillet::CQuoteClient client(quillet::ClientVariant::kDesktop, kit.Services(sockets));

  std::vector<quillet::ChartPoint> points;
  client.SetParser(quillet::kSourceHistory, [&](quillet::CQuoteClient& c) {
    return quillet::ParseHistoryCsv(c, points, clock);
  });
  client.BeginRequestWithPath(quillet::kSourceHistory, "/table.csv?s=IBM");
  client.EndRequest();
  int code = client.Execute();
  if (code < quillet::QR_OK || code > quillet::QR_TIMEOUT) __builtin_trap();
  if (points.size() > quillet::kMaxChartPoints) __builtin_trap();
  for (const quillet::ChartPoint& p : points) {
    if (p.tDate == 0) __builtin_trap();
  }

  if (control & 0x40) {
    std::vector<std::unique_ptr<quillet::StockRecord>> stocks;
    stocks.push_back(std::make_unique<quillet::StockRecord>());
    quillet::CopyToField(stocks[0]->szSymbol, "IBM");
    stocks[0]->ucMarket = (control & 0x20) ? 14 : 0;  // London pence, or US
    quillet::HistoryDownloadSettings settings;
    settings.bRetry = false;
    settings.dwTimeout = 5;
    client.SetParser(quillet::kSourceHistory, {});
    code = quillet::DownloadPriceHistory(client, stocks, *root.charts, settings, clock, {});
    if (code < quillet::QR_OK || code > quillet::QR_TIMEOUT) __builtin_trap();
    const int market = stocks[0]->ucMarket;
    if (auto series =
            root.charts->FindSeries(stocks[0]->ucMarket == 14 ? "IBM.L" : "IBM", market)) {
      if (series->points.size() > quillet::kMaxChartPoints) __builtin_trap();
      for (std::size_t i = 1; i < series->points.size(); ++i) {
        if (quillet::DayStart(series->points[i - 1].tDate) >=
            quillet::DayStart(series->points[i].tDate)) {
          __builtin_trap();
        }
      }
    }
  }
  return 0;
}
