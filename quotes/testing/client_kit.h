// A quote client's surroundings for tests: the host's real sockets (for the simulator on
// loopback) and steady clock, a calendar clock set to 2 May 2003, 16:00 UTC, and a cancel flag
// of the test's own. Header only, like the simulator process.
#pragma once

#include <memory>
#include <optional>

#include "platform/clock.h"
#include "platform/monotonic_clock.h"
#include "platform/socket.h"
#include "quotes/cancel_token.h"
#include "quotes/quote_client.h"

namespace quillet::testing {

struct ClientKit {
  // Services with the real sockets, or with the sockets given (a scripted twin).
  QuoteClientServices Services() { return Services(*sockets); }
  QuoteClientServices Services(SocketFactory& with) {
    return {with, ticks, clock, cancel, std::nullopt};
  }

  std::unique_ptr<SocketFactory> sockets = MakePosixSockets(SystemResolver);
  SteadyClock ticks;
  ManualClock clock{1051891200};
  CancelToken cancel;
};

}  // namespace quillet::testing
