// `prefs get [NAME...] | set NAME VALUE [NAME VALUE ...]`: the handheld program's preferences
// by the names of its Preferences pages and the list's, chart's and sort dialog's choices.
//
// A name is given as printed by `prefs get` ("proxy-port") or as the page's own text
// ("Port", "Use Proxy"), without regard to case, blanks, '-' or '_'. Each value is checked as
// the page checks it (a proxy host of at most 62 characters, ports 1..65535, a password of four
// digits not all zero, a connection of the device's phone book, an interval of the "Every:"
// list) before anything is stored; a refused value stores nothing at all. The values are then
// written with the program's own save of the preference record, which the running program
// and the desktop's sync read, so the three never disagree about its bytes. While the program
// runs on the device nothing is set: it would write its own settings over them when it ends.
#include <functional>
#include <ostream>

#include "core/decimal_text.h"
#include "core/preferences.h"
#include "core/quote_tables.h"
#include "core/string_table.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/ras.h"
#include "quotes/device/update_timer.h"
#include "tools/cli/number_input.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {
namespace {

// How a value prints: a switch as on/off (JSON true/false), a number bare, anything else as
// text.
struct Shown {
  enum Kind { kSwitch, kNumber, kText } kind;
  std::string text;
};

struct Pref {
  const char* name;
  const char* label;  // the text beside the control, or of the choice it makes
  const char* page;   // where the program offers it
  std::function<Shown(PortfolioStore&)> get;
  // Null for a value that only the program sets. Prints why and returns false on bad input.
  std::function<bool(PortfolioSession&, std::string_view)> set;
};

// Lower case without blanks, '-', '_' and ':': "Use Proxy", "use-proxy" and "useProxy" meet.
std::string Squeeze(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' || c == '-' || c == '_' || c == ':') continue;
    out.push_back(ToLowerAscii(c));
  }
  return out;
}

Shown Switch(bool on) { return {Shown::kSwitch, on ? "on" : "off"}; }
Shown Number(long long v) { return {Shown::kNumber, std::to_string(v)}; }
Shown Text(std::string_view ansi) { return {Shown::kText, AnsiToUtf8(ansi)}; }

bool ReadSwitch(PortfolioSession& s, const char* name, std::string_view value, bool* on) {
  const std::string v = Squeeze(value);
  if (v == "on" || v == "1" || v == "yes" || v == "true") {
    *on = true;
    return true;
  }
  if (v == "off" || v == "0" || v == "no" || v == "false") {
    *on = false;
    return true;
  }
  s.err() << "quillet-cli: " << name << ": on or off (1 or 0)\n";
  return false;
}

void SetBit(BYTE* flags, BYTE bit, bool on) {
  *flags = static_cast<BYTE>(on ? (*flags | bit) : (*flags & ~bit));
}

// An item of a choice list by its text (as Squeeze compares) or its position.
bool ReadChoice(PortfolioSession& s, const char* name, std::string_view value,
                const std::vector<std::string>& items, int* index) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (Squeeze(items[i]) == Squeeze(value) || value == std::to_string(i)) {
      *index = static_cast<int>(i);
      return true;
    }
  }
  s.err() << "quillet-cli: " << name << ": one of";
  for (std::size_t i = 0; i < items.size(); ++i) {
    s.err() << (i ? ", " : " ") << "\"" << items[i] << "\"";
  }
  s.err() << " (or 0.." << items.size() - 1 << ")\n";
  return false;
}

std::string ChoiceText(UINT list, int index) {
  const std::vector<std::string> items = strings::ChoiceList(list);
  if (index >= 0 && static_cast<std::size_t>(index) < items.size()) return items[index];
  return std::to_string(index);
}

// A switch kept in a byte (or word) of the store.
template <class Field>
Pref ByteSwitch(const char* name, const char* label, const char* page, Field PortfolioStore::*f) {
  return {name, label, page, [f](PortfolioStore& st) { return Switch(st.*f != 0); },
          [f, name](PortfolioSession& s, std::string_view v) {
            bool on = false;
            if (!ReadSwitch(s, name, v, &on)) return false;
            s.store().*f = static_cast<Field>(on ? 1 : 0);
            return true;
          }};
}

