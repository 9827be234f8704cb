// The desktop update run: while the handheld is connected, the desktop companion copies its
// stock, note and alert files over the remote API, asks the handheld program to step aside,
// fetches price history and quotes over the desktop's own connection (optionally dialling and
// through a proxy with Basic authentication), adds the day's points to the handheld's chart
// database, evaluates the alerts, writes the stock file back and the preferences with the time
// of the update, and starts the handheld program again. Everything it does goes to
// "QuilletLog.txt" in the working directory; no failure is reported anywhere else.
//
// A run is BeginRun, RunStep five times (read, import and set up, quotes, export, write back)
// and EndRun; any step may end it early, after which the remaining steps do nothing. The
// sync manager's provider drives it one step per packet; quillet-cli sync drives it whole.
//
// What the run promises about the handheld's data: its files are read with the engine's own
// codecs; the stock file is written back only when every record of it was read, and replaced
// through ".tmp" and ".old" so the handheld finds the old file or the new one; the settings
// file keeps whatever the user saved meanwhile (only the keys the run changed are written).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/chart_store.h"
#include "core/data_codecs.h"
#include "core/portfolio_store.h"
#include "desktop/desk_run_host.h"
#include "desktop/desk_settings.h"
#include "desktop/working_directory.h"
#include "platform/context.h"
#include "platform/file_system.h"
#include "platform/linux/remote_api.h"
#include "platform/ras_dial.h"
#include "quotes/cancel_token.h"
#include "quotes/quote_client.h"
#include "quotes/quote_server.h"
#include "quotes/user_source_store.h"
#include "quotes/user_source_update.h"

namespace quillet {

class PendingDailyPoints;

inline constexpr char kDeskVersion[] = "v4.36";
inline constexpr char kDeskLogFile[] = "QuilletLog.txt";
inline constexpr std::u16string_view kDefaultDataDir = u"\\Program Files\\Quillet\\";
inline constexpr std::u16string_view kDeviceLibrary = u"QuilletPPC.dll";
inline constexpr std::u16string_view kSmartphoneDeviceLibrary = u"\\IPSM\\Windows\\QuilletPPC.dll";
// How long a hang-up waits for the line to go down.
inline constexpr std::uint32_t kDeskHangUpWaitMs = 10000;
// The interval a schedule with a zero or negative "every" uses, in minutes.
inline constexpr int kDefaultSyncEvery = 30;

// What a run works with besides its windows.
struct DeskRunServices {
  DeskRunServices(PlatformContext& desktopContext, DeskRunHost& runHost)
      : desktop(desktopContext), host(runHost) {}
  // The desktop: its registry (the working directory), settings file, log, clock, sockets and
  // dialler.
  PlatformContext& desktop;
  DeskRunHost& host;
  // Import, export, backup and restore; null: none of them.
  DeskRunSteps* steps = nullptr;
  // The file system the remote API reaches the device's files through; null: the desktop's.
  FileSystem* deviceFiles = nullptr;
  // The SQLite VFS the device's registry and object store are opened through; empty: SQLite's.
  std::string deviceSqliteVfs;
  // Where quote requests go instead of the sources' hosts; unset: the desktop's setting.
  std::optional<QuoteEndpoint> server;
  // The time-out of each attempt (30 seconds in a real run; tests shorten it).
  std::uint32_t retryTimeoutSeconds = 30;
};

enum class DeviceKind { kPocketPC, kSmartphone };

class CQuilletUpdater {
 public:
  explicit CQuilletUpdater(DeskRunServices services);
  // A run still open is closed as the store's destruction closes it: settings saved, the log
  // ended, no preferences written back and no end notification.
  ~CQuilletUpdater();
  CQuilletUpdater(const CQuilletUpdater&) = delete;
  CQuilletUpdater& operator=(const CQuilletUpdater&) = delete;

  // Whether an update is due: always when forced; with "Every:" chosen, once the interval has
  // passed since the last run ended (and, when restricted, between the chosen hours). Reads the
  // schedule from the settings file on every call.
  bool ShouldSyncNow(bool force);
  // Starts a run (nothing when one is open already): log, remote API, device kind, the handheld
  // program told to close, device preferences and data folder.
  void BeginRun();
  // Performs the next step of an open run; the step index moves on in any case.
  void RunStep();
  // Ends an open run: preferences written back, the handheld program started again if it had
  // been running, the time of the end kept; then CloseRun.
  void EndRun();
  // Closes an open run: settings saved, lists freed, the log ended, the remote API closed.
  void CloseRun();

