// A quote client's surroundings for tests: the host's real sockets (for the simulator on
// loopback) and steady clock, and a calendar clock set to 2 May 2003, 16:00 UTC. Header only,
// like the simulator process.
#pragma once

#include <memory>
#include <optional>

#include "platform/clock.h"
#include "platform/monotonic_clock.h"
#include "platform/socket.h"
#include "quotes/quote_client.h"

namespace quillet::testing {

struct ClientKit {
  // Services with the real sockets, or with the sockets given (a scripted twin).
  QuoteClientServices Services() { return Services(*sockets); }
  QuoteClientServices Services(SocketFactory& with) { return {with, ticks, clock, std::nullopt}; }

  std::unique_ptr<SocketFactory> sockets = MakePosixSockets(SystemResolver);
  SteadyClock ticks;
  ManualClock clock{1051891200};
};

}  // namespace quillet::testing
