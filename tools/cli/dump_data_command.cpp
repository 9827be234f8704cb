// `dump stocks|notes|alerts|prefs [--json]`: every field of every record of the data files and
// of the preference record, as the store holds them after loading.
#include <cstdio>
#include <ostream>
#include <sstream>

#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {
namespace {

// Collects the fields of one record and prints them as "name: value" lines or one JSON object.
class Record {
 public:
  void Number(const char* name, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    fields_.push_back({name, buf, buf});
  }
  void Int(const char* name, long long v) {
    fields_.push_back({name, std::to_string(v), std::to_string(v)});
  }
  void Text(const char* name, std::string_view ansi) {
    fields_.push_back({name, AnsiToUtf8(ansi), JsonString(ansi)});
  }
  void Print(std::ostream& out, bool json, bool first) const {
    if (json) {
      out << (first ? "\n  {" : ",\n  {");
      for (std::size_t i = 0; i < fields_.size(); ++i) {
        out << (i ? ", " : "") << "\"" << fields_[i].name << "\": " << fields_[i].json;
      }
      out << "}";
      return;
    }
    if (!first) out << "\n";
    for (const Field& f : fields_) out << f.name << ": " << f.text << "\n";
  }

 private:
  struct Field {
    std::string name, text, json;
  };
  std::vector<Field> fields_;
};

void Print(std::ostream& out, const std::vector<Record>& records, bool json) {
  if (json) out << "[";
  for (std::size_t i = 0; i < records.size(); ++i) records[i].Print(out, json, i == 0);
  if (json) out << (records.empty() ? "]\n" : "\n]\n");
}

Record Header(const PortfolioStore& st) {
  Record h;
  h.Text("record", "header");
  h.Int("wPortfolioCount", st.wPortfolioCount);
  for (int i = 0; i < st.wPortfolioCount; ++i) {
    std::string p = "portfolio" + std::to_string(i);
    h.Text((p + ".szPortfolioName").c_str(), st.PortfolioName(i));
    h.Int((p + ".ucPortfolioCurrency").c_str(), st.ucPortfolioCurrency[i]);
    h.Number((p + ".dLastUpdateProfit").c_str(), st.dLastUpdateProfit[i]);
    h.Number((p + ".dCash").c_str(), st.dCash[i]);
  }
  h.Int("wCurrencyCount", st.wCurrencyCount);
  for (int i = 0; i < st.wCurrencyCount; ++i) {
    std::string c = "currency" + std::to_string(i);
    h.Text((c + ".szCode").c_str(), st.CurrencyCode(i));
    h.Number((c + ".dRate").c_str(), st.currencies[i].dRate);
  }
  h.Int("dwMaxStockId", st.dwMaxStockId);
  return h;
}

Record Stock(const StockRecord& r) {
  Record s;
  s.Int("dwId", r.dwId);
  s.Int("ucPortfolio", r.ucPortfolio);
  s.Int("ucStatus", r.ucStatus);
  s.Int("ucMarket", r.ucMarket);
  s.Int("ucTrend", r.ucTrend);
  s.Int("ucFlags", r.ucFlags);
  s.Int("tBuyDate", r.tBuyDate);
  s.Int("tSellDate", r.tSellDate);
  s.Int("tQuoteTime", r.tQuoteTime);
  s.Text("szName", r.Name());
  s.Text("szSymbol", r.Symbol());
  s.Text("szShares", FieldText(r.szShares));
  s.Text("szBuyPrice", FieldText(r.szBuyPrice));
  s.Text("szBuyFee", FieldText(r.szBuyFee));
  s.Text("szPrice", FieldText(r.szPrice));
  s.Text("szSellFee", FieldText(r.szSellFee));
  s.Text("szDividend", FieldText(r.szDividend));
  s.Text("szChange", FieldText(r.szChange));
  s.Text("szDayLow", FieldText(r.szDayLow));
  s.Text("szDayHigh", FieldText(r.szDayHigh));
  s.Text("szVolume", FieldText(r.szVolume));
  s.Text("szPrevClose", FieldText(r.szPrevClose));
  s.Text("szBid", FieldText(r.szBid));
  s.Text("szAsk", FieldText(r.szAsk));
  s.Text("sz52WeekLow", FieldText(r.sz52WeekLow));
  s.Text("sz52WeekHigh", FieldText(r.sz52WeekHigh));
  return s;
}

Record Prefs(const PortfolioStore& st) {
  Record p;
  p.Int("wKept4", st.wPrefKept4);
  p.Int("ucColumnText", st.ucColumnText);
  p.Int("ucColumnData", st.ucColumnData);
  p.Int("ucColumnValue", st.ucColumnValue);
  p.Int("bShowClosed", st.bShowClosed);
  p.Int("ucDefaultMarket", st.ucDefaultMarket);
  p.Int("wViewPortfolio", st.wViewPortfolio);
  p.Int("wNewStockPortfolio", st.wNewStockPortfolio);
  p.Text("szProxyHost", FieldText(st.szProxyHost));
  p.Int("wProxyPort", st.wProxyPort);
  p.Int("bUseProxy", st.bUseProxy);
  p.Int("bCloseConnection", st.bCloseConnection);
  p.Int("ucChartSize", st.ucChartSize);
  p.Int("wPassword", st.wPassword);
  p.Int("dwSelectedStock", st.dwSelectedStock);
  p.Number("fCustomFeePercent", st.fCustomFeePercent);
  p.Int("tLastUpdate", st.tLastUpdate);
  p.Int("bPassword", st.bPassword);
  p.Int("ucSortKey", st.ucSortKey);
  p.Int("bSortDescending", st.bSortDescending);
  p.Int("bWatchedAtBottom", st.bWatchedAtBottom);
  p.Int("bAutoSort", st.bAutoSort);
  p.Int("bDividendTimesPrice", st.bDividendTimesPrice);
  p.Int("wPortfolioChartMode", st.wPortfolioChartMode);
  p.Int("wPortfolioChartValue", st.wPortfolioChartValue);
  p.Int("ucKept118", st.ucPrefKept118);
  p.Int("bNameInCharts", st.bNameInCharts);
  p.Text("szKept124", FieldText(st.szPrefKept124));
  p.Text("szRasEntry", FieldText(st.szRasEntry));
  p.Int("ucPrefFlags", st.ucPrefFlags);
  p.Int("bAutoUpdate", st.bAutoUpdate);
  p.Int("ucUpdateMinutes", st.ucUpdateMinutes);
  return p;
}

}  // namespace

