#include "desktop/quillet_updater.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/alert_evaluation.h"
#include "core/portfolio_math.h"
#include "core/preferences.h"
#include "core/price_history.h"
#include "core/quote_tables.h"
#include "core/string_table.h"
#include "desktop/device_files.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "quotes/connection.h"
#include "quotes/history_download.h"
#include "quotes/network_log.h"
#include "quotes/update_steps.h"

namespace quillet {
namespace {

constexpr char kStockFileName[] = "QuilletDB";
constexpr char kNoteFileName[] = "StockNoteDB";
constexpr char kAlertFileName[] = "StockAlertDB";
constexpr std::u16string_view kProductKey = u"SOFTWARE\\Marrowby\\Quillet";

constexpr char kLogCannotWriteStocks[] =
    "Error: unable to write stocks to device. Make sure that you are not running Quillet.";
constexpr char kLogCancelled[] = "Sync Cancelled.";

// The run's log as the quote steps see it.
class RunLog final : public UpdateLog {
 public:
  explicit RunLog(CQuilletUpdater& run) : run_(run) {}
  void Append(std::string_view line) override { run_.LogLine(line); }

 private:
  CQuilletUpdater& run_;
};

// "Query: [symbol] - [last,date,time,change,low,high,previous close,volume,bid,ask,year low,
// year high]" for one parsed quote.
std::string QuoteLine(const QuoteResult& r) {
  std::string line = "Query: [";
  line += FieldText(r.szSymbol);
  line += "] - [";
  bool first = true;
  for (std::string_view field :
       {FieldText(r.szLast), FieldText(r.szDate), FieldText(r.szTime), FieldText(r.szChange),
        FieldText(r.szLow), FieldText(r.szHigh), FieldText(r.szPrevClose), FieldText(r.szVolume),
        FieldText(r.szBid), FieldText(r.szAsk), FieldText(r.szYearLow), FieldText(r.szYearHigh)}) {
    if (!first) line += ',';
    line += field;
    first = false;
  }
  line += ']';
  return line;
}

}  // namespace

const char* DeskDialLogText(int result) {
  switch (result) {
    case kDialNoPassword:
      return "Quillet: The password for the selected RAS connection was not found. Using "
             "Windows default dialing.";
    case kDialNoPhoneBook:
      return "Quillet: The phone book was not found. Using Windows default dialing.";
    case kDialNoEntry:
      return "Quillet: The profile was not found in the phone book. Using Windows default "
             "dialing.";
    case kDialFailed:
      return "Quillet: Error dialing ISP. Using Windows default dialing.";
    default:
      return nullptr;
  }
}

CQuilletUpdater::CQuilletUpdater(DeskRunServices services) : services_(std::move(services)) {}

CQuilletUpdater::~CQuilletUpdater() { CloseRun(); }

// ---- The schedule -----------------------------------------------------------------------------

bool CQuilletUpdater::ShouldSyncNow(bool force) {
  if (force) return true;
  PlatformContext& desk = services_.desktop;
  auto dir = LocateWorkingDirectory(desk);
  if (!dir) return false;  // no settings at all: only a forced run
  const DeskSettings s = LoadDeskSettings(desk, *dir);
  if (s.ucSyncMode != 1) return false;
  if (s.ucSyncLastTime == 0) return true;
  // In 64 bits: the file may hold any number, and a zero or negative interval would otherwise
  // make every enumeration due.
  const std::int64_t every = s.ucSyncEvery > 0 ? s.ucSyncEvery : kDefaultSyncEvery;
  const std::int64_t now = desk.clock().Now();
  if (now < static_cast<std::int64_t>(s.ucSyncLastTime) + 60 * every) return false;
  if (s.ucSyncInterval != 0) {
    const int hour = ToLocal(now).hour;
    if (hour < s.ucSyncIntervalFrom || hour >= s.ucSyncIntervalTo + 12) return false;
  }
  return true;
}

// ---- The log ----------------------------------------------------------------------------------

std::string CQuilletUpdater::TimeStamp() {
  const LocalTime t = ToLocal(services_.desktop.clock().Now());
  char text[40];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour,
                t.minute, t.second);
  return text;
}

