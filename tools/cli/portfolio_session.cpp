#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "core/data_files.h"
#include "core/preferences.h"
#include "core/quote_tables.h"
#include "platform/locale_settings.h"
#include "platform/message_box.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {
namespace {

bool ParseInt(std::string_view text, long min, long max, long* value) {
  if (text.empty()) return false;
  std::string s(text);
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (!end || *end != '\0' || v < min || v > max) return false;
  *value = v;
  return true;
}

bool Split(std::string_view assignment, std::string* field, std::string* value) {
  auto eq = assignment.find('=');
  if (eq == std::string_view::npos || eq == 0) return false;
  *field = std::string(assignment.substr(0, eq));
  *value = std::string(assignment.substr(eq + 1));
  return true;
}

bool FieldIs(const std::string& field, std::string_view name, std::string_view hungarian) {
  return field == name || field == hungarian;
}

}  // namespace

std::optional<std::string> TakeOptionValue(std::vector<std::string>* args,
                                           std::string_view option) {
  for (std::size_t i = 0; i + 1 < args->size(); ++i) {
    if ((*args)[i] != option) continue;
    std::string value = (*args)[i + 1];
    args->erase(args->begin() + static_cast<std::ptrdiff_t>(i),
                args->begin() + static_cast<std::ptrdiff_t>(i) + 2);
    return value;
  }
  return std::nullopt;
}

bool ParseIndex(std::string_view text, int* index) {
  long v = 0;
  if (!ParseInt(text, 0, 255, &v)) return false;
  *index = static_cast<int>(v);
  return true;
}

std::optional<StockTime> ParseCliDate(std::string_view text) {
  if (!text.empty() && text[0] == '@') {
    long v = 0;
    if (!ParseInt(text.substr(1), 0, 0xFFFFFFFFL, &v)) return std::nullopt;
    return static_cast<StockTime>(v);
  }
  int y = 0, m = 0, d = 0, h = 0, mi = 0, used = 0;
  std::string s(text);
  // The whole text must be a date, or a date and a time: nothing may follow.
  bool dateOnly = std::sscanf(s.c_str(), "%4d-%2d-%2d%n", &y, &m, &d, &used) == 3 &&
                  static_cast<std::size_t>(used) == s.size();
  bool dateTime =
      !dateOnly &&
      std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d%n", &y, &m, &d, &h, &mi, &used) == 5 &&
      static_cast<std::size_t>(used) == s.size();
  if (!dateOnly && !dateTime) return std::nullopt;
  if (m < 1 || m > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59) {
    return std::nullopt;
  }
  return FromLocal(y, m, d, h, mi);
}

std::string JsonString(std::string_view ansi) {
  std::string utf8 = AnsiToUtf8(ansi);
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  return out + "\"";
}

bool PortfolioSession::TakeAnswerFlags(std::vector<std::string>* args) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args->size(); ++i) {
    const std::string& a = (*args)[i];
    if (a == "--yes" || a == "-y") {
      yesToAll_ = true;
    } else if (a == "--answers" && i + 1 < args->size()) {
      for (char c : (*args)[++i]) {
        if (c == 'y' || c == 'Y') {
          answers_.push_back(true);
        } else if (c == 'n' || c == 'N') {
          answers_.push_back(false);
        } else if (c != ',') {
          *env_.err << "quillet-cli: --answers takes y and n separated by commas\n";
          return false;
        }
      }
    } else {
      rest.push_back(a);
    }
  }
  *args = std::move(rest);
  return true;
}

bool PortfolioSession::Open() {
  ctx_ = env_.Device();
  if (!ctx_) return false;
  ctx_->messageBoxes().SetAnswerer([this](const MessageBoxRequest& req) {
    bool question = (req.flags & MB_TYPEMASK) == MB_YESNO;
    if (!question) {
      *env_.err << "quillet-cli: " << req.text << "\n";
      return IDOK;
    }
    bool yes = yesToAll_;
    if (nextAnswer_ < answers_.size()) yes = answers_[nextAnswer_++];
    *env_.err << "quillet-cli: " << req.text << " " << (yes ? "yes" : "no") << "\n";
    return yes ? IDYES : IDNO;
  });
  charts_ = std::make_unique<ChartStore>(ctx_->objectStore(), ctx_->messageBoxes());
  PriceHistory* history = charts_.get();
  if (!charts_->OpenChartStore()) {
    charts_.reset();
    history = nullptr;
  }
  store_ = std::make_unique<PortfolioStore>(*ctx_, history);
  LoadPreferences(*store_);
  if (!LoadStocks(*store_) || !LoadNotes(*store_) || !LoadAlerts(*store_)) return false;
  return true;
}

bool PortfolioSession::Save() {
  SavePreferences(*store_);
  bool ok = SaveStocks(*store_);
  ok = SaveNotes(*store_) && ok;
  ok = SaveAlerts(*store_) && ok;
  return ok;
}

