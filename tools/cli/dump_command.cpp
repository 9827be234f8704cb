// `dump KIND [--json]`: every field of every record of one kind of the device's data.
#include <ostream>

#include "tools/cli/cli.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {

int RunDump(CliEnv& env, const std::vector<std::string>& args) {
  if (args.size() != 1) {
    *env.err << "usage: quillet-cli dump stocks|notes|alerts|prefs|charts [--json]\n";
    return 2;
  }
  const bool json = env.json;
  if (args[0] == "charts") return DumpCharts(env, json);
  return DumpPortfolioData(env, args[0], json);
}

}  // namespace quillet::cli
