// The stock import of the desktop companion: new stocks read from a CSV file (the standard
// layout, or the layout of our own export) and appended to the handheld's stock list, their
// categories becoming portfolios and their markets taken from the symbols' suffixes.
//
// What it promises: a cell in double quotes may hold the separator, doubled quotes and line
// breaks; every line it skips or cannot read is logged with its line number and the reason,
// and nothing of such a line is imported; a line too long for the reader is skipped whole.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace quillet {

struct DeskStepContext;

// Characters of a line the import reads (the cells it uses, from the start of the line).
inline constexpr std::size_t kImportLineLimit = 255;

// One record of a CSV text: its cells, the number of the line it starts on and, for each cell,
// where in the record's text it ends (to measure the part of a line the import reads).
struct CsvRecord {
  std::vector<std::string> cells;
  std::vector<std::size_t> cellEnds;
  int line = 0;
  bool unclosedQuote = false;  // the text ended inside a quoted cell
  bool empty() const { return cells.size() == 1 && cells[0].empty() && cellEnds[0] == 0; }
};

// Splits a whole text into records at line ends outside quotes; a CR before the line feed is
// dropped; every separator ends a cell and empty cells count.
std::vector<CsvRecord> SplitCsv(std::string_view text, char separator);

// A date as the import reads it: month/day/year, day.month.year or YYYYMMDD; a year of one or
// two digits below 50 is in the 2000s, others in the 1900s. Nullopt for anything else,
// including a day that is not in its month.
struct ImportDate {
  int year = 0;
  int month = 0;
  int day = 0;
  friend bool operator==(const ImportDate&, const ImportDate&) = default;
};
std::optional<ImportDate> ParseImportDate(std::string_view text);

// Imports the file of `szPathImport` (a desktop path) in the layout of `ucImportFormat` into
// the context's stock list. Logs "Quillet: Imported [n] records" and returns n; -1 when the
// file could not be opened ("Quillet: Could not open import file").
int ImportStockFile(const DeskStepContext& context);

}  // namespace quillet
