// The Cancel of one update run. Whatever owns the run (the "Update Stocks" command, a desktop
// run, a test) owns its token and hands it to the run's quote client, through which the
// requests, their waits and the steps that apply the answers read it. Nothing else in the
// process sees it, so two runs in one process never stop each other.
#pragma once

#include <atomic>
#include <cstdint>

namespace quillet {

struct CancelToken {
  // Set to 1 by the progress window's Cancel button (or Ctrl-C on the terminal) and by a
  // request's time-out; cleared when the run begins, by every request it starts and when its
  // progress window opens. Set from other threads than the run's, hence atomic.
  std::atomic<std::uint32_t> g_cancelUpdate{0};

  void Cancel() { g_cancelUpdate = 1; }
  void Clear() { g_cancelUpdate = 0; }
  bool cancelled() const { return g_cancelUpdate != 0; }
};

}  // namespace quillet