void CQuilletUpdater::LogLine(std::string_view line) {
  if (!log_) return;
  std::string text(line);
  if (logListener_) logListener_(text);
  text += "\r\n";
  // The file is written unbuffered, so every line is in it as soon as it is logged.
  log_->Write(text.data(), text.size());
}

// ---- Begin, end, close ------------------------------------------------------------------------

void CQuilletUpdater::BeginRun() {
  if (open_) return;
  PlatformContext& desk = services_.desktop;
  wroteBack_ = false;
  recordsLost_ = false;
  restored_ = imported_ = false;
  changedKeys_.clear();
  prefs_.reset();
  appRunning_ = 0;
  deviceKind_ = DeviceKind::kPocketPC;
  sourceFlags_.fill(false);
  try {
    store_ = std::make_unique<PortfolioStore>(desk);
  } catch (const std::bad_alloc&) {
    return;
  }
  auto dir = FindWorkingDirectory(desk);
  if (!dir) {
    store_.reset();
    return;  // nowhere for the settings and the log: the run cannot open
  }
  dir_ = *dir;
  settings_ = LoadDeskSettings(desk, dir_, &settingsExisted_,
                               [this](std::string_view line) { LogLine(line); });
  log_.reset();
  if (auto path = WorkingFile(dir_, kDeskLogFile)) {
    if (desk.files().Open(*path, OpenMode::kCreate, &log_) != ERROR_SUCCESS) log_.reset();
  }
  LogLine(FormatLogLine("Quillet log started: [%s]", TimeStamp().c_str()));
  LogLine(FormatLogLine("Quillet %s (Windows : PocketPC/Smartphone)", kDeskVersion));
  sources_ = SourceBook{};
  if (auto ini = WorkingFile(dir_, kSettingsFile)) {
    sources_ = LoadSourceBook(*IniSourceSettings(desk.files(), *ini));
    for (const std::string& problem : sources_.problems) LogLine("Quillet: " + problem);
  }

  FileSystem& deviceFiles = services_.deviceFiles ? *services_.deviceFiles : desk.files();
  rapi_ = std::make_unique<RemoteApi>(deviceFiles, desk.databases(), desk.root(),
                                      services_.deviceSqliteVfs);
  if (rapi_->CeRapiInit() != S_OK) {
    LogLine("Error: Unable to initialize RAPI interface");
    Close(false);
    return;
  }
  open_ = true;
  step_ = 0;

  DWORD deviceId = 0, service = 0;
  if (rapi_->CeGetDeviceId(&deviceId) == S_OK && rapi_->CeSvcOpen(deviceId, &service) == S_OK) {
    char type[256] = {};
    if (rapi_->CeSvcGetString(service, "DeviceType", type, sizeof type) == S_OK &&
        CompareNoCase(FieldText(type), "SmartPhone") == 0) {
      deviceKind_ = DeviceKind::kSmartphone;
    }
    rapi_->CeSvcClose(service);
  }

  // The handheld program steps aside for the length of the run.
  {
    const bool phone = deviceKind_ == DeviceKind::kSmartphone;
    BYTE input[4] = {0, 0, 0, 0};
    DWORD outSize = 0;
    BYTE* out = nullptr;
    HRESULT hr = rapi_->CeRapiInvoke(phone ? kSmartphoneDeviceLibrary : kDeviceLibrary,
                                     u"NotifyQuilletStart", phone ? 0 : 4, phone ? nullptr : input,
                                     &outSize, &out);
    if (hr >= 0 && out != nullptr && outSize == 4) appRunning_ = out[0];
    if (out != nullptr) RemoteApi::CeRapiFreeBuffer(out);
  }

  // The device's preferences: a value shorter than the record leaves the rest zero; only a
  // missing (or unreadable) value means the program is not there.
  HKEY key{};
  bool read = false;
  if (rapi_->CeRegOpenKeyEx(HKEY_CURRENT_USER, kProductKey, &key) == ERROR_SUCCESS) {
    std::string buffer(4096, '\0');
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(buffer.size());
    if (rapi_->CeRegQueryValueEx(key, u"PrefBuf", &type, buffer.data(), &size) == ERROR_SUCCESS) {
      buffer.resize(std::min<std::size_t>(size, buffer.size()));
      prefs_ = DecodePrefRecord(buffer);
      read = true;
    }
    // The data folder, as the handheld keeps it; the default when it keeps none.
    char16_t dirText[261] = {};
    DWORD dirSize = sizeof dirText - sizeof(char16_t);
    dataDir_ = std::u16string(kDefaultDataDir);
    if (rapi_->CeRegQueryValueEx(key, u"DataDir", &type, dirText, &dirSize) == ERROR_SUCCESS &&
        type == REG_SZ) {
      std::u16string text(dirText, std::min<std::size_t>(dirSize / sizeof(char16_t), 260));
      text = text.substr(0, text.find(u'\0'));
      if (!text.empty()) {
        if (text.back() != u'\\') text += u'\\';
        dataDir_ = text;
      }
    }
    rapi_->CeRegCloseKey(key);
  }
  if (!read) {
    LogLine(
        "Error: cannot read device preferences. Quillet does not appear to be installed on "
        "device");
    EndRun();
    return;
  }
  store_->ResetToDefaults();
  ApplyPreferenceRecord(*store_, *prefs_);
  ras_ = 0;
  dialAllowed_ = true;
  step_ = 0;
}

