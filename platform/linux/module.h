// Libraries: LoadLibrary and GetProcAddress of the handheld, on shared objects. A library's
// Windows path ("\Windows\QuilletToday.dll") is mapped into the root and the host file there is
// opened with dlopen; its exports are plain `extern "C"` names (one exported only by number on
// the handheld gets a fixed name). After opening, the loader hands the library the environment
// of the process that loaded it, as the handheld's loader gives every library the services of
// its process: which device it runs on and, in a host that shows windows, its window manager.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/com.h"
#include "platform/context.h"
#include "platform/win_types.h"

namespace quillet {

class WindowManager;
class MessageBoxes;

struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;

// What a library learns from its loader. The pointers belong to the loading process and outlive
// the library.
struct ModuleEnvironment {
  std::string root;                      // the device root the process runs on
  WindowManager* windows = nullptr;      // in-process windows of the host, null in a host without
  MessageBoxes* messageBoxes = nullptr;  // where message boxes go; null: their default answers
  void* (*localAlloc)(std::size_t) = &LocalAlloc;  // the local heap
  // The host process's clocks, sockets and settings, for the library's own context on the
  // root; the host keeps them alive while the library is loaded. Null: the library cannot open
  // one.
  const PlatformServices* services = nullptr;
  // The host runs a window event loop in which a library may show its own dialogs (the sync
  // manager does; a test or a tool usually does not).
  bool showsWindows = false;
};

// Marks a function a library exports by name.
#define QUILLET_EXPORT extern "C" __attribute__((visibility("default")))

// The export through which the loader hands the environment over, called once right after the
// library is opened. A library without it simply runs without one.
using ModuleAttachProc = void (*)(const ModuleEnvironment* environment);
inline constexpr char kModuleAttachExport[] = "QuilletModuleAttach";

class LoadedLibrary {
 public:
  // Opens the library at a Windows path of the environment's root. Null with *error set when
  // the path leaves the root, the file is missing or is no library.
  static std::unique_ptr<LoadedLibrary> Load(std::string_view windowsPath,
                                             const ModuleEnvironment& environment,
                                             std::string* error = nullptr);
  // The same for a host path (a library of the build tree).
  static std::unique_ptr<LoadedLibrary> LoadFile(const std::string& hostPath,
                                                 const ModuleEnvironment& environment,
                                                 std::string* error = nullptr);
  ~LoadedLibrary();
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  // The export of that name, or null.
  void* GetProcAddress(const char* name) const;
  template <class F>
  F Proc(const char* name) const {
    return reinterpret_cast<F>(GetProcAddress(name));
  }
  // The module instance handle the library is given in records such as the Today item's.
  HINSTANCE instance() const { return reinterpret_cast<HINSTANCE>(handle_); }

 private:
  explicit LoadedLibrary(void* handle) : handle_(handle) {}
  void* handle_ = nullptr;
};

}  // namespace quillet
