#include "desktop/csv_import.h"

#include <algorithm>

#include "core/decimal_text.h"
#include "core/portfolio_store.h"
#include "core/quote_tables.h"
#include "desktop/csv_export.h"
#include "desktop/desk_steps.h"
#include "platform/ascii.h"
#include "platform/context.h"
#include "platform/file_system.h"
#include "platform/roots.h"

namespace quillet {
namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::optional<int> DigitsValue(std::string_view text, std::size_t maxLength) {
  if (text.empty() || text.size() > maxLength) return std::nullopt;
  int value = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return std::nullopt;
    value = value * 10 + (ch - '0');
  }
  return value;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
  return kDays[month - 1];
}

// The market whose suffix is the text from the symbol's last '.'; of markets sharing a suffix
// the last in the table; 0 without a match.
int MarketOfSuffix(std::string_view symbol) {
  const std::size_t dot = symbol.rfind('.');
  if (dot == std::string_view::npos) return 0;
  const std::string_view tail = symbol.substr(dot);
  int found = 0;
  for (int market = 0; market < kMarketCount; ++market) {
    const std::string_view suffix = GetMarketInfo(market)->szSuffix;
    if (!suffix.empty() && EqualNoCase(suffix, tail)) found = market;
  }
  return found;
}

class RecordReader {
 public:
  RecordReader(const DeskStepContext& c, const CsvRecord& record) : c_(c), record_(record) {}

  std::string_view Cell(std::size_t index) const {
    return index < record_.cells.size() ? std::string_view(record_.cells[index])
                                        : std::string_view();
  }

  // A number cell into a decimal field: the locale's or a '.' decimal point; empty is zero. A
  // text longer than the field is written with fewer decimals; one whose integer part does not
  // fit is refused.
  bool Number(std::size_t index, DecimalText& field, const char* what, std::string* why) const {
    const std::string_view raw = Trimmed(Cell(index));
    std::fill(std::begin(field), std::end(field), '\0');
    if (raw.empty()) return true;
    const std::string text = ToStorageText(raw, c_.locale.decimalSeparator);
    if (!ReadsWholeDecimal(text)) {
      *why = std::string("the ") + what + " \"" + std::string(raw) + "\" is not a number";
      return false;
    }
    if (text.size() < kDecimalTextSize) {
      CopyToField(field, text);
      return true;
    }
    if (!StoreDecimal(field, ParseDecimal(text, kAllPlaces), 4, true)) {
      *why = std::string("the ") + what + " \"" + std::string(raw) + "\" is too large";
      return false;
    }
    return true;
  }

  // A date cell: the date plus `offset` seconds; an empty cell is `now` plus the offset.
  bool Date(std::size_t index, StockTime now, StockTime offset, StockTime* date, const char* what,
            std::string* why) const {
    const std::string_view raw = Trimmed(Cell(index));
    if (raw.empty()) {
      *date = now + offset;
      return true;
    }
    const std::optional<ImportDate> d = ParseImportDate(raw);
    if (!d) {
      *why = std::string("the ") + what + " \"" + std::string(raw) + "\" is not a date";
      return false;
    }
    const std::optional<StockTime> t = FromLocal(d->year, d->month, d->day);
    if (!t) {
      *why = std::string("the ") + what + " \"" + std::string(raw) +
             "\" is outside the years 1970 to 2105";
      return false;
    }
    *date = *t + offset;
    return true;
  }

 private:
  const DeskStepContext& c_;
  const CsvRecord& record_;
};

// The portfolio of a category: found by name without regard to case, else made at the end of
// the table; portfolio 0 for an empty category or a full table (*full set).
int PortfolioOf(PortfolioStore& s, std::string_view category, bool* full) {
  *full = false;
  if (category.empty()) return 0;
  char name[16] = {};
  CopyToField(name, category);
  const int count = std::min<int>(s.wPortfolioCount, kMaxPortfolios);
  for (int p = 0; p < count; ++p) {
    if (EqualNoCase(FieldText(s.szPortfolioName[p]), FieldText(name))) return p;
  }
  if (count >= kMaxPortfolios) {
    *full = true;
    return 0;
  }
  std::copy(std::begin(name), std::end(name), s.szPortfolioName[count]);
  s.ucPortfolioCurrency[count] = 0;
  s.dCash[count] = 0;
  s.dLastUpdateProfit[count] = 0;
  s.wPortfolioCount = static_cast<WORD>(count + 1);
  return count;
}

}  // namespace