void CQuilletUpdater::EndRun() {
  if (!open_) return;
  WritePreferencesBack();
  NotifyEnd();
  charts_.reset();
  if (volume_) {
    rapi_->CeUnmountDBVol(*volume_);
    volume_.reset();
  }
  progress_.reset();
  client_.reset();
  step_ = 0;
  const std::int64_t now = services_.desktop.clock().Now();
  settings_.ucSyncLastTime = static_cast<DWORD>(now);
  SettingChanged("ucSyncLastTime");
  lastRunEnd_ = now;
  CloseRun();
}

void CQuilletUpdater::CloseRun() {
  if (!open_) return;
  Close(true);
}

void CQuilletUpdater::Close(bool runWasOpen) {
  (void)runWasOpen;
  charts_.reset();
  if (volume_ && rapi_) rapi_->CeUnmountDBVol(*volume_);
  volume_.reset();
  progress_.reset();
  client_.reset();
  SaveSettings();
  store_.reset();
  prefs_.reset();
  LogLine(FormatLogLine("Quillet log ended: [%s]", TimeStamp().c_str()));
  if (log_) log_->Close();
  log_.reset();
  if (rapi_) rapi_->CeRapiUninit();
  rapi_.reset();
  open_ = false;
}

// Only what the run changed goes into the file, over what the file holds now: the user may
// have changed other settings in the options sheet while the run went on.
void CQuilletUpdater::SaveSettings() {
  PlatformContext& desk = services_.desktop;
  bool existsNow = false;
  DeskSettings merged = LoadDeskSettings(desk, dir_, &existsNow);
  if (!existsNow) {
    // A first run: the record (with the proxy taken from the browsers) becomes the file.
    merged = settings_;
  } else {
    for (const std::string& key : changedKeys_) {
      if (auto value = GetDeskSetting(settings_, key)) SetDeskSetting(&merged, key, *value);
    }
  }
  SaveDeskSettings(desk, dir_, merged, [this](std::string_view line) { LogLine(line); });
  changedKeys_.clear();
}

void CQuilletUpdater::WritePreferencesBack() {
  if (!prefs_) return;
  HKEY key{};
  if (rapi_->CeRegCreateKeyEx(HKEY_CURRENT_USER, kProductKey, &key) != ERROR_SUCCESS) {
    LogLine("Error: cannot write device preferences");
    return;
  }
  const std::string bytes = EncodePrefRecord(*prefs_);
  if (rapi_->CeRegSetValueEx(key, u"PrefBuf", REG_BINARY, bytes.data(),
                             static_cast<DWORD>(bytes.size())) != ERROR_SUCCESS) {
    LogLine("Error: cannot write device preferences");
  }
  rapi_->CeRegCloseKey(key);
}

void CQuilletUpdater::NotifyEnd() {
  const bool phone = deviceKind_ == DeviceKind::kSmartphone;
  BYTE input[4] = {static_cast<BYTE>(appRunning_ & 0xFF), static_cast<BYTE>(appRunning_ >> 8),
                   static_cast<BYTE>(appRunning_ >> 16), static_cast<BYTE>(appRunning_ >> 24)};
  DWORD outSize = 0;
  BYTE* out = nullptr;
  rapi_->CeRapiInvoke(phone ? kSmartphoneDeviceLibrary : kDeviceLibrary, u"NotifyQuilletEnd", 4,
                      input, &outSize, &out);
  if (out != nullptr) RemoteApi::CeRapiFreeBuffer(out);
}

