#include "desktop/csv_export.h"

#include <cstdlib>

#include "core/chart_store.h"
#include "core/decimal_text.h"
#include "core/portfolio_store.h"
#include "core/price_history.h"
#include "core/quote_tables.h"
#include "core/string_table.h"
#include "desktop/desk_steps.h"
#include "platform/ascii.h"
#include "platform/context.h"
#include "platform/file_system.h"

namespace quillet {
namespace {

constexpr int kPriceDecimals = 4;

std::string DateText(StockTime t, const LocaleSettings& locale) {
  if (t == 0) return {};
  return FormatDate(locale.shortDateFormat, ToLocal(t));
}

// A figure in the user's format: the locale's decimal separator, no thousands separator.
std::string Number(double value, int places, const LocaleSettings& locale) {
  std::string text = FormatDecimal(value, places, 0, locale.decimalSeparator);
  // Zero too carries its decimals, as every other figure of the column does.
  if (text == "0" && places > 0) text += locale.decimalSeparator + std::string(places, '0');
  return text;
}

double Figure(std::string_view text) { return ParseDecimal(text, kAllPlaces); }

// The share count as the record holds it, without the zeros a fraction ends in.
std::string SharesText(std::string_view shares) {
  std::string text(shares);
  if (text.find('.') != std::string::npos) {
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
  }
  return text;
}

std::string_view PortfolioName(const PortfolioStore& s, int portfolio) {
  if (portfolio < 0 || portfolio >= kMaxPortfolios) return {};
  return FieldText(s.szPortfolioName[portfolio]);
}

std::string_view NoteOf(const PortfolioStore& s, DWORD id) {
  for (const auto& n : s.notes) {
    if (n && n->dwStockId == id) return n->Text();
  }
  return {};
}

void AppendStockLine(std::string& out, const PortfolioStore& s, const StockRecord& r, char sep,
                     const LocaleSettings& locale) {
  const bool sold = r.ucStatus == kStatusSold;
  const double shares = Figure(r.szShares);
  const double buyPrice = Figure(r.szBuyPrice);
  const double buyFee = Figure(r.szBuyFee);
  const double price = Figure(r.szPrice);
  const double sellFee = Figure(r.szSellFee);
  auto cell = [&](std::string_view text) {
    out += CsvCell(text, sep);
    out += sep;
  };
  cell(r.Name());
  cell(r.Symbol());
  cell(PortfolioName(s, r.ucPortfolio));
  cell(DateText(r.tBuyDate, locale));
  cell(SharesText(FieldText(r.szShares)));
  cell(Number(buyPrice, kPriceDecimals, locale));
  cell(Number(buyFee, locale.digits, locale));
  cell(Number(Figure(r.szDividend), locale.digits, locale));
  cell(Number(buyFee + buyPrice * shares, locale.digits, locale));
  if (sold) {
    cell("");
    cell(DateText(r.tSellDate, locale));
    cell(Number(price, kPriceDecimals, locale));
    cell(Number(sellFee, locale.digits, locale));
    cell(Number(price * shares - sellFee, locale.digits, locale));
  } else {
    cell(Number(price, kPriceDecimals, locale));
    for (int i = 0; i < 4; ++i) cell("");
  }
  const std::string_view note = NoteOf(s, r.dwId);
  if (!note.empty()) {
    // A note is always quoted, so its inner quotes are always doubled.
    out += '"';
    for (char c : note) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  out += '\n';
}

// The title of a series: the portfolio's name, or the symbol with its market's suffix.
std::string SeriesTitle(const ChartSeries& series, const PortfolioStore& s) {
  const std::string name = series.name();
  if (series.ucMarket == kPortfolioSeriesMarket) {
    constexpr std::string_view kPrefix = "PORTFOLIO";
    int index = -1;
    if (StartsWithNoCase(name, kPrefix) && name.size() > kPrefix.size()) {
      index = std::atoi(name.c_str() + kPrefix.size());
    }
    return "Symbol: Portfolio " + std::string(PortfolioName(s, index));
  }
  std::string symbol = name;
  AppendMarketSuffix(series.ucMarket, symbol);
  return "Symbol: " + symbol;
}

// A stored figure: stock prices in ten-thousandths, portfolio amounts whole and signed.
double StoredFigure(DWORD stored, bool portfolio) {
  if (portfolio) return SignedAmount(stored);
  return stored / kStockScale;
}

bool SameDay(std::int64_t a, std::int64_t b) { return ToLocal(a).day == ToLocal(b).day; }

LONG ReplaceWorkingFile(const DeskStepContext& c, const char* name, const std::string& bytes) {
  auto path = WorkingFile(c.dir, name);
  if (!path) return ERROR_PATH_NOT_FOUND;
  return c.files.ReplaceFile(*path, bytes);
}

}  // namespace

char ExportSeparator(int ucExportSep, const LocaleSettings& locale) {
  switch (ucExportSep) {
    case 1:
      return ',';
    case 2:
      return ';';
    case 3:
      return '\t';
    default:
      return locale.listSeparator;
  }
}

std::string CsvCell(std::string_view text, char separator) {
  if (text.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string_view::npos) {
    return std::string(text);
  }
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string StockExportText(const PortfolioStore& s, char sep, const LocaleSettings& locale) {
  std::string out;
  for (const char* title : {"Name", "Symbol", "Category", "Buy Date", "Num Shares", "Buy Price",
                            "Buy Fee", "Dividend", "Net Purchase Amount", "Current Price",
                            "Sell Date", "Sell Price", "Sell Fee", "Net Sold Amount", "Note"}) {
    out += title;
    out += sep;
  }
  out += '\n';
  for (BYTE status : {kStatusActive, kStatusSold}) {
    for (const auto& r : s.stocks) {
      if (r && r->ucStatus == status) AppendStockLine(out, s, *r, sep, locale);
    }
  }
  return out;
}

std::string ChartExportText(ChartStore& charts, const PortfolioStore& s, char sep,
                            const LocaleSettings& locale, const std::function<void()>& pump) {
  std::string out = "Date";
  for (const char* title : {"Price", "High", "Low", "Volume"}) {
    out += sep;
    out += title;
  }
  out += "\n\n";
  for (auto series = charts.SeriesAt(true); series; series = charts.SeriesAt(false)) {
    out += CsvCell(SeriesTitle(*series, s), sep);
    out += '\n';
    const bool portfolio = series->ucMarket == kPortfolioSeriesMarket;
    for (const ChartPoint& p : series->points) {
      // A date stored as a negative number is no date.
      const StockTime date = static_cast<std::int32_t>(p.tDate) < 0 ? 0 : p.tDate;
      out += CsvCell(DateText(date, locale), sep);
      out += sep;
      for (DWORD figure : {p.dwPrice, p.dwHigh, p.dwLow}) {
        out += CsvCell(Number(StoredFigure(figure, portfolio), kPriceDecimals, locale), sep);
        out += sep;
      }
      out += std::to_string(static_cast<std::int32_t>(p.dwVolume));
      out += '\n';
    }
    out += "\n\n";
    if (pump) pump();
  }
  return out;
}

bool ExportDue(int backupTime, std::optional<std::int64_t> lastExport, std::int64_t now) {
  if (backupTime <= 0) return false;
  if (backupTime == 1 || !lastExport) return true;
  const std::int64_t elapsed = now - *lastExport;
  switch (backupTime) {
    case 2:
      return !(SameDay(*lastExport, now) && elapsed < 86400);
    case 3:
      return elapsed / 86400 >= 7;
    case 4:
      return elapsed / 86400 >= 30;
    default:
      return true;
  }
}

ExportOutcome RunExport(const DeskStepContext& c, bool force) {
  const DeskSettings& settings = c.settings;
  const std::int64_t now = c.desktop.clock().Now();
  if (!force) {
    std::optional<std::int64_t> last;
    if (auto path = WorkingFile(c.dir, kStockExportFile)) {
      std::int64_t seconds = 0;
      if (c.files.Exists(*path) && c.files.LastWriteTime(*path, &seconds) == ERROR_SUCCESS) {
        last = seconds;
      }
    }
    if (!ExportDue(settings.BackupTime, last, now)) return ExportOutcome::kNotDue;
  }
  c.Show(strings::IDS_DESK_EXPORTING_STOCKS);
  if (c.Cancelled()) {
    c.Log("Sync Cancelled.");
    return ExportOutcome::kCancelled;
  }
  const char sep = ExportSeparator(settings.ucExportSep, c.locale);
  bool ok = true;
  if (ReplaceWorkingFile(c, kStockExportFile, StockExportText(c.store, sep, c.locale)) !=
      ERROR_SUCCESS) {
    c.Log("Error: Cannot open export file");
    ok = false;
  }
  if (settings.bExportChart != 0) {
    c.Show(strings::IDS_DESK_EXPORTING_CHARTS);
    // The chart file takes the list separator whatever the stock file uses.
    if (c.charts == nullptr ||
        ReplaceWorkingFile(c, kChartExportFile,
                           ChartExportText(*c.charts, c.store, c.locale.listSeparator, c.locale,
                                           c.pump)) != ERROR_SUCCESS) {
      c.Log("Error: Cannot open chart export file");
      ok = false;
    }
  }
  return ok ? ExportOutcome::kDone : ExportOutcome::kFailed;
}

}  // namespace quillet