StockRecord* PortfolioSession::TakeStock(std::vector<std::string>* args) {
  for (std::size_t i = 0; i + 1 < args->size(); ++i) {
    if ((*args)[i] != "--id") continue;
    long id = 0;
    if (!ParseInt((*args)[i + 1], 0, 0xFFFFFFFFL, &id)) break;
    args->erase(args->begin() + static_cast<std::ptrdiff_t>(i),
                args->begin() + static_cast<std::ptrdiff_t>(i) + 2);
    StockRecord* r = store_->FindStock(static_cast<DWORD>(id));
    if (!r) *env_.err << "quillet-cli: no stock with id " << id << "\n";
    return r;
  }
  *env_.err << "quillet-cli: name the stock with --id N\n";
  return nullptr;
}

bool SetStockField(PortfolioSession& s, StockRecord* r, std::string_view assignment) {
  std::string field, value;
  if (!Split(assignment, &field, &value)) {
    s.err() << "quillet-cli: expected FIELD=VALUE, got " << assignment << "\n";
    return false;
  }
  PortfolioStore& store = s.store();
  const std::string ansi = Utf8ToAnsi(value);
  struct DecimalField {
    const char* name;
    const char* hungarian;
    char* field;
  };
  const DecimalField decimals[] = {
      {"shares", "szShares", r->szShares},
      {"buyPrice", "szBuyPrice", r->szBuyPrice},
      {"buyFee", "szBuyFee", r->szBuyFee},
      {"price", "szPrice", r->szPrice},
      {"sellFee", "szSellFee", r->szSellFee},
      {"dividend", "szDividend", r->szDividend},
      {"change", "szChange", r->szChange},
      {"dayLow", "szDayLow", r->szDayLow},
      {"dayHigh", "szDayHigh", r->szDayHigh},
      {"volume", "szVolume", r->szVolume},
      {"prevClose", "szPrevClose", r->szPrevClose},
      {"bid", "szBid", r->szBid},
      {"ask", "szAsk", r->szAsk},
      {"52WeekLow", "sz52WeekLow", r->sz52WeekLow},
      {"52WeekHigh", "sz52WeekHigh", r->sz52WeekHigh},
  };
  for (const DecimalField& d : decimals) {
    if (!FieldIs(field, d.name, d.hungarian)) continue;
    std::string stored = ToStorageText(ansi, store.cDecimalSeparator);
    if (stored.size() >= kDecimalTextSize) {
      s.err() << "quillet-cli: " << field << " takes at most 11 characters\n";
      return false;
    }
    CopyToField(d.field, kDecimalTextSize, stored);
    return true;
  }
  auto text = [&](char* to, std::size_t size) {
    if (ansi.size() >= size) {
      s.err() << "quillet-cli: " << field << " takes at most " << size - 1 << " characters\n";
      return false;
    }
    CopyToField(to, size, ansi);
    return true;
  };
  if (FieldIs(field, "name", "szName")) return text(r->szName, sizeof r->szName);
  if (FieldIs(field, "symbol", "szSymbol")) return text(r->szSymbol, sizeof r->szSymbol);
  long v = 0;
  if (FieldIs(field, "market", "ucMarket")) {
    if (ParseInt(value, 0, kMarketCount - 1, &v)) {
      r->ucMarket = static_cast<BYTE>(v);
    } else {
      r->ucMarket = static_cast<BYTE>(FindMarketByName(ansi));
    }
    return true;
  }
  if (FieldIs(field, "portfolio", "ucPortfolio")) {
    if (!ParseInt(value, 0, store.wPortfolioCount - 1, &v)) {
      s.err() << "quillet-cli: no portfolio " << value << "\n";
      return false;
    }
    r->ucPortfolio = static_cast<BYTE>(v);
    return true;
  }
  if (FieldIs(field, "status", "ucStatus")) {
    if (value == "active") {
      v = kStatusActive;
    } else if (value == "watched") {
      v = kStatusWatched;
    } else if (value == "sold") {
      v = kStatusSold;
    } else if (!ParseInt(value, 0, 2, &v)) {
      s.err() << "quillet-cli: status is active, watched or sold\n";
      return false;
    }
    r->ucStatus = static_cast<BYTE>(v);
    return true;
  }
  auto flag = [&](BYTE bit) {
    if (!ParseInt(value, 0, 1, &v)) {
      s.err() << "quillet-cli: " << field << " is 0 or 1\n";
      return false;
    }
    r->ucFlags = static_cast<BYTE>(v ? (r->ucFlags | bit) : (r->ucFlags & ~bit));
    return true;
  };
  if (field == "chart") return flag(kFlagChartHistory);
  if (field == "short") return flag(kFlagShort);
  if (FieldIs(field, "trend", "ucTrend")) {
    if (!ParseInt(value, 0, 4, &v)) {
      s.err() << "quillet-cli: trend is 0..4\n";
      return false;
    }
    r->ucTrend = static_cast<BYTE>(v);
    return true;
  }
  StockTime* date = FieldIs(field, "buyDate", "tBuyDate")       ? &r->tBuyDate
                    : FieldIs(field, "sellDate", "tSellDate")   ? &r->tSellDate
                    : FieldIs(field, "quoteTime", "tQuoteTime") ? &r->tQuoteTime
                                                                : nullptr;
  if (date) {
    auto t = ParseCliDate(value);
    if (!t) {
      s.err() << "quillet-cli: a date is YYYY-MM-DD, YYYY-MM-DDTHH:MM or @SECONDS\n";
      return false;
    }
    *date = *t;
    return true;
  }
  if (field == "note") return store.SetNote(r->dwId, Utf8ToUtf16(value));
  s.err() << "quillet-cli: unknown stock field " << field << "\n";
  return false;
}

