// Top-level windows and window messages between the processes of one root. Each window is an
// entry in "<root>/run/windows/" (its title, class, process id and program path) with a
// Unix-domain socket beside it that only the owner may open; a message to the window is a small
// datagram on a connection to that socket. The owning process watches the socket from its event
// loop (the handheld program with a QSocketNotifier) and calls DispatchPending.
//
// Posts do not wait; sends wait for the handler's answer (with a time-out). A window whose
// process has gone is dropped from the table the next time anyone looks.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/linux/posix_file_system.h"
#include "platform/win_types.h"
#include "platform/window_messages.h"

namespace quillet {

using HWND = std::uint64_t;
using LRESULT = std::int64_t;

inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_HIBERNATE = 0x03FF;
inline constexpr UINT WM_COMMAND = 0x0111;  // wParam's low word: the command id

struct WindowInfo {
  HWND hwnd = 0;
  std::string title;
  std::string className;
  pid_t pid = 0;
  std::string programPath;  // the Windows path of the program that owns the window
  HWND parent = 0;          // 0 for a top-level window
};

struct WindowMessage {
  UINT msg = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
};

class WindowStation final : public WindowMessages {
 public:
  using Handler = std::function<LRESULT(const WindowMessage&)>;

  // A station on the root's window table, reached through `files` (tests hand in one that
  // fails); without one, through the host's own files.
  explicit WindowStation(std::string root);
  WindowStation(std::string root, FileSystem& files);
  ~WindowStation() override;
  WindowStation(const WindowStation&) = delete;
  WindowStation& operator=(const WindowStation&) = delete;

  // Registers a window of this process. 0 when it cannot be made (no socket, no folder).
  HWND CreateWindow(const std::string& title, const std::string& className,
                    const std::string& programPath, Handler handler);
  // Registers a child of a window of this process (a dialog inside a dialog, a list inside a
  // page), which other processes find through EnumChildWindows. 0 when the parent is not ours.
  HWND CreateChildWindow(HWND parent, const std::string& title, const std::string& className,
                         Handler handler);
  // Also destroys the window's children.
  void DestroyWindow(HWND hwnd);
  bool SetWindowText(HWND hwnd, const std::string& title);

  // The first window (in creation order) whose class and title match; an empty argument
  // matches any. 0 when none.
  HWND FindWindow(const std::string& className, const std::string& title);
  // The top-level windows, in creation order.
  std::vector<WindowInfo> EnumWindows();
  // The direct children of a window, in creation order.
  std::vector<WindowInfo> EnumChildWindows(HWND parent);

  bool PostMessage(HWND hwnd, UINT msg, std::uint64_t wParam, std::int64_t lParam);
  // False when the window is gone or did not answer within timeoutMs.
  bool SendMessage(HWND hwnd, UINT msg, std::uint64_t wParam, std::int64_t lParam,
                   LRESULT* result = nullptr, int timeoutMs = 10000);
  // Posts to every top-level window of the root.
  void Broadcast(UINT msg, std::uintptr_t wParam, std::intptr_t lParam) override;

  // The socket on which messages to one of this process's windows arrive (-1 when unknown).
  int MessageFd(HWND hwnd) const;
  // Reads the messages waiting for the window, at most `limit` of them (all for a negative
  // limit), and calls its handler for each; returns how many. An event loop takes one message
  // per turn, as a window's message loop does: a handler that ends a modal dialog lets that
  // dialog's loop return before the next message is read, so the next message reaches the
  // window that is on top by then.
  int DispatchPending(HWND hwnd, int limit = -1);
  // Waits up to timeoutMs for a message to any own window and dispatches it (for programs
  // without an event loop and for tests).
  int PumpFor(int timeoutMs);

 private:
  struct OwnWindow {
    int listenFd = -1;
    Handler handler;
    HWND parent = 0;
  };
  std::string InfoPath(HWND hwnd) const;
  std::string SocketPath(HWND hwnd) const;
  bool WriteInfo(HWND hwnd, const std::string& title, const std::string& className, pid_t pid,
                 const std::string& programPath, HWND parent = 0);
  HWND Create(HWND parent, const std::string& title, const std::string& className,
              const std::string& programPath, Handler handler);
  std::vector<WindowInfo> AllWindows();
  bool Deliver(HWND hwnd, const WindowMessage& m, bool wait, LRESULT* result, int timeoutMs);

  std::string folder_;
  PosixFileSystem hostFiles_;
  FileSystem& files_;
  std::map<HWND, OwnWindow> own_;
};

}  // namespace quillet
