// The three data files and the preference record come from disk, from the desktop and from
// older versions. The first two input bytes choose how the rest is split between the stock,
// note and alert files and the preference record; everything is loaded, every figure of every
// stock computed and formatted, the list sorted by every key, and the files saved again.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/data_files.h"
#include "core/portfolio_math.h"
#include "core/portfolio_store.h"
#include "core/preferences.h"
#include "core/registry/registry_store.h"
#include "platform/context.h"
#include "platform/testing/in_memory_file_system.h"
#include "platform/testing/test_support.h"

namespace {

// The data files are written and read in memory (a disk's syncs would cut the inputs run many
// times over); the preference record goes through the root's real registry.
struct Device {
  quillet::testing::TempDir dir;
  quillet::HostServices host{quillet::EnvironmentSettings{}};
  std::unique_ptr<quillet::PlatformContext> ctx = quillet::PlatformContext::Open(
      quillet::PlatformContext::Kind::kDevice, dir.path(), host.services());
  quillet::testing::InMemoryFileSystem memory{host.services().clock};
  Device() { ctx->SetFiles(&memory); }
  ~Device() { ctx->SetFiles(nullptr); }
};

quillet::PlatformContext& Context() {
  static Device device;
  return *device.ctx;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillet;
  if (size < 3) return 0;
  PlatformContext& ctx = Context();
  std::string bytes(reinterpret_cast<const char*>(data) + 3, size - 3);
  std::size_t a = std::min<std::size_t>(bytes.size(), data[0] * 16u);
  std::size_t b = std::min<std::size_t>(bytes.size() - a, data[1] * 8u);
  std::size_t c = std::min<std::size_t>(bytes.size() - a - b, data[2] * 4u);
  std::string folder = *ctx.HostPath("\\Program Files\\Quillet");
  ctx.files().CreateFolders(folder);
  // A stock file gets a real header now and then, so records are read behind it too.
  std::string stocks = bytes.substr(0, a);
  if (data[2] & 1) stocks = std::string("\x64\x00", 2) + std::string(1598, '\0') + stocks;
  ctx.files().WriteAll(folder + "/QuilletDB", stocks);
  ctx.files().WriteAll(folder + "/StockNoteDB", bytes.substr(a, b));
  ctx.files().WriteAll(folder + "/StockAlertDB", bytes.substr(a + b, c));
  RegistryStore prefs(ctx.registry());
  prefs.SetProductKey(u"Quillet");
  std::string record = bytes.substr(a + b + c);
  prefs.SetDword(u"PrefSize", record.empty() ? 0 : 216);
  prefs.SetBinary(u"PrefBuf", record.data(), static_cast<DWORD>(record.size()));

  PortfolioStore store(ctx);
  store.ResetToDefaults();
  LoadPreferences(store);
  if (!LoadStocks(store) || !LoadNotes(store) || !LoadAlerts(store)) return 0;
  for (int context : {0, static_cast<int>(PORTFOLIO_ALL), static_cast<int>(kNoConversion)}) {
    for (const auto& s : store.stocks) {
      for (int kind = 0; kind < kValueKindCount; ++kind) {
        (void)FormatStockValue(store, *s, kind, context);
      }
    }
  }
  for (int p = 0; p < store.wPortfolioCount; ++p) {
    (void)ComputeTotals(store, p, false);
    (void)ChangeToday(store, p);
  }
  (void)ComputeTotals(store, PORTFOLIO_ALL, true);
  for (int key = 0; key < kSortKeyCount; ++key) SortStocks(store, key, key & 1, key & 2);
  SaveStocks(store);
  SaveNotes(store);
  SaveAlerts(store);
  SavePreferences(store);
  return 0;
}