// ---- Steps --------------------------------------------------------------------------------------

void CQuilletUpdater::RunStep() {
  const int step = step_++;
  if (!open_) return;
  switch (step) {
    case 0:
      Step0ReadDevice();
      break;
    case 1:
      Step1ImportAndSetUp();
      break;
    case 2:
      Step2Quotes();
      break;
    case 3:
      Step3Export();
      break;
    case 4:
      Step4WriteBack();
      break;
    default:
      break;
  }
}

bool CQuilletUpdater::CancelledEndsRun() {
  if (!cancel_.cancelled()) return false;
  LogLine(kLogCancelled);
  EndRun();
  return true;
}

void CQuilletUpdater::ShowText(UINT id) {
  if (progress_) progress_->ShowStatus(id);
}

void CQuilletUpdater::Step0ReadDevice() {
  PlatformContext& desk = services_.desktop;
  sourceFlags_.fill(false);
  try {
    QuoteClientServices clientServices = ClientServicesOf(desk, cancel_);
    if (services_.server) clientServices.server = services_.server;
    client_ = std::make_unique<CQuoteClient>(ClientVariant::kDesktop, clientServices);
  } catch (const std::bad_alloc&) {
    LogLine("Error: could not allocate data");
    EndRun();
    return;
  }
  if (settings_.ConduitEnabled == 0) {
    LogLine("Quillet: Conduit disabled.");
    EndRun();
    return;
  }
  progress_ = services_.host.OpenProgress(cancel_);
  cancel_.Clear();
  ShowText(strings::IDS_DESK_PREPARING);
  client_->SetProgress(progress_.get());
  if (settings_.bUpdateAsk != 0 && !services_.host.AskToUpdate()) {
    LogLine("Quillet: Update not performed.");
    EndRun();
    return;
  }
  ShowText(strings::IDS_DESK_READING);

  // The chart database: the object store's, or on a Smartphone the volume in the data folder.
  PropertyStore* objects = nullptr;
  if (deviceKind_ == DeviceKind::kSmartphone) {
    CEGUID guid;
    if (rapi_->CeMountDBVol(&guid, dataDir_ + u"StockGraphDB.vol", OPEN_ALWAYS)) {
      volume_ = guid;
      objects = rapi_->CeVolumeStore(guid);
    }
  } else {
    objects = rapi_->CeObjectStore();
  }
  if (objects != nullptr) {
    charts_ = std::make_unique<ChartStore>(*objects, silentBoxes_);
    if (!charts_->OpenQuietly()) charts_.reset();
  }
  if (!charts_) LogLine("Error: Unable to open chart db");

  const std::string_view restoreDate = FieldText(settings_.RestoreTime);
  if (settings_.bRestoreNextTime != 0 && !restoreDate.empty() && services_.steps != nullptr &&
      services_.steps->Restore(*this, restoreDate)) {
    // The request is cleared once the restored files are on the device.
    restored_ = true;
  } else {
    std::string bytes;
    if (RecoverDeviceFile(*rapi_, DevicePath(kStockFileName))) {
      LogLine("Quillet: the stock file left aside by an interrupted write was put back.");
    }
    if (!CopyDeviceFile(kStockFileName, &bytes)) {
      LogLine("Error: Cannot read database. Quillet does not appear to be installed on device");
      EndRun();
      return;
    }
    ParseStockFile(bytes);
    // A copy that failed leaves an empty list: the previous run's copy is stale and must not
    // decide anything (its alerts would set the handheld's alert state).
    if (!CopyDeviceFile(kNoteFileName, &bytes)) {
      LogLine("Error: Cannot read note database");
      bytes.clear();
    }
    ParseNoteFile(bytes);
    if (!CopyDeviceFile(kAlertFileName, &bytes)) {
      LogLine("Error: Cannot read alert database");
      bytes.clear();
    }
    ParseAlertFile(bytes);
  }
  CancelledEndsRun();
}

std::u16string CQuilletUpdater::DevicePath(const char* name) const {
  return dataDir_ + AnsiToUtf16(name);
}

