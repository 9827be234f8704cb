// quillet-cli's main: the one place where the tool looks at its environment and picks the host's
// real services, and where Ctrl-C is prepared.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <iostream>

#include "platform/environment.h"
#include "platform/linux/host_services.h"
#include "tools/cli/cli.h"

int main(int argc, char** argv) {
  // Ctrl-C during an update run is its Cancel button. A signal handler may do no more than
  // store into a lock-free atomic of static storage: this flag, main's own, which the run
  // reads while it waits. Outside a run Ctrl-C ends the tool as usual.
  static std::atomic<std::uint32_t> interrupted{0};
  static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

  quillet::HostServices services(quillet::ReadEnvironmentSettings(std::getenv));
  quillet::cli::CliHost host{services, {&interrupted, [](int) { interrupted.store(1); }}};
  std::vector<std::string> args(argv + 1, argv + argc);
  return quillet::cli::Main(args, host, std::cout, std::cerr);
}