bool SetStoreField(PortfolioSession& s, std::string_view assignment) {
  std::string field, value;
  if (!Split(assignment, &field, &value)) {
    s.err() << "quillet-cli: expected FIELD=VALUE, got " << assignment << "\n";
    return false;
  }
  PortfolioStore& st = s.store();
  long v = 0;
  auto number = [&](long min, long max) {
    if (ParseInt(value, min, max, &v)) return true;
    s.err() << "quillet-cli: " << field << " is a number from " << min << " to " << max << "\n";
    return false;
  };
  struct ByteField {
    const char* name;
    BYTE* field;
    long max;
  };
  const ByteField bytes[] = {
      {"columnText", &st.ucColumnText, 1},
      {"columnData", &st.ucColumnData, 4},
      {"columnValue", &st.ucColumnValue, kValueKindCount - 1},
      {"showClosed", &st.bShowClosed, 1},
      {"defaultMarket", &st.ucDefaultMarket, kMarketCount - 1},
      {"sortKey", &st.ucSortKey, kSortKeyCount - 1},
      {"sortDescending", &st.bSortDescending, 1},
      {"watchedAtBottom", &st.bWatchedAtBottom, 1},
      {"autoSort", &st.bAutoSort, 1},
      {"dividendTimesPrice", &st.bDividendTimesPrice, 1},
      {"closeConnection", &st.bCloseConnection, 1},
      {"chartSize", &st.ucChartSize, 2},
      {"nameInCharts", &st.bNameInCharts, 1},
      {"autoUpdate", &st.bAutoUpdate, 1},
      {"prefFlags", &st.ucPrefFlags, 255},
  };
  for (const ByteField& b : bytes) {
    if (field != b.name) continue;
    if (!number(0, b.max)) return false;
    *b.field = static_cast<BYTE>(v);
    return true;
  }
  if (field == "updateMinutes") {
    if (!number(1, 255)) return false;
    st.ucUpdateMinutes = static_cast<BYTE>(v);
    return true;
  }
  if (field == "convertToBase" || field == "arrowsShowToday") {
    if (!number(0, 1)) return false;
    BYTE bit = field == "convertToBase" ? kPrefConvertToBase : kPrefArrowsShowToday;
    st.ucPrefFlags = static_cast<BYTE>(v ? (st.ucPrefFlags | bit) : (st.ucPrefFlags & ~bit));
    return true;
  }
  if (field == "todayItem") {
    if (!number(0, 1)) return false;
    SetTodayItem(st, v != 0);
    return true;
  }
  if (field == "viewPortfolio" || field == "newStockPortfolio") {
    if (field == "viewPortfolio" && value == "all") {
      st.wViewPortfolio = PORTFOLIO_ALL;
      return true;
    }
    if (!number(0, st.wPortfolioCount - 1)) return false;
    (field == "viewPortfolio" ? st.wViewPortfolio : st.wNewStockPortfolio) = static_cast<WORD>(v);
    return true;
  }
  if (field.rfind("cash.", 0) == 0) {
    long p = 0;
    if (!ParseInt(std::string_view(field).substr(5), 0, st.wPortfolioCount - 1, &p)) {
      s.err() << "quillet-cli: cash.N names a portfolio in use\n";
      return false;
    }
    st.dCash[p] = ParseDecimal(value, kAllPlaces, st.cDecimalSeparator);
    return true;
  }
  if (field == "proxyHost") {
    CopyToField(st.szProxyHost, Utf8ToAnsi(value).substr(0, 62));
    return true;
  }
  if (field == "proxyPort") {
    if (!number(0, 65535)) return false;
    st.wProxyPort = static_cast<WORD>(v);
    return true;
  }
  if (field == "rasEntry") {
    CopyToField(st.szRasEntry, Utf8ToAnsi(value));
    return true;
  }
  s.err() << "quillet-cli: unknown setting " << field << "\n";
  return false;
}

}  // namespace quillet::cli
