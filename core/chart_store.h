// The price-history store: one series of daily points per stock that keeps a chart and one per
// portfolio, in the property database "StockGraphDB" (one record per series, found by name and
// market). The handheld program, the desktop companion and the tools open it at the same time;
// every write of a series is one whole record, so a reader sees the old series or the new one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/chart_points.h"
#include "core/price_history.h"
#include "platform/codepage.h"
#include "platform/message_box.h"
#include "platform/property_db.h"
#include "platform/win_types.h"

namespace quillet {

inline constexpr std::u16string_view kChartDbName = u"StockGraphDB";
inline constexpr DWORD kChartDbType = 141233;
inline constexpr CEPROPID PROP_SERIES_NAME = 0x2F5B001F;
inline constexpr CEPROPID PROP_SERIES_MARKET = 0x2F5C0012;
inline constexpr CEPROPID PROP_SERIES_COUNT = 0x2F5D0012;
inline constexpr CEPROPID PROP_SERIES_POINTS = 0x2F5E0041;

struct ChartSeries {
  CEOID oid = 0;  // 0 until written
  bool bDirty = false;
  bool bDamaged = false;  // a stored record whose properties could not be read (no points)
  char szName[16] = {};
  BYTE ucMarket = 0;
  std::vector<ChartPoint> points;  // oldest first, at most one per local day

  WORD wCount() const { return static_cast<WORD>(points.size()); }
  std::string name() const { return std::string(FieldText(szName)); }
};

class ChartStore final : public PriceHistory {
 public:
  ChartStore(PropertyStore& objectStore, MessageBoxes& messageBoxes);
  ~ChartStore() override;

  // Opens "StockGraphDB", creating it when missing. On failure shows "Unable to open chart db"
  // and returns false.
  bool OpenChartStore();
  // The same without a message: for a caller with no one to show it to (the desktop's sync
  // run writes its failures to its log).
  bool OpenQuietly();
  void CloseChartStore();
  // Closes and deletes the whole database. True when it is gone.
  bool DeleteChartStore();
  bool isOpen() const { return db_ != nullptr; }

  // The series (name cut to 15 characters, market), or nullopt. A stored record of that name
  // that cannot be read, with no readable one of the market beside it, is found as a damaged
  // series without points: writing the series rewrites that record, deleting it removes it.
  std::optional<ChartSeries> FindSeries(std::string_view name, int market);
  // Enumerates every readable series in name order (records that cannot be read are stepped
  // over): first, then next each call; nullopt at the end.
  std::optional<ChartSeries> SeriesAt(bool first);
  // Writes the series' record (creating it when oid is 0) and remembers its object id.
  bool WriteSeries(ChartSeries& series);

  // Adds the day's point (scale 10000 for stocks, 1 for portfolios): the same day overwrites
  // the last point, an older day than the last point is ignored, a full series drops its oldest
  // point. True when the point is kept (or rightly ignored); false when it could not be written,
  // also when the store is not open.
  bool AddDailyPoint(std::string_view name, int market, StockTime date, const PointFigures& f,
                     double scale);
  // The point editor: puts a point for the day of `date` (cut to 00:00), inserting it in date
  // order or overwriting that day's point; creates the series. Nothing when the price is 0.
  bool SetPoint(std::string_view name, int market, StockTime date, const PointFigures& f,
                double scale);
  // Removes the point of the day of `date`, if there is one.
  bool DeletePoint(std::string_view name, int market, StockTime date);
  // Removes every point on or before the day of `date` from one series, or from every series
  // when `name` is nullopt; a series left empty is deleted.
  bool DeleteUpTo(std::optional<std::pair<std::string, int>> series, StockTime date);

  // PriceHistory.
  bool HasSeries(std::string_view name, int market) override;
  bool DeleteSeries(std::string_view name, int market) override;
  bool RenameSeries(std::string_view name, int market, std::string_view newName,
                    int newMarket) override;
  bool DeleteAll() override;
  bool SplitSeries(std::string_view name, int market, StockTime splitDate, double ratio) override;

  // Writes made inside a scope are committed together: an update run wraps all its points in
  // one, so it pays for one commit, not one per series.
  class Transaction {
   public:
    explicit Transaction(ChartStore& store);
    bool Commit();

   private:
    std::optional<PropertyStore::Transaction> tx_;
  };

 private:
  std::optional<ChartSeries> ReadCurrent();
  bool FindRecord(const std::u16string& name, int market, ChartSeries* series);

  PropertyStore& objectStore_;
  MessageBoxes& messageBoxes_;
  std::unique_ptr<PropertyDatabase> db_;
};

}  // namespace quillet
