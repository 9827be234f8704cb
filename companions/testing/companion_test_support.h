// Helpers for the tests of the handheld libraries: a temporary device root on which a library is
// placed under its handheld name and loaded as its host would load it, the handheld program
// installed beside it, seeded data, and the program started, found and ended on that root.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/portfolio_store.h"
#include "platform/linux/module.h"
#include "platform/linux/window_station.h"
#include "platform/message_box.h"
#include "platform/testing/test_support.h"

namespace quillet::testing {

inline constexpr char kProgramPath[] = "\\Program Files\\Quillet\\Quillet.exe";

class CompanionRoot {
 public:
  CompanionRoot();
  // Ends whatever program still runs on the root.
  ~CompanionRoot();

  const std::string& root() const { return fx.ctx->root(); }
  PlatformContext& ctx() { return *fx.ctx; }
  std::string HostPath(std::string_view devicePath) const;

  // Copies the built library "<builtName>.so" to `devicePath` on the root and loads it from
  // there with `environment` (its root set to this one). Fails the test when it cannot.
  std::unique_ptr<LoadedLibrary> Load(const std::string& builtName, const std::string& devicePath);
  ModuleEnvironment environment;
  ScriptedAnswers boxes;

  // Links the built handheld program to "\Program Files\Quillet\Quillet.exe". False when the
  // program was not built (a build without the user interface).
  bool InstallProgram();
  // Writes a small script to `devicePath` that, when started, records its start in
  // "<root>/started" (one line per start: the path it was started as).
  void InstallRecorder(const std::string& devicePath);
  // The starts recorded so far, once at least `atLeast` are there or timeoutMs has passed.
  std::vector<std::string> WaitForStarts(std::size_t atLeast, int timeoutMs = 30000) const;

  // Two stocks, a note and an alert saved as the program would.
  void SeedData();
  std::unique_ptr<PortfolioStore> LoadSaved();

  // Starts the installed program on the root and waits for its main window (null when it did
  // not come up within a minute).
  std::optional<WindowInfo> StartProgram();
  // The window of the program running on the root, waiting up to timeoutMs for one.
  std::optional<WindowInfo> WaitForProgramWindow(int timeoutMs);
  // Ends every program with a window on the root (killed, and collected when it is ours).
  void EndPrograms();

  TestRoot fx;
  WindowStation station;
};

}  // namespace quillet::testing
