// The CSV exports of the desktop companion: "Quillet.csv" (the active, then the sold stocks, in
// the user's number and date formats) and "Quillet_Charts.csv" (every price history), written to
// the working directory on the schedule the user chose. A cell that holds the separator, a double
// quote or a line break is put in double quotes with its quotes doubled, so that any CSV reader
// finds the same cells; every other cell is written as it stands.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/locale_settings.h"

namespace quillet {

class ChartStore;
class PortfolioStore;
struct DeskStepContext;

inline constexpr char kStockExportFile[] = "Quillet.csv";
inline constexpr char kChartExportFile[] = "Quillet_Charts.csv";

// The separator chosen by `ucExportSep`: 0 the list separator, 1 ",", 2 ";", 3 a tab.
char ExportSeparator(int ucExportSep, const LocaleSettings& locale);

// One cell: as it stands, or quoted when it holds `separator`, '"', '\r' or '\n'.
std::string CsvCell(std::string_view text, char separator);

// The text of "Quillet.csv" for the stocks of `store`.
std::string StockExportText(const PortfolioStore& store, char separator,
                            const LocaleSettings& locale);
// The text of "Quillet_Charts.csv" for every series of `charts`; `pump` runs between series.
std::string ChartExportText(ChartStore& charts, const PortfolioStore& store, char separator,
                            const LocaleSettings& locale, const std::function<void()>& pump = {});

// Whether an export is due with the frequency `backupTime` (0 never, 1 every run, 2 once a day,
// 3 every 7 days, 4 every 30 days), given the last write of the previous export (nullopt when
// there is none) and now, both in seconds since 1970.
bool ExportDue(int backupTime, std::optional<std::int64_t> lastExport, std::int64_t now);

enum class ExportOutcome { kNotDue, kDone, kFailed, kCancelled };

// The export step: the schedule, "Exporting stock data...", the stock export and, when
// `bExportChart` is set, the chart export. `force` ignores the schedule (a frequency of 0
// included). Each file is replaced whole or left as it was; failures are logged. kCancelled
// when the run's Cancel was seen before anything was written ("Sync Cancelled." logged).
ExportOutcome RunExport(const DeskStepContext& context, bool force = false);

}  // namespace quillet
