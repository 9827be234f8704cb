// The host's calendar clock, or a fixed time when the program was started with one
// (QUILLET_NOW, for scripts).
#pragma once

#include <optional>

#include "platform/clock.h"

namespace quillet {

class SystemClock final : public Clock {
 public:
  explicit SystemClock(std::optional<std::int64_t> fixedNow) : fixedNow_(fixedNow) {}
  std::int64_t Now() override;

 private:
  std::optional<std::int64_t> fixedNow_;
};

}  // namespace quillet
