#include "platform/linux/process.h"

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/ascii.h"
#include "platform/roots.h"

extern char** environ;

namespace quillet {
namespace {

// The handheld's file names are compared without regard to case; the host's are not. A path
// that does not exist as written is looked up folder by folder, each name matched in any case.
std::optional<std::string> FindNoCase(const std::string& root, std::string_view windowsPath) {
  std::filesystem::path at(root);
  std::string component;
  auto step = [&](const std::string& name) -> bool {
    if (name.empty()) return true;
    std::error_code ec;
    if (std::filesystem::exists(at / name, ec)) {
      at /= name;
      return true;
    }
    for (const auto& entry : std::filesystem::directory_iterator(at, ec)) {
      if (EqualNoCase(entry.path().filename().string(), name)) {
        at = entry.path();
        return true;
      }
    }
    return false;
  };
  for (char c : windowsPath) {
    if (c == '\\' || c == '/') {
      if (!step(component)) return std::nullopt;
      component.clear();
    } else {
      component += c;
    }
  }
  if (!step(component)) return std::nullopt;
  return at.string();
}

// Splits a command line into words: blanks separate them, double quotes group blanks into one
// word and are dropped.
std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(std::move(word));
  return words;
}

LONG Spawn(const std::string& program, const std::vector<std::string>& args,
           const std::string& rootVar, const std::string& root, pid_t* pid) {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    if (std::strncmp(*e, rootVar.c_str(), rootVar.size()) != 0) env.emplace_back(*e);
  }
  env.push_back(rootVar + root);
  std::vector<char*> envp;
  for (std::string& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argStrings;
  argStrings.push_back(program);
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : argStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // Its own process group: a signal meant for the starter's group (a terminal's Ctrl+C) does
  // not end a program the user started from the handheld.
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  pid_t child = -1;
  int rc = posix_spawn(&child, program.c_str(), nullptr, &attr, argv.data(), envp.data());
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return rc == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
  if (pid) *pid = child;
  return ERROR_SUCCESS;
}

}  // namespace

LONG CreateDesktopProcess(const std::string& root, std::string_view commandLine, pid_t* pid) {
  std::string_view line = commandLine;
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  if (line.empty()) return ERROR_INVALID_PARAMETER;
  // The program's file on the host, matched in any case as the desktop's file system does.
  auto locate = [&](std::string_view path) -> std::optional<std::string> {
    std::optional<std::string> host = MapDesktopPath(root, path);
    if (!host) return std::nullopt;
    struct stat st {};
    if (::stat(host->c_str(), &st) != 0 && host->size() > root.size()) {
      if (auto found = FindNoCase(root, std::string_view(*host).substr(root.size())))
        host = std::move(found);
    }
    return host;
  };
  std::string programPath;
  std::string_view rest;
  if (line.front() == '"') {
    const std::size_t close = line.find('"', 1);
    programPath =
        std::string(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
    rest = close == std::string_view::npos ? std::string_view() : line.substr(close + 1);
  } else {
    // An unquoted path may hold blanks ("C:\Program Files\..."): as the desktop does, the
    // shortest prefix ending at a blank that names an existing file is the program.
    programPath = std::string(line);
    for (std::size_t blank = line.find(' '); blank != std::string_view::npos;
         blank = line.find(' ', blank + 1)) {
      struct stat st {};
      auto host = locate(line.substr(0, blank));
      if (host && ::stat(host->c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        programPath = std::string(line.substr(0, blank));
        rest = line.substr(blank);
        break;
      }
    }
  }
  if (programPath.empty()) return ERROR_INVALID_PARAMETER;
  std::optional<std::string> host = locate(programPath);
  if (!host) return ERROR_PATH_NOT_FOUND;
  struct stat st {};
  if (::stat(host->c_str(), &st) != 0) {
    return errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
  }
  if (!S_ISREG(st.st_mode) || ::access(host->c_str(), X_OK) != 0) return ERROR_ACCESS_DENIED;
  return Spawn(*host, SplitCommandLine(rest), "QUILLET_DESKTOP_ROOT=", root, pid);
}

bool WaitForChildExit(pid_t pid, int timeoutMs, int* exitCode) {
  if (pid <= 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int status = 0;
    const pid_t got = ::waitpid(pid, &status, WNOHANG);
    if (got == pid) {
      if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return true;
    }
    if (got < 0) return false;  // not our child, or collected already
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

LONG CreateProcess(const std::string& root, std::string_view windowsPath, pid_t* pid) {
  std::optional<std::string> host = MapDevicePath(root, windowsPath);
  if (!host || windowsPath.empty()) return ERROR_PATH_NOT_FOUND;
  struct stat st {};
  if (::stat(host->c_str(), &st) != 0) {
    if (auto found = FindNoCase(root, windowsPath)) host = std::move(found);
  }
  if (::stat(host->c_str(), &st) != 0) {
    return errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
  }
  if (!S_ISREG(st.st_mode) || ::access(host->c_str(), X_OK) != 0) return ERROR_ACCESS_DENIED;

  // The child's environment: ours, with the device root of the starter.
  return Spawn(*host, {}, "QUILLET_DEVICE_ROOT=", root, pid);
}

bool ProcessRunning(pid_t pid) {
  if (pid <= 0) return false;
  if (::kill(pid, 0) != 0 && errno != EPERM) return false;
  // A zombie still answers the signal test; its state in /proc tells it has ended.
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  std::size_t close = line.rfind(')');
  if (close == std::string::npos || close + 2 >= line.size()) return true;
  const char state = line[close + 2];
  return state != 'Z' && state != 'X';
}

bool WaitForProcessEnd(pid_t pid, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (!ProcessRunning(pid)) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void ReapEndedChildren() {
  while (::waitpid(-1, nullptr, WNOHANG) > 0) {
  }
}

}  // namespace quillet