void CQuilletUpdater::RemoveLocalCopy(const char* name) {
  if (auto path = WorkingFile(dir_, name)) services_.desktop.files().Delete(*path);
}

bool CQuilletUpdater::CopyDeviceFile(const char* name, std::string* bytes) {
  if (!ReadDeviceFile(*rapi_, DevicePath(name), bytes)) {
    RemoveLocalCopy(name);
    return false;
  }
  // The copy in the working directory is for the exports and backups; the run itself works
  // from what it read.
  auto path = WorkingFile(dir_, name);
  if (!path || services_.desktop.files().ReplaceFile(*path, *bytes) != ERROR_SUCCESS) {
    LogLine(FormatLogLine("Error: cannot write the local copy of %s", name));
    RemoveLocalCopy(name);
  }
  return true;
}

void CQuilletUpdater::ParseStockFile(std::string_view bytes) {
  PortfolioStore& s = *store_;
  s.stocks.clear();
  recordsLost_ = false;
  StockFile file = DecodeStockFile(bytes);
  // A file without a header keeps the tables of a fresh start, as the handheld reads it.
  const PrefRecord prefs = prefs_ ? *prefs_ : DecodePrefRecord({});
  auto notes = std::move(s.notes);
  auto alerts = std::move(s.alerts);
  s.ResetToDefaults();
  s.notes = std::move(notes);
  s.alerts = std::move(alerts);
  ApplyPreferenceRecord(s, prefs);
  if (file.header) {
    const StockFileHeader& h = *file.header;
    // Counts are kept as stored (they go back to the device unchanged); every use below
    // bounds them.
    s.wPortfolioCount = h.wPortfolioCount;
    std::memcpy(s.szPortfolioName, h.szPortfolioName, sizeof s.szPortfolioName);
    s.wCurrencyCount = h.wCurrencyCount;
    std::memcpy(s.currencies, h.currencies, sizeof s.currencies);
    std::memcpy(s.ucPortfolioCurrency, h.ucPortfolioCurrency, sizeof s.ucPortfolioCurrency);
    std::memcpy(s.dCash, h.dCash, sizeof s.dCash);
  }
  header_ = StockFileHeader{};
  header_.wPortfolioCount = s.wPortfolioCount;
  std::memcpy(header_.szPortfolioName, s.szPortfolioName, sizeof header_.szPortfolioName);
  header_.wCurrencyCount = s.wCurrencyCount;
  std::memcpy(header_.currencies, s.currencies, sizeof header_.currencies);
  std::memcpy(header_.ucPortfolioCurrency, s.ucPortfolioCurrency,
              sizeof header_.ucPortfolioCurrency);
  std::memcpy(header_.dCash, s.dCash, sizeof header_.dCash);

  DWORD maxId = 0;
  for (StockRecord& r : file.stocks) {
    maxId = std::max(maxId, r.dwId);
    auto record = s.Allocate<StockRecord>();
    if (!record) {
      recordsLost_ = true;
      continue;
    }
    *record = r;
    try {
      s.stocks.push_back(std::move(record));
    } catch (const std::bad_alloc&) {
      recordsLost_ = true;
      continue;
    }
    if (r.ucStatus == kStatusActive || r.ucStatus == kStatusWatched)
      MarkMarketForUpdate(r.ucMarket);
  }
  if (recordsLost_) LogLine("Error: Insufficient memory to read all stock db");
  if (prefs_) prefs_->dwDesktopMaxId = maxId;
  // The change since the last update is measured from here, as the handheld measures it.
  SnapshotLastUpdateProfit(s);
  SortStocks(s, kSortSymbol, false, false);
}

void CQuilletUpdater::MarkMarketForUpdate(int market) {
  // A market outside the table, or one never priced, names no source to visit.
  if (GetMarketInfo(market) == nullptr) return;
  const int source = GetMarketSource(market);
  if (source >= 0 && source < kQuoteSourceCount) {
    sourceFlags_[static_cast<std::size_t>(source)] = true;
  }
}

void CQuilletUpdater::ParseNoteFile(std::string_view bytes) {
  PortfolioStore& s = *store_;
  s.notes.clear();
  bool lost = false;
  for (StockNote& n : DecodeNoteFile(bytes)) {
    auto note = s.Allocate<StockNote>();
    if (!note) {
      lost = true;
      continue;
    }
    *note = std::move(n);
    s.notes.push_back(std::move(note));
  }
  if (lost) LogLine("Error: Insufficient memory to read all notes db");
}

