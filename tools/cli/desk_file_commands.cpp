// `export`, `import`, `backup`, `restore` and `backups`: the desktop companion's CSV files and
// dated backups, run by the same code as the update run's steps, for scripts and cron. Export
// and backup read the connected device's files and chart database as a run does (nothing is
// written to the device); import and restore change the device's stocks, so they are asked
// for and done by the next `sync`, where the handheld program steps aside.
#include <cstring>
#include <ostream>

#include "core/chart_store.h"
#include "core/data_codecs.h"
#include "core/portfolio_store.h"
#include "desktop/backup_list.h"
#include "desktop/backups.h"
#include "desktop/csv_export.h"
#include "desktop/desk_steps.h"
#include "desktop/device_files.h"
#include "platform/codepage.h"
#include "platform/linux/remote_api.h"
#include "platform/roots.h"
#include "tools/cli/desktop_commands.h"

namespace quillet::cli {
namespace {

constexpr std::u16string_view kProductKey = u"SOFTWARE\\Marrowby\\Quillet";
constexpr std::u16string_view kDefaultDataFolder = u"\\Program Files\\Quillet\\";

// The desktop's working directory and settings, for a command that may change them.
struct DeskFiles {
  PlatformContext* desktop = nullptr;
  WorkingDirectory dir;
  DeskSettings settings;
};

bool OpenDesk(CliEnv& env, DeskFiles* d) {
  d->desktop = env.Desktop();
  if (d->desktop == nullptr) return false;
  std::string error;
  auto dir = FindWorkingDirectory(*d->desktop, &error);
  if (!dir) {
    *env.err << "quillet-cli: " << error << "\n";
    return false;
  }
  d->dir = *dir;
  d->settings = LoadDeskSettings(*d->desktop, d->dir, nullptr, [&](std::string_view line) {
    *env.err << "quillet-cli: " << line << "\n";
  });
  return true;
}

bool SaveDesk(CliEnv& env, DeskFiles& d) {
  if (LONG rc = SaveDeskSettings(*d.desktop, d.dir, d.settings)) {
    *env.err << "quillet-cli: the settings were not saved (error " << rc << ")\n";
    return false;
  }
  return true;
}

// The connected device's data as a run reads it: the three files copied into the working
// directory, the stocks and notes parsed, the chart database open.
class DeviceData {
 public:
  DeviceData(PlatformContext& desktop, const WorkingDirectory& dir)
      : desktop_(desktop),
        dir_(dir),
        store_(desktop),
        rapi_(desktop.files(), desktop.databases(), desktop.root()) {}
  ~DeviceData() {
    charts_.reset();
    if (open_) rapi_.CeRapiUninit();
  }

  bool Read(std::ostream& err) {
    if (rapi_.CeRapiInit() != S_OK) {
      err << "quillet-cli: no device connected (quillet-cli device connect)\n";
      return false;
    }
    open_ = true;
    std::u16string dataDir(kDefaultDataFolder);
    HKEY key{};
    if (rapi_.CeRegOpenKeyEx(HKEY_CURRENT_USER, kProductKey, &key) == ERROR_SUCCESS) {
      char16_t text[261] = {};
      DWORD size = sizeof text - sizeof(char16_t), type = 0;
      if (rapi_.CeRegQueryValueEx(key, u"DataDir", &type, text, &size) == ERROR_SUCCESS &&
          type == REG_SZ && text[0] != u'\0') {
        dataDir = text;
        if (dataDir.back() != u'\\') dataDir += u'\\';
      }
      rapi_.CeRegCloseKey(key);
    }
    std::string bytes[3];
    const char* names[3] = {"QuilletDB", "StockNoteDB", "StockAlertDB"};
    for (int i = 0; i < 3; ++i) {
      if (!ReadDeviceFile(rapi_, dataDir + AnsiToUtf16(names[i]), &bytes[i])) {
        if (i == 0) {
          err << "quillet-cli: cannot read the device's stock file\n";
          return false;
        }
        continue;
      }
      auto path = WorkingFile(dir_, names[i]);
      if (!path || desktop_.files().ReplaceFile(*path, bytes[i]) != ERROR_SUCCESS) {
        err << "quillet-cli: cannot write the local copy of " << names[i] << "\n";
        return false;
      }
    }
    const StockFile file = DecodeStockFile(bytes[0]);
    if (file.header) {
      store_.wPortfolioCount = file.header->wPortfolioCount;
      std::memcpy(store_.szPortfolioName, file.header->szPortfolioName,
                  sizeof store_.szPortfolioName);
    }
    for (const StockRecord& r : file.stocks) {
      store_.stocks.push_back(std::make_unique<StockRecord>(r));
    }
    for (StockNote& n : DecodeNoteFile(bytes[1])) {
      store_.notes.push_back(std::make_unique<StockNote>(std::move(n)));
    }
    if (PropertyStore* objects = rapi_.CeObjectStore()) {
      charts_ = std::make_unique<ChartStore>(*objects, boxes_);
      if (!charts_->OpenQuietly()) charts_.reset();
    }
    if (!charts_) err << "quillet-cli: the device's chart database cannot be opened\n";
    return true;
  }

  DeskStepContext Context(CliEnv& env, DeskFiles& d) {
    DeskStepContext c{desktop_, desktop_.files(), dir_, d.settings, store_};
    c.charts = charts_.get();
    c.locale = ReadLocaleSettings(desktop_.registry());
    c.log = [&env](std::string_view line) { *env.out << line << "\n"; };
    return c;
  }

