// The window station over files and Unix-domain sockets. Each window is an entry in
// "<root>/run/windows/" (its title, class, process id and program path) with a Unix-domain
// socket beside it that only the owner may open; a message to the window is a small datagram on
// a connection to that socket. The entries are read and written through the file system the
// station is given; the contracts are WindowStation's.
#pragma once

#include <map>
#include <string>

#include "platform/file_system.h"
#include "platform/window_station.h"

namespace quillet {

class UnixWindowStation final : public WindowStation {
 public:
  // `files` must outlive the station.
  UnixWindowStation(std::string root, FileSystem& files);
  ~UnixWindowStation() override;
  UnixWindowStation(const UnixWindowStation&) = delete;
  UnixWindowStation& operator=(const UnixWindowStation&) = delete;

  HWND CreateWindow(const std::string& title, const std::string& className,
                    const std::string& programPath, Handler handler) override;
  void DestroyWindow(HWND hwnd) override;
  bool SetWindowText(HWND hwnd, const std::string& title) override;
  HWND FindWindow(const std::string& className, const std::string& title) override;
  std::vector<WindowInfo> EnumWindows() override;
  bool PostMessage(HWND hwnd, UINT msg, std::uint64_t wParam, std::int64_t lParam) override;
  bool SendMessage(HWND hwnd, UINT msg, std::uint64_t wParam, std::int64_t lParam,
                   LRESULT* result = nullptr, int timeoutMs = 10000) override;
  void Broadcast(UINT msg, std::uintptr_t wParam, std::intptr_t lParam) override;
  int MessageFd(HWND hwnd) const override;
  int DispatchPending(HWND hwnd) override;
  int PumpFor(int timeoutMs) override;

 private:
  struct OwnWindow {
    int listenFd = -1;
    Handler handler;
  };
  std::string InfoPath(HWND hwnd) const;
  std::string SocketPath(HWND hwnd) const;
  // Writes the window's entry whole: a temporary file renamed over the entry, so readers never
  // see half of one.
  bool WriteInfo(HWND hwnd, const std::string& title, const std::string& className,
                 std::int32_t pid, const std::string& programPath);
  bool Deliver(HWND hwnd, const WindowMessage& m, bool wait, LRESULT* result, int timeoutMs);

  std::string folder_;
  FileSystem& files_;
  std::map<HWND, OwnWindow> own_;
  std::uint32_t nextSeq_ = 1;
};

}  // namespace quillet