int DumpPortfolioData(CliEnv& env, std::string_view kind, bool json) {
  if (kind != "stocks" && kind != "notes" && kind != "alerts" && kind != "prefs") {
    *env.err << "quillet-cli: unknown kind " << kind << "\n";
    return 2;
  }
  PortfolioSession s(env);
  if (!s.Open()) return 1;
  const PortfolioStore& st = s.store();
  std::vector<Record> records;
  if (kind == "stocks") {
    records.push_back(Header(st));
    for (const auto& r : st.stocks) records.push_back(Stock(*r));
  } else if (kind == "notes") {
    for (const auto& n : st.notes) {
      Record r;
      r.Int("dwStockId", n->dwStockId);
      r.Int("dwLength", n->dwLength);
      r.Text("szText", n->Text());
      records.push_back(std::move(r));
    }
  } else if (kind == "alerts") {
    for (const auto& a : st.alerts) {
      Record r;
      r.Text("szQuoteSymbol", a->QuoteSymbol());
      r.Int("ucMarket", a->ucMarket);
      r.Int("ucCondition", a->ucCondition);
      r.Int("ucCompare", a->ucCompare);
      r.Number("dThreshold", a->dThreshold);
      records.push_back(std::move(r));
    }
  } else {
    records.push_back(Prefs(st));
  }
  Print(*env.out, records, json);
  return 0;
}

}  // namespace quillet::cli