 private:
  PlatformContext& desktop_;
  const WorkingDirectory& dir_;
  PortfolioStore store_;
  RemoteApi rapi_;
  MessageBoxes boxes_;
  std::unique_ptr<ChartStore> charts_;
  bool open_ = false;
};

// --scheduled alone, or nothing.
bool ScheduledFlag(const std::vector<std::string>& args, bool* scheduled) {
  *scheduled = args.size() == 1 && args[0] == "--scheduled";
  return args.empty() || *scheduled;
}

}  // namespace

int RunExportCommand(CliEnv& env, const std::vector<std::string>& args) {
  bool scheduled = false;
  if (!ScheduledFlag(args, &scheduled)) {
    *env.err << "usage: quillet-cli export [--scheduled]\n";
    return 2;
  }
  DeskFiles d;
  if (!OpenDesk(env, &d)) return 1;
  DeviceData device(*d.desktop, d.dir);
  if (!device.Read(*env.err)) return 1;
  const ExportOutcome outcome = RunExport(device.Context(env, d), !scheduled);
  if (outcome == ExportOutcome::kNotDue) *env.err << "quillet-cli: no export is due\n";
  if (outcome == ExportOutcome::kDone) {
    *env.err << "quillet-cli: exported to " << d.dir.windowsPath << kStockExportFile << "\n";
  }
  return outcome == ExportOutcome::kDone || outcome == ExportOutcome::kNotDue ? 0 : 1;
}

int RunBackupCommand(CliEnv& env, const std::vector<std::string>& args) {
  bool scheduled = false;
  if (!ScheduledFlag(args, &scheduled)) {
    *env.err << "usage: quillet-cli backup [--scheduled]\n";
    return 2;
  }
  DeskFiles d;
  if (!OpenDesk(env, &d)) return 1;
  DeviceData device(*d.desktop, d.dir);
  if (!device.Read(*env.err)) return 1;
  const BackupOutcome outcome = RunBackup(device.Context(env, d), !scheduled);
  if (outcome == BackupOutcome::kNotDue) *env.err << "quillet-cli: no backup is due\n";
  if (outcome == BackupOutcome::kDone && !SaveDesk(env, d)) return 1;
  return outcome == BackupOutcome::kFailed ? 1 : 0;
}

int RunBackups(CliEnv& env, const std::vector<std::string>& args) {
  if (!args.empty()) {
    *env.err << "usage: quillet-cli backups\n";
    return 2;
  }
  PlatformContext* desktop = env.Desktop();
  if (!desktop) return 1;
  std::string error;
  auto dir = LocateWorkingDirectory(*desktop, &error);
  if (!dir) {
    *env.err << "quillet-cli: " << error << "\n";
    return 1;
  }
  for (const std::string& date : ListBackupDates(desktop->files(), *dir)) {
    *env.out << date << "\n";
  }
  return 0;
}

int RunRestoreCommand(CliEnv& env, const std::vector<std::string>& args) {
  bool digits = args.size() == 1 && args[0].size() == 8;
  for (char c : digits ? args[0] : std::string()) digits = digits && c >= '0' && c <= '9';
  if (!digits) {
    *env.err << "usage: quillet-cli restore YYYYMMDD (quillet-cli backups lists them)\n";
    return 2;
  }
  DeskFiles d;
  if (!OpenDesk(env, &d)) return 1;
  const auto dates = ListBackupDates(d.desktop->files(), d.dir);
  if (std::find(dates.begin(), dates.end(), args[0]) == dates.end()) {
    *env.err << "quillet-cli: there is no backup of " << args[0] << "\n";
    return 1;
  }
  d.settings.bRestoreNextTime = 1;
  CopyToField(d.settings.RestoreTime, args[0]);
  if (!SaveDesk(env, d)) return 1;
  *env.err << "quillet-cli: the backup of " << args[0]
           << " is restored at the next sync (quillet-cli sync)\n";
  return 0;
}

int RunImportCommand(CliEnv& env, const std::vector<std::string>& args) {
  std::string file;
  int format = -1;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--format" && i + 1 < args.size() && format < 0 &&
        (args[i + 1] == "standard" || args[i + 1] == "export")) {
      format = args[++i] == "export" ? 1 : 0;
    } else if (file.empty() && !args[i].empty() && args[i][0] != '-') {
      file = args[i];
    } else {
      file.clear();
      format = -2;
      break;
    }
  }
  if (file.empty() || format == -2) {
    *env.err << "usage: quillet-cli import FILE [--format standard|export]\n";
    return 2;
  }
  DeskFiles d;
  if (!OpenDesk(env, &d)) return 1;
  // A desktop path as the options sheet takes it, or a file of the desktop root.
  std::string desktopPath = Utf8ToAnsi(file);
  if (MapDesktopPath(d.desktop->root(), desktopPath) == std::nullopt) {
    auto mapped = DesktopPathOf(d.desktop->root(), file);
    if (!mapped) {
      *env.err << "quillet-cli: " << file << " is not a file of the desktop root\n";
      return 1;
    }
    desktopPath = *mapped;
  }
  auto host = MapDesktopPath(d.desktop->root(), desktopPath);
  if (!host || !d.desktop->files().Exists(*host) ||
      desktopPath.size() >= sizeof d.settings.szPathImport) {
    *env.err << "quillet-cli: cannot open " << file << "\n";
    return 1;
  }
  CopyToField(d.settings.szPathImport, desktopPath);
  d.settings.bImportNextSync = 1;
  if (format >= 0) d.settings.ucImportFormat = static_cast<BYTE>(format);
  if (!SaveDesk(env, d)) return 1;
  *env.err << "quillet-cli: " << desktopPath
           << " is imported at the next sync (quillet-cli sync)\n";
  return 0;
}

}  // namespace quillet::cli
