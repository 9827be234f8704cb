// The Today item as the Today screen drives it: created from its registration record, polled
// with the refresh query, painted, erased and tapped. The window manager and the drawing context
// here record what the item asks of them.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "companions/testing/companion_test_support.h"
#include "core/registry/registry_store.h"
#include "platform/codepage.h"
#include "platform/linux/shell_services.h"
#include "platform/linux/window_manager.h"

namespace quillet {
namespace {

constexpr HWND kTodayScreen = 1;
constexpr COLORREF kTodayTextColor = RGB(0, 0, 128);

struct DrawnText {
  std::u16string text;
  RECT rect;
  UINT format;
  LOGFONT font;
  COLORREF color;
  int bkMode;
};

class RecordingDc final : public DeviceContext {
 public:
  int GetDeviceCaps(int index) override { return index == LOGPIXELSY ? dpi : 0; }
  LOGFONT SystemFont() override { return LOGFONT{-12, FW_NORMAL, u"Tahoma"}; }
  LOGFONT SelectFont(const LOGFONT& f) override { return std::exchange(font, f); }
  COLORREF SetTextColor(COLORREF c) override { return std::exchange(color, c); }
  int SetBkMode(int mode) override { return std::exchange(bkMode, mode); }
  void TransparentBlt(int x, int y, const Bitmap& b, COLORREF transparent) override {
    blits.push_back({x, y, b.width, b.height, static_cast<int>(transparent)});
  }
  void DrawText(std::u16string_view text, const RECT& rect, UINT format) override {
    texts.push_back({std::u16string(text), rect, format, font, color, bkMode});
  }
  void FillRect(const RECT&, COLORREF) override {}

  int dpi = 96;
  LOGFONT font{-12, FW_NORMAL, u"Tahoma"};
  COLORREF color = RGB(0, 0, 0);
  int bkMode = 2;
  std::vector<std::vector<int>> blits;  // x, y, width, height, transparent colour
  std::vector<DrawnText> texts;
};

// The Today screen's side: one parent window (kTodayScreen) and the item's windows.
class FakeToday final : public WindowManager {
 public:
  bool RegisterClass(const WNDCLASS& wc) override {
    if (classes.count(wc.lpszClassName)) return false;
    classes[wc.lpszClassName] = wc;
    return true;
  }
  bool UnregisterClass(std::u16string_view name, HINSTANCE) override {
    return classes.erase(std::u16string(name)) > 0;
  }
  HWND CreateWindow(std::u16string_view className, std::u16string_view title, DWORD style, int, int,
                    int, int, HWND parent, HINSTANCE) override {
    auto it = classes.find(std::u16string(className));
    if (it == classes.end() || parent != kTodayScreen) return 0;
    HWND hwnd = next++;
    windows[hwnd] = {it->second.lpfnWndProc, std::u16string(title), style};
    created.push_back(hwnd);
    it->second.lpfnWndProc(hwnd, WM_CREATE, 0, 0);
    return hwnd;
  }
  LRESULT DefWindowProc(HWND, UINT msg, WPARAM, LPARAM) override {
    defaults.push_back(msg);
    return 0;
  }
  LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (hwnd == kTodayScreen) {
      if (msg == TODAYM_GETCOLOR && wParam == TODAYCOLOR_TEXT) return kTodayTextColor;
      if (msg == TODAYM_DRAWWATERMARK) {
        auto* info = reinterpret_cast<TODAYDRAWWATERMARKINFO*>(lParam);
        watermarks.push_back(*info);
        return 1;
      }
      return 0;
    }
    auto it = windows.find(hwnd);
    return it == windows.end() ? 0 : it->second.proc(hwnd, msg, wParam, lParam);
  }
  HWND GetParent(HWND hwnd) override { return windows.count(hwnd) ? kTodayScreen : 0; }
  RECT GetClientRect(HWND) override { return RECT{0, 0, 240, 25}; }
  void InvalidateRect(HWND hwnd, bool erase) override { invalidated.push_back({hwnd, erase}); }
  DeviceContext* BeginPaint(HWND) override { return &dc; }
  void EndPaint(HWND) override { ++paints; }

  // What the screen does when it repaints an item: erase, then paint.
  void Repaint(HWND hwnd) {
    SendMessage(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(&dc), 0);
    SendMessage(hwnd, WM_PAINT, 0, 0);
  }