// A switch kept as a bit of ucPrefFlags; `inverted` when a set bit means off.
Pref FlagSwitch(const char* name, const char* label, const char* page, BYTE bit,
                bool inverted = false) {
  return {name, label, page,
          [bit, inverted](PortfolioStore& st) {
            return Switch(((st.ucPrefFlags & bit) != 0) != inverted);
          },
          [bit, inverted, name](PortfolioSession& s, std::string_view v) {
            bool on = false;
            if (!ReadSwitch(s, name, v, &on)) return false;
            SetBit(&s.store().ucPrefFlags, bit, on != inverted);
            return true;
          }};
}

// A choice of a string-table list kept as its position in a byte (or word) of the store.
template <class Field>
Pref ListChoice(const char* name, const char* label, const char* page, UINT list,
                Field PortfolioStore::*f) {
  return {name, label, page,
          [f, list](PortfolioStore& st) {
            return Shown{Shown::kText, ChoiceText(list, static_cast<int>(st.*f))};
          },
          [f, list, name](PortfolioSession& s, std::string_view v) {
            int index = 0;
            if (!ReadChoice(s, name, v, strings::ChoiceList(list), &index)) return false;
            s.store().*f = static_cast<Field>(index);
            return true;
          }};
}

// A portfolio by its number (or "all" where the list offers All).
Pref PortfolioChoice(const char* name, const char* label, WORD PortfolioStore::*f, bool all) {
  return {name, label, "list",
          [f](PortfolioStore& st) {
            if (st.*f == PORTFOLIO_ALL) return Shown{Shown::kText, "all"};
            return Number(st.*f);
          },
          [f, name, all](PortfolioSession& s, std::string_view v) {
            PortfolioStore& st = s.store();
            if (all && Squeeze(v) == "all") {
              st.*f = PORTFOLIO_ALL;
              return true;
            }
            std::int64_t n = 0;
            if (!ReadWholeNumber(s.err(), name, v, 0, st.wPortfolioCount - 1, &n)) return false;
            st.*f = static_cast<WORD>(n);
            return true;
          }};
}

