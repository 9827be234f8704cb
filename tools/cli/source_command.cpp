// `source [--desktop] list|add NAME FIELD=VALUE...|remove NAME|route MARKET NAME|-|check NAME
// SYMBOL...`: the user's own quote sources of the device root (its registry) or, with
// --desktop, of the desktop root (its Quillet.ini). `check` sends one real request and shows
// what came back and what was read from it, field by field, so that a changed answer format is
// seen at once. Messages go to standard error, data to standard output; exit 0 done, 1 failed,
// 2 wrong command line.
#include <ostream>

#include "core/portfolio_store.h"
#include "core/preferences.h"
#include "core/quote_tables.h"
#include "desktop/desk_settings.h"
#include "desktop/working_directory.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "quotes/user_source_update.h"
#include "tools/cli/cli.h"
#include "tools/cli/interrupt.h"

namespace quillet::cli {
namespace {

constexpr std::size_t kShownAnswerLines = 8;
constexpr std::size_t kShownLineLength = 200;

int Usage(CliEnv& env) {
  *env.err << "usage: quillet-cli source [--desktop] list | add NAME FIELD=VALUE... | remove NAME"
              " | route MARKET NAME|- | check NAME SYMBOL...\n"
              "fields: ";
  bool first = true;
  for (const std::string& f : UserSourceFieldNames()) {
    *env.err << (first ? "" : ", ") << f;
    first = false;
  }
  *env.err << "\n";
  return 2;
}

// A definition refused or a source that is not there is the user's input (exit 2); anything
// else is the settings that could not be read or written (exit 1).
int ExitOf(LONG rc) {
  return rc == ERROR_INVALID_DATA || rc == ERROR_FILE_NOT_FOUND ? kExitUsage : kExitFailed;
}

// A market by number or by name ("Toronto", "London (£)" as the selector writes it).
std::optional<int> MarketOf(const std::string& text) {
  if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos &&
      text.size() <= 3) {
    const int m = std::stoi(text);
    if (m < kMarketCount) return m;
    return std::nullopt;
  }
  const std::string ansi = Utf8ToAnsi(text);
  for (int m = 0; m < kMarketCount; ++m) {
    if (EqualNoCase(GetMarketName(m), ansi)) return m;
  }
  return std::nullopt;
}

// Printable text of an answer line: control bytes shown as '.', cut to a screen's width.
std::string Shown(std::string_view line) {
  std::string out;
  for (char c : line.substr(0, kShownLineLength)) {
    out.push_back(static_cast<unsigned char>(c) < 0x20 ? '.' : c);
  }
  if (line.size() > kShownLineLength) out += "...";
  return out;
}

struct Side {
  std::unique_ptr<SourceSettings> settings;
  UserSourceRun run;
};

bool OpenSide(CliEnv& env, bool desktop, Side* side) {
  if (desktop) {
    PlatformContext* ctx = env.Desktop();
    if (ctx == nullptr) return false;
    std::string error;
    auto dir = FindWorkingDirectory(*ctx, &error);
    if (!dir) {
      *env.err << "quillet-cli: no desktop working directory: " << error << "\n";
      return false;
    }
    auto ini = WorkingFile(*dir, kSettingsFile);
    if (!ini) {
      *env.err << "quillet-cli: the settings path is too long\n";
      return false;
    }
    side->settings = IniSourceSettings(ctx->files(), *ini);
    side->run = UserSourceRunOf(*ctx);
    const DeskSettings s = LoadDeskSettings(*ctx, *dir);
    side->run.useProxy = s.bUseProxy != 0;
    side->run.proxyHost = std::string(FieldText(s.proxyAddress));
    side->run.proxyPort = static_cast<std::uint16_t>(s.proxyPort);
    if (s.bProxyAuth != 0) {
      side->run.proxyUser = std::string(FieldText(s.proxyUser));
      side->run.proxyPassword = std::string(FieldText(s.proxyPasswd));
    }
    return true;
  }
  PlatformContext* ctx = env.Device();
  if (ctx == nullptr) return false;
  side->settings = RegistrySourceSettings(ctx->registry());
  side->run = UserSourceRunOf(*ctx);
  PortfolioStore store(*ctx);
  LoadPreferences(store);
  side->run.useProxy = store.bUseProxy != 0;
  side->run.proxyHost = std::string(FieldText(store.szProxyHost));
  side->run.proxyPort = store.wProxyPort;
  return true;
}

int List(CliEnv& env, SourceSettings& settings) {
  const SourceBook book = LoadSourceBook(settings);
  for (const UserSource& s : book.sources) {
    *env.out << s.name << "\n";
    for (const auto& [field, value] : UserSourceFields(s)) {
      *env.out << "  " << field << "=" << value << "\n";
    }
    for (int m = 0; m < kMarketCount; ++m) {
      if (book.routes[static_cast<std::size_t>(m)] == s.name) {
        *env.out << "  market " << m << " " << AnsiToUtf8(GetMarketName(m)) << "\n";
      }
    }
  }
  for (const std::string& problem : book.problems) *env.err << "quillet-cli: " << problem << "\n";
  return 0;
}

int Check(CliEnv& env, const UserSource& source, const std::vector<std::string>& symbols,
          UserSourceRun run) {
  CancelToken cancel;
  ListenForInterrupt listen(env.host.interrupt);
  std::atomic<std::uint32_t>* raised = env.host.interrupt.raised;
  run.pump = [raised, &cancel] {
    if (raised != nullptr && raised->load() != 0) cancel.Cancel();
  };
  const SourceCheck check = CheckUserSource(source, symbols, run, cancel);
  std::ostream& out = *env.out;
  out << "request: " << check.url << "\n";
  if (check.answer.outcome != HttpAnswer::Outcome::kOk) {
    out << "failed: " << check.answer.failure << "\n";
    return 1;
  }
  if (!check.answer.finalUrl.empty() && check.answer.finalUrl != check.url) {
    out << "redirected to: " << check.answer.finalUrl << "\n";
  }
  out << "status: " << check.answer.status << "\n";
  out << "answer: " << check.answer.body.size() << " bytes\n";
  std::string_view body = check.answer.body;
  for (std::size_t shown = 0; shown < kShownAnswerLines && !body.empty(); ++shown) {
    std::size_t end = body.find('\n');
    out << "  | " << Shown(body.substr(0, end)) << "\n";
    body = end == std::string_view::npos ? std::string_view() : body.substr(end + 1);
  }
  if (!body.empty()) out << "  | ...\n";
  if (!check.read) {
    out << "read: failed: " << check.readError << "\n";
    return 1;
  }
  out << "read: " << check.results.size() << " quote(s)\n";
  for (const auto& r : check.results) {
    const std::pair<const char*, std::string_view> fields[] = {
        {"symbol", FieldText(r->szSymbol)},       {"last", FieldText(r->szLast)},
        {"change", FieldText(r->szChange)},       {"date", FieldText(r->szDate)},
        {"time", FieldText(r->szTime)},           {"low", FieldText(r->szLow)},
        {"high", FieldText(r->szHigh)},           {"volume", FieldText(r->szVolume)},
        {"prev_close", FieldText(r->szPrevClose)}};
    for (const auto& [name, value] : fields) {
      out << "  " << name << ": " << (value.empty() ? "(not found)" : std::string(value)) << "\n";
    }
  }
  // A symbol asked for and not answered is what a user looks for first.
  int missing = 0;
  for (const std::string& symbol : symbols) {
    if (FindResult(check.results, symbol) == nullptr) {
      out << "not answered: " << symbol << "\n";
      ++missing;
    }
  }
  return check.answer.status == 200 && missing == 0 && !check.results.empty() ? 0 : 1;
}

}  // namespace

