#include "core/chart_store.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "core/messages.h"
#include "platform/clock.h"
#include "platform/codepage.h"

namespace quillet {
namespace {

std::u16string SeriesKey(std::string_view name) {
  return AnsiToUtf16(name.substr(0, std::min(name.size(), kSeriesNameLength)));
}

// A stored price divided by a split ratio, truncated; a reverse split that would pass 32 bits
// keeps the largest price that fits.
DWORD DivideTruncated(DWORD value, double ratio) {
  double v = static_cast<double>(value) / ratio;
  return v >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<DWORD>(v);
}

bool SameDay(StockTime a, StockTime b) { return DayStart(a) == DayStart(b); }

ChartPoint MakePoint(StockTime date, const PointFigures& f, double scale) {
  ChartPoint p{};
  p.tDate = date;
  p.dwPrice = ToFixedPoint(f.price, scale);
  p.dwLow = ToFixedPoint(f.low, scale);
  p.dwHigh = ToFixedPoint(f.high, scale);
  p.dwVolume = f.volume <= 0              ? 0
               : f.volume >= 4294967295.0 ? 0xFFFFFFFFu
                                          : static_cast<DWORD>(f.volume);
  return p;
}

}  // namespace

ChartStore::ChartStore(PropertyStore& objectStore, MessageBoxes& messageBoxes)
    : objectStore_(objectStore), messageBoxes_(messageBoxes) {}

ChartStore::~ChartStore() = default;

bool ChartStore::OpenChartStore() {
  if (OpenQuietly()) return true;
  messageBoxes_.Show(text::kUnableToOpenChartDb, text::kCaption, MB_OK | MB_ICONSTOP);
  return false;
}

bool ChartStore::OpenQuietly() {
  db_.reset();
  LONG rc = objectStore_.OpenDatabase(kChartDbName, &db_);
  if (rc == ERROR_FILE_NOT_FOUND) {
    CEOID oid = 0;
    rc = objectStore_.CreateDatabase(kChartDbName, kChartDbType, PROP_SERIES_NAME,
                                     CEDB_SORT_CASEINSENSITIVE | CEDB_NOCOMPRESS, &oid);
    // Another process may have created it in between; opening decides.
    if (rc == ERROR_SUCCESS || rc == ERROR_ALREADY_EXISTS) {
      rc = objectStore_.OpenDatabase(kChartDbName, &db_);
    }
  }
  if (rc != ERROR_SUCCESS) {
    db_.reset();
    return false;
  }
  return true;
}

void ChartStore::CloseChartStore() { db_.reset(); }

bool ChartStore::DeleteChartStore() {
  CEOID oid = db_ ? db_->oid() : 0;
  db_.reset();
  if (oid == 0 && objectStore_.FindDatabase(kChartDbName, &oid) != ERROR_SUCCESS) return true;
  LONG rc = objectStore_.DeleteDatabase(oid);
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

namespace {

// The series a record's properties describe.
ChartSeries SeriesOfRecord(const std::vector<PropValue>& props, CEOID oid) {
  ChartSeries s;
  s.oid = oid;
  std::size_t count = 0;
  std::string_view blob;
  for (const PropValue& p : props) {
    switch (p.propid) {
      case PROP_SERIES_NAME:
        CopyToField(s.szName, Utf16ToAnsi(p.text));
        break;
      case PROP_SERIES_MARKET:
        s.ucMarket = static_cast<BYTE>(p.number);
        break;
      case PROP_SERIES_COUNT:
        count = p.number;
        break;
      case PROP_SERIES_POINTS:
        blob = p.blob;
        break;
      default:
        break;
    }
  }
  // The count and the points come from another writer (the desktop, an older version): trust
  // neither beyond the other.
  s.points = DecodePoints(blob, count);
  return s;
}

}  // namespace

std::optional<ChartSeries> ChartStore::ReadCurrent() {
  std::vector<PropValue> props;
  CEOID oid = 0;
  if (db_->ReadRecord(&props, &oid) != ERROR_SUCCESS) return std::nullopt;
  return SeriesOfRecord(props, oid);
}

bool ChartStore::FindRecord(const std::u16string& name, int market, ChartSeries* series) {
  PropValue key = PropValue::Text(PROP_SERIES_NAME, name);
  CEOID damaged = 0;
  CEOID oid = 0;
  for (LONG rc = db_->SeekValue(SeekType::kValueFirstEqual, key, &oid); rc == ERROR_SUCCESS;
       rc = db_->SeekValue(SeekType::kValueNextEqual, key, &oid)) {
    std::vector<PropValue> props;
    CEOID read = 0;
    if (db_->ReadRecord(&props, &read) != ERROR_SUCCESS) {
      // A record of this name whose properties cannot be read: its market is unknown too.
      if (damaged == 0) damaged = oid;
      continue;
    }
    for (const PropValue& p : props) {
      if (p.propid == PROP_SERIES_MARKET && static_cast<int>(p.number) == market) {
        // The record just read is the series: reading it again would double the work of
        // every point an update adds.
        *series = SeriesOfRecord(props, read);
        return true;
      }
    }
  }
  if (damaged == 0) return false;
  // Without a readable record of its own, the series is the damaged record of its name: a write
  // puts the series back in its place, a delete removes it. Treating it as absent would make a
  // second series of the same name beside it, and a delete that leaves it behind.
  ChartSeries s;
  s.oid = damaged;
  s.bDamaged = true;
  CopyToField(s.szName, Utf16ToAnsi(name));
  s.ucMarket = static_cast<BYTE>(market);
  *series = std::move(s);
  return true;
}

std::optional<ChartSeries> ChartStore::FindSeries(std::string_view name, int market) {
  if (!db_) return std::nullopt;
  try {
    ChartSeries s;
    if (FindRecord(SeriesKey(name), market, &s)) return s;
  } catch (const std::bad_alloc&) {
  }
  return std::nullopt;
}

std::optional<ChartSeries> ChartStore::SeriesAt(bool first) {
  if (!db_) return std::nullopt;
  LONG rc = first ? db_->Seek(SeekType::kBeginning, 0, nullptr)
                  : db_->Seek(SeekType::kCurrent, 1, nullptr);
  try {
    // A record that cannot be read is stepped over, so it cannot end the walk early and hide
    // the series after it.
    for (; rc == ERROR_SUCCESS; rc = db_->Seek(SeekType::kCurrent, 1, nullptr)) {
      if (auto s = ReadCurrent()) return s;
    }
  } catch (const std::bad_alloc&) {
  }
  return std::nullopt;
}

bool ChartStore::WriteSeries(ChartSeries& series) {
  if (!db_) return false;
  if (series.points.size() > kMaxChartPoints) {
    series.points.erase(series.points.begin(),
                        series.points.end() - static_cast<std::ptrdiff_t>(kMaxChartPoints));
  }
  std::vector<PropValue> props = {
      PropValue::Text(PROP_SERIES_NAME, SeriesKey(series.name())),
      PropValue::Number(PROP_SERIES_MARKET, series.ucMarket),
      PropValue::Number(PROP_SERIES_COUNT, series.wCount()),
      PropValue::Blob(PROP_SERIES_POINTS, EncodePoints(series.points)),
  };
  CEOID written = 0;
  if (db_->WriteRecord(series.oid, props, &written) != ERROR_SUCCESS) return false;
  series.oid = written;
  series.bDirty = false;
  series.bDamaged = false;
  return true;
}

bool ChartStore::AddDailyPoint(std::string_view name, int market, StockTime date,
                               const PointFigures& f, double scale) {
  // A closed store keeps nothing: the caller must hear that the point was lost.
  if (!db_) return false;
  try {
    ChartSeries s;
    ChartPoint point = MakePoint(date, f, scale);
    if (!FindRecord(SeriesKey(name), market, &s)) {
      s = ChartSeries{};
      CopyToField(s.szName, name.substr(0, std::min(name.size(), kSeriesNameLength)));
      s.ucMarket = static_cast<BYTE>(market);
      s.points.push_back(point);
    } else if (!s.points.empty() && SameDay(s.points.back().tDate, date)) {
      s.points.back() = point;
    } else if (!s.points.empty() && DayStart(s.points.back().tDate) > DayStart(date)) {
      return true;  // an older quote never rewrites history
    } else {
      if (s.points.size() >= kMaxChartPoints) s.points.erase(s.points.begin());
      s.points.push_back(point);
    }
    return WriteSeries(s);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool ChartStore::SetPoint(std::string_view name, int market, StockTime date, const PointFigures& f,
                          double scale) {
  if (f.price == 0) return true;
  if (!db_) return false;
  try {
    ChartSeries s;
    if (!FindRecord(SeriesKey(name), market, &s)) {
      s = ChartSeries{};
      CopyToField(s.szName, name.substr(0, std::min(name.size(), kSeriesNameLength)));
      s.ucMarket = static_cast<BYTE>(market);
    }
    StockTime day = DayStart(date);
    ChartPoint point = MakePoint(day, f, scale);
    auto it = std::find_if(s.points.begin(), s.points.end(),
                           [&](const ChartPoint& p) { return DayStart(p.tDate) >= day; });
    if (it != s.points.end() && DayStart(it->tDate) == day) {
      *it = point;
    } else {
      if (s.points.size() >= kMaxChartPoints) {
        // A full series makes room by dropping its oldest point, as a new day would.
        if (it == s.points.begin()) return true;  // older than everything kept
        std::size_t at = static_cast<std::size_t>(it - s.points.begin());
        s.points.erase(s.points.begin());
        it = s.points.begin() + static_cast<std::ptrdiff_t>(at - 1);
      }
      s.points.insert(it, point);
    }
    return WriteSeries(s);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool ChartStore::DeletePoint(std::string_view name, int market, StockTime date) {
  if (!db_) return false;
  ChartSeries s;
  if (!FindRecord(SeriesKey(name), market, &s)) return false;
  StockTime day = DayStart(date);
  auto it = std::find_if(s.points.begin(), s.points.end(),
                         [&](const ChartPoint& p) { return DayStart(p.tDate) >= day; });
  if (it == s.points.end() || DayStart(it->tDate) != day) return true;
  s.points.erase(it);
  return WriteSeries(s);
}

bool ChartStore::DeleteUpTo(std::optional<std::pair<std::string, int>> series, StockTime date) {
  if (!db_) return false;
  StockTime day = DayStart(date);
  auto prune = [&](ChartSeries& s) {
    auto keep = std::find_if(s.points.begin(), s.points.end(),
                             [&](const ChartPoint& p) { return DayStart(p.tDate) > day; });
    if (keep == s.points.begin()) return true;
    if (keep == s.points.end()) return db_->DeleteRecord(s.oid) == ERROR_SUCCESS;
    s.points.erase(s.points.begin(), keep);
    return WriteSeries(s);
  };
  if (series) {
    ChartSeries s;
    if (!FindRecord(SeriesKey(series->first), series->second, &s)) return false;
    return prune(s);
  }
  // Collect first: pruning deletes and rewrites records, which the walk must not trip over.
  std::vector<ChartSeries> all;
  for (auto s = SeriesAt(true); s; s = SeriesAt(false)) all.push_back(std::move(*s));
  Transaction tx(*this);
  bool ok = true;
  for (ChartSeries& s : all) ok = prune(s) && ok;
  return tx.Commit() && ok;
}

bool ChartStore::HasSeries(std::string_view name, int market) {
  return FindSeries(name, market).has_value();
}

bool ChartStore::DeleteSeries(std::string_view name, int market) {
  if (!db_) return false;
  ChartSeries s;
  if (!FindRecord(SeriesKey(name), market, &s)) return true;
  return db_->DeleteRecord(s.oid) == ERROR_SUCCESS;
}

bool ChartStore::RenameSeries(std::string_view name, int market, std::string_view newName,
                              int newMarket) {
  if (!db_) return false;
  ChartSeries s;
  if (!FindRecord(SeriesKey(name), market, &s)) return false;
  CopyToField(s.szName, newName.substr(0, std::min(newName.size(), kSeriesNameLength)));
  s.ucMarket = static_cast<BYTE>(newMarket);
  return WriteSeries(s);
}

bool ChartStore::DeleteAll() {
  // The caller says once that the store could not be made anew; the store stays open whenever
  // it can, so later points are kept (or reported lost), never dropped without a word.
  const bool deleted = DeleteChartStore();
  const bool open = OpenQuietly();
  return deleted && open;
}

bool ChartStore::SplitSeries(std::string_view name, int market, StockTime splitDate, double ratio) {
  if (!db_ || !(ratio > 0)) return false;
  ChartSeries s;
  if (!FindRecord(SeriesKey(name), market, &s)) return false;
  StockTime day = DayStart(splitDate);
  for (ChartPoint& p : s.points) {
    if (DayStart(p.tDate) >= day) break;
    p.dwPrice = DivideTruncated(p.dwPrice, ratio);
    p.dwLow = DivideTruncated(p.dwLow, ratio);
    p.dwHigh = DivideTruncated(p.dwHigh, ratio);
  }
  return WriteSeries(s);
}

ChartStore::Transaction::Transaction(ChartStore& store) { tx_.emplace(store.objectStore_); }

bool ChartStore::Transaction::Commit() { return tx_->Commit(); }

}  // namespace quillet
