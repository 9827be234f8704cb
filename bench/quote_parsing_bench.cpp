// Reading quote answers, each as a line of the benchmark table against memchr finding every
// line end of the same bytes: the CSV quote service's answers through the client's line reader
// and parser, and one line per page source for the pages the quote sources answer with. The
// answers are played from memory, so the network is not part of what is measured.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "bench/table_line.h"
#include "core/quote_tables.h"
#include "platform/socket.h"
#include "platform/testing/test_support.h"
#include "quotes/quote_client.h"
#include "quotes/testing/client_kit.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

using bench::SecondsSince;

// The floor: every line end of the bytes found with memchr, the least any line reader does.
std::size_t CountLines(const std::string& bytes) {
  std::size_t lines = 0;
  const char* p = bytes.data();
  const char* end = p + bytes.size();
  while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) !=
         nullptr) {
    ++lines;
    ++p;
  }
  return lines;
}

// Plays `answer` to a client asking `source` for `symbol` `times` times; the results of the
// last request stay in the client. False when a request did not succeed.
bool PlayAnswer(CQuoteClient& client, int source, const char* symbol, int times) {
  for (int i = 0; i < times; ++i) {
    client.FreeResults();
    client.BeginRequest(source);
    client.AppendRequest(symbol);
    client.EndRequest();
    if (client.Execute() != QR_OK) {
      std::fprintf(stderr, "source %d: %s\n", source, client.errorText());
      return false;
    }
  }
  return true;
}

// Times `times` plays of the answer and `times` memchr passes over it, alternating a few
// rounds and keeping the best of each.
struct Timing {
  double measured = 1e300;
  double floor = 1e300;
  bool ok = true;
};
Timing TimeAnswer(const std::string& answer, int source, const char* symbol, int times) {
  testing::ClientKit kit;
  ScriptedSockets sockets;
  sockets.answer = answer;
  CQuoteClient client(ClientVariant::kDevice, kit.Services(sockets));
  Timing t;
  for (int round = 0; round < 5; ++round) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < times; ++i) benchmark::DoNotOptimize(CountLines(answer));
    t.floor = std::min(t.floor, SecondsSince(start));
    start = std::chrono::steady_clock::now();
    t.ok = t.ok && PlayAnswer(client, source, symbol, times);
    t.measured = std::min(t.measured, SecondsSince(start));
  }
  return t;
}

// An answer of the CSV quote service as it sends one: the status line and headers, then per
// symbol its twelve fields, texts in double quotes, the year's range last. 1,500 lines: ten
// full batches' worth, within what one answer may hold.
std::string CsvServiceAnswer() {
  std::string body;
  for (int i = 0; i < 1500; ++i) {
    const std::string n = std::to_string(i);
    body += "\"S" + n + "\"," + std::to_string(10 + i % 90) + "." + std::to_string(10 + i % 89) +
            ",\"5/2/2003\",\"4:00pm\"," + (i % 2 ? "+" : "-") + "0." + std::to_string(10 + i % 80) +
            ",9.85,11.20,10.05," + std::to_string(100000 + i * 37) +
            ",10.40,10.45,\"8.00 - 12.50\"\r\n";
  }
  return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

void BM_CsvQuoteParsing(benchmark::State& state) {
  const std::string answer = CsvServiceAnswer();
  constexpr int kTimes = 40;
  for (auto _ : state) {
    Timing t = TimeAnswer(answer, kSourceCsvUs, "S1", kTimes);
    if (!t.ok) state.SkipWithError("the answer was not read");
    state.SetIterationTime(t.measured);
    bench::TableLine(state, "CSV quote parsing through the line reader",
                     "memchr over the same bytes", ">=100 MB/s, <=10x", t.measured, t.floor);
    state.counters["MBps"] =
        static_cast<double>(answer.size()) * kTimes / t.measured / (1024.0 * 1024.0);
  }
}
BENCHMARK(BM_CsvQuoteParsing)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The page sources, each with a symbol the simulator's price book below knows.
struct PageSource {
  int source;
  const char* name;
  const char* symbol;
};
constexpr PageSource kPageSources[] = {
    {2, "Amsterdam page", "QT"},     {3, "Zurich bar list", "QT"},
    {5, "Vienna page", "QT"},        {6, "German fund page", "QT"},
    {8, "Canadian fund page", "QT"}, {12, "Brussels page", "QT"},
    {14, "Swiss XML list", "QT"},    {15, "Nordic page", "QT"},
    {16, "Cyprus page", "QT"},       {17, "Tokyo page", "6758.T"},
    {18, "Thai page", "QT"},         {19, "quick chart page", "ZA:QT"},
    {20, "French fund page", "QT"},  {21, "French fund page (2)", "QT"},
    {23, "Canada trust page", "QT"}, {24, "Austrian fund page", "QT"},
};

// The answers of the page sources as the simulator sends them, fetched once over loopback with
// a parser that only keeps the bytes.
std::map<int, std::string> FetchPages() {
  std::map<int, std::string> pages;
  testing::TempDir dir;
  std::ofstream(dir.File("quotes.txt"))
      << "QT,1234.56,+1.25,1230.10,1240.90,1233.31,1234567,1234.50,1234.60,1000.01,1500.99\n"
         "ZA:QT,1234.56,+1.25,1230.10,1240.90,1233.31,1234567,1234.50,1234.60,1000.01,1500.99\n"
         "6758.T,4210,+30,4150,4230,4180,1200000,4200,4220,3000,5000\n";
  testing::ScopedTimeZone tz("UTC");
  testing::QuoteSimProcess sim({"--fixture", dir.File("quotes.txt")});
  if (!sim.running()) return pages;
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDevice, kit.Services());
  client.SetServerOverride(QuoteEndpoint{"127.0.0.1", sim.port()});
  for (const PageSource& page : kPageSources) {
    // The client reads the status line itself before the parser reads the rest.
    std::string bytes = "HTTP/1.0 200 OK\r\n";
    client.SetParser(page.source, [&bytes](CQuoteClient& c) {
      while (c.ReadLine(0)) {
        bytes += c.LineText();
        if (c.lineTerminated()) bytes += "\r\n";
      }
      return true;
    });
    if (PlayAnswer(client, page.source, page.symbol, 1)) {
      pages[page.source] = std::move(bytes);
    }
  }
  return pages;
}

void BM_PageParsing(benchmark::State& state) {
  static const std::map<int, std::string> pages = FetchPages();
  const PageSource& page = kPageSources[state.range(0)];
  auto it = pages.find(page.source);
  if (it == pages.end()) {
    state.SkipWithError("the simulator gave no page");
    for (auto _ : state) {
    }
    return;
  }
  constexpr int kTimes = 4000;
  for (auto _ : state) {
    Timing t = TimeAnswer(it->second, page.source, page.symbol, kTimes);
    if (!t.ok) state.SkipWithError("the page was not read");
    state.SetIterationTime(t.measured);
    bench::TableLine(
        state,
        std::string("page parsing, ") + page.name + " (source " + std::to_string(page.source) + ")",
        "memchr over the same bytes", "report", t.measured, t.floor);
    state.counters["MBps"] =
        static_cast<double>(it->second.size()) * kTimes / t.measured / (1024.0 * 1024.0);
  }
}
BENCHMARK(BM_PageParsing)
    ->DenseRange(0, std::size(kPageSources) - 1)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) { return quillet::bench::RunBenchmarks(argc, argv); }