  struct Window {
    WNDPROC proc;
    std::u16string title;
    DWORD style;
  };
  std::map<std::u16string, WNDCLASS> classes;
  std::map<HWND, Window> windows;
  std::vector<HWND> created;
  std::vector<UINT> defaults;
  std::vector<TODAYDRAWWATERMARKINFO> watermarks;
  std::vector<std::pair<HWND, bool>> invalidated;
  RecordingDc dc;
  int paints = 0;
  HWND next = 100;
};

class TodayItemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fx.environment.windows = &today;
    library = fx.Load("QuilletToday", "\\Windows\\QuilletToday.dll");
    ASSERT_NE(library, nullptr);
    init = library->Proc<InitializeCustomItemProc>(kTodayItemInitExport);
    ASSERT_NE(init, nullptr) << "the item's entry is exported by its fixed name";
    CopyToField(item.szName, u"Quillet");
    item.tlit = TLIT_CUSTOM;
    item.fEnabled = 1;
    item.hinstDLL = library->instance();
  }
  void SetAlert(DWORD value) {
    ASSERT_EQ(fx.ctx().registry().SetDword(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Quillet",
                                           u"Alert", value),
              ERROR_SUCCESS);
  }
  LRESULT Query(HWND hwnd) {
    return today.SendMessage(hwnd, WM_TODAYCUSTOM_QUERYREFRESHCACHE,
                             reinterpret_cast<WPARAM>(&item), 0);
  }

  testing::CompanionRoot fx;
  FakeToday today;
  std::unique_ptr<LoadedLibrary> library;
  InitializeCustomItemProc init = nullptr;
  TODAYLISTITEM item;
};

TEST_F(TodayItemTest, ADisabledItemMakesNoWindow) {
  item.fEnabled = 0;
  EXPECT_EQ(init(&item, kTodayScreen), 0u);
  EXPECT_EQ(init(nullptr, kTodayScreen), 0u);
  EXPECT_TRUE(today.created.empty());
}

TEST_F(TodayItemTest, CreatesAVisibleChildOfItsOwnClassEachTimeItIsInitialised) {
  HWND first = init(&item, kTodayScreen);
  ASSERT_NE(first, 0u);
  const WNDCLASS& wc = today.classes.at(u"QuilletToday");
  EXPECT_EQ(wc.style, CS_HREDRAW | CS_VREDRAW);
  EXPECT_EQ(wc.hInstance, library->instance());
  EXPECT_EQ(today.windows.at(first).title, u"QuilletToday");
  EXPECT_EQ(today.windows.at(first).style, WS_VISIBLE | WS_CHILD);
  // The screen rebuilds its list: the class is registered again and a new window made.
  HWND second = init(&item, kTodayScreen);
  EXPECT_NE(second, 0u);
  EXPECT_NE(second, first);
  EXPECT_EQ(today.classes.size(), 1u);
}

TEST_F(TodayItemTest, TheFirstQueryAsksForARefreshAndSetsTheHeightLaterOnesOnlyOnAChange) {
  SetAlert(1);
  HWND hwnd = init(&item, kTodayScreen);
  ASSERT_NE(hwnd, 0u);
  EXPECT_EQ(Query(hwnd), 1);
  EXPECT_EQ(item.cyp, 25u);
  item.cyp = 0;
  EXPECT_EQ(Query(hwnd), 0);
  EXPECT_EQ(item.cyp, 0u) << "the height is set once";
  EXPECT_TRUE(today.invalidated.empty()) << "nothing changed";
  SetAlert(0);
  EXPECT_EQ(Query(hwnd), 0);
  ASSERT_EQ(today.invalidated.size(), 1u);
  EXPECT_EQ(today.invalidated[0], std::make_pair(hwnd, true));
  EXPECT_EQ(today.SendMessage(hwnd, WM_TODAYCUSTOM_CLEARCACHE, 0, 0), 0);
}

