#include "platform/testing/test_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>

#include <filesystem>
#include <stdexcept>

namespace quillet::testing {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/quillet-test-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::File(std::string_view name) const { return path_ + "/" + std::string(name); }

TestRoot::TestRoot(PlatformContext::Kind kind, std::int64_t now, const std::string& sqliteVfs)
    : clock(now) {
  std::string error;
  PlatformServices services = host.services();
  ctx = PlatformContext::Open(kind, dir.path() + "/root", services, &error, sqliteVfs);
  if (!ctx) throw std::runtime_error(error);
  ctx->SetClock(clock);
  ctx->messageBoxes().SetAnswerer(answers.AsAnswerer());
}

ScopedTimeZone::ScopedTimeZone(const char* tz) {
  if (const char* old = std::getenv("TZ")) {
    had_ = true;
    old_ = old;
  }
  setenv("TZ", tz, 1);
  tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (had_) {
    setenv("TZ", old_.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

std::string BuiltProgram(std::string_view relative) {
  const char* dir = std::getenv("QUILLET_BUILD_DIR");
  return std::string(dir && *dir ? dir : ".") + "/" + std::string(relative);
}

std::string ShellQuote(std::string_view word) {
  std::string out = "'";
  for (char c : word) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out.push_back(c);
    }
  }
  out += "'";
  return out;
}

int RunCommand(const std::string& command, std::string* output) {
  FILE* p = popen(command.c_str(), "r");
  if (!p) return -1;
  std::string out;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int status = pclose(p);
  if (output) *output = out;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace quillet::testing
