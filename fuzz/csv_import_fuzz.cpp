// Feeds arbitrary bytes to the desktop companion's readers of outside files: as a CSV file to
// import, in either layout and with any separator (the first byte chooses), and as a chart
// backup to restore. An accepted chart backup must encode back to a backup that reads the same;
// an import must never add more stocks than the file has lines, nor portfolios past the table.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "core/portfolio_store.h"
#include "desktop/backups.h"
#include "desktop/csv_import.h"
#include "desktop/desk_steps.h"
#include "platform/clock.h"
#include "platform/context.h"
#include "platform/file_system.h"
#include "platform/linux/host_services.h"
#include "platform/testing/in_memory_file_system.h"

namespace {

// One desktop root for the whole run, removed when the process ends. The file to import is put
// in memory: a file written to disk per input would make a long run take days.
struct FuzzRoot {
  FuzzRoot() {
    char pattern[] = "/tmp/quillet-import-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) __builtin_trap();
    path = pattern;
    ctx = quillet::PlatformContext::Open(quillet::PlatformContext::Kind::kDesktop, path,
                                         host.services());
    if (ctx == nullptr) __builtin_trap();
    dir.windowsPath = "C:\\";
    dir.hostPath = ctx->HostPath("C:\\").value_or(path);
    if (files.CreateFolders(dir.hostPath) != 0) __builtin_trap();
  }
  ~FuzzRoot() {
    ctx.reset();
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string path;
  quillet::HostServices host{quillet::EnvironmentSettings{}};
  std::unique_ptr<quillet::PlatformContext> ctx;
  quillet::WorkingDirectory dir;
  quillet::ManualClock clock{1051891200};
  quillet::testing::InMemoryFileSystem files{clock};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzRoot root;
  if (size == 0) return 0;
  const std::uint8_t control = data[0];
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  std::string why;
  if (auto series = quillet::DecodeChartBackup(bytes, &why)) {
    auto again = quillet::DecodeChartBackup(quillet::EncodeChartBackup(*series), &why);
    if (!again || again->size() != series->size()) __builtin_trap();
    for (std::size_t i = 0; i < series->size(); ++i) {
      if ((*again)[i].name() != (*series)[i].name() ||
          (*again)[i].points.size() != (*series)[i].points.size()) {
        __builtin_trap();
      }
    }
  }

  quillet::FileSystem& files = root.files;
  const auto file = root.ctx->HostPath("C:\\import.csv");
  if (!file) __builtin_trap();
  if (files.WriteAll(*file, bytes) != 0) __builtin_trap();
  quillet::DeskSettings settings;
  quillet::CopyToField(settings.szPathImport, "C:\\import.csv");
  settings.ucImportFormat = control & 1;
  settings.ucExportSep = static_cast<quillet::BYTE>((control >> 1) & 3);
  quillet::PortfolioStore store(*root.ctx);
  quillet::DWORD maxId = 0;
  quillet::DeskStepContext context(*root.ctx, files, root.dir, settings, store);
  context.locale.decimalSeparator = (control & 8) ? ',' : '.';
  context.locale.listSeparator = (control & 16) ? ';' : ',';
  context.maxId = &maxId;
  const int imported = quillet::ImportStockFile(context);
  std::size_t lines = 1;
  for (char c : bytes) lines += c == '\n';
  if (imported < 0 || static_cast<std::size_t>(imported) > lines) __builtin_trap();
  if (store.stocks.size() != static_cast<std::size_t>(imported)) __builtin_trap();
  if (store.wPortfolioCount > quillet::kMaxPortfolios) __builtin_trap();
  if (maxId != static_cast<quillet::DWORD>(imported)) __builtin_trap();
  return 0;
}
