// What a fault sweep steps through: something that fails the n-th operation it sees, once or
// from then on. The fault-injecting file system and the SQLite fault VFS both answer to it.
#pragma once

#include "platform/file_system.h"

namespace quillet::testing {

class FaultInjector {
 public:
  virtual ~FaultInjector() = default;
  // Counting from now, the n-th operation (0-based) fails; with `persistent` every later one
  // fails too, as on a disk that died or filled up.
  virtual void FailFrom(int n, bool persistent) = 0;
  // Nothing fails any more.
  virtual void StopFailing() = 0;
  // Failures injected since the last FailFrom.
  virtual int FailuresInjected() const = 0;
};

// The operations of a FaultInjectingFileSystem (opens, writes, syncs, closes, renames, deletes,
// folder creations and folder syncs).
class FileFaults final : public FaultInjector {
 public:
  explicit FileFaults(FaultInjectingFileSystem& files) : files_(files) {}
  void FailFrom(int n, bool persistent) override {
    files_.Clear();
    files_.FailNthOperation(n, persistent);
  }
  void StopFailing() override { files_.Clear(); }
  int FailuresInjected() const override { return files_.FailuresInjected(); }

 private:
  FaultInjectingFileSystem& files_;
};

}  // namespace quillet::testing
