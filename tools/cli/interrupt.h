// Ctrl-C as the Cancel button of a long command (update, sync).
#pragma once

#include <signal.h>

#include "tools/cli/cli.h"

namespace quillet::cli {

// For the length of the run Ctrl-C raises main's flag instead of ending the tool; the previous
// handler comes back after.
class ListenForInterrupt {
 public:
  explicit ListenForInterrupt(const Interrupt& interrupt) {
    interrupt.raised->store(0);
    struct sigaction action = {};
    action.sa_handler = interrupt.handler;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous_);
  }
  ~ListenForInterrupt() { sigaction(SIGINT, &previous_, nullptr); }
  ListenForInterrupt(const ListenForInterrupt&) = delete;
  ListenForInterrupt& operator=(const ListenForInterrupt&) = delete;

 private:
  struct sigaction previous_ = {};
};

}  // namespace quillet::cli