const std::vector<Pref>& Prefs() {
  static const std::vector<Pref> table = {
      // ---- The General page
      {"password", "Enable Password Protection", "General",
       [](PortfolioStore& st) { return Switch(st.bPassword != 0 && st.wPassword != 0); },
       [](PortfolioSession& s, std::string_view v) {
         PortfolioStore& st = s.store();
         const std::string squeezed = Squeeze(v);
         if (squeezed == "off" || squeezed == "no" || squeezed == "false") {
           st.bPassword = 0;
           st.wPassword = 0;
           return true;
         }
         const std::optional<WORD> password = PasswordFromDigits(v);
         if (!password) {
           s.err() << "quillet-cli: password: four digits, not all 0, or off\n";
           return false;
         }
         st.bPassword = 1;
         st.wPassword = *password;
         return true;
       }},
      ByteSwitch("auto-sort", "Auto Sort", "General", &PortfolioStore::bAutoSort),
      ByteSwitch("dividend-times-price", "Dividend is Multiplied by Price", "General",
                 &PortfolioStore::bDividendTimesPrice),
      ByteSwitch("name-in-charts", "Use Stock Name in Charts", "General",
                 &PortfolioStore::bNameInCharts),
      FlagSwitch("map-arrow-keys", "Map Arrow Keys in Program", "General", kPrefMapArrowKeys),
      FlagSwitch("arrows-show-change-today", "Arrows Show Change Today", "General",
                 kPrefArrowsShowToday),
      {"today-item", "Integrate into Today screen", "General",
       [](PortfolioStore& st) { return Switch(st.TodayItemOn()); },
       [](PortfolioSession& s, std::string_view v) {
         bool on = false;
         if (!ReadSwitch(s, "today-item", v, &on)) return false;
         // The registration is written (or removed) only once every value has been read.
         s.pendingTodayItem = on;
         return true;
       }},
      // ---- The Network page
      ByteSwitch("use-proxy", "Use Proxy", "Network", &PortfolioStore::bUseProxy),
      {"proxy-host", "Host", "Network",
       [](PortfolioStore& st) { return Text(FieldText(st.szProxyHost)); },
       [](PortfolioSession& s, std::string_view v) {
         const std::string host = Utf8ToAnsi(v);
         if (!ProxyHostFits(host)) {
           s.err() << "quillet-cli: proxy-host: at most 62 characters\n";
           return false;
         }
         CopyToField(s.store().szProxyHost, host);
         return true;
       }},
      {"proxy-port", "Port", "Network", [](PortfolioStore& st) { return Number(st.wProxyPort); },
       [](PortfolioSession& s, std::string_view v) {
         const std::optional<WORD> port = ReadProxyPort(v);
         if (!port) {
           s.err() << "quillet-cli: proxy-port: a whole number from 1 to 65535\n";
           return false;
         }
         s.store().wProxyPort = *port;
         return true;
       }},
      FlagSwitch("use-modem", "Use Modem", "Network", kPrefModemOff, true),
      {"connection", "Connection", "Network",
       [](PortfolioStore& st) { return Text(FieldText(st.szRasEntry)); },
       [](PortfolioSession& s, std::string_view v) {
         // The page offers the device's phone-book entries only.
         std::vector<std::u16string> entries;
         RasEnumEntries(s.context().registry(), &entries);
         for (const std::u16string& entry : entries) {
           const std::string ansi = Utf16ToAnsi(entry);
           if (EqualNoCase(AnsiToUtf8(ansi), v) && ansi.size() < sizeof s.store().szRasEntry) {
             CopyToField(s.store().szRasEntry, ansi);
             return true;
           }
         }
         s.err() << "quillet-cli: connection: not a dial-up entry of the device";
         for (std::size_t i = 0; i < entries.size(); ++i) {
           s.err() << (i ? ", " : " (") << "\"" << Utf16ToUtf8(entries[i]) << "\"";
         }
         s.err() << (entries.empty() ? " (it has none)\n" : ")\n");
         return false;
       }},
      ByteSwitch("close-connection", "Close connection after update", "Network",
                 &PortfolioStore::bCloseConnection),
      ByteSwitch("auto-update", "Automatic Update", "Network", &PortfolioStore::bAutoUpdate),
      {"update-interval", "Every", "Network",
       [](PortfolioStore& st) { return Number(st.ucUpdateMinutes); },
       [](PortfolioSession& s, std::string_view v) {
         // Minutes, or the list's own text ("1 Hour").
         const auto minutes = UpdateIntervalMinutes();
         const std::vector<std::string> items = strings::ChoiceList(strings::IDS_UPDATE_INTERVALS);
         for (std::size_t k = 0; k < minutes.size(); ++k) {
           const bool byText = k < items.size() && Squeeze(items[k]) == Squeeze(v);
           if (byText || v == std::to_string(minutes[k])) {
             s.store().ucUpdateMinutes = minutes[k];
             return true;
           }
         }
         s.err() << "quillet-cli: update-interval: minutes of the Every list:";
         for (BYTE m : minutes) s.err() << " " << int{m};
         s.err() << "\n";
         return false;
       }},
      // ---- The list, sorting and charts, chosen from menus and dialogs
      ListChoice("column-text", "Column 1", "list", strings::IDS_COLUMN_TEXT,
                 &PortfolioStore::ucColumnText),
      ListChoice("column-data", "Column 2", "list", strings::IDS_COLUMN_DATA,
                 &PortfolioStore::ucColumnData),
      ListChoice("column-value", "Column 3", "list", strings::IDS_COLUMN_VALUE,
                 &PortfolioStore::ucColumnValue),
      ByteSwitch("show-closed", "Closed", "list", &PortfolioStore::bShowClosed),
      FlagSwitch("convert-to-base", "Convert to base currency", "list", kPrefConvertToBase),
      PortfolioChoice("view-portfolio", "Portfolio shown", &PortfolioStore::wViewPortfolio, true),
      PortfolioChoice("new-stock-portfolio", "Portfolio of new stocks",
                      &PortfolioStore::wNewStockPortfolio, false),
      {"default-market", "Market of new stocks", "list",
       [](PortfolioStore& st) { return Text(GetMarketName(st.ucDefaultMarket)); },
       [](PortfolioSession& s, std::string_view v) {
         const std::string ansi = Utf8ToAnsi(v);
         if (!v.empty() && v.find_first_not_of("0123456789") == std::string_view::npos) {
           std::int64_t n = 0;
           if (!ReadWholeNumber(s.err(), "default-market", v, 0, kMarketCount - 1, &n)) {
             return false;
           }
           s.store().ucDefaultMarket = static_cast<BYTE>(n);
           return true;
         }
         // An unknown name reads as the first market: refused rather than taken as that.
         const int market = FindMarketByName(ansi);
         if (market == 0 && !EqualNoCase(GetMarketName(0), ansi)) {
           s.err() << "quillet-cli: default-market: a market's name or 0.." << kMarketCount - 1
                   << "\n";
           return false;
         }
         s.store().ucDefaultMarket = static_cast<BYTE>(market);
         return true;
       }},
      ListChoice("sort-key", "Sort by", "Sort", strings::IDS_SORT_KEYS, &PortfolioStore::ucSortKey),
      ListChoice("sort-order", "Sort order", "Sort", strings::IDS_SORT_ORDER,
                 &PortfolioStore::bSortDescending),
      ByteSwitch("watched-at-bottom", "Watched stocks at the bottom", "Sort",
                 &PortfolioStore::bWatchedAtBottom),
      ListChoice("chart-size", "Chart range", "Chart", strings::IDS_CHART_SIZES,
                 &PortfolioStore::ucChartSize),
      FlagSwitch("chart-min-max", "Min/Max for displayed range", "Chart", kPrefChartMinMax),
      {"portfolio-chart", "Portfolio chart", "Chart",
       [](PortfolioStore& st) {
         static const char* const kModes[] = {"bar", "pie", "history"};
         return Shown{Shown::kText, st.wPortfolioChartMode < 3
                                        ? kModes[st.wPortfolioChartMode]
                                        : std::to_string(st.wPortfolioChartMode)};
       },
       [](PortfolioSession& s, std::string_view v) {
         int index = 0;
         if (!ReadChoice(s, "portfolio-chart", v, {"bar", "pie", "history"}, &index)) {
           return false;
         }
         s.store().wPortfolioChartMode = static_cast<WORD>(index);
         return true;
       }},
      ListChoice("portfolio-chart-value", "Portfolio chart series", "Chart",
                 strings::IDS_PORTFOLIO_SERIES, &PortfolioStore::wPortfolioChartValue),
      {"custom-fee-percent", "Custom fee %", "Fee",
       [](PortfolioStore& st) {
         return Shown{Shown::kNumber, FormatDecimalTrimmed(st.fCustomFeePercent, 2)};
       },
       [](PortfolioSession& s, std::string_view v) {
         double percent = 0;
         if (!ReadDecimalNumber(s.err(), "custom-fee-percent", Utf8ToAnsi(v),
                                s.store().cDecimalSeparator, {.min = 0, .max = 100}, &percent)) {
           return false;
         }
         s.store().fCustomFeePercent = static_cast<float>(percent);
         return true;
       }},
      // ---- Kept by the program itself
      {"selected-stock", "Selected stock", "list",
       [](PortfolioStore& st) { return Number(st.dwSelectedStock); }, nullptr},
      {"last-update", "Last update", "Internet Update",
       [](PortfolioStore& st) { return Number(st.tLastUpdate); }, nullptr},
  };
  return table;
}