void CQuilletUpdater::ParseAlertFile(std::string_view bytes) {
  PortfolioStore& s = *store_;
  s.alerts.clear();
  bool lost = false;
  for (StockAlert& a : DecodeAlertFile(bytes)) {
    auto alert = s.Allocate<StockAlert>();
    if (!alert) {
      lost = true;
      continue;
    }
    *alert = a;
    s.alerts.push_back(std::move(alert));
  }
  if (lost) LogLine("Insufficient memory to read all alert db");
}

void CQuilletUpdater::Step1ImportAndSetUp() {
  if (!cancel_.cancelled()) {
    if (settings_.bImportNextSync != 0) {
      ShowText(strings::IDS_DESK_IMPORTING_STOCKS);
      // The request stays until the imported stocks are on the device.
      if (services_.steps != nullptr && services_.steps->ImportStocks(*this)) imported_ = true;
    }
    client_->SetProxy(settings_.bUseProxy != 0, FieldText(settings_.proxyAddress),
                      static_cast<std::uint32_t>(settings_.proxyPort), settings_.bProxyAuth != 0,
                      FieldText(settings_.proxyUser), FieldText(settings_.proxyPasswd));
    if (settings_.bImportChart != 0) {
      ShowText(strings::IDS_DESK_IMPORTING_CHARTS);
      DialIfNeeded();
      if (charts_) {
        HistoryDownloadSettings history;
        history.tHistoryStart = settings_.ulImportChartTime;
        history.bAllStocks = settings_.ucImportChartAll != 0;
        for (std::size_t i = 0; i < kHistorySymbolCount; ++i) {
          history.symbols[i] = std::string(FieldText(settings_.szChartImport[i]));
        }
        history.bRetry = settings_.bAutoRetry != 0;
        history.dwTimeout = settings_.iTimeout > 0 ? static_cast<std::uint32_t>(settings_.iTimeout)
                                                   : kRetryTimeoutSeconds;
        HistoryDownloadHooks hooks;
        hooks.log = [this](std::string_view line) { LogLine(line); };
        hooks.cancelled = [this] { return cancel_.cancelled(); };
        hooks.retryTimeout = services_.retryTimeoutSeconds;
        DownloadPriceHistory(*client_, StockSpan(store_->stocks), *charts_, history,
                             services_.desktop.clock(), hooks, &sources_);
        if (!sources_.sources.empty()) {
          DownloadUserHistories(sources_, StockSpan(store_->stocks), *charts_, history,
                                services_.desktop.clock(), hooks, UserRun(), cancel_);
        }
      }
      // A one-time request, done or not.
      settings_.bImportChart = 0;
      settings_.ulImportChartTime = 0;
      settings_.ucImportChartAll = 0;
      std::memset(settings_.szChartImport, 0, sizeof settings_.szChartImport);
      for (const char* key : {"bImportChart", "ulImportChartTime", "ucImportChartAll"}) {
        SettingChanged(key);
      }
      for (int i = 1; i <= kChartImportSymbols; ++i) {
        SettingChanged("szChartImport" + std::to_string(i));
      }
    }
  }
  CancelledEndsRun();
}

// The user sources' requests go the way the table sources' do: the desktop's proxy with its
// Basic authentication, 3 attempts on a time-out, window messages pumped while they wait.
UserSourceRun CQuilletUpdater::UserRun() {
  UserSourceRun run = UserSourceRunOf(services_.desktop);
  run.useProxy = settings_.bUseProxy != 0;
  run.proxyHost = std::string(FieldText(settings_.proxyAddress));
  run.proxyPort = static_cast<std::uint16_t>(settings_.proxyPort);
  if (settings_.bProxyAuth != 0) {
    run.proxyUser = std::string(FieldText(settings_.proxyUser));
    run.proxyPassword = std::string(FieldText(settings_.proxyPasswd));
  }
  run.retry = true;
  run.retryTimeoutSeconds = services_.retryTimeoutSeconds;
  run.pump = [this] { services_.host.PumpMessages(); };
  run.onResult = [this](const QuoteResult& r) { LogLine(QuoteLine(r)); };
  return run;
}

