#include "platform/linux/system_clock.h"

#include <ctime>

namespace quillet {

std::int64_t SystemClock::Now() {
  if (fixedNow_) return *fixedNow_;
  return static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace quillet
