// QuilletToday: the Today screen's item for Quillet, one line beside a small alert bitmap, "1 or
// more active alerts" in bold or "No alerts". It knows nothing of stocks: the program evaluates
// the alerts and leaves the result in the registry value "Alert", which the item reads when it
// is created and each time the Today screen polls it. A tap starts the program.
#include <string>

#include "companions/program_control.h"
#include "companions/today/today_resources.h"
#include "core/alert_evaluation.h"
#include "core/pref_record.h"
#include "core/registry/registry_store.h"
#include "platform/linux/module.h"
#include "platform/linux/shell_services.h"
#include "platform/linux/window_manager.h"

namespace quillet {
namespace {

constexpr char16_t kClassName[] = u"QuilletToday";
constexpr DWORD kItemHeight = 25;
constexpr int kTextIndent = 30;

// What the item keeps while its library is loaded. The Today screen calls the window procedure
// with nothing but the window, so the item's state lives here, with the loader's environment.
struct TodayModule {
  ModuleEnvironment environment;
  HINSTANCE instance = nullptr;
  DWORD alertFlag = 0;
  bool firstRefresh = true;
};

TodayModule& Module() {
  static TodayModule module;
  return module;
}

WindowManager* Windows() { return Module().environment.windows; }

// Reads "Alert" (a missing key or value reads as 0); true when the flag changed.
bool ReadAlertFlag() {
  TodayModule& m = Module();
  DWORD flag = 0;
  if (auto ctx = OpenLibraryContext(m.environment)) {
    RegistryStore reg(ctx->registry());
    reg.SetProductKey(kProductName);
    flag = reg.GetDword(kAlertValueName, 0) != 0 ? 1 : 0;
  }
  const bool changed = flag != m.alertFlag;
  m.alertFlag = flag;
  return changed;
}

void Paint(HWND hwnd) {
  WindowManager* windows = Windows();
  DeviceContext* dc = windows->BeginPaint(hwnd);
  if (!dc) return;
  const TodayModule& m = Module();
  // A bitmap that cannot be loaded leaves only the bitmap out.
  if (const Bitmap* bitmap = LoadTodayBitmap(m.instance, IDB_ALERT)) {
    dc->TransparentBlt(3, 2, *bitmap, RGB(255, 255, 255));
  }
  LOGFONT font = dc->SystemFont();
  font.lfWeight = m.alertFlag ? FW_BOLD : FW_NORMAL;
  // An 8-point font at the screen's resolution.
  font.lfHeight = -static_cast<LONG>(dc->GetDeviceCaps(LOGPIXELSY) / 9.0 + 0.5);
  const LOGFONT oldFont = dc->SelectFont(font);
  const std::u16string text =
      m.alertFlag ? LoadTodayString(IDS_ALERTS_ACTIVE, 60) : LoadTodayString(IDS_NO_ALERTS, 40);
  const auto color = static_cast<COLORREF>(
      windows->SendMessage(windows->GetParent(hwnd), TODAYM_GETCOLOR, TODAYCOLOR_TEXT, 0));
  const COLORREF oldColor = dc->SetTextColor(color);
  const int oldMode = dc->SetBkMode(TRANSPARENT);
  RECT rc = windows->GetClientRect(hwnd);
  rc.left += kTextIndent;
  dc->DrawText(text, rc, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  dc->SetBkMode(oldMode);
  dc->SetTextColor(oldColor);
  dc->SelectFont(oldFont);
  windows->EndPaint(hwnd);
}

LRESULT WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WindowManager* windows = Windows();
  if (!windows) return 0;
  TodayModule& m = Module();
  switch (msg) {
    case WM_CREATE:
      ReadAlertFlag();
      return 0;
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case WM_ERASEBKGND:
      if (PocketPcCheck(DevicePlatform()) != 0) {
        // The Today screen's own background shows through the item.
        TODAYDRAWWATERMARKINFO info;
        info.hdc = reinterpret_cast<DeviceContext*>(wParam);
        info.rc = windows->GetClientRect(hwnd);
        info.hwnd = hwnd;
        windows->SendMessage(windows->GetParent(hwnd), TODAYM_DRAWWATERMARK, 0,
                             reinterpret_cast<LPARAM>(&info));
        return 1;
      }
      return windows->DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_LBUTTONUP:
      // Nothing happens when the program cannot be started.
      if (auto ctx = OpenLibraryContext(m.environment)) {
        StartProgram(m.environment.root, ReadProgramPath(ctx->registry()));
      }
      return 0;
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE: {
      auto* item = reinterpret_cast<TODAYLISTITEM*>(wParam);
      if (m.firstRefresh) {
        ReadAlertFlag();
        m.firstRefresh = false;
        if (item) item->cyp = kItemHeight;
        return 1;
      }
      if (ReadAlertFlag()) windows->InvalidateRect(hwnd, true);
      return 0;
    }
    case WM_TODAYCUSTOM_CLEARCACHE:
      return 0;
    default:
      return windows->DefWindowProc(hwnd, msg, wParam, lParam);
  }
}

}  // namespace
}  // namespace quillet

using namespace quillet;

QUILLET_EXPORT void QuilletModuleAttach(const ModuleEnvironment* environment) {
  if (environment) Module().environment = *environment;
}

// The item's initialisation (number 240 on the handheld).
QUILLET_EXPORT HWND InitializeCustomItem(TODAYLISTITEM* item, HWND parent) {
  WindowManager* windows = Windows();
  if (!item || !item->fEnabled || !windows) return 0;
  TodayModule& m = Module();
  m.instance = item->hinstDLL;
  windows->UnregisterClass(kClassName, m.instance);
  WNDCLASS wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = &WndProc;
  wc.hInstance = m.instance;
  wc.lpszClassName = kClassName;
  windows->RegisterClass(wc);
  m.alertFlag = 0;
  m.firstRefresh = true;
  return windows->CreateWindow(kClassName, kClassName, WS_VISIBLE | WS_CHILD, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent, m.instance);
}