void CQuilletUpdater::DialIfNeeded() {
  const std::string_view entry = FieldText(settings_.szRasEntry);
  if (settings_.bConnectMethod != 1 || entry.empty() || ras_ != 0 || !dialAllowed_) return;
  dialAllowed_ = false;
  ShowText(strings::IDS_DESK_CONNECTING);
  PlatformContext& desk = services_.desktop;
  const int result = DialConnection(desk.dialer(), desk.ticks(), entry, &ras_,
                                    [this] { services_.host.PumpMessages(); });
  if (const char* text = DeskDialLogText(result)) LogLine(text);
}

void CQuilletUpdater::HangUpIfHeld() {
  if (settings_.bConnectMethod != 1 || settings_.bHangupModem == 0 || ras_ == 0) return;
  ShowText(strings::IDS_DESK_HANGING_UP);
  PlatformContext& desk = services_.desktop;
  HangUpConnection(
      desk.dialer(), desk.ticks(), ras_, [this] { services_.host.PumpMessages(); },
      kDeskHangUpWaitMs);
  ras_ = 0;
}

void CQuilletUpdater::Step2Quotes() {
  CQuoteClient& client = *client_;
  PortfolioStore& s = *store_;
  RunLog log(*this);
  const StockSpan stocks(s.stocks);
  // The header's count may say anything; the table has 31 entries.
  const std::span<CurrencyEntry> currencies(
      s.currencies,
      std::min<std::size_t>(std::max<std::size_t>(s.wCurrencyCount, 1), kMaxCurrencies));
  PendingDailyPoints points;
  bool stopped = false;
  for (int source = 0; source < kQuoteSourceCount && !stopped; ++source) {
    if (source == kSourcePlaceholder) continue;
    if (!sourceFlags_[static_cast<std::size_t>(source)] && source != kSourceCurrency) continue;
    if (progress_) progress_->ShowSource(source);
    const QuoteSource* entry = GetQuoteSource(source);
    int resume = 0;
    std::string lastSymbol;
    do {
      client.BeginRequest(source);
      const std::size_t start = client.requestLength();
      const bool added =
          source == kSourceCurrency
              ? BuildCurrencyQuery(client, currencies, &resume)
              : BuildSymbolQuery(stocks, client, source, &resume, &lastSymbol, &sources_);
      if (!added) break;
      LogLine("Query String: " + std::string(client.request().substr(start)));
      if (cancel_.cancelled()) {
        points.Flush(charts_.get(), log);
        LogLine(kLogCancelled);
        EndRun();
        return;
      }
      DialIfNeeded();
      int code;
      if (entry->bOnePerRequest != 0) {
        code = FetchEach(client, log, true, kRetryTimeoutSeconds, start, source,
                         services_.retryTimeoutSeconds);
      } else {
        client.EndRequest();
        code = FetchBatch(client, log, true, kRetryTimeoutSeconds, services_.retryTimeoutSeconds);
      }
      if (code == QR_CANCELLED) {
        stopped = true;
        break;
      }
      if (code != QR_OK) break;
      for (const auto& r : client.results()) LogLine(QuoteLine(*r));
      if (source == kSourceCurrency) {
        ApplyCurrencyRates(client, currencies, log);
      } else {
        ApplyQuotes(client, stocks, &points, source, log, services_.desktop.clock(), &sources_);
      }
    } while (resume > 0);
  }
  if (!stopped && !sources_.sources.empty()) {
    DialIfNeeded();
    // Failures and a cancel are in the log; the cancel ends the run below as any other does.
    FetchUserSources(sources_, stocks, &points, log, services_.desktop.clock(), UserRun(), cancel_);
  }
  // The portfolios' points go with the stocks' in one transaction: a run stopped part way
  // leaves the history of the day before or the whole of this one.
  AddPortfolioHistory(points);
  points.Flush(charts_.get(), log);
  HangUpIfHeld();
  if (stopped) LogLine(FormatLogLine("Error: %s", client.errorText()));
  CancelledEndsRun();
}

