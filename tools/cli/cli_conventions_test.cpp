// quillet-cli as a script drives it: every command's bad input refused with exit 2 and a
// message naming the field, nothing stored after a refusal, exit codes and JSON shapes that a
// script can rely on, --help for every command, the preferences by name, and the completion.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/linux/window_station.h"
#include "platform/testing/test_support.h"
#include "tools/cli/number_input.h"

namespace quillet {
namespace {

using testing::RunCommand;
using testing::ShellQuote;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class CliConventions : public ::testing::Test {
 protected:
  // Runs the tool as its own process on the test's root; standard output and error apart.
  int Cli(const std::string& args, std::string* out = nullptr, std::string* err = nullptr) {
    const std::string errFile = dir.File("stderr");
    std::string cmd = "TZ=UTC QUILLET_NOW=1051891200 " +
                      ShellQuote(testing::BuiltProgram("bin/quillet-cli")) + " --device-root " +
                      ShellQuote(root) + " " + args + " 2>" + ShellQuote(errFile);
    std::string captured;
    const int code = RunCommand(cmd, &captured);
    if (out) *out = captured;
    if (err) *err = ReadFile(errFile);
    return code;
  }
  std::string Out(const std::string& args) {
    std::string out, err;
    EXPECT_EQ(Cli(args, &out, &err), 0) << args << ": " << err;
    return out;
  }
  // Exit 2, nothing on standard output, and a message that names `field`.
  void Refused(const std::string& args, const std::string& field) {
    std::string out, err;
    EXPECT_EQ(Cli(args, &out, &err), 2) << args;
    EXPECT_EQ(out, "") << args;
    EXPECT_NE(err.find(field), std::string::npos) << args << " said: " << err;
  }
  // Everything a command could have stored: the data files, the preferences, the charts.
  std::string Stored() {
    return Out("dump stocks --json") + Out("dump alerts --json") + Out("dump prefs --json") +
           Out("dump charts --json") + Out("prefs get");
  }
  // Runs python3 over standard input `json`; `check` sees it parsed as `v` and prints "ok".
  std::string Python(const std::string& json, const std::string& check) {
    std::ofstream(dir.File("in.json")) << json;
    std::string out;
    RunCommand("python3 -c " +
                   ShellQuote("import json,sys\nv=json.load(open(sys.argv[1]))\n" + check) + " " +
                   ShellQuote(dir.File("in.json")) + " 2>&1",
               &out);
    return out;
  }
  // A stock with a symbol, a price and history; its id is 1.
  void Seed() {
    ASSERT_EQ(Out("new-stock name=IBM symbol=IBM shares=100 buyPrice=84.50 price=86 "
                  "buyDate=2003-01-15"),
              "1\n");
    ASSERT_EQ(Cli("chart add IBM 0 2003-05-01 85.5 84 86 120000"), 0);
    ASSERT_EQ(Cli("alerts add --id 1 C.Price '>' 80"), 0);
  }

  testing::TempDir dir;
  std::string root = dir.path() + "/device";
};

// ---- The strict number reader ------------------------------------------------------------------

TEST(NumberInput, ReadsWholeTextsOnlyAndNamesTheField) {
  std::ostringstream err;
  std::int64_t n = 0;
  EXPECT_TRUE(cli::ReadWholeNumber(err, "N", "42", 1, 100, &n));
  EXPECT_EQ(n, 42);
  EXPECT_TRUE(cli::ReadWholeNumber(err, "N", "-7", -10, 10, &n));
  EXPECT_EQ(n, -7);
  for (const char* bad :
       {"", "-", "4x", " 4", "4 ", "+4", "0x10", "1e2", "4.0", "99999999999999999999"}) {
    err.str("");
    EXPECT_FALSE(cli::ReadWholeNumber(err, "count", bad, 0, 1000, &n)) << bad;
    EXPECT_NE(err.str().find("count: "), std::string::npos) << err.str();
  }
  err.str("");
  EXPECT_FALSE(cli::ReadWholeNumber(err, "port", "65536", 1, 65535, &n));
  EXPECT_NE(err.str().find("from 1 to 65535"), std::string::npos) << err.str();

  double d = 0;
  EXPECT_TRUE(cli::ReadDecimalNumber(err, "price", "12.5", '.', {}, &d));
  EXPECT_DOUBLE_EQ(d, 12.5);
  EXPECT_TRUE(cli::ReadDecimalNumber(err, "price", "12,5", ',', {}, &d));
  EXPECT_DOUBLE_EQ(d, 12.5);
  EXPECT_TRUE(cli::ReadDecimalNumber(err, "change", "-0.25", '.', {}, &d));
  EXPECT_DOUBLE_EQ(d, -0.25);
  EXPECT_TRUE(cli::ReadDecimalNumber(err, "fee", "", '.', {.allowEmpty = true}, &d));
  EXPECT_EQ(d, 0);
  for (const char* bad :
       {"", "abc", "12x", "1.2.3", "1,000", " 5", "5 ", "1e3", "inf", "nan", "-", "."}) {
    err.str("");
    EXPECT_FALSE(cli::ReadDecimalNumber(err, "price", bad, '.', {}, &d)) << bad;
    EXPECT_NE(err.str().find("price: "), std::string::npos) << err.str();
  }
  EXPECT_FALSE(cli::ReadDecimalNumber(err, "rate", "0", '.', {.min = 0, .minExclusive = true}, &d));
  EXPECT_TRUE(cli::ReadDecimalNumber(err, "fee", "0", '.', {.min = 0}, &d));
  err.str("");
  EXPECT_FALSE(
      cli::ReadDecimalNumber(err, "price", "500000", '.', {.min = 0, .max = 429496.7295}, &d));
  EXPECT_NE(err.str().find("at most 429496.7295"), std::string::npos) << err.str();
}

// ---- Bad input, command by command -------------------------------------------------------------

TEST_F(CliConventions, NewStockRefusesANumberItCannotReadAndStoresNothing) {
  const std::string before = Stored();
  Refused("new-stock name=X shares=abc", "shares");
  Refused("new-stock name=X buyPrice=12x", "buyPrice");
  Refused("new-stock name=X price=1.2.3", "price");
  Refused("new-stock name=X price=1e3", "price");
  Refused("new-stock name=X market=Nasdq", "market");
  Refused("new-stock name=X portfolio=9", "portfolio");
  Refused("new-stock name=X buyDate=2003-13-01", "buyDate");
  Refused("new-stock name=ThisNameIsFarTooLongForTheField", "name");
  EXPECT_EQ(Stored(), before) << "a refused stock must not be half stored";
  // The same fields, well formed, are taken; an emptied number is a field without a value.
  EXPECT_EQ(Out("new-stock name=X shares=12 price=-0.5 dividend= market=Xetra"), "1\n");
}

TEST_F(CliConventions, StockOperationsRefuseBadNumbersBeforeAnyQuestion) {
  Seed();
  const std::string before = Stored();
  Refused("set --id 1 price=abc", "price");
  Refused("set --id 1 name=ok price=12,5", "price");
  Refused("set --id x price=1", "--id");
  Refused("set --id 1", "usage");
  Refused("set cash.1=ten", "cash.1");
  Refused("set proxyPort=0", "proxy-port");
  Refused("set proxyHost=" + std::string(63, 'h'), "proxy-host");
  Refused("sell --id 1 abc 90 --yes", "NUMBER");
  Refused("sell --id 1 10 9O --yes", "PRICE");
  Refused("sell --id 1 10 90 -1 --yes", "FEE");
  Refused("sell --id 1 0 90 --yes", "NUMBER");
  Refused("sell --id 1 10 90 --date 2003-02-30x --yes", "--date");
  Refused("split --id 1 2 0 --yes", "B");
  Refused("split --id 1 two 1 --yes", "A");
  Refused("add-shares --id 1 80 0 --yes", "NUMBER");
  Refused("add-shares --id 1 8O 10 --yes", "PRICE");
  Refused("alerts add --id 1 C.Price '>' 9x", "THRESHOLD");
  Refused("alerts add --id 1 C.Price '>' 0.001", "THRESHOLD");
  Refused("alerts add --id 1 Price '>' 90", "CONDITION");
  Refused("alerts add --id 1 C.Price '~' 90", "COMPARE");
  Refused("alerts delete 1x", "N");
  Refused("chart add IBM 0 2003-05-02 nan", "PRICE");
  Refused("chart add IBM 0 2003-05-02 -5", "PRICE");
  Refused("chart add IBM 0 2003-05-02 500000", "PRICE");
  Refused("chart add IBM 0 2003-05-02 85 84 86 1.5", "VOLUME");
  Refused("chart add IBM 1e2 2003-05-02 85", "MARKET");
  Refused("chart add IBM 0 May-2 85", "DATE");
  Refused("chart add ABCDEFGHIJKLMNOP 0 2003-05-02 85", "NAME");
  Refused("currency add EUR 1.2.3", "RATE");
  Refused("currency add EUR 0", "RATE");
  Refused("currency add EURO 1", "CODE");
  Refused("portfolio add ThisNameIsTooLong", "NAME");
  Refused("show --portfolio 1x", "--portfolio");
  Refused("update --timeout 10s", "--timeout");
  Refused("chart png IBM 0 x.png --size 480", "--size");
  Refused("chart png IBM 0 x.png --size ' 480x300'", "--size");
  Refused("chart png IBM 0 x.png --size 50x300", "--size");
  Refused("portfolio-chart png 1 bar x.png --size 480x300x2", "--size");
  Refused("delete-stock --id abc --yes", "--id");
  EXPECT_EQ(Stored(), before);

  // `set` reads every assignment before it writes any: the Today item is not registered
  // by a line that is refused further on.
  ASSERT_EQ(Cli("set todayItem=0"), 0);
  const std::string todayKey = "'Software\\Microsoft\\Today\\Items\\\"Quillet\"'";
  ASSERT_EQ(Cli("reg --root HKLM list " + todayKey), 1);
  Refused("set todayItem=1 proxyPort=abc", "proxy-port");
  EXPECT_EQ(Cli("reg --root HKLM list " + todayKey), 1);
  EXPECT_EQ(Out("prefs get today-item"), "off\n");
  ASSERT_EQ(Cli("set todayItem=1"), 0);
  EXPECT_EQ(Cli("reg --root HKLM list " + todayKey), 0);
}

TEST_F(CliConventions, RegistryValuesAreReadWholeBeforeTheKeyIsMade) {
  Refused("reg set 'Software\\New' V --dword 12abc", "--dword");
  Refused("reg set 'Software\\New' V --dword 4294967296", "--dword");
  Refused("reg set 'Software\\New' V --dword -1", "--dword");
  Refused("reg set 'Software\\New' V --binary 0g", "--binary");
  Refused("reg set 'Software\\New' V --binary ' f'", "--binary");
  EXPECT_EQ(Cli("reg list 'Software\\New'"), 1) << "a refused value made no key";
  EXPECT_EQ(Cli("reg set 'Software\\New' V --dword 4294967295"), 0);
  EXPECT_EQ(Out("reg get 'Software\\New' V"), "4294967295\n");
  EXPECT_EQ(Cli("reg set 'Software\\New' B --binary 00fFa0"), 0);
  EXPECT_EQ(Out("reg get 'Software\\New' B"), "00ffa0\n");
}

TEST_F(CliConventions, WellFormedInputThatNamesNothingFailsWithOne) {
  Seed();
  std::string err;
  EXPECT_EQ(Cli("set --id 9 price=1", nullptr, &err), 1);
  EXPECT_NE(err.find("no stock with id 9"), std::string::npos);
  EXPECT_EQ(Cli("alerts delete 5", nullptr, &err), 1);
  EXPECT_EQ(Cli("show --portfolio 7"), 1);
  EXPECT_EQ(Cli("chart delete NOPE 0"), 1);
  // The question declined: the work was not done.
  EXPECT_EQ(Cli("sell --id 1 10 90"), 1);
  EXPECT_EQ(Cli("sell --id 1 10 90 --yes"), 0);
}

// ---- Help and conventions ----------------------------------------------------------------------

TEST_F(CliConventions, EveryCommandHasHelpWithAnExampleAndTheExitCodes) {
  std::string help;
  ASSERT_EQ(Cli("--help", &help), 0);
  EXPECT_NE(help.find("exit codes:"), std::string::npos);
  EXPECT_NE(help.find("--json"), std::string::npos);
  std::string version;
  ASSERT_EQ(Cli("--version", &version), 0);
  EXPECT_EQ(version.rfind("quillet-cli ", 0), 0u) << version;

  // The commands are the lines of the list indented by two blanks.
  std::vector<std::string> commands;
  std::istringstream lines(help.substr(help.find("commands:")));
  for (std::string line; std::getline(lines, line) && !line.empty();) {
    if (line.rfind("  ", 0) == 0 && line[2] != ' ') {
      commands.push_back(line.substr(2, line.find(' ', 2) - 2));
    }
  }
  ASSERT_GE(commands.size(), 19u) << help;
  for (const std::string& c : commands) {
    std::string out, err;
    EXPECT_EQ(Cli(c + " --help", &out, &err), 0) << c;
    EXPECT_EQ(out.rfind("usage: quillet-cli " + c + " ", 0), 0u) << out;
    EXPECT_NE(out.find("example:\n  quillet-cli "), std::string::npos) << c << ":\n" << out;
    EXPECT_NE(out.find("  2  bad usage or input"), std::string::npos) << c;
    EXPECT_EQ(err, "") << c;
  }
  // Help after a verb is the command's help too; help never touches the root.
  std::string out;
  EXPECT_EQ(Cli("alerts list --help", &out), 0);
  EXPECT_NE(out.find("usage: quillet-cli alerts"), std::string::npos);
}

TEST_F(CliConventions, BadUsageExitsWithTwoAndSaysSoOnStandardError) {
  std::string out, err;
  EXPECT_EQ(Cli("--bogus", &out, &err), 2);
  EXPECT_EQ(out, "");
  EXPECT_NE(err.find("unknown option --bogus"), std::string::npos);
  EXPECT_EQ(Cli("new-stock --json", &out, &err), 2) << "new-stock prints no records";
  EXPECT_NE(err.find("--json"), std::string::npos);
  EXPECT_EQ(Cli("alerts add --json --id 1 0 0 5", &out, &err), 2);
  EXPECT_EQ(Cli("prefs set use-proxy on --json", &out, &err), 2);
  EXPECT_EQ(Cli("dump", &out, &err), 2);
  EXPECT_EQ(Cli("dump secrets", &out, &err), 2);
  EXPECT_EQ(Cli("prefs", &out, &err), 2);
  EXPECT_EQ(Cli("prefs frob", &out, &err), 2);
}

// ---- JSON shapes -------------------------------------------------------------------------------

TEST_F(CliConventions, EveryRecordPrintingCommandPrintsOneJsonValueOfTheDocumentedShape) {
  Seed();
  // A list is an array of objects; its last record has these keys (at least). The data
  // files' dumps begin with the file's header record.
  const std::vector<std::pair<std::string, std::string>> lists = {
      {"dump stocks --json", "dwId szSymbol szShares"},
      {"dump alerts --json", "szQuoteSymbol dThreshold"},
      {"dump charts --json", "name market points"},
      {"alerts list --json", "number symbol market condition compare threshold active"},
      {"portfolio list --json", "number name currency"},
      {"currency list --json", "number code rate"},
      {"prefs get --json", "name value label page"},
      {"prefs get proxy-port --json", "name value label page"},
      {"reg list 'SOFTWARE\\Marrowby\\Quillet' --json", "name type value"},
  };
  for (const auto& [args, keys] : lists) {
    EXPECT_EQ(Python(Out(args),
                     "assert isinstance(v, list) and v, v\n"
                     "for r in v:\n"
                     "  assert isinstance(r, dict), r\n"
                     "for k in '" +
                         keys +
                         "'.split():\n"
                         "  assert k in v[-1], (k, v[-1])\n"
                         "print('ok')"),
              "ok\n")
        << args;
  }
  EXPECT_EQ(Python(Out("alerts list --json"),
                   "a = v[0]\nassert a['symbol'] == 'IBM' and a['condition'] == 'C.Price'\n"
                   "assert a['compare'] == '>' and a['threshold'] == 80 and a['active'] is True\n"
                   "print('ok')"),
            "ok\n");
  EXPECT_EQ(Python(Out("alerts check --json"),
                   "assert v == {'active': True, 'text': '1 or more active alerts'}, v\n"
                   "print('ok')"),
            "ok\n");
  EXPECT_EQ(Python(Out("show --json"),
                   "assert isinstance(v, dict)\nassert v['stocks'][0]['symbol'] == 'IBM'\n"
                   "assert set(v['totals']) >= {'profit', 'cost', 'value'}\nprint('ok')"),
            "ok\n");
  EXPECT_EQ(Python(Out("prefs get --json"),
                   "p = {r['name']: r['value'] for r in v}\n"
                   "assert p['proxy-port'] == 8080 and p['auto-sort'] is True\n"
                   "assert p['use-proxy'] is False and p['update-interval'] == 5\n"
                   "assert p['sort-key'] == 'Name' and p['view-portfolio'] == 'all'\n"
                   "print('ok')"),
            "ok\n");
  ASSERT_EQ(Cli("reg set 'SOFTWARE\\Marrowby\\Quillet\\Sub' X --string 'a\"b'"), 0);
  EXPECT_EQ(Python(Out("reg list 'SOFTWARE\\Marrowby\\Quillet' --json"),
                   "assert v[0] == {'key': 'Sub'}, v[0]\n"
                   "a = [r for r in v if r.get('name') == 'Alert'][0]\n"
                   "assert a == {'name': 'Alert', 'type': 'dword', 'value': 1}, a\n"
                   "print('ok')"),
            "ok\n");
  EXPECT_EQ(Python(Out("reg list 'SOFTWARE\\Marrowby\\Quillet\\Sub' --json"),
                   "assert v == [{'name': 'X', 'type': 'string', 'value': 'a\"b'}], v\n"
                   "print('ok')"),
            "ok\n");
  EXPECT_EQ(Cli("reg get 'SOFTWARE\\Marrowby\\Quillet' Alert --json"), 2);
  // Texts are UTF-8 in JSON whatever the record's code page.
  ASSERT_EQ(Cli("portfolio add 'Caf\xc3\xa9'"), 0);
  EXPECT_EQ(
      Python(Out("portfolio list --json"), "assert v[2]['name'] == 'Caf\\u00e9'\nprint('ok')"),
      "ok\n");
}

// ---- Preferences -------------------------------------------------------------------------------

TEST_F(CliConventions, PrefsAreSetByThePagesNamesAndStoredInTheRecordsBytes) {
  ASSERT_EQ(Cli("prefs set 'Use Proxy' on proxy-host proxy.example Port 3128 auto-update on "
                "update-interval '1 Hour' password 1234 use-modem off today-item off"),
            0);
  EXPECT_EQ(Out("prefs get proxy-port"), "3128\n");
  EXPECT_EQ(Out("prefs get useProxy proxy-host Every"),
            "use-proxy on\nproxy-host proxy.example\nupdate-interval 60\n");
  // The record's bytes as the layout places them (little-endian).
  std::string hex = Out("reg get 'SOFTWARE\\Marrowby\\Quillet' PrefBuf");
  ASSERT_EQ(hex.size(), 2 * 216u + 1) << hex;
  auto at = [&](std::size_t offset, std::size_t size) { return hex.substr(2 * offset, 2 * size); };
  EXPECT_EQ(at(0, 2), "6400");                            // version 100
  EXPECT_EQ(at(16, 14), "70726f78792e6578616d706c6500");  // "proxy.example" and its NUL
  EXPECT_EQ(at(80, 2), "380c");                           // port 3128
  EXPECT_EQ(at(82, 2), "0100");                           // use proxy
  EXPECT_EQ(at(90, 2), "d204");                           // password 1234
  EXPECT_EQ(at(108, 1), "01");                            // protection on
  EXPECT_EQ(at(168, 1), "39");    // arrow keys, arrows today, Today item off, modem off
  EXPECT_EQ(at(170, 2), "013c");  // automatic update every 60 minutes
  EXPECT_EQ(Out("reg get 'SOFTWARE\\Marrowby\\Quillet' PrefSize"), "216\n");
  // The Today item's registration went with the switch.
  EXPECT_EQ(Cli("reg --root HKLM list 'Software\\Microsoft\\Today\\Items\\\"Quillet\"'"), 1);
  ASSERT_EQ(Cli("prefs set today-item on password off"), 0);
  EXPECT_EQ(Cli("reg --root HKLM list 'Software\\Microsoft\\Today\\Items\\\"Quillet\"'"), 0);
  EXPECT_EQ(Out("prefs get password"), "off\n");
}

TEST_F(CliConventions, PrefsRefuseWhatThePagesRefuseAndStoreNoneOfTheValues) {
  const std::string before = Stored();
  Refused("prefs set use-proxy on proxy-port 0", "proxy-port");
  Refused("prefs set use-proxy on proxy-port 65536", "proxy-port");
  Refused("prefs set use-proxy on proxy-port 80x", "proxy-port");
  Refused("prefs set proxy-host " + std::string(63, 'h'), "proxy-host");
  Refused("prefs set password 0000", "password");
  Refused("prefs set password 123", "password");
  Refused("prefs set password 12345", "password");
  Refused("prefs set update-interval 7", "update-interval");
  Refused("prefs set auto-update maybe", "auto-update");
  Refused("prefs set connection Office", "connection");
  Refused("prefs set view-portfolio 2", "view-portfolio");
  Refused("prefs set sort-key Colour", "sort-key");
  Refused("prefs set default-market Nasdq", "default-market");
  Refused("prefs set last-update 5", "last-update");
  Refused("prefs set no-such-thing 1", "no-such-thing");
  Refused("prefs set use-proxy", "usage");
  Refused("prefs get no-such-thing", "no-such-thing");
  EXPECT_EQ(Stored(), before);

  // The proxy host fits at 62 characters; a connection must be a phone-book entry.
  EXPECT_EQ(Cli("prefs set proxy-host " + std::string(62, 'h')), 0);
  ASSERT_EQ(Cli("reg set 'Comm\\RasBook\\Office Dial' Phone --string 555"), 0);
  EXPECT_EQ(Cli("prefs set connection 'office dial'"), 0);
  EXPECT_EQ(Out("prefs get connection"), "Office Dial\n");
  Refused("prefs set custom-fee-percent 101", "custom-fee-percent");
  EXPECT_EQ(Cli("prefs set custom-fee-percent 0.25"), 0);
  EXPECT_EQ(Out("prefs get custom-fee-percent"), "0.25\n");
  EXPECT_EQ(Cli("prefs set sort-key 1 chart-size Big column-value 'Profit %'"), 0);
  EXPECT_EQ(Out("prefs get sort-key chart-size column-value"),
            "sort-key Symbol\nchart-size Big\ncolumn-value Profit %\n");
}

TEST_F(CliConventions, NothingIsChangedWhileTheProgramRunsOnTheDevice) {
  Seed();
  // The program keeps everything in memory and writes it when it ends: a change made beside
  // it would be reported done and then lost.
  WindowStation station(root);
  const HWND window =
      station.CreateWindow("Quillet", "Quillet", "\\Program Files\\Quillet\\Quillet.exe",
                           [](const WindowMessage&) { return LRESULT{0}; });
  ASSERT_NE(window, 0u);
  const std::string before = Stored();
  for (const char* change :
       {"prefs set proxy-port 3128", "new-stock name=X", "set --id 1 price=90",
        "sell --id 1 10 90 --yes", "split --id 1 2 1 --yes", "add-shares --id 1 80 5 --yes",
        "delete-stock --id 1 --yes", "alerts add --id 1 Change '>' 1", "alerts delete 1",
        "portfolio add Tech", "currency add EUR 1.1", "set autoSort=0"}) {
    std::string out, err;
    EXPECT_EQ(Cli(change, &out, &err), 1) << change;
    EXPECT_NE(err.find("Quillet is running"), std::string::npos) << change << ": " << err;
  }
  EXPECT_EQ(Stored(), before);
  // Reading is fine.
  EXPECT_EQ(Out("portfolio list"), "0 Unfiled USD\n1 NASDAQ USD\n");
  EXPECT_EQ(Out("prefs get proxy-port"), "8080\n");
  station.DestroyWindow(window);
  EXPECT_EQ(Cli("prefs set proxy-port 3128"), 0);
  EXPECT_EQ(Out("prefs get proxy-port"), "3128\n");
}

// ---- Completion --------------------------------------------------------------------------------

class Completion : public CliConventions {
 protected:
  // The words bash offers for the command line `line` (completing its last word).
  std::string Complete(const std::string& line) {
    const std::string script =
        std::string(QUILLET_SOURCE_DIR) + "/tools/cli/quillet-cli.bash-completion";
    std::string out;
    RunCommand("bash -c " +
                   ShellQuote("source " + ShellQuote(script) +
                              "\nread -ra COMP_WORDS <<< \"$1\"\n"
                              "[[ \"$1\" == *' ' ]] && COMP_WORDS+=('')\n"
                              "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
                              "_quillet_cli\necho \"${COMPREPLY[*]}\"") +
                   " _ " + ShellQuote(line),
               &out);
    return out;
  }
};

TEST_F(Completion, OffersCommandsVerbsAndEveryPreferenceName) {
  EXPECT_EQ(Complete("quillet-cli pr"), "prefs\n");
  EXPECT_EQ(Complete("quillet-cli --device-root /tmp/x al"), "alerts\n");
  EXPECT_EQ(Complete("quillet-cli alerts "), "check list add delete --help\n");
  EXPECT_EQ(Complete("quillet-cli prefs set proxy-p"), "proxy-port\n");
  EXPECT_EQ(Complete("quillet-cli prefs set proxy-port "), "\n") << "a value comes next";
  EXPECT_EQ(Complete("quillet-cli sou"), "source\n");
  EXPECT_EQ(Complete("quillet-cli source --desktop "),
            "list add remove route check --desktop --help\n");
  // The script's names are the tool's, all of them.
  std::string names;
  for (std::string line, all = Out("prefs get"); !all.empty();) {
    line = all.substr(0, all.find('\n'));
    all.erase(0, line.size() + 1);
    names += (names.empty() ? "" : " ") + line.substr(0, line.find(' '));
  }
  std::string offered = Complete("quillet-cli prefs get ");
  EXPECT_EQ(offered, names + " --json\n");
}

}  // namespace
}  // namespace quillet
