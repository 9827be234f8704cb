// The fault sweep every save path runs under. It runs one save again and again, failing its
// first operation, then its second, and so on, until the save runs through without reaching
// the failure; it does so once with a single failure (the operations after it succeed again)
// and once with a failure that persists (every operation after it fails too). After each step
// it reloads what is stored, which must be the old data or the new one, never a mix, and the
// new one whenever the save said it succeeded. Then, with nothing failing and the old data put
// back, the same save must go through: a failure must not leave the code that met it unable to
// save again.
//
// A save path joins with one call:
//
//   SweepSave<std::string>(faults, {.putOld = ..., .save = ..., .reload = ...});
//
// where `faults` fails the operations (FileFaults over a FaultInjectingFileSystem, or a
// SqliteFaultVfs) and `reload` reads what is stored from scratch. The old and the new data are
// what `reload` gives straight after `putOld` and after a save that met no failure.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/testing/fault_injector.h"

namespace quillet::testing {

template <class Stored>
struct SavePath {
  // Stores the old data (runs with nothing failing). A failed step may have left the new data
  // in place, so this runs before every step.
  std::function<void()> putOld = nullptr;
  // Stores the new data; false when it reports a failure.
  std::function<bool()> save = nullptr;
  // What is stored now, read afresh (a new connection, a new object): compared with ==.
  std::function<Stored()> reload = nullptr;
  // Runs after each step, before the reload: a power cut, a restart. Optional.
  std::function<void()> afterStep = nullptr;
};

namespace sweep_detail {

template <class Stored>
std::string Describe(const Stored& stored, const Stored& oldData, const Stored& newData) {
  if (stored == oldData) return "the old data";
  if (stored == newData) return "the new data";
  std::string shown = ::testing::PrintToString(stored);
  if (shown.size() > 400) shown = shown.substr(0, 400) + "...";
  return "neither the old nor the new data: " + shown;
}

}  // namespace sweep_detail

// Runs the sweep and returns how many operations the save performs (the failure points of the
// single-failure round). A problem is reported as a non-fatal test failure naming the step, and
// ends the sweep.
template <class Stored>
int SweepSave(FaultInjector& faults, const SavePath<Stored>& path, int limit = 5000) {
  using sweep_detail::Describe;
  // The old and the new data are read straight after they were stored, before any afterStep:
  // a save whose data does not survive a power cut must not set the standard itself.
  faults.StopFailing();
  path.putOld();
  const Stored oldData = path.reload();
  if (!path.save()) {
    ADD_FAILURE() << "fault sweep: the save fails with nothing failing";
    return 0;
  }
  const Stored newData = path.reload();
  if (oldData == newData) {
    ADD_FAILURE() << "fault sweep: the save stores what was there already; a sweep of it would "
                     "prove nothing";
    return 0;
  }

  int operations = 0;
  for (bool persistent : {false, true}) {
    for (int n = 0;; ++n) {
      const std::string step = "fault sweep: " +
                               (persistent ? "operations from #" + std::to_string(n + 1) + " on"
                                           : "operation #" + std::to_string(n + 1)) +
                               " fail";
      if (n == limit) {
        ADD_FAILURE() << step << ": the save still meets a failure; it never runs through";
        return operations;
      }
      faults.StopFailing();
      path.putOld();
      faults.FailFrom(n, persistent);
      const bool saved = path.save();
      const int injected = faults.FailuresInjected();
      faults.StopFailing();
      if (path.afterStep) path.afterStep();
      const Stored stored = path.reload();

      if (injected == 0) {
        // n is past the save's last operation: it ran through untouched.
        if (!saved || !(stored == newData)) {
          ADD_FAILURE() << step << ": nothing failed, yet the save "
                        << (saved ? "reports success" : "reports a failure") << " and stored "
                        << Describe(stored, oldData, newData);
          return operations;
        }
        if (!persistent) operations = n;
        break;
      }
      if (saved && !(stored == newData)) {
        ADD_FAILURE() << step << ": the save reports success but stored "
                      << Describe(stored, oldData, newData);
        return operations;
      }
      if (!saved && !(stored == oldData || stored == newData)) {
        ADD_FAILURE() << step << ": after the failed save the store holds "
                      << Describe(stored, oldData, newData);
        return operations;
      }
      // Over the old data again (the failed save may have stored the new, and not every save
      // can be repeated on its own result), with nothing failing.
      path.putOld();
      const bool again = path.save();
      if (path.afterStep) path.afterStep();
      const Stored afterRetry = path.reload();
      if (!again || !(afterRetry == newData)) {
        ADD_FAILURE() << step << ": with nothing failing any more the next save "
                      << (again ? "reports success" : "fails") << " and stored "
                      << Describe(afterRetry, oldData, newData);
        return operations;
      }
    }
  }
  return operations;
}

}  // namespace quillet::testing
