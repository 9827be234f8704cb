#include "desktop/backups.h"

#include <cstdio>
#include <cstring>

#include "core/data_codecs.h"
#include "core/string_table.h"
#include "desktop/desk_steps.h"
#include "platform/context.h"
#include "platform/file_system.h"

namespace quillet {
namespace {

constexpr const char* kBackedUpFiles[] = {"QuilletDB", "StockNoteDB", "StockAlertDB"};
constexpr char kChartBackupName[] = "StockGraphDB";
constexpr std::size_t kChartBackupHeader = 20;

std::optional<std::string> BackupFile(const DeskStepContext& c, std::string_view name) {
  return WorkingFile(c.dir, std::string(kBackupFolder) + "\\" + std::string(name));
}

// A stock file that holds what it announces: its header when it has one, whole records.
bool StockFileIsWhole(std::string_view bytes) {
  if (bytes.size() < 2) return false;
  const StockFile file = DecodeStockFile(bytes);
  const std::size_t records = file.stocks.size() * sizeof(StockRecord);
  if (file.header) return bytes.size() == kStockFileHeaderSize + records;
  return bytes.size() == records;
}

}  // namespace

bool BackupDue(int mode, std::int64_t lastTime, std::int64_t now) {
  if (mode <= 0 || mode > 6) return false;
  if (lastTime == 0) return true;
  const std::int64_t elapsed = now - lastTime;
  if (mode == 1) return !(ToLocal(lastTime).day == ToLocal(now).day && elapsed < 86400);
  static constexpr int kDays[] = {0, 1, 2, 3, 7, 14, 30};
  return elapsed / 86400 >= kDays[mode];
}

std::string BackupPrefix(std::int64_t t) {
  const LocalTime d = ToLocal(t);
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d_", d.year % 10000, d.month, d.day);
  return text;
}

std::string EncodeChartBackup(const std::vector<ChartSeries>& all) {
  std::string out;
  for (const ChartSeries& s : all) {
    char head[kChartBackupHeader] = {};
    CopyToField(head, 16, s.name().substr(0, kSeriesNameLength));
    head[16] = static_cast<char>(s.ucMarket);
    // A series never holds more; should one, its newest points are the ones kept.
    const std::size_t count = std::min(s.points.size(), kMaxChartPoints);
    head[18] = static_cast<char>(count & 0xFF);
    head[19] = static_cast<char>(count >> 8);
    out.append(head, sizeof head);
    out += EncodePoints(
        std::vector<ChartPoint>(s.points.end() - static_cast<long>(count), s.points.end()));
  }
  return out;
}

std::optional<std::vector<ChartSeries>> DecodeChartBackup(std::string_view bytes,
                                                          std::string* why) {
  std::vector<ChartSeries> all;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::string where = "record " + std::to_string(all.size() + 1);
    if (bytes.size() - at < kChartBackupHeader) {
      *why = where + ": its header is cut short";
      return std::nullopt;
    }
    const std::string_view head = bytes.substr(at, kChartBackupHeader);
    const std::size_t nul = head.substr(0, 16).find('\0');
    if (nul == std::string_view::npos) {
      *why = where + ": its name is not terminated";
      return std::nullopt;
    }
    const std::size_t count = static_cast<unsigned char>(head[18]) |
                              static_cast<std::size_t>(static_cast<unsigned char>(head[19])) << 8;
    if (count > kMaxChartPoints) {
      *why = where + ": it holds " + std::to_string(count) + " points, more than " +
             std::to_string(kMaxChartPoints);
      return std::nullopt;
    }
    at += kChartBackupHeader;
    if ((bytes.size() - at) / sizeof(ChartPoint) < count) {
      *why = where + ": its points are cut short";
      return std::nullopt;
    }
    ChartSeries s;
    CopyToField(s.szName, head.substr(0, nul));
    s.ucMarket = static_cast<BYTE>(head[16]);
    s.points = DecodePoints(bytes.substr(at, count * sizeof(ChartPoint)), count);
    s.bDirty = true;
    at += count * sizeof(ChartPoint);
    all.push_back(std::move(s));
  }
  return all;
}

