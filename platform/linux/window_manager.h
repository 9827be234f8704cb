// Child windows inside a host process, as the Today screen gives its items: a library registers
// a window class with its window procedure, creates a child of the window it was handed, and
// from then on the host calls that procedure with the window's messages (create, paint, erase,
// taps, the host's own queries). The host implements WindowManager; the library calls it for
// everything a window procedure asks of the system.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/gdi.h"
#include "platform/linux/module.h"
#include "platform/linux/window_station.h"
#include "platform/win_types.h"

namespace quillet {

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using WNDPROC = LRESULT (*)(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_ERASEBKGND = 0x0014;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_USER = 0x0400;

// Class styles.
inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;
// Window styles.
inline constexpr DWORD WS_CHILD = 0x40000000u;
inline constexpr DWORD WS_VISIBLE = 0x10000000u;
inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

struct WNDCLASS {
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  HINSTANCE hInstance = nullptr;
  std::u16string lpszClassName;
};

class WindowManager {
 public:
  virtual ~WindowManager() = default;
  // False when a class of that name is registered already.
  virtual bool RegisterClass(const WNDCLASS& windowClass) = 0;
  // False when no such class is registered (or windows of it still exist).
  virtual bool UnregisterClass(std::u16string_view className, HINSTANCE instance) = 0;
  // Creates a window of a registered class as a child of `parent` and sends it WM_CREATE;
  // 0 when the class or the parent is unknown.
  virtual HWND CreateWindow(std::u16string_view className, std::u16string_view title, DWORD style,
                            int x, int y, int width, int height, HWND parent,
                            HINSTANCE instance) = 0;
  virtual LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
  // Calls the window's procedure (the host's own for its windows) and returns its answer.
  virtual LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
  virtual HWND GetParent(HWND hwnd) = 0;
  virtual RECT GetClientRect(HWND hwnd) = 0;
  // Marks the window for painting; it receives WM_PAINT (after WM_ERASEBKGND when `erase`).
  virtual void InvalidateRect(HWND hwnd, bool erase) = 0;
  // Inside WM_PAINT: the context to draw with, valid until EndPaint. Null outside a paint.
  virtual DeviceContext* BeginPaint(HWND hwnd) = 0;
  virtual void EndPaint(HWND hwnd) = 0;
};

}  // namespace quillet