std::vector<CsvRecord> SplitCsv(std::string_view text, char sep) {
  std::vector<CsvRecord> records;
  std::size_t i = 0;
  int line = 1;
  while (i < text.size()) {
    CsvRecord r;
    r.line = line;
    const std::size_t start = i;
    std::string cell;
    bool inQuotes = false;
    bool cellStart = true;
    std::size_t end = 0;
    for (;;) {
      if (i >= text.size()) {
        r.unclosedQuote = inQuotes;
        end = i - start;
        break;
      }
      const char ch = text[i];
      if (inQuotes) {
        if (ch == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            cell += '"';
            i += 2;
          } else {
            inQuotes = false;
            ++i;
          }
          continue;
        }
        if (ch == '\n') ++line;
        cell += ch;
        ++i;
        continue;
      }
      if (ch == '\n') {
        end = i - start;
        if (end > 0 && text[i - 1] == '\r') --end;
        ++i;
        ++line;
        break;
      }
      if (ch == '\r' && (i + 1 == text.size() || text[i + 1] == '\n')) {
        ++i;  // the CR of a CRLF line end
        continue;
      }
      if (ch == sep) {
        r.cells.push_back(std::move(cell));
        r.cellEnds.push_back(i - start);
        cell.clear();
        cellStart = true;
        ++i;
        continue;
      }
      if (ch == '"' && cellStart) {
        inQuotes = true;
        cellStart = false;
        ++i;
        continue;
      }
      cellStart = false;
      cell += ch;
      ++i;
    }
    r.cells.push_back(std::move(cell));
    r.cellEnds.push_back(end);
    records.push_back(std::move(r));
  }
  return records;
}

std::optional<ImportDate> ParseImportDate(std::string_view text) {
  text = Trimmed(text);
  ImportDate d;
  std::string_view parts[3];
  auto split = [&](char mark) {
    std::size_t n = 0;
    std::size_t from = 0;
    for (;;) {
      const std::size_t at = text.find(mark, from);
      if (n == 3) return false;
      parts[n++] = text.substr(from, at == std::string_view::npos ? at : at - from);
      if (at == std::string_view::npos) break;
      from = at + 1;
    }
    return n == 3;
  };
  std::optional<int> year, month, day;
  std::size_t yearLength = 4;
  if (text.size() == 8 && DigitsValue(text, 8)) {
    year = DigitsValue(text.substr(0, 4), 4);
    month = DigitsValue(text.substr(4, 2), 2);
    day = DigitsValue(text.substr(6, 2), 2);
  } else if (text.find('/') != std::string_view::npos) {
    if (!split('/')) return std::nullopt;
    month = DigitsValue(parts[0], 2);
    day = DigitsValue(parts[1], 2);
    year = DigitsValue(parts[2], 4);
    yearLength = parts[2].size();
  } else if (text.find('.') != std::string_view::npos) {
    if (!split('.')) return std::nullopt;
    day = DigitsValue(parts[0], 2);
    month = DigitsValue(parts[1], 2);
    year = DigitsValue(parts[2], 4);
    yearLength = parts[2].size();
  } else {
    return std::nullopt;
  }
  if (!year || !month || !day || yearLength == 3) return std::nullopt;
  d.year = *year;
  if (yearLength <= 2) d.year += d.year < 50 ? 2000 : 1900;
  d.month = *month;
  d.day = *day;
  if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > DaysInMonth(d.year, d.month)) {
    return std::nullopt;
  }
  return d;
}

