#include "tools/cli/cli.h"

namespace quillet::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> table = {
      {"reg",
       "[--desktop] [--root HKCU|HKLM|HKCR] list|get|set|delete KEY [NAME] "
       "[--dword N|--string TEXT|--binary HEX]",
       "prints, sets or deletes registry keys and values of a root", RunReg},
      {"chart",
       "add|set|delete-point|delete-up-to|delete NAME MARKET [DATE [PRICE [LOW HIGH [VOLUME]]]]",
       "edits the price history of a stock or portfolio (see chart --help)", RunChart},
      {"dump", "charts [--json]", "prints every record of one kind of the device's data", RunDump},
  };
  return table;
}

}  // namespace quillet::cli
