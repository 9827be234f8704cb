// The dated backups of the desktop companion: on the schedule the user chose, the stock, note
// and alert files of the last run and the whole chart database are copied into the "Backup"
// folder of the working directory under the day's prefix ("20261207_QuilletDB"); a set can be
// put back at the next sync.
//
// What they promise: a backup is reported (and its time moved on) only when every file of it
// was written whole, and a file of a set already taken that day is kept as it is; a restore
// first reads and checks what it puts back, so a missing, short or damaged backup leaves the
// run's data (and the chart database) as they were, never emptied or half replaced.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/chart_store.h"

namespace quillet {

struct DeskStepContext;

inline constexpr char kBackupFolder[] = "Backup";

// Whether a backup is due with `BackupMode` (0 never, 1 every day, 2, 3 every 2 or 3 days, 4
// every week, 5 every 2 weeks, 6 every month) after one at `lastTime` (0: never), at `now`.
bool BackupDue(int mode, std::int64_t lastTime, std::int64_t now);
// "YYYYMMDD_" of the local day of t.
std::string BackupPrefix(std::int64_t t);

// The chart backup: per series its name in 16 bytes (NUL-terminated), the market, a zero byte,
// the point count (16 bits) and the 20-byte points; no header.
std::string EncodeChartBackup(const std::vector<ChartSeries>& series);
// Reads a whole chart backup; nullopt, with the reason in *why, when any of it is short or
// damaged (a name without its NUL, more than 3199 points, points missing, bytes after the end).
std::optional<std::vector<ChartSeries>> DecodeChartBackup(std::string_view bytes, std::string* why);

enum class BackupOutcome { kNotDue, kDone, kFailed };
// The backup step: the schedule (ignored with `force`), the three files and the chart backup,
// "Data backed up to:" and the new `BackupLastTime` when everything needed was written.
BackupOutcome RunBackup(const DeskStepContext& context, bool force = false);

// The stock, note and alert files of a backup set as a restore puts them in place of the
// device's; a note or alert file missing from the set is the run's own copy (empty if none).
struct RestoredFiles {
  std::string stocks;
  std::string notes;
  std::string alerts;
};
// Reads and checks the set of `date` and puts its files over the working directory's copies
// (each through a temporary file). Nullopt, logged, when the set has no readable stock file or
// it cannot be put in place: the run then reads the device's files as usual.
std::optional<RestoredFiles> RestoreBackupFiles(const DeskStepContext& context,
                                                std::string_view date);
// Replaces every series of the chart database by those of the set's chart backup, in one
// transaction, after reading and checking all of it. False, logged, when nothing was replaced.
bool RestoreChartBackup(const DeskStepContext& context, std::string_view date);

}  // namespace quillet
