#include "platform/linux/window_station.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "platform/file_system.h"
#include "platform/roots.h"

namespace quillet {
namespace {

constexpr UINT kFlagSend = 1;

// The bytes of one message on the wire.
struct Packet {
  std::uint32_t msg;
  std::uint32_t flags;
  std::uint64_t wParam;
  std::int64_t lParam;
};
static_assert(sizeof(Packet) == 24);

bool FillAddress(const std::string& path, sockaddr_un* addr) {
  std::memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  if (path.size() >= sizeof addr->sun_path) return false;
  std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
  return true;
}

bool ProcessAlive(pid_t pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

// Reads or writes exactly n bytes, waiting at most timeoutMs for each chunk.
bool Transfer(int fd, void* buf, std::size_t n, bool write, int timeoutMs) {
  auto* p = static_cast<char*>(buf);
  std::size_t done = 0;
  while (done < n) {
    pollfd pfd{fd, static_cast<short>(write ? POLLOUT : POLLIN), 0};
    int rc = poll(&pfd, 1, timeoutMs);
    if (rc < 0 && errno == EINTR) continue;
    if (rc <= 0) return false;
    ssize_t got =
        write ? ::send(fd, p + done, n - done, MSG_NOSIGNAL) : ::recv(fd, p + done, n - done, 0);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

std::string SanitisedLine(const std::string& s) {
  std::string out = s;
  std::replace(out.begin(), out.end(), '\n', ' ');
  return out;
}

}  // namespace

WindowStation::WindowStation(std::string root)
    : folder_(JoinPath(JoinPath(root, "run"), "windows")), files_(hostFiles_) {}

WindowStation::WindowStation(std::string root, FileSystem& files)
    : folder_(JoinPath(JoinPath(root, "run"), "windows")), files_(files) {}

WindowStation::~WindowStation() {
  while (!own_.empty()) DestroyWindow(own_.begin()->first);
}

std::string WindowStation::InfoPath(HWND hwnd) const {
  return JoinPath(folder_, std::to_string(hwnd) + ".window");
}

std::string WindowStation::SocketPath(HWND hwnd) const {
  return JoinPath(folder_, std::to_string(hwnd) + ".sock");
}

HWND WindowStation::CreateWindow(const std::string& title, const std::string& className,
                                 const std::string& programPath, Handler handler) {
  return Create(0, title, className, programPath, std::move(handler));
}

HWND WindowStation::CreateChildWindow(HWND parent, const std::string& title,
                                      const std::string& className, Handler handler) {
  if (!own_.count(parent)) return 0;
  return Create(parent, title, className, "", std::move(handler));
}

HWND WindowStation::Create(HWND parent, const std::string& title, const std::string& className,
                           const std::string& programPath, Handler handler) {
  if (files_.CreateFolders(folder_) != ERROR_SUCCESS) return 0;
  ::chmod(folder_.c_str(), 0700);
  // The sequence is counted for the whole process: two stations of one process (a program and
  // a library it loaded, or a test playing two programs) never hand out the same handle.
  static std::atomic<std::uint32_t> sequence{1};
  HWND hwnd = (static_cast<HWND>(getpid()) << 16) | (sequence++ & 0xFFFF);
  std::string sock = SocketPath(hwnd);
  sockaddr_un addr;
  if (!FillAddress(sock, &addr)) return 0;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return 0;
  ::unlink(sock.c_str());
  // Owner-only from the start: the umask covers the moment between bind and chmod.
  mode_t old = ::umask(0077);
  int rc = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::umask(old);
  if (rc != 0 || ::listen(fd, 16) != 0) {
    ::close(fd);
    return 0;
  }
  own_[hwnd] = OwnWindow{fd, std::move(handler), parent};
  if (!WriteInfo(hwnd, title, className, getpid(), programPath, parent)) {
    DestroyWindow(hwnd);
    return 0;
  }
  return hwnd;
}

// The entry appears only once it is complete (written aside, then renamed over), so readers
// never see half of one; where the disk fails, the temporary entry is removed again.
bool WindowStation::WriteInfo(HWND hwnd, const std::string& title, const std::string& className,
                              pid_t pid, const std::string& programPath, HWND parent) {
  const std::string info = InfoPath(hwnd);
  const std::string tmp = info + ".tmp";
  const std::string bytes = SanitisedLine(title) + "\n" + SanitisedLine(className) + "\n" +
                            std::to_string(pid) + "\n" + SanitisedLine(programPath) + "\n" +
                            std::to_string(parent) + "\n";
  if (files_.WriteAll(tmp, bytes) != ERROR_SUCCESS || files_.Rename(tmp, info) != ERROR_SUCCESS) {
    files_.Delete(tmp);
    return false;
  }
  return true;
}

void WindowStation::DestroyWindow(HWND hwnd) {
  auto it = own_.find(hwnd);
  if (it == own_.end()) return;
  std::vector<HWND> children;
  for (const auto& [child, window] : own_) {
    if (window.parent == hwnd) children.push_back(child);
  }
  for (HWND child : children) DestroyWindow(child);
  it = own_.find(hwnd);
  ::close(it->second.listenFd);
  own_.erase(it);
  files_.Delete(InfoPath(hwnd));
  ::unlink(SocketPath(hwnd).c_str());
}

bool WindowStation::SetWindowText(HWND hwnd, const std::string& title) {
  std::vector<WindowInfo> all = AllWindows();
  for (const WindowInfo& w : all) {
    if (w.hwnd != hwnd || !own_.count(hwnd)) continue;
    return WriteInfo(hwnd, title, w.className, w.pid, w.programPath, w.parent);
  }
  return false;
}

std::vector<WindowInfo> WindowStation::EnumWindows() {
  std::vector<WindowInfo> out = AllWindows();
  std::erase_if(out, [](const WindowInfo& w) { return w.parent != 0; });
  return out;
}

std::vector<WindowInfo> WindowStation::EnumChildWindows(HWND parent) {
  std::vector<WindowInfo> out = AllWindows();
  std::erase_if(out, [parent](const WindowInfo& w) { return w.parent != parent; });
  return out;
}

std::vector<WindowInfo> WindowStation::AllWindows() {
  std::vector<WindowInfo> out;
  std::vector<FoundFile> found;
  if (files_.FindFiles(folder_, "*.window", &found) != ERROR_SUCCESS) return out;
  for (const FoundFile& f : found) {
    WindowInfo w;
    w.hwnd = std::strtoull(f.name.c_str(), nullptr, 10);
    std::string bytes;
    if (files_.ReadAll(JoinPath(folder_, f.name), &bytes) != ERROR_SUCCESS) continue;
    std::istringstream in(bytes);
    std::string pid;
    if (!std::getline(in, w.title) || !std::getline(in, w.className) || !std::getline(in, pid) ||
        !std::getline(in, w.programPath)) {
      continue;
    }
    w.pid = static_cast<pid_t>(std::strtol(pid.c_str(), nullptr, 10));
    // Entries of top-level windows may end after the program path.
    std::string parent;
    if (std::getline(in, parent)) w.parent = std::strtoull(parent.c_str(), nullptr, 10);
    if (!ProcessAlive(w.pid)) {
      // Left behind by a process that ended without cleaning up.
      files_.Delete(InfoPath(w.hwnd));
      ::unlink(SocketPath(w.hwnd).c_str());
      continue;
    }
    out.push_back(std::move(w));
  }
  // Creation order: the handle holds the process id and a sequence number.
  std::sort(out.begin(), out.end(),
            [](const WindowInfo& a, const WindowInfo& b) { return a.hwnd < b.hwnd; });
  return out;
}

HWND WindowStation::FindWindow(const std::string& className, const std::string& title) {
  for (const WindowInfo& w : EnumWindows()) {
    if ((className.empty() || w.className == className) && (title.empty() || w.title == title)) {
      return w.hwnd;
    }
  }
  return 0;
}

bool WindowStation::Deliver(HWND hwnd, const WindowMessage& m, bool wait, LRESULT* result,
                            int timeoutMs) {
  auto own = own_.find(hwnd);
  if (own != own_.end()) {
    // A message to a window of this very process: a send runs the handler at once, as it
    // would on the window's own thread; a post goes through the socket like any other.
    if (wait) {
      LRESULT r = own->second.handler ? own->second.handler(m) : 0;
      if (result) *result = r;
      return true;
    }
  }
  sockaddr_un addr;
  if (!FillAddress(SocketPath(hwnd), &addr)) return false;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  Packet p{m.msg, wait ? kFlagSend : 0u, m.wParam, m.lParam};
  ok = ok && Transfer(fd, &p, sizeof p, true, timeoutMs);
  if (ok && wait) {
    LRESULT r = 0;
    ok = Transfer(fd, &r, sizeof r, false, timeoutMs);
    if (ok && result) *result = r;
  }
  ::close(fd);
  return ok;
}

bool WindowStation::PostMessage(HWND hwnd, UINT msg, std::uint64_t wParam, std::int64_t lParam) {
  return Deliver(hwnd, WindowMessage{msg, wParam, lParam}, false, nullptr, 2000);
}

bool WindowStation::SendMessage(HWND hwnd, UINT msg, std::uint64_t wParam, std::int64_t lParam,
                                LRESULT* result, int timeoutMs) {
  return Deliver(hwnd, WindowMessage{msg, wParam, lParam}, true, result, timeoutMs);
}

void WindowStation::Broadcast(UINT msg, std::uintptr_t wParam, std::intptr_t lParam) {
  for (const WindowInfo& w : EnumWindows()) {
    PostMessage(w.hwnd, msg, wParam, static_cast<std::int64_t>(lParam));
  }
}

int WindowStation::MessageFd(HWND hwnd) const {
  auto it = own_.find(hwnd);
  return it == own_.end() ? -1 : it->second.listenFd;
}

int WindowStation::DispatchPending(HWND hwnd, int limit) {
  int count = 0;
  while (limit < 0 || count < limit) {
    auto it = own_.find(hwnd);
    if (it == own_.end()) return count;
    int fd = ::accept4(it->second.listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return count;
    Packet p{};
    if (Transfer(fd, &p, sizeof p, false, 2000)) {
      Handler handler = it->second.handler;  // the handler may destroy the window
      LRESULT r = handler ? handler(WindowMessage{p.msg, p.wParam, p.lParam}) : 0;
      if (p.flags & kFlagSend) Transfer(fd, &r, sizeof r, true, 2000);
      ++count;
    }
    ::close(fd);
  }
  return count;
}

int WindowStation::PumpFor(int timeoutMs) {
  std::vector<pollfd> fds;
  std::vector<HWND> hwnds;
  for (auto& [hwnd, w] : own_) {
    fds.push_back(pollfd{w.listenFd, POLLIN, 0});
    hwnds.push_back(hwnd);
  }
  if (fds.empty()) return 0;
  int rc = ::poll(fds.data(), fds.size(), timeoutMs);
  if (rc <= 0) return 0;
  int count = 0;
  for (std::size_t i = 0; i < fds.size(); ++i) {
    if (fds[i].revents & POLLIN) count += DispatchPending(hwnds[i]);
  }
  return count;
}

}  // namespace quillet