  bool isOpen() const { return open_; }
  int stepIndex() const { return step_; }
  // Seconds since 1970 (UTC) at which the last run ended in this process; 0 until one has.
  std::int64_t lastRunEnd() const { return lastRunEnd_; }
  // True when the last run wrote the stock file back to the device.
  bool wroteBack() const { return wroteBack_; }
  // The Cancel of the run (the progress window's button, Ctrl-C of the terminal).
  CancelToken& cancelToken() { return cancel_; }
  // Called with every log line as it is written (the terminal prints the log).
  void SetLogListener(std::function<void(std::string_view)> listener) {
    logListener_ = std::move(listener);
  }

  // ---- For the steps of the run (import, export, backup, restore) --------------------------
  // One line of the log: written with its line end and flushed; nothing while no log is open.
  void LogLine(std::string_view line);
  PortfolioStore& store() { return *store_; }
  DeskSettings& settings() { return settings_; }
  // Records that the run changed a settings key, so that closing the run writes it.
  void SettingChanged(std::string_view key) { changedKeys_.emplace(key); }
  const WorkingDirectory& workingDirectory() const { return dir_; }
  RemoteApi* rapi() { return rapi_.get(); }
  ChartStore* charts() { return charts_.get(); }
  DeskProgress* progress() { return progress_.get(); }
  DeviceKind deviceKind() const { return deviceKind_; }
  PlatformContext& desktop() { return services_.desktop; }
  // The device's preferences record (null when it could not be read).
  PrefRecord* preferences() { return prefs_ ? &*prefs_ : nullptr; }
  // An imported stock's market: its quote source is asked in this run.
  void MarkMarketForUpdate(int market);
  // The stocks, notes and alerts of the given bytes replace the lists (as the device's copies
  // would): what a restore hands the run.
  void ParseStockFile(std::string_view bytes);
  void ParseNoteFile(std::string_view bytes);
  void ParseAlertFile(std::string_view bytes);

 private:
  void Close(bool runWasOpen);
  void Step0ReadDevice();
  void Step1ImportAndSetUp();
  void Step2Quotes();
  void Step3Export();
  void Step4WriteBack();
  bool CancelledEndsRun();
  void ShowText(UINT id);
  void DialIfNeeded();
  void HangUpIfHeld();
  bool CopyDeviceFile(const char* name, std::string* bytes);
  void RemoveLocalCopy(const char* name);
  void AddPortfolioHistory(PendingDailyPoints& points);
  bool WriteStocksBack();
  void WriteAlertValue(bool active);
  void WritePreferencesBack();
  void NotifyEnd();
  void SaveSettings();
  std::u16string DevicePath(const char* name) const;
  std::string TimeStamp();

  DeskRunServices services_;
  bool open_ = false;
  int step_ = 0;
  std::int64_t lastRunEnd_ = 0;
  bool wroteBack_ = false;

  WorkingDirectory dir_;
  std::unique_ptr<File> log_;
  std::function<void(std::string_view)> logListener_;
  DeskSettings settings_;
  bool settingsExisted_ = false;
  std::set<std::string> changedKeys_;
  DeviceKind deviceKind_ = DeviceKind::kPocketPC;
  DWORD appRunning_ = 0;
  std::u16string dataDir_;
  std::optional<PrefRecord> prefs_;
  std::unique_ptr<PortfolioStore> store_;
  StockFileHeader header_;
  bool recordsLost_ = false;
  std::array<bool, kQuoteSourceCount> sourceFlags_ = {};
  SourceBook sources_;  // the user's own quote sources and the markets routed to them
  std::unique_ptr<RemoteApi> rapi_;
  std::optional<CEGUID> volume_;
  std::unique_ptr<ChartStore> charts_;
  MessageBoxes silentBoxes_;
  HRASCONN ras_ = 0;
  bool dialAllowed_ = true;
  CancelToken cancel_;
  std::unique_ptr<DeskProgress> progress_;
  std::unique_ptr<CQuoteClient> client_;
  bool restored_ = false;
  bool imported_ = false;

  UserSourceRun UserRun();
};

// The log line of a dial outcome on the desktop (Windows' default dialling); null for success.
const char* DeskDialLogText(int result);

}  // namespace quillet
