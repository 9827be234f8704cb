// quillet-cli's main: the one place where the tool looks at its environment and picks the host's
// real services.
#include <cstdlib>
#include <iostream>

#include "platform/environment.h"
#include "platform/host_services.h"
#include "tools/cli/cli.h"

int main(int argc, char** argv) {
  quillet::HostServices services(quillet::ReadEnvironmentSettings(std::getenv));
  quillet::cli::CliHost host{services};
  std::vector<std::string> args(argv + 1, argv + argc);
  return quillet::cli::Main(args, host, std::cout, std::cerr);
}
