// The import, export, backup and restore of the desktop companion, as one set of steps that the
// update run calls (CDeskSteps) and that quillet-cli calls on its own. Each operation works on a
// DeskStepContext: the desktop, the working directory, the settings, the stocks of the handheld
// and its chart database, and where to report. The run builds one from itself; the tool builds
// one from the files of the connected handheld.
#pragma once

#include <functional>
#include <string_view>

#include "desktop/desk_run_host.h"
#include "desktop/desk_settings.h"
#include "desktop/working_directory.h"
#include "platform/locale_settings.h"
#include "platform/win_types.h"

namespace quillet {

class ChartStore;
class FileSystem;
class PlatformContext;
class PortfolioStore;

struct DeskStepContext {
  DeskStepContext(PlatformContext& desk, FileSystem& fs, const WorkingDirectory& folder,
                  DeskSettings& deskSettings, PortfolioStore& stocks)
      : desktop(desk), files(fs), dir(folder), settings(deskSettings), store(stocks) {}

  PlatformContext& desktop;
  FileSystem& files;  // the desktop's files (tests hand in a failing one)
  const WorkingDirectory& dir;
  DeskSettings& settings;
  PortfolioStore& store;
  ChartStore* charts = nullptr;  // null: the chart database is not open
  LocaleSettings locale;
  // One line of the run's log.
  std::function<void(std::string_view)> log;
  // A progress text (a string-table id); may be empty.
  std::function<void(UINT)> show;
  // The Cancel of the run; may be empty.
  std::function<bool()> cancelled;
  // Dispatches pending window messages between long pieces of work; may be empty.
  std::function<void()> pump;
  // A settings key the step changed (written when the run closes); may be empty.
  std::function<void(std::string_view)> settingChanged;
  // A market an imported stock belongs to: its quote source is asked in this run; may be empty.
  std::function<void(int market)> marketUsed;
  // The highest stock identifier in use; the import numbers on from it and moves it.
  DWORD* maxId = nullptr;

  void Log(std::string_view line) const {
    if (log) log(line);
  }
  void Show(UINT id) const {
    if (show) show(id);
  }
  bool Cancelled() const { return cancelled && cancelled(); }
  void Pump() const {
    if (pump) pump();
  }
  void Changed(std::string_view key) const {
    if (settingChanged) settingChanged(key);
  }
};

// The steps of a run: each hook builds the context from the run and calls the operation.
class CDeskSteps final : public DeskRunSteps {
 public:
  bool Restore(CQuilletUpdater& run, std::string_view date) override;
  bool ImportStocks(CQuilletUpdater& run) override;
  void Export(CQuilletUpdater& run) override;
  void Backup(CQuilletUpdater& run) override;
};

}  // namespace quillet
