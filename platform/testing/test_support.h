// Helpers shared by the test programs: fresh temporary roots, a device or desktop context on
// one with a set clock and scripted answers, a time zone for the length of a test, and the
// path of a program built beside the tests.
#pragma once

#include <memory>
#include <string>

#include "platform/context.h"
#include "platform/linux/host_services.h"

namespace quillet::testing {

// A temporary folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(std::string_view name) const;

 private:
  std::string path_;
};

// A context on a fresh root with a manual clock and scripted answers already installed. Its
// sockets and steady clock are the host's (tests reach the quote service simulator on
// loopback), and it was started with no settings: no quote server, no fixed time. Its database
// goes through the SQLite VFS named `sqliteVfs` when one is given.
struct TestRoot {
  explicit TestRoot(PlatformContext::Kind kind = PlatformContext::Kind::kDevice,
                    std::int64_t now = 1051891200 /* 2003-05-02 16:00 UTC */,
                    const std::string& sqliteVfs = {});
  TempDir dir;
  HostServices host{EnvironmentSettings{}};
  ManualClock clock;
  ScriptedAnswers answers;
  std::unique_ptr<PlatformContext> ctx;
};

// Sets TZ for the life of the object and restores the old value after.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* tz);
  ~ScopedTimeZone();

 private:
  std::string old_;
  bool had_ = false;
};

// Full path of a program of the build tree (QUILLET_BUILD_DIR, set by CTest).
std::string BuiltProgram(std::string_view relative);

// Runs a command line through the shell, returning its exit status and standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);

// Quotes a word for the shell.
std::string ShellQuote(std::string_view word);

}  // namespace quillet::testing