BackupOutcome RunBackup(const DeskStepContext& c, bool force) {
  DeskSettings& settings = c.settings;
  const std::int64_t now = c.desktop.clock().Now();
  if (!force && !BackupDue(settings.BackupMode, settings.BackupLastTime, now)) {
    return BackupOutcome::kNotDue;
  }
  if (force || settings.BackupLastTime != 0) c.Show(strings::IDS_DESK_BACKING_UP);

  const auto folder = WorkingFile(c.dir, kBackupFolder);
  if (!folder || (!c.files.Exists(*folder) && c.files.CreateFolder(*folder) != ERROR_SUCCESS)) {
    c.Log("Error: cannot create the backup folder; no backup was taken");
    return BackupOutcome::kFailed;
  }
  const std::string prefix = BackupPrefix(now);
  bool whole = true;
  for (const char* name : kBackedUpFiles) {
    const auto from = WorkingFile(c.dir, name);
    const auto to = BackupFile(c, prefix + name);
    if (!from || !to) {
      whole = false;
      continue;
    }
    // A set taken earlier the same day keeps its first copies.
    if (c.files.Exists(*to)) continue;
    std::string bytes;
    const LONG read = c.files.ReadAll(*from, &bytes);
    if (read == ERROR_FILE_NOT_FOUND) continue;  // nothing of that kind on the device
    if (read != ERROR_SUCCESS) {
      c.Log(std::string("Error: cannot read ") + name + " for the backup");
      whole = false;
      continue;
    }
    // Written through a temporary file: a failure leaves no partial copy behind.
    if (c.files.ReplaceFile(*to, bytes) != ERROR_SUCCESS) {
      c.Log("Error: cannot write the backup file " + prefix + name);
      whole = false;
    }
  }

  const auto chartFile = BackupFile(c, prefix + kChartBackupName);
  if (c.charts == nullptr || !chartFile || c.files.Exists(*chartFile)) {
    // An unopened database would make an empty backup that a restore takes for no history.
    c.Log("Error creating backup chart database");
  } else {
    std::vector<ChartSeries> all;
    for (auto s = c.charts->SeriesAt(true); s; s = c.charts->SeriesAt(false)) {
      all.push_back(std::move(*s));
      c.Pump();
    }
    if (c.files.ReplaceFile(*chartFile, EncodeChartBackup(all)) != ERROR_SUCCESS) {
      c.Log("Error creating backup chart database");
      whole = false;
    }
  }
  if (!whole) {
    c.Log("Error: the backup is not complete; it is taken again at the next sync");
    return BackupOutcome::kFailed;
  }
  c.Log("Data backed up to: " + c.dir.windowsPath + kBackupFolder);
  settings.BackupLastTime = static_cast<DWORD>(now);
  c.Changed("BackupLastTime");
  return BackupOutcome::kDone;
}

std::optional<RestoredFiles> RestoreBackupFiles(const DeskStepContext& c, std::string_view date) {
  const std::string prefix = std::string(date) + "_";
  RestoredFiles files;
  std::string* into[] = {&files.stocks, &files.notes, &files.alerts};
  for (std::size_t i = 0; i < 3; ++i) {
    const char* name = kBackedUpFiles[i];
    const auto from = BackupFile(c, prefix + name);
    const auto local = WorkingFile(c.dir, name);
    std::string bytes;
    const LONG read = from ? c.files.ReadAll(*from, &bytes) : ERROR_PATH_NOT_FOUND;
    if (i == 0 && (read != ERROR_SUCCESS || !StockFileIsWhole(bytes))) {
      c.Log(read != ERROR_SUCCESS ? "Error: the backup stock file of " + std::string(date) +
                                        " cannot be read; the data were not restored"
                                  : "Error: the backup stock file of " + std::string(date) +
                                        " is damaged; the data were not restored");
      return std::nullopt;
    }
    if (read != ERROR_SUCCESS) {
      // A set without notes or alerts: the run's own copy serves this run. A copy that is in
      // the set but cannot be read is said, or the restore would pass for a whole one.
      if (read != ERROR_FILE_NOT_FOUND && read != ERROR_PATH_NOT_FOUND) {
        c.Log(std::string("Error: cannot read the backup copy of ") + name);
      }
      if (local) c.files.ReadAll(*local, into[i]);
      continue;
    }
    if (!local || c.files.ReplaceFile(*local, bytes) != ERROR_SUCCESS) {
      if (i == 0) {
        c.Log("Error: the backup stock file of " + std::string(date) +
              " cannot be put in place; the data were not restored");
        return std::nullopt;
      }
      c.Log(std::string("Error: cannot write the local copy of ") + name);
    }
    *into[i] = std::move(bytes);
  }
  return files;
}

bool RestoreChartBackup(const DeskStepContext& c, std::string_view date) {
  const auto path = BackupFile(c, std::string(date) + "_" + kChartBackupName);
  std::string bytes;
  if (!path || c.files.ReadAll(*path, &bytes) != ERROR_SUCCESS) {
    c.Log("Error opening backup chart database");
    return false;
  }
  std::string why;
  std::optional<std::vector<ChartSeries>> restored = DecodeChartBackup(bytes, &why);
  if (!restored) {
    c.Log("Error: the backup chart database is damaged (" + why +
          "); the chart data were left as they are");
    return false;
  }
  if (c.charts == nullptr) {
    c.Log("Error: the chart database is not open; the chart data were not restored");
    return false;
  }
  ChartStore& charts = *c.charts;
  std::vector<std::pair<std::string, int>> existing;
  for (auto s = charts.SeriesAt(true); s; s = charts.SeriesAt(false)) {
    existing.emplace_back(s->name(), s->ucMarket);
  }
  bool ok = true;
  {
    ChartStore::Transaction tx(charts);
    for (const auto& [name, market] : existing) ok = ok && charts.DeleteSeries(name, market);
    for (ChartSeries& s : *restored) {
      ok = ok && charts.WriteSeries(s);
      c.Pump();
    }
    ok = ok && tx.Commit();
  }
  if (!ok) c.Log("Error: the chart data could not be restored; they were left as they are");
  return ok;
}

}  // namespace quillet
