#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "companions/program_control.h"
#include "core/data_files.h"
#include "core/preferences.h"
#include "core/quote_tables.h"
#include "platform/ascii.h"
#include "platform/locale_settings.h"
#include "platform/message_box.h"
#include "tools/cli/number_input.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {
namespace {

// Digits only (no blanks, no '+', no exponent), within min..max; quiet, for callers that say
// themselves what was wrong.
bool ParseInt(std::string_view text, long min, long max, long* value) {
  if (text.empty() || text.size() > 12) return false;
  std::string_view digits = text.front() == '-' ? text.substr(1) : text;
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  long v = std::strtol(std::string(text).c_str(), nullptr, 10);
  if (v < min || v > max) return false;
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

std::string JsonString(std::string_view ansi) { return JsonUtf8String(AnsiToUtf8(ansi)); }

std::string JsonUtf8String(std::string_view utf8) {
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

bool PortfolioSession::OpenToChange() {
  if (!Open()) return false;
  WindowStation* windows = env_.DeviceWindows();
  if (windows && FindProgramWindow(*windows, ReadProgramPath(ctx_->registry()))) {
    *env_.err << "quillet-cli: Quillet is running on this device and would write its own data "
                 "over this change when it ends. Close it (or make the change there) and try "
                 "again\n";
    return false;
  }
  return true;
}

bool PortfolioSession::Save() {
  bool ok = SavePreferences(*store_);
  if (!ok) *env_.err << "quillet-cli: the preferences could not be written\n";
  ok = SaveStocks(*store_) && ok;
  ok = SaveNotes(*store_) && ok;
  ok = SaveAlerts(*store_) && ok;
  return ok;
}

int PortfolioSession::TakeStock(std::vector<std::string>* args, StockRecord** stock) {
  *stock = nullptr;
  for (std::size_t i = 0; i < args->size(); ++i) {
    if ((*args)[i] != "--id") continue;
    if (i + 1 == args->size()) break;
    std::int64_t id = 0;
    if (!ReadWholeNumber(*env_.err, "--id", (*args)[i + 1], 1, 0xFFFFFFFFLL, &id)) {
      return kExitUsage;
    }
    args->erase(args->begin() + static_cast<std::ptrdiff_t>(i),
                args->begin() + static_cast<std::ptrdiff_t>(i) + 2);
    *stock = store_->FindStock(static_cast<DWORD>(id));
    if (*stock) return kExitDone;
    // A well-formed id that names nothing: the work cannot be done, the line was not wrong.
    *env_.err << "quillet-cli: no stock with id " << id << "\n";
    return kExitFailed;
  }
  *env_.err << "quillet-cli: name the stock with --id N\n";
  return kExitUsage;
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
    // An empty value empties the field, as clearing the edit on the sheet does.
    double number = 0;
    if (!ReadDecimalNumber(s.err(), field, ansi, store.cDecimalSeparator, {.allowEmpty = true},
                           &number)) {
      return false;
    }
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
      return true;
    }
    // A name the table does not know reads as the first market; a typing error must not move
    // the stock there.
    const int market = FindMarketByName(ansi);
    if (market == 0 && !EqualNoCase(GetMarketName(0), ansi)) {
      s.err() << "quillet-cli: market: no market " << value << " (a name or 0.." << kMarketCount - 1
              << ")\n";
      return false;
    }
    r->ucMarket = static_cast<BYTE>(market);
    return true;
  }
  if (FieldIs(field, "portfolio", "ucPortfolio")) {
    if (!ParseInt(value, 0, store.wPortfolioCount - 1, &v)) {
      s.err() << "quillet-cli: portfolio: no portfolio " << value << " (0.."
              << store.wPortfolioCount - 1 << ")\n";
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
      s.err() << "quillet-cli: status: active, watched or sold\n";
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
      s.err() << "quillet-cli: trend: a whole number from 0 to 4\n";
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
      s.err() << "quillet-cli: " << field
              << ": a date is YYYY-MM-DD, YYYY-MM-DDTHH:MM or @SECONDS\n";
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
    std::int64_t read = 0;
    if (!ReadWholeNumber(s.err(), field, value, min, max, &read)) return false;
    v = static_cast<long>(read);
    return true;
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
    // Written to the registry only once every assignment has been read (SetStoreFields).
    s.pendingTodayItem = v != 0;
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
    double cash = 0;
    if (!ReadDecimalNumber(s.err(), field, Utf8ToAnsi(value), st.cDecimalSeparator, {}, &cash)) {
      return false;
    }
    st.dCash[p] = cash;
    return true;
  }
  // The proxy and the connection have the same names and checks as `prefs set`.
  if (field == "proxyHost" || field == "proxyPort" || field == "rasEntry") {
    const char* name = field == "proxyHost"   ? "proxy-host"
                       : field == "proxyPort" ? "proxy-port"
                                              : "connection";
    return SetPreference(s, name, value) == kExitDone;
  }
  s.err() << "quillet-cli: unknown setting " << field << "\n";
  return false;
}

}  // namespace quillet::cli
