// Elapsed time and waiting, apart from the calendar clock: time-outs and the waits between
// polls count milliseconds of a clock that never goes back, and every wait goes through the same
// object, so a test that sets the time also decides how long a wait lasts (not at all).
#pragma once

#include <atomic>
#include <cstdint>

namespace quillet {

class MonotonicClock {
 public:
  virtual ~MonotonicClock() = default;
  // Milliseconds since a fixed point of this clock (the system tick count); never less than an
  // earlier answer.
  virtual std::uint64_t NowMs() = 0;
  // Returns after about `ms` milliseconds of this clock have passed.
  virtual void SleepMs(std::uint32_t ms) = 0;
};

// A clock that stands still until it is moved: a sleep moves it by the time slept, at once, so
// a loop that waits for a deadline ends without real waiting. Safe to move from another thread.
class ManualMonotonicClock final : public MonotonicClock {
 public:
  explicit ManualMonotonicClock(std::uint64_t nowMs = 0) : now_(nowMs) {}
  std::uint64_t NowMs() override { return now_.load(); }
  void SleepMs(std::uint32_t ms) override { now_ += ms; }
  void AdvanceMs(std::uint64_t ms) { now_ += ms; }

 private:
  std::atomic<std::uint64_t> now_;
};

}  // namespace quillet
