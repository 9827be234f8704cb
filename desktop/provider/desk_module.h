// What the desktop companion's provider library keeps for as long as it is loaded: the loader's
// environment (the desktop root and the host's services), the desktop context opened on it for
// the stores, the object and lock counters that decide whether the library may be unloaded, and
// the synchronisation flags that every store of the library shares (one set per loaded
// library, as the sync manager keeps one library per provider).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/context.h"
#include "platform/linux/module.h"
#include "platform/repl_desktop.h"

namespace quillet {

// The store's class: our own, fixed for good (the installer and the uninstaller name it too).
// {5B1F6C2E-8D4A-4E31-9A7C-2F0D3B6E91A4}
inline constexpr GUID CLSID_QuilletStore = {
    0x5B1F6C2E, 0x8D4A, 0x4E31, {0x9A, 0x7C, 0x2F, 0x0D, 0x3B, 0x6E, 0x91, 0xA4}};
inline constexpr char kQuilletProgId[] = "Marrowby.Quillet";
inline constexpr char kQuilletObjType[] = "Quillet";
inline constexpr int kQuilletIconId = 101;

class DeskModule {
 public:
  ModuleEnvironment environment;

  // Objects alive and server locks; never below zero.
  void ObjectCreated() { ++objects_; }
  void ObjectDestroyed() { Decrement(objects_); }
  void Lock() { ++locks_; }
  // An unmatched unlock is ignored: a count below zero would let the library be unloaded under
  // a live store.
  void Unlock() { Decrement(locks_); }
  bool CanUnload() const { return objects_.load() + locks_.load() == 0; }

  // The desktop context of the loader's root, opened at the first call; null when the loader
  // gave no services or the root cannot be opened.
  PlatformContext* Desktop();

  // Shared by the stores of this library.
  bool skipNextEnumeration = false;
  bool force = false;
  FILETIME lastItemTime;
  int packets = 0;
  // Seconds since 1970 (UTC) at which the last run of this library ended; 0 until one has.
  std::int64_t lastRunEnd = 0;

 private:
  static void Decrement(std::atomic<std::int32_t>& count) {
    std::int32_t value = count.load();
    while (value > 0 && !count.compare_exchange_weak(value, value - 1)) {
    }
  }
  std::atomic<std::int32_t> objects_{0};
  std::atomic<std::int32_t> locks_{0};
  std::mutex desktopGuard_;
  std::unique_ptr<PlatformContext> desktop_;
};

DeskModule& Module();

// The names of the calls, for following a synchronisation under a debugger; does nothing.
inline void Trace(const char* /*what*/) {}

}  // namespace quillet