TEST_F(TodayItemTest, AnActiveAlertPaintsInBoldAndADroppedOneInNormalWeight) {
  SetAlert(1);
  HWND hwnd = init(&item, kTodayScreen);
  Query(hwnd);
  today.Repaint(hwnd);
  ASSERT_EQ(today.dc.texts.size(), 1u);
  const DrawnText& bold = today.dc.texts[0];
  EXPECT_EQ(bold.text, u"1 or more active alerts");
  EXPECT_EQ(bold.font.lfWeight, 700);
  // 8 points at 96 pixels per inch: -(96 / 9 + 0.5) cut to -11.
  EXPECT_EQ(bold.font.lfHeight, -11);
  EXPECT_EQ(bold.font.lfFaceName, u"Tahoma") << "the system font's face";
  EXPECT_EQ(bold.rect, (RECT{30, 0, 240, 25}));
  EXPECT_EQ(bold.format & DT_SINGLELINE, DT_SINGLELINE);
  EXPECT_EQ(bold.color, kTodayTextColor);
  EXPECT_EQ(bold.bkMode, TRANSPARENT);
  ASSERT_EQ(today.dc.blits.size(), 1u);
  EXPECT_EQ(today.dc.blits[0],
            (std::vector<int>{3, 2, 13, 11, static_cast<int>(RGB(255, 255, 255))}));
  // Everything selected for the paint is put back.
  EXPECT_EQ(today.dc.font.lfHeight, -12);
  EXPECT_EQ(today.dc.color, RGB(0, 0, 0));
  EXPECT_EQ(today.dc.bkMode, 2);

  SetAlert(0);
  Query(hwnd);
  today.dc.dpi = 192;  // -(192 / 9 + 0.5) cut to -21
  today.Repaint(hwnd);
  ASSERT_EQ(today.dc.texts.size(), 2u);
  EXPECT_EQ(today.dc.texts[1].text, u"No alerts");
  EXPECT_EQ(today.dc.texts[1].font.lfWeight, 400);
  EXPECT_EQ(today.dc.texts[1].font.lfHeight, -21);
}

TEST_F(TodayItemTest, NoValueReadsAsNoAlertsAndAMissingBitmapLeavesOnlyTheBitmapOut) {
  item.hinstDLL = nullptr;  // the module of the bitmap is not known
  HWND hwnd = init(&item, kTodayScreen);
  Query(hwnd);
  today.Repaint(hwnd);
  EXPECT_TRUE(today.dc.blits.empty());
  ASSERT_EQ(today.dc.texts.size(), 1u);
  EXPECT_EQ(today.dc.texts[0].text, u"No alerts");
}

TEST_F(TodayItemTest, TheBackgroundIsTheTodayScreensWatermark) {
  HWND hwnd = init(&item, kTodayScreen);
  EXPECT_EQ(today.SendMessage(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(&today.dc), 0), 1);
  ASSERT_EQ(today.watermarks.size(), 1u);
  EXPECT_EQ(today.watermarks[0].hdc, &today.dc);
  EXPECT_EQ(today.watermarks[0].rc, (RECT{0, 0, 240, 25}));
  EXPECT_EQ(today.watermarks[0].hwnd, hwnd);
  // Other messages go to the default handling.
  today.SendMessage(hwnd, WM_LBUTTONDOWN, 0, 0);
  EXPECT_EQ(today.defaults, std::vector<UINT>{WM_LBUTTONDOWN});
}

TEST_F(TodayItemTest, ATapStartsTheProgramAtProgramPathOrTheDefault) {
  HWND hwnd = init(&item, kTodayScreen);
  fx.InstallRecorder("\\Program Files\\Quillet\\Quillet.exe");
  today.SendMessage(hwnd, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(fx.WaitForStarts(1), std::vector<std::string>{"/Program Files/Quillet/Quillet.exe"});
  // A program elsewhere, named in whatever case the program wrote it.
  fx.InstallRecorder("\\Storage\\Apps\\Q.exe");
  RegistryStore reg(fx.ctx().registry());
  reg.SetProductKey(u"Quillet");
  reg.SetString(u"ProgramPath", u"\\Storage\\Apps\\Q.exe");
  today.SendMessage(hwnd, WM_LBUTTONUP, 0, 0);
  auto starts = fx.WaitForStarts(2);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[1], "/Storage/Apps/Q.exe");
  // A path that names nothing starts nothing and the item carries on.
  reg.SetString(u"ProgramPath", u"\\Storage\\Missing.exe");
  today.SendMessage(hwnd, WM_LBUTTONUP, 0, 0);
  reg.SetString(u"ProgramPath", u"\\Storage\\Apps\\Q.exe");
  today.SendMessage(hwnd, WM_LBUTTONUP, 0, 0);
  starts = fx.WaitForStarts(3);
  EXPECT_EQ(starts.size(), 3u);
}

TEST(TodayPlatform, OnlyAPocketPcOfVersion3Or4DrawsTheWatermark) {
  EXPECT_EQ(PocketPcCheck(DevicePlatform()), 1);
  EXPECT_EQ(PocketPcCheck(PlatformIdentity{true, 4, "PocketPC"}), 2);
  EXPECT_EQ(PocketPcCheck(PlatformIdentity{true, 5, "PocketPC"}), 0);
  EXPECT_EQ(PocketPcCheck(PlatformIdentity{true, 3, "SmartPhone"}), 0);
  EXPECT_EQ(PocketPcCheck(PlatformIdentity{false, 3, "PocketPC"}), 0);
}

}  // namespace
}  // namespace quillet