const Pref* FindPref(std::string_view name) {
  const std::string wanted = Squeeze(name);
  for (const Pref& p : Prefs()) {
    if (Squeeze(p.name) == wanted || Squeeze(p.label) == wanted) return &p;
  }
  return nullptr;
}

int UnknownName(std::ostream& err, std::string_view name) {
  err << "quillet-cli: no preference " << name << " (see quillet-cli prefs get)\n";
  return kExitUsage;
}

int Get(PortfolioSession& s, CliEnv& env, const std::vector<std::string>& names) {
  std::vector<const Pref*> chosen;
  for (const std::string& n : names) {
    const Pref* p = FindPref(n);
    if (!p) return UnknownName(*env.err, n);
    chosen.push_back(p);
  }
  if (names.empty()) {
    for (const Pref& p : Prefs()) chosen.push_back(&p);
  }
  if (!s.Open()) return kExitFailed;
  std::ostream& out = s.out();
  if (env.json) out << "[";
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    const Pref& p = *chosen[i];
    const Shown v = p.get(s.store());
    if (!env.json) {
      // One preference alone prints its value only, for $(quillet-cli prefs get NAME).
      if (names.size() == 1) {
        out << v.text << "\n";
      } else {
        out << p.name << " " << v.text << "\n";
      }
      continue;
    }
    const std::string value = v.kind == Shown::kSwitch   ? (v.text == "on" ? "true" : "false")
                              : v.kind == Shown::kNumber ? v.text
                                                         : JsonString(Utf8ToAnsi(v.text));
    out << (i ? ",\n " : "\n ") << "{\"name\": \"" << p.name << "\", \"value\": " << value
        << ", \"label\": " << JsonString(p.label) << ", \"page\": \"" << p.page << "\"}";
  }
  if (env.json) out << (chosen.empty() ? "]\n" : "\n]\n");
  return kExitDone;
}

