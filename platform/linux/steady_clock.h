// The host's steady clock: milliseconds that never go back, and sleeps that block the calling
// thread.
#pragma once

#include "platform/monotonic_clock.h"

namespace quillet {

class SteadyClock final : public MonotonicClock {
 public:
  std::uint64_t NowMs() override;
  void SleepMs(std::uint32_t ms) override;
};

}  // namespace quillet