int ImportStockFile(const DeskStepContext& c) {
  std::string bytes;
  const auto path = MapDesktopPath(c.desktop.root(), FieldText(c.settings.szPathImport));
  if (FieldText(c.settings.szPathImport).empty() || !path ||
      c.files.ReadAll(*path, &bytes) != ERROR_SUCCESS) {
    c.Log("Quillet: Could not open import file");
    return -1;
  }
  PortfolioStore& s = c.store;
  const bool exportLayout = c.settings.ucImportFormat == 1;
  // Our own layout is split where our export splits; the standard one at commas.
  const char sep = exportLayout ? ExportSeparator(c.settings.ucExportSep, c.locale) : ',';
  // The cells read: up to the sell fee, which the export layout has three cells further on.
  const std::size_t lastCell = exportLayout ? 12 : 9;
  const std::size_t skipped = exportLayout ? 3 : 0;

  DWORD id = c.maxId != nullptr ? *c.maxId : 0;
  for (const auto& r : s.stocks) id = std::max(id, r->dwId);
  const StockTime now = NowStockTime(c.desktop.clock());
  auto skip = [&](int line, const std::string& why) {
    c.Log("Quillet: Import line " + std::to_string(line) + " skipped: " + why);
  };

  int imported = 0;
  const std::vector<CsvRecord> records = SplitCsv(bytes, sep);
  for (std::size_t index = 0; index < records.size(); ++index) {
    const CsvRecord& rec = records[index];
    c.Pump();
    if (exportLayout && index == 0) {
      skip(rec.line, "the column titles");
      continue;
    }
    if (rec.empty()) continue;
    if (rec.unclosedQuote) {
      skip(rec.line, "a quoted cell is not closed");
      continue;
    }
    const std::size_t used = rec.cellEnds[std::min(lastCell, rec.cellEnds.size() - 1)];
    if (used > kImportLineLimit) {
      skip(rec.line, "longer than " + std::to_string(kImportLineLimit) + " characters");
      continue;
    }
    if (imported == 0 && EqualNoCase(rec.cells[0], "name")) {
      skip(rec.line, "the column titles");
      continue;
    }

    RecordReader cells(c, rec);
    StockRecord r{};
    std::string why;
    const StockTime offset = static_cast<StockTime>(imported);
    CopyToField(r.szName, cells.Cell(0));
    CopyToField(r.szSymbol, cells.Cell(1));
    r.ucStatus = kStatusWatched;
    r.ucTrend = kTrendNotUpdated;
    r.ucFlags = kFlagChartHistory;
    r.ucMarket = static_cast<BYTE>(MarketOfSuffix(r.Symbol()));
    bool ok = cells.Date(3, now, offset, &r.tBuyDate, "buy date", &why) &&
              cells.Number(4, r.szShares, "number of shares", &why) &&
              cells.Number(5, r.szBuyPrice, "buy price", &why) &&
              cells.Number(6, r.szBuyFee, "buy fee", &why);
    DecimalText sellPrice = {};
    bool sold = false;
    if (ok && !Trimmed(cells.Cell(7 + skipped)).empty()) {
      ok = cells.Date(7 + skipped, now, offset, &r.tSellDate, "sell date", &why);
      sold = true;
    }
    ok = ok && cells.Number(8 + skipped, sellPrice, "sell price", &why) &&
         cells.Number(9 + skipped, r.szSellFee, "sell fee", &why);
    if (!ok) {
      skip(rec.line, why);
      continue;
    }
    std::copy(std::begin(r.szBuyPrice), std::end(r.szBuyPrice), r.szPrice);
    if (ParseDecimal(r.szShares, kAllPlaces) >= 1) r.ucStatus = kStatusActive;
    if (sellPrice[0] != '\0') {
      std::copy(std::begin(sellPrice), std::end(sellPrice), r.szPrice);
      sold = true;
    }
    if (sold) r.ucStatus = kStatusSold;

    auto record = s.Allocate<StockRecord>();
    if (!record) {
      skip(rec.line, "not enough memory");
      continue;
    }
    bool full = false;
    r.ucPortfolio = static_cast<BYTE>(PortfolioOf(s, cells.Cell(2), &full));
    if (full) {
      c.Log("Quillet: Import line " + std::to_string(rec.line) +
            ": no room for another portfolio; the stock is put in the first");
    }
    r.dwId = ++id;
    *record = r;
    s.stocks.push_back(std::move(record));
    if (c.marketUsed) c.marketUsed(r.ucMarket);
    ++imported;
  }
  if (c.maxId != nullptr) *c.maxId = id;
  c.Log("Quillet: Imported [" + std::to_string(imported) + "] records");
  return imported;
}

}  // namespace quillet