// Each portfolio's cost, value (with its cash) and profit of the day, in its own currency, as
// the handheld keeps them: the value in the low field, the profit in the high field.
void CQuilletUpdater::AddPortfolioHistory(PendingDailyPoints& points) {
  if (!charts_) return;
  PortfolioStore& s = *store_;
  const StockTime now = NowStockTime(services_.desktop.clock());
  const int count = std::min<int>(s.wPortfolioCount, kMaxPortfolios);
  for (int p = 0; p < count; ++p) {
    double cost = 0, value = 0, profit = 0;
    for (const auto& r : s.stocks) {
      // Watched and sold stocks are not part of what a portfolio holds.
      if (r->ucPortfolio != p || r->ucStatus != kStatusActive) continue;
      cost += StockValue(s, *r, kValueCost, kNoConversion);
      value += StockValue(s, *r, kValueCurrentValue, kNoConversion);
      profit += StockValue(s, *r, kValueProfit, kNoConversion);
    }
    value += s.dCash[p];
    if (cost == 0 && value == 0) continue;
    points.AddScaledPoint(PortfolioSeriesName(p), kPortfolioSeriesMarket, now,
                          PointFigures{cost, value, profit, 0}, kPortfolioScale);
  }
}

void CQuilletUpdater::Step3Export() {
  if (services_.steps != nullptr) services_.steps->Export(*this);
}

bool CQuilletUpdater::WriteStocksBack() {
  if (recordsLost_) {
    // Writing the list back would delete the records that could not be read from the device.
    LogLine("Error: not every stock could be read; the stocks on the device are left as they are.");
    return false;
  }
  PortfolioStore& s = *store_;
  StockFileHeader header = header_;
  // The import may have added portfolios; the count stays as read otherwise.
  header.wPortfolioCount = s.wPortfolioCount;
  std::memcpy(header.szPortfolioName, s.szPortfolioName, sizeof header.szPortfolioName);
  std::memcpy(header.ucPortfolioCurrency, s.ucPortfolioCurrency, sizeof header.ucPortfolioCurrency);
  std::memcpy(header.dCash, s.dCash, sizeof header.dCash);
  std::memcpy(header.currencies, s.currencies, sizeof header.currencies);
  std::memcpy(header.dLastUpdateProfit, s.dLastUpdateProfit, sizeof header.dLastUpdateProfit);
  std::string bytes;
  try {
    bytes = EncodeStockFile(header, s.stocks);
  } catch (const std::bad_alloc&) {
    LogLine("** cannot open local file");
    return false;
  }
  auto local = WorkingFile(dir_, kStockFileName);
  if (!local || services_.desktop.files().ReplaceFile(*local, bytes) != ERROR_SUCCESS) {
    LogLine("** cannot open local file");
    return false;
  }
  return WriteDeviceFile(*rapi_, DevicePath(kStockFileName), bytes,
                         [this](std::string_view line) { LogLine(line); });
}

void CQuilletUpdater::WriteAlertValue(bool active) {
  HKEY key{};
  if (rapi_->CeRegCreateKeyEx(HKEY_CURRENT_USER, kProductKey, &key) != ERROR_SUCCESS) {
    LogLine("Error: cannot write the alert state to the device");
    return;
  }
  const DWORD value = active ? 1 : 0;
  if (rapi_->CeRegSetValueEx(key, u"Alert", REG_DWORD, &value, sizeof value) != ERROR_SUCCESS) {
    LogLine("Error: cannot write the alert state to the device");
  }
  rapi_->CeRegCloseKey(key);
}

void CQuilletUpdater::Step4WriteBack() {
  ShowText(strings::IDS_DESK_WRITING);
  if (WriteStocksBack()) {
    wroteBack_ = true;
    // Only now is the update on the device: the time of the update and the one-time requests
    // that went into it are settled.
    if (prefs_) prefs_->tLastUpdate = NowStockTime(services_.desktop.clock());
    if (imported_) {
      settings_.bImportNextSync = 0;
      SettingChanged("bImportNextSync");
    }
    if (restored_) {
      settings_.bRestoreNextTime = 0;
      SettingChanged("bRestoreNextTime");
    }
  } else {
    LogLine(kLogCannotWriteStocks);
  }
  WriteAlertValue(EvaluateAlerts(*store_, false));
  if (services_.steps != nullptr) services_.steps->Backup(*this);
  charts_.reset();
  if (volume_) {
    rapi_->CeUnmountDBVol(*volume_);
    volume_.reset();
  }
  progress_.reset();
}

}  // namespace quillet
