// One line of the benchmark table that scripts/bench prints. A line is a benchmark run whose
// label is "measure|floor|target" and whose counter "ratio" is the measured time over the floor
// timed in the same run, so the table compares like with like on whatever machine it runs.
// The target is "report" for lines that only report; "<=3x" and ">=100 MB/s" parts are
// checked by the script, the second against the counter "MBps".
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace quillet::bench {

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The best of `times` runs of `work`, in seconds: the least disturbed by the other processes
// sharing the machine.
template <typename Work>
double BestOf(int times, Work&& work) {
  double best = 1e300;
  for (int i = 0; i < times; ++i) {
    auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(best, SecondsSince(start));
  }
  return best;
}

// Labels the run as a table line and records the measured time, the floor and their ratio.
inline void TableLine(benchmark::State& state, std::string_view measure, std::string_view floor,
                      std::string_view target, double measuredSeconds, double floorSeconds) {
  std::string label;
  label.append(measure).append("|").append(floor).append("|").append(target);
  state.SetLabel(label);
  state.counters["measured_ms"] = measuredSeconds * 1e3;
  state.counters["floor_ms"] = floorSeconds * 1e3;
  state.counters["ratio"] = floorSeconds > 0 ? measuredSeconds / floorSeconds : 0;
}

// Stock symbols of four letters ("AAAA", "AAAB", ...), so 150 of them fit one quote request.
inline std::string SymbolOf(int i) {
  std::string s(4, 'A');
  for (int k = 3; k >= 0; --k) {
    s[static_cast<std::size_t>(k)] = static_cast<char>('A' + i % 26);
    i /= 26;
  }
  return s;
}

// The simulator and the programs a benchmark starts are found beside it when the build folder
// is not named (scripts/bench runs the programs straight from build/release/bench/).
inline void FindBuildFolder() {
  if (std::getenv("QUILLET_BUILD_DIR") != nullptr) return;
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) setenv("QUILLET_BUILD_DIR", self.parent_path().parent_path().c_str(), 0);
}

// The main of a bench program whose benchmarks are all registered statically.
inline int RunBenchmarks(int argc, char** argv) {
  FindBuildFolder();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace quillet::bench
