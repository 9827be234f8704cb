// The handheld shell's services to programs: notification bubbles, the full-screen switch of the
// task bar, the Today screen's item interface and the platform test. The shell is its own
// process (standins/shell); a program reaches it through the window station. A notification is
// kept as a record in "<root>/run/notifications/" (the shell's memory of it) and the shell's
// notification window is told to show or drop it; the bubble's links and buttons come back to
// the sink window as WM_COMMAND with the command number of their "cmd:N" name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/gdi.h"
#include "platform/linux/module.h"
#include "platform/linux/window_station.h"
#include "platform/win_types.h"

namespace quillet {

// ---- The platform test ------------------------------------------------------------------------

// What GetVersionEx and the platform-type system parameter tell about a device.
struct PlatformIdentity {
  bool windowsCe = true;
  DWORD majorVersion = 3;
  std::string platformType = "PocketPC";
};
// The identity of a device root: a Pocket PC on Windows CE 3.0.
PlatformIdentity DevicePlatform();
// 1 on a Pocket PC with major version 3, 2 with major version 4, else 0.
int PocketPcCheck(const PlatformIdentity& identity);

// ---- Notifications ----------------------------------------------------------------------------

enum SHNP : DWORD { SHNP_INFORM = 0x1B1, SHNP_ICONIC = 0 };

struct SHNOTIFICATIONDATA {
  DWORD cbStruct = 0;
  DWORD dwID = 0;
  SHNP npPriority = SHNP_INFORM;
  DWORD csDuration = 0;  // seconds the bubble stays up
  UINT hicon = 0;        // the icon's resource number in the sink's program
  DWORD grfFlags = 0;
  GUID clsid;
  HWND hwndSink = 0;
  std::u16string pszHTML;
  std::u16string pszTitle;
  std::int64_t lParam = 0;
  // Filled by ReadNotifications: when the notification was handed over, so a notification
  // handed over again is told apart from the one shown.
  std::int64_t addedNs = 0;
};

// Private messages to the shell's windows.
inline constexpr UINT WM_SHELL_NOTIFICATIONS_CHANGED = 0x8101;  // wParam 0, lParam 0
inline constexpr UINT WM_SHELL_FULLSCREEN = 0x8102;             // wParam flags, lParam the window
inline constexpr char kShellNotifyClass[] = "QuilletShellNotify";
inline constexpr char kShellTaskBarClass[] = "HHTaskBar";

// Hands a notification to the shell, replacing one of the same class and id. 0 when the shell
// took it; 1062 (the service is not running) when no shell runs on the root, and nothing is
// left behind.
inline constexpr LONG ERROR_SERVICE_NOT_ACTIVE = 1062;
LONG SHNotificationAdd(WindowStation& station, const std::string& root,
                       const SHNOTIFICATIONDATA& data);
// Removes the notification of that class and id; 0, or 2 when there is none.
LONG SHNotificationRemove(WindowStation& station, const std::string& root, const GUID& clsid,
                          DWORD id);
// Every notification kept for the root, oldest first (the shell's reading side).
std::vector<SHNOTIFICATIONDATA> ReadNotifications(const std::string& root);

// ---- Full screen -------------------------------------------------------------------------------

inline constexpr DWORD SHFS_SHOWTASKBAR = 0x0001;
inline constexpr DWORD SHFS_HIDETASKBAR = 0x0002;
inline constexpr DWORD SHFS_SHOWSIPBUTTON = 0x0004;
inline constexpr DWORD SHFS_HIDESIPBUTTON = 0x0008;
inline constexpr DWORD SHFS_SHOWSTARTICON = 0x0010;
inline constexpr DWORD SHFS_HIDESTARTICON = 0x0020;

// Asks the shell to hide or show the task bar, the input-panel button and the start icon for
// `hwnd` (a full-screen chart hides them and shows them again). False when no shell runs.
bool SHFullScreen(WindowStation& station, HWND hwnd, DWORD flags);

// ---- The Today screen's item interface ---------------------------------------------------------

inline constexpr UINT WM_TODAYCUSTOM_CLEARCACHE = 0x0400 + 242;
inline constexpr UINT WM_TODAYCUSTOM_QUERYREFRESHCACHE = 0x0400 + 243;
inline constexpr UINT TODAYM_GETCOLOR = 0x0400 + 100;
inline constexpr UINT TODAYM_DRAWWATERMARK = 0x0400 + 101;
inline constexpr std::uintptr_t TODAYCOLOR_TEXT = 0x10000004;

inline constexpr DWORD TLIT_CUSTOM = 4;
inline constexpr std::size_t MAX_ITEMNAME = 32;

// The record the Today screen keeps for each of its items and hands to the item's library.
struct TODAYLISTITEM {
  char16_t szName[MAX_ITEMNAME] = {};
  DWORD tlit = 0;
  DWORD dwOrder = 0;
  DWORD cyp = 0;  // the item's height in pixels, set by the item
  BOOL fEnabled = 0;
  BOOL fOptions = 0;
  DWORD grfFlags = 0;
  char16_t szDLLPath[260] = {};
  HINSTANCE hinstDLL = nullptr;
  HWND hwndCustom = 0;
  BOOL fSizeOnDraw = 0;
};

// lParam of TODAYM_DRAWWATERMARK: draw the Today background into this context and rectangle.
struct TODAYDRAWWATERMARKINFO {
  DeviceContext* hdc = nullptr;
  RECT rc;
  HWND hwnd = 0;
};

// The item's initialisation entry, exported by number 240 on the handheld and by this name here.
using InitializeCustomItemProc = HWND (*)(TODAYLISTITEM* item, HWND parent);
inline constexpr char kTodayItemInitExport[] = "InitializeCustomItem";

}  // namespace quillet
