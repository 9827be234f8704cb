#include "tools/cli/cli.h"

namespace quillet::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> table = {
      {"reg",
       "[--desktop] [--root HKCU|HKLM|HKCR] list|get|set|delete KEY [NAME] "
       "[--dword N|--string TEXT|--binary HEX]",
       "prints, sets or deletes registry keys and values of a root", RunReg},
  };
  return table;
}

}  // namespace quillet::cli