int RunSource(CliEnv& env, const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  bool desktop = false;
  if (!args.empty() && args[0] == "--desktop") {
    desktop = true;
    args.erase(args.begin());
  }
  if (args.empty()) return Usage(env);
  const std::string& verb = args[0];
  const bool ok = (verb == "list" && args.size() == 1) || (verb == "add" && args.size() >= 2) ||
                  (verb == "remove" && args.size() == 2) || (verb == "route" && args.size() == 3) ||
                  (verb == "check" && args.size() >= 3);
  if (!ok) return Usage(env);
  SourceFields fields;
  if (verb == "add") {
    for (std::size_t i = 2; i < args.size(); ++i) {
      const std::size_t eq = args[i].find('=');
      if (eq == std::string::npos || eq == 0) {
        *env.err << "quillet-cli: " << args[i] << " is not FIELD=VALUE\n";
        return 2;
      }
      fields[args[i].substr(0, eq)] = args[i].substr(eq + 1);
    }
  }
  std::optional<int> market;
  if (verb == "route") {
    market = MarketOf(args[1]);
    if (!market) {
      *env.err << "quillet-cli: there is no market " << args[1] << "\n";
      return 2;
    }
  }
  Side side;
  if (!OpenSide(env, desktop, &side)) return 1;
  std::string error;
  if (verb == "list") return List(env, *side.settings);
  if (verb == "add") {
    if (const LONG rc = SaveUserSource(*side.settings, args[1], fields, &error)) {
      *env.err << "quillet-cli: source " << args[1] << " not stored: " << error << "\n";
      return ExitOf(rc);
    }
    return kExitDone;
  }
  if (verb == "remove") {
    if (const LONG rc = RemoveUserSource(*side.settings, args[1], &error)) {
      *env.err << "quillet-cli: " << error << "\n";
      return ExitOf(rc);
    }
    return kExitDone;
  }
  if (verb == "route") {
    const std::string name = args[2] == "-" ? std::string() : args[2];
    if (const LONG rc = RouteMarket(*side.settings, *market, name, &error)) {
      *env.err << "quillet-cli: " << error << "\n";
      return ExitOf(rc);
    }
    return kExitDone;
  }
  const SourceBook book = LoadSourceBook(*side.settings);
  const UserSource* source = book.Find(args[1]);
  if (source == nullptr) {
    *env.err << "quillet-cli: there is no usable source named " << args[1] << "\n";
    for (const std::string& problem : book.problems) *env.err << "quillet-cli: " << problem << "\n";
    return 1;
  }
  return Check(env, *source, std::vector<std::string>(args.begin() + 2, args.end()), side.run);
}

}  // namespace quillet::cli
