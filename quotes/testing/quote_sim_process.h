// Runs the quote service simulator for the length of a test: started on a free loopback port with
// a request log in a temporary folder, stopped (and waited for) when the object goes. Header only,
// so any test program can use it without linking more than the test support library.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/testing/test_support.h"

extern char** environ;

namespace quillet::testing {

class QuoteSimProcess {
 public:
  // `args` are extra simulator options (faults, fixture...). `now` fixes the simulator's today.
  explicit QuoteSimProcess(std::vector<std::string> args = {},
                           std::int64_t now = 1051891200 /* 2003-05-02 16:00 UTC */) {
    logPath_ = dir_.File("requests.log");
    std::vector<std::string> argv = {BuiltProgram("bin/quillet-quote-sim"),
                                     "--port",
                                     "0",
                                     "--log",
                                     logPath_,
                                     "--now",
                                     std::to_string(now)};
    argv.insert(argv.end(), args.begin(), args.end());
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    if (posix_spawn(&pid_, raw[0], &actions, nullptr, raw.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    // The first line says "listening <address> <port>".
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid_ > 0 && line.find('\n') == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
      pollfd p{out[0], POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char c[256];
      ssize_t n = read(out[0], c, sizeof c);
      if (n <= 0) break;
      line.append(c, static_cast<std::size_t>(n));
    }
    close(out[0]);
    std::istringstream words(line);
    std::string listening, address;
    unsigned port = 0;
    if (words >> listening >> address >> port && listening == "listening") {
      port_ = static_cast<std::uint16_t>(port);
    }
  }

  ~QuoteSimProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
  }

  QuoteSimProcess(const QuoteSimProcess&) = delete;
  QuoteSimProcess& operator=(const QuoteSimProcess&) = delete;

  bool running() const { return port_ != 0; }
  std::uint16_t port() const { return port_; }

  // Every request head the simulator received, byte for byte, in order.
  std::vector<std::string> Requests() const {
    std::ifstream in(logPath_, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    std::string text = all.str();
    std::vector<std::string> heads;
    std::size_t pos = 0;
    while ((pos = text.find("--- request ", pos)) != std::string::npos) {
      std::size_t bytesAt = text.find(" bytes ", pos);
      std::size_t lineEnd = text.find('\n', pos);
      if (bytesAt == std::string::npos || lineEnd == std::string::npos) break;
      std::size_t length = std::stoul(text.substr(bytesAt + 7, lineEnd - bytesAt - 7));
      heads.push_back(text.substr(lineEnd + 1, length));
      pos = lineEnd + 1 + length;
    }
    return heads;
  }

 private:
  TempDir dir_;
  std::string logPath_;
  pid_t pid_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace quillet::testing
