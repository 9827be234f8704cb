// A quote client's surroundings for tests: the host's real sockets (for the simulator on
// loopback) and steady clock, a calendar clock set to 2 May 2003, 16:00 UTC, and a cancel flag
// of the test's own; and one request answered without a network. Header only, like the
// simulator process.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/linux/posix_sockets.h"
#include "platform/linux/steady_clock.h"
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

// One request of `source` for `symbol`, answered by `answer` (the whole HTTP answer, status line
// and headers included) through the in-memory sockets, handed out in reads of at most `chunk`
// bytes. `prepare` may adjust the client first (a proxy, a parser of the test's own).
struct ScriptedAnswer {
  ScriptedAnswer(int source, std::string_view symbol, std::string answer,
                 std::size_t chunk = std::size_t{1} << 16,
                 const std::function<void(CQuoteClient&)>& prepare = {})
      : client(ClientVariant::kDevice, kit.Services(sockets)) {
    sockets.answer = std::move(answer);
    sockets.chunk = chunk;
    if (prepare) prepare(client);
    client.BeginRequest(source);
    client.AppendRequest(symbol);
    client.EndRequest();
    code = client.Execute();
  }
  std::size_t count() const { return client.results().size(); }
  const QuoteResult& at(std::size_t i) const { return *client.results().at(i); }

  ScriptedSockets sockets;
  ClientKit kit;
  CQuoteClient client;
  int code = -1;
};

}  // namespace quillet::testing
