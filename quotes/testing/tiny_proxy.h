// A proxy with Basic authentication for the tests that go through one. Header only.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/posix_file_system.h"
#include "platform/testing/test_support.h"

extern char** environ;

namespace quillet::testing {

// tinyproxy from the distribution's package on a loopback port, asking for a user name and
// password and handing every request on to the simulator (so nothing leaves the machine); with
// no upstream port it connects itself, as for HTTPS (CONNECT) to the simulator on loopback.
class TinyProxy {
 public:
  TinyProxy(std::uint16_t upstreamPort, const std::string& user, const std::string& password) {
    port_ = FreePort();
    const std::string conf = dir_.File("tinyproxy.conf");
    std::string text = "Port " + std::to_string(port_) +
                       "\nListen 127.0.0.1\nTimeout 30\nMaxClients 4\nAllow 127.0.0.1\n"
                       "LogLevel Info\nLogFile \"" +
                       dir_.File("tinyproxy.log") + "\"\nBasicAuth " + user + " " + password + "\n";
    if (upstreamPort != 0) text += "Upstream http 127.0.0.1:" + std::to_string(upstreamPort) + "\n";
    PosixFileSystem disk;
    if (disk.WriteAll(conf, text) != 0) return;
    std::vector<std::string> argv = {"/usr/bin/tinyproxy", "-d", "-c", conf};
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    if (posix_spawn(&pid_, raw[0], nullptr, nullptr, raw.data(), environ) != 0) pid_ = -1;
    // Up once it accepts a connection (polled, within ten seconds).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid_ > 0 && !Accepts() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ~TinyProxy() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
  }
  bool running() const { return pid_ > 0 && Accepts(); }
  std::uint16_t port() const { return port_; }

 private:
  static std::uint16_t FreePort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    std::uint16_t port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0) {
      port = ntohs(a.sin_port);
    }
    close(fd);
    return port;
  }
  bool Accepts() const {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port_);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
  }

  TempDir dir_;
  pid_t pid_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace quillet::testing
