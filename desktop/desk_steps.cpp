#include "desktop/desk_steps.h"

#include "core/portfolio_store.h"
#include "core/quote_tables.h"
#include "desktop/backups.h"
#include "desktop/csv_export.h"
#include "desktop/csv_import.h"
#include "desktop/quillet_updater.h"
#include "platform/context.h"

namespace quillet {
namespace {

// The context of a run: its desktop, settings, stocks and chart database; its log, progress
// window and Cancel.
struct RunContext {
  explicit RunContext(CQuilletUpdater& run)
      : maxId(run.preferences() != nullptr ? run.preferences()->dwDesktopMaxId : 0),
        context{run.desktop(), run.desktop().files(), run.workingDirectory(), run.settings(),
                run.store()} {
    context.charts = run.charts();
    context.locale = ReadLocaleSettings(run.desktop().registry());
    context.log = [&run](std::string_view line) { run.LogLine(line); };
    context.show = [&run](UINT id) {
      if (run.progress() != nullptr) run.progress()->ShowStatus(id);
    };
    context.cancelled = [&run] { return run.cancelToken().cancelled(); };
    context.pump = [&run] {
      if (run.progress() != nullptr) run.progress()->PumpMessages();
    };
    context.settingChanged = [&run](std::string_view key) { run.SettingChanged(key); };
    context.marketUsed = [&run](int market) { run.MarkMarketForUpdate(market); };
    context.maxId = &maxId;
  }
  DWORD maxId;
  DeskStepContext context;
};

}  // namespace

bool CDeskSteps::Restore(CQuilletUpdater& run, std::string_view date) {
  RunContext c(run);
  std::optional<RestoredFiles> files = RestoreBackupFiles(c.context, date);
  if (!files) return false;
  run.ParseStockFile(files->stocks);
  run.ParseNoteFile(files->notes);
  run.ParseAlertFile(files->alerts);
  RestoreChartBackup(c.context, date);
  run.LogLine("Quillet Data from [" + std::string(date) + "] restored");
  return true;
}

bool CDeskSteps::ImportStocks(CQuilletUpdater& run) {
  RunContext c(run);
  const int imported = ImportStockFile(c.context);
  if (run.preferences() != nullptr) run.preferences()->dwDesktopMaxId = c.maxId;
  return imported >= 0;
}

void CDeskSteps::Export(CQuilletUpdater& run) {
  RunContext c(run);
  if (RunExport(c.context) == ExportOutcome::kCancelled) run.EndRun();
}

void CDeskSteps::Backup(CQuilletUpdater& run) {
  RunContext c(run);
  RunBackup(c.context);
}

}  // namespace quillet
