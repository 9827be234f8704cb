// quillet-cli: a headless tool over a device (and later a desktop) root, for scripts, black-box
// tests and the README's demo. Each sub-command lives in its own file and is listed in the
// command table of commands.cpp, which also carries its help: usage, options and an example.
//
// Conventions every command keeps, so that scripts can rely on them:
// - exit 0 when the work was done, 1 when it failed or was incomplete (a file not saved, a
//   quote source that failed, a well-formed id that names nothing), 2 when the command line or
//   a value on it was wrong; on 2 nothing was stored;
// - data on standard output, messages and questions on standard error;
// - a command whose table entry says `json` takes --json (the dispatcher takes it out of the
//   arguments and sets CliEnv::json) and then prints one JSON value: an array with one object
//   per record, or one object for a command that prints one record.
#pragma once

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/context.h"
#include "platform/linux/host_services.h"
#include "platform/linux/window_station.h"

namespace quillet::cli {

// Ctrl-C as the tool's main prepares it. A signal handler reaches only objects of static
// storage, so both the flag and the handler that raises it are main's; a command that listens
// for Ctrl-C installs the handler for its length and reads the flag.
struct Interrupt {
  std::atomic<std::uint32_t>* raised;
  void (*handler)(int);
};

// What main hands to the tool: the host's services with the settings it read, and Ctrl-C.
struct CliHost {
  HostServices& services;
  Interrupt interrupt;
};

// The exit codes of every command.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct CliEnv {
  explicit CliEnv(CliHost& tool) : host(tool) {}

  CliHost& host;
  std::string deviceRoot;
  std::string desktopRoot;
  std::ostream* out = nullptr;
  std::ostream* err = nullptr;
  // --json was given to a command that prints records.
  bool json = false;

  // Opens the device (or desktop) root on first use; null after printing the reason.
  PlatformContext* Device();
  PlatformContext* Desktop();
  // The windows of the device root, once Device() has opened it; null before.
  WindowStation* DeviceWindows() { return deviceWindows_.get(); }

 private:
  // Broadcasts (the Today item's settings change) reach the windows open on the device root.
  // Declared before the context, which points at it, so that it goes last.
  std::unique_ptr<WindowStation> deviceWindows_;
  std::unique_ptr<PlatformContext> device_;
  std::unique_ptr<PlatformContext> desktop_;
};

struct Command {
  const char* name;
  const char* usage;    // the arguments, e.g. "get KEY [NAME]"
  const char* summary;  // one line
  int (*run)(CliEnv& env, const std::vector<std::string>& args);
  // `COMMAND --help`: the options and arguments, one "  NAME  meaning" per line, and one
  // example command line (without "quillet-cli").
  const char* options = "";
  const char* example = "";
  // The command prints records and takes --json.
  bool json = false;
};

// The table of sub-commands.
const std::vector<Command>& Commands();

// Runs the tool on argv (without the program name); returns one of the exit codes above.
int Main(const std::vector<std::string>& args, CliHost& host, std::ostream& out, std::ostream& err);

int RunReg(CliEnv& env, const std::vector<std::string>& args);
int RunChart(CliEnv& env, const std::vector<std::string>& args);
// `chart png NAME MARKET FILE ...` (args after "png") and `portfolio-chart png ...`: charts as
// PNG pictures.
int RunChartPng(CliEnv& env, std::vector<std::string> args);
int RunPortfolioChart(CliEnv& env, const std::vector<std::string>& args);
int RunDump(CliEnv& env, const std::vector<std::string>& args);
// Prints every price-history series of the device root (`dump charts`).
int DumpCharts(CliEnv& env, bool json);

// `update [--background] [--timeout SECONDS]`: one quote update of the device root.
int RunUpdate(CliEnv& env, const std::vector<std::string>& args);
// `alerts check|list|add|delete`: the price alerts of the device root.
int RunAlerts(CliEnv& env, const std::vector<std::string>& args);
// `prefs get [NAME] | set NAME VALUE ...`: the handheld program's preferences by the names of
// its Preferences pages.
int RunPrefs(CliEnv& env, const std::vector<std::string>& args);
// `source [--desktop] list|add|remove|route|check`: the user's own quote sources.
int RunSource(CliEnv& env, const std::vector<std::string>& args);

}  // namespace quillet::cli
