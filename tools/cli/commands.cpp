#include "tools/cli/cli.h"
#include "tools/cli/desktop_commands.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> table = {
      {"reg",
       "[--desktop] [--root HKCU|HKLM|HKCR] list|get|set|delete KEY [NAME] "
       "[--dword N|--string TEXT|--binary HEX]",
       "prints, sets or deletes registry keys and values of a root", RunReg},
      {"chart",
       "add|set|delete-point|delete-up-to|delete NAME MARKET [DATE [PRICE [LOW HIGH [VOLUME]]]]",
       "edits the price history of a stock or portfolio (see chart --help); chart png NAME "
       "MARKET FILE [--range small|medium|big] [--size WxH] [--rotated] draws it as a picture",
       RunChart},
      {"portfolio-chart",
       "png N|all bar|pie|history FILE [--series cost|value|profit] [--size WxH]",
       "draws a portfolio's bar, pie or history chart as a PNG picture", RunPortfolioChart},
      {"dump", "stocks|notes|alerts|prefs|charts [--json]",
       "prints every record of one kind of the device's data", RunDump},
      {"show", "[--portfolio N|all] [--sold|--active] [--json]",
       "prints the stock list with its chosen columns and the totals", RunShow},
      {"new-stock", "[FIELD=VALUE ...]", "makes a stock as the New command does; prints its id",
       RunNewStock},
      {"set", "[--id N] FIELD=VALUE ...",
       "changes fields of a stock (--id) or settings and portfolio fields", RunSet},
      {"sell", "--id N NUMBER PRICE [FEE] [--date YYYY-MM-DD] [--yes]",
       "sells all or part of a holding", RunSell},
      {"split", "--id N A B [--date YYYY-MM-DD] [--yes|--answers y,n]",
       "splits a holding A for B, and its chart data when answered yes", RunSplit},
      {"add-shares", "--id N PRICE NUMBER [FEE] [--yes]", "buys more shares of a holding",
       RunAddShares},
      {"delete-stock", "--id N|--all [--yes|--answers y,n,...]",
       "deletes a stock (or all), answering the questions from the flags", RunDeleteStock},
      {"portfolio", "list|add NAME|rename N NAME|delete N [--yes]",
       "lists and edits the portfolios", RunPortfolio},
      {"currency", "list|add CODE [RATE]|edit N CODE RATE|delete N|portfolio P N|base CODE [--yes]",
       "lists and edits the currencies", RunCurrency},
      {"update", "[--background] [--timeout SECONDS]",
       "updates the quotes as the Update Stocks command does; the network log on stdout",
       RunUpdate},
      {"alerts", "check|list [--json]|add --id N CONDITION COMPARE THRESHOLD|delete N",
       "evaluates, lists, adds and deletes price alerts", RunAlerts},
      {"source",
       "[--desktop] list | add NAME FIELD=VALUE... | remove NAME | route MARKET NAME|- | "
       "check NAME SYMBOL...",
       "defines quote sources of your own, routes markets to them, and checks one with a real "
       "request",
       RunSource},
      {"settings", "get [KEY] | set KEY VALUE",
       "prints or changes the desktop companion's settings (Quillet.ini of the desktop root)",
       RunSettings},
      {"device", "connect|disconnect|show",
       "connects the device root (--device-root) to the desktop root, or none", RunDevice},
      {"sync", "[--yes|--no]",
       "one desktop update run against the connected device; the run's log on stdout", RunSync},
      {"export", "[--scheduled]",
       "writes Quillet.csv (and Quillet_Charts.csv) of the connected device's data",
       RunExportCommand},
      {"import", "FILE [--format standard|export]",
       "imports the stocks of a CSV file at the next sync", RunImportCommand},
      {"backup", "[--scheduled]", "backs the connected device's data up under today's date",
       RunBackupCommand},
      {"restore", "YYYYMMDD", "puts a backup set back at the next sync", RunRestoreCommand},
      {"backups", "", "lists the dates of the backup sets", RunBackups},
  };
  return table;
}

}  // namespace quillet::cli
