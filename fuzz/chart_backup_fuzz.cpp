// A chart backup is read back from a file the desktop kept for days and a user may have copied
// or cut short. Any bytes are fed to the reader alone, in memory, so that millions of inputs run
// in minutes. A backup it accepts must be used up to its last byte, hold names that end inside
// their 16 bytes and no more points than a series may have, and encode again to the very same
// bytes (all but what the reader ignores: the byte after the market and the name's bytes after
// its end, which are written as zeros).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "core/chart_points.h"
#include "desktop/backups.h"

namespace {

constexpr std::size_t kHeader = 20;  // name (16), market, zero, point count (16 bits)

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillet;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string why;
  const auto series = DecodeChartBackup(bytes, &why);
  if (!series) {
    Check(!why.empty());
    return 0;
  }

  // What the writer would put down for the records read, computed from the input alone.
  std::string expected(bytes);
  std::size_t at = 0;
  for (const ChartSeries& s : *series) {
    Check(expected.size() - at >= kHeader);
    const std::size_t nameLength = ::strnlen(expected.data() + at, 16);
    Check(nameLength < 16);
    Check(s.name() == std::string_view(expected.data() + at, nameLength));
    Check(s.ucMarket == static_cast<unsigned char>(expected[at + 16]));
    std::memset(expected.data() + at + nameLength, 0, 16 - nameLength);
    expected[at + 17] = '\0';
    const std::size_t count =
        static_cast<unsigned char>(expected[at + 18]) |
        static_cast<std::size_t>(static_cast<unsigned char>(expected[at + 19])) << 8;
    Check(count <= kMaxChartPoints && count == s.points.size());
    at += kHeader + count * sizeof(ChartPoint);
    Check(at <= expected.size());
  }
  Check(at == expected.size());
  Check(EncodeChartBackup(*series) == expected);
  return 0;
}
