#include "tools/cli/cli.h"
#include "tools/cli/desktop_commands.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> table = {
      {"reg",
       "[--desktop] [--root HKCU|HKLM|HKCR] list|get|set|delete KEY [NAME] "
       "[--dword N|--string TEXT|--binary HEX]",
       "prints, sets or deletes registry keys and values of a root", RunReg,
       "  --desktop        the desktop root's registry instead of the device's\n"
       "  --root R         HKCU (default), HKLM or HKCR\n"
       "  --dword N        a DWORD value, 0..4294967295\n"
       "  --string TEXT    a string value\n"
       "  --binary HEX     a binary value as pairs of hex digits\n",
       "reg get 'SOFTWARE\\Marrowby\\Quillet' Alert", true},
      {"chart",
       "add|set|delete-point|delete-up-to|delete NAME MARKET [DATE [PRICE [LOW HIGH [VOLUME]]]]",
       "edits the price history of a stock or portfolio; chart png NAME MARKET FILE [--range "
       "small|medium|big] [--size WxH] [--rotated] draws it as a picture",
       RunChart,
       "  NAME             the series: a stock's quote symbol (at most 15 characters), or\n"
       "                   PORTFOLIO<n> with MARKET 255 for a portfolio's history\n"
       "  MARKET           0..255\n"
       "  DATE             YYYY-MM-DD or YYYY-MM-DDTHH:MM in local time, or @SECONDS\n"
       "  PRICE LOW HIGH   '.' as the point; a stock's 0..429496.7295, a portfolio's whole\n"
       "                   amounts (may be negative)\n"
       "  VOLUME           a whole number 0..4294967295\n"
       "  --range R        png: small, medium or big (else the chart size preference)\n"
       "  --size WxH       png: the picture's size, 60x80 to 4000x4000\n"
       "  --rotated        png: turned as the full-screen chart\n",
       "chart png IBM 0 ibm.png --range big --size 480x300"},
      {"portfolio-chart",
       "png N|all bar|pie|history FILE [--series cost|value|profit] [--size WxH]",
       "draws a portfolio's bar, pie or history chart as a PNG picture", RunPortfolioChart,
       "  N|all            the portfolio's number, or all\n"
       "  --series S       history: cost, value or profit\n"
       "  --size WxH       the picture's size\n",
       "portfolio-chart png 1 pie tech.png"},
      {"dump", "stocks|notes|alerts|prefs|charts",
       "prints every record of one kind of the device's data", RunDump,
       "  KIND             stocks, notes, alerts, prefs (the raw record) or charts\n",
       "dump stocks --json", true},
      {"show", "[--portfolio N|all] [--sold|--active]",
       "prints the stock list with its chosen columns and the totals", RunShow,
       "  --portfolio N    the portfolio shown (0..31, or all); else the one the program shows\n"
       "  --sold|--active  the Closed or the Active list; else the one the program shows\n",
       "show --portfolio all --json", true},
      {"new-stock", "[FIELD=VALUE ...]", "makes a stock as the New command does; prints its id",
       RunNewStock,
       "  FIELD=VALUE      name, symbol (texts that must fit their fields); shares, buyPrice,\n"
       "                   buyFee, price, sellFee, dividend, change, dayLow, dayHigh, volume,\n"
       "                   prevClose, bid, ask, 52WeekLow, 52WeekHigh (decimals with the\n"
       "                   device's separator, empty to clear); market (name or 0..79);\n"
       "                   portfolio (0..count-1); status (active|watched|sold); chart, short\n"
       "                   (0|1); trend (0..4); buyDate, sellDate, quoteTime (dates); note\n",
       "new-stock name=IBM symbol=IBM shares=100 buyPrice=84.50 buyDate=2003-01-15"},
      {"set", "[--id N] FIELD=VALUE ...",
       "changes fields of a stock (--id) or settings and portfolio fields", RunSet,
       "  --id N           the stock; its fields are those of new-stock\n"
       "  without --id     columnText, columnData, columnValue, showClosed, defaultMarket,\n"
       "                   sortKey, sortDescending, watchedAtBottom, autoSort, chartSize, ...,\n"
       "                   cash.N (a portfolio's cash), viewPortfolio, proxyHost, proxyPort,\n"
       "                   rasEntry (see also prefs)\n",
       "set --id 1 price=86.20 note='buy more below 80'"},
      {"sell", "--id N NUMBER PRICE [FEE] [--date YYYY-MM-DD] [--yes]",
       "sells all or part of a holding", RunSell,
       "  NUMBER           shares to sell, above 0\n"
       "  PRICE FEE        at least 0; FEE defaults to the buy fee\n"
       "  --date D         the sale's date (default today)\n"
       "  --yes            answers the question Yes\n",
       "sell --id 1 30 92.10 9.95 --yes"},
      {"split", "--id N A B [--date YYYY-MM-DD] [--yes|--answers y,n]",
       "splits a holding A for B, and its chart data when answered yes", RunSplit,
       "  A B              the ratio, each above 0 (2 1 doubles the shares)\n"
       "  --yes|--answers  answers \"Split stock chart data?\"\n",
       "split --id 1 2 1 --yes"},
      {"add-shares", "--id N PRICE NUMBER [FEE] [--yes]", "buys more shares of a holding",
       RunAddShares,
       "  PRICE FEE        at least 0\n"
       "  NUMBER           above 0\n"
       "  --yes            answers the question Yes\n",
       "add-shares --id 1 80.25 50 9.95 --yes"},
      {"delete-stock", "--id N|--all [--yes|--answers y,n,...]",
       "deletes a stock (or all), answering the questions from the flags", RunDeleteStock,
       "  --yes            answers every question Yes\n"
       "  --answers y,n    answers the questions in turn (then No)\n",
       "delete-stock --id 3 --answers y,n"},
      {"portfolio", "list|add NAME|rename N NAME|delete N [--yes]",
       "lists and edits the portfolios", RunPortfolio,
       "  NAME             at most 15 characters\n  N                1..count-1\n",
       "portfolio add Tech", true},
      {"currency", "list|add CODE [RATE]|edit N CODE RATE|delete N|portfolio P N|base CODE [--yes]",
       "lists and edits the currencies", RunCurrency,
       "  CODE             1 to 3 characters, kept in upper case\n"
       "  RATE             above 0, with the device's decimal separator\n"
       "  portfolio P N    puts portfolio P in currency N\n",
       "currency add EUR 1.0825", true},
      {"update", "[--background] [--timeout SECONDS]",
       "updates the quotes as the Update Stocks command does; the network log on stdout", RunUpdate,
       "  --background     as the automatic update runs: no progress window\n"
       "  --timeout S      one attempt of S seconds (1..3600) instead of three of 30\n"
       "Exit 1 when the update was not complete (\"check the network log\").\n",
       "update --timeout 10"},
      {"alerts", "check|list|add --id N CONDITION COMPARE THRESHOLD|delete N",
       "evaluates, lists, adds and deletes price alerts", RunAlerts,
       "  check            evaluates the alerts and records the state for the Today item\n"
       "  list             every alert, numbered from 1, with its state\n"
       "  CONDITION        C.Price, Profit, Profit %, Change, Change % or 0..4\n"
       "  COMPARE          <, <=, =, >=, > or 0..4\n"
       "  THRESHOLD        a number, not 0 at two decimals\n",
       "alerts list --json | jq '.[] | select(.active)'", true},
      {"prefs", "get [NAME ...] | set NAME VALUE [NAME VALUE ...]",
       "prints or changes the handheld program's preferences by the names of its pages", RunPrefs,
       "  NAME             as `prefs get` prints it (proxy-port) or the page's text (\"Port\")\n"
       "  switches         on|off (1|0): auto-sort, use-proxy, use-modem, auto-update, ...\n"
       "  password         four digits, not all 0, or off\n"
       "  proxy-host       at most 62 characters; proxy-port 1..65535\n"
       "  connection       one of the device's dial-up entries\n"
       "  update-interval  2, 5, 10, 15, 30, 60 or 120 (minutes) or the list's text\n"
       "  choices          the list's text or its position: column-value Profit, sort-key\n"
       "                   Symbol, chart-size Big, ...\n"
       "  set              a refused value stores nothing; the others are written as the\n"
       "                   program saves its preferences (not while it runs on the device)\n",
       "prefs set use-proxy on proxy-host proxy.example proxy-port 3128", true},
      {"source",
       "[--desktop] list | add NAME FIELD=VALUE... | remove NAME | route MARKET NAME|- | "
       "check NAME SYMBOL...",
       "defines quote sources of your own, routes markets to them, and checks one with a real "
       "request",
       RunSource,
       "  --desktop        the desktop's sources (Quillet.ini) instead of the device's\n"
       "  add NAME F=V     a whole definition (see `source add` without fields for the\n"
       "                   field names); a definition that cannot be used is refused\n"
       "  route MARKET S   the market (number or name) fetched from source S; - for its\n"
       "                   table source again\n"
       "  check NAME SYM   one real request: the URL, the status, the first lines of the\n"
       "                   answer and the fields read from it\n",
       "source check yq RY.TO"},
      {"settings", "get [KEY] | set KEY VALUE",
       "prints or changes the desktop companion's settings (Quillet.ini of the desktop root)",
       RunSettings,
       "  KEY              as `settings get` lists them\n"
       "  VALUE            a number setting takes a whole number it can keep as typed\n",
       "--desktop-root ~/desk settings set bUseProxy 1", true},
      {"device", "connect|disconnect|show",
       "connects the device root (--device-root) to the desktop root, or none", RunDevice, "",
       "--device-root ~/dev --desktop-root ~/desk device connect"},
      {"sync", "[--yes|--no]",
       "one desktop update run against the connected device; the run's log on stdout", RunSync,
       "  --yes|--no       answers \"Perform Internet stock update?\"\n"
       "Exit 0 only when the stocks were written back.\n",
       "--desktop-root ~/desk sync --yes"},
      {"export", "[--scheduled]",
       "writes Quillet.csv (and Quillet_Charts.csv) of the connected device's data",
       RunExportCommand,
       "  --scheduled      only when the settings' export schedule says one is due\n",
       "--desktop-root ~/desk export"},
      {"import", "FILE [--format standard|export]",
       "imports the stocks of a CSV file at the next sync", RunImportCommand,
       "  FILE             a desktop path (C:\\...) or a file inside the desktop root\n"
       "  --format F       standard, or export (the layout export writes)\n",
       "--desktop-root ~/desk import 'C:\\My Documents\\stocks.csv' --format standard"},
      {"backup", "[--scheduled]", "backs the connected device's data up under today's date",
       RunBackupCommand,
       "  --scheduled      only when the settings' backup schedule says one is due\n",
       "--desktop-root ~/desk backup"},
      {"restore", "YYYYMMDD", "puts a backup set back at the next sync", RunRestoreCommand,
       "  YYYYMMDD         the date of a backup set, as `backups` lists it\n",
       "--desktop-root ~/desk restore 20030502"},
      {"backups", "", "lists the dates of the backup sets", RunBackups, "",
       "--desktop-root ~/desk backups --json", true},
  };
  return table;
}

}  // namespace quillet::cli