int Set(PortfolioSession& s, CliEnv& env, const std::vector<std::string>& args) {
  if (args.empty() || args.size() % 2 != 0) {
    *env.err << "usage: quillet-cli prefs set NAME VALUE [NAME VALUE ...]\n";
    return kExitUsage;
  }
  for (std::size_t i = 0; i < args.size(); i += 2) {
    const Pref* p = FindPref(args[i]);
    if (!p) return UnknownName(*env.err, args[i]);
    if (!p->set) {
      *env.err << "quillet-cli: " << p->name << " is kept by the program and cannot be set\n";
      return kExitUsage;
    }
  }
  // Not while the program runs: it writes its own preferences over these when it ends.
  if (!s.OpenToChange()) return kExitFailed;
  for (std::size_t i = 0; i < args.size(); i += 2) {
    if (SetPreference(s, args[i], args[i + 1]) != kExitDone) return kExitUsage;  // none stored
  }
  // As the General page's OK does: the Today item's registration first, then the record.
  if (s.pendingTodayItem) SetTodayItem(s.store(), *s.pendingTodayItem);
  if (!SavePreferences(s.store())) {
    *env.err << "quillet-cli: the preferences could not be written\n";
    return kExitFailed;
  }
  return kExitDone;
}

}  // namespace

int SetPreference(PortfolioSession& s, std::string_view name, std::string_view value) {
  const Pref* p = FindPref(name);
  if (!p || !p->set) return UnknownName(s.err(), name);
  return p->set(s, value) ? kExitDone : kExitUsage;
}

int RunPrefs(CliEnv& env, const std::vector<std::string>& argsIn) {
  if (argsIn.empty() || (argsIn[0] != "get" && argsIn[0] != "set")) {
    *env.err << "usage: quillet-cli prefs get [NAME ...] [--json] | set NAME VALUE ...\n";
    return kExitUsage;
  }
  const std::vector<std::string> args(argsIn.begin() + 1, argsIn.end());
  PortfolioSession s(env);
  if (argsIn[0] == "get") return Get(s, env, args);
  if (env.json) {
    *env.err << "quillet-cli: prefs set prints no records; --json is for get\n";
    return kExitUsage;
  }
  return Set(s, env, args);
}

}  // namespace quillet::cli
