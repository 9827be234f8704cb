// The handheld's shell on one device root, laid out as its 240x320 screen: the task bar on top
// (start icon, title, notification icon, clock), the Today screen with the items registered for
// it, and the command bar with the input-panel button. It loads each item's library, polls the
// items as the Today screen does and reloads them on the settings-change broadcast; it shows
// the notifications programs hand it as bubbles and sends their commands back; and it hides and
// shows the task bar, the input-panel button and the start icon for a full-screen window.
//
// The shell is the window manager of its items: their windows are child widgets whose window
// procedures it calls with the messages of the item interface.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <map>
#include <memory>
#include <vector>

#include "platform/context.h"
#include "platform/linux/module.h"
#include "platform/linux/shell_services.h"
#include "platform/linux/window_manager.h"
#include "platform/linux/window_station.h"

namespace quillet {

class CTodayItemWidget;
class CNotificationBubble;

class CHandheldShell : public QWidget, public WindowManager {
  Q_OBJECT
 public:
  explicit CHandheldShell(PlatformContext& ctx);
  ~CHandheldShell() override;

  // Registers the shell's windows with the root's window station and loads the Today items.
  bool Start();
  // Drops every item and loads the registered ones again.
  void ReloadItems();
  // One poll of every item (the refresh query); the timer calls it every two seconds.
  void PollItems();
  // Reads the notifications kept for the root and shows the newest one not yet shown.
  void RefreshNotifications();
  // Hides or shows the task bar parts for a full-screen window.
  void ApplyFullScreen(HWND hwnd, DWORD flags);

  std::vector<CTodayItemWidget*> items() const;
  CNotificationBubble* bubble() const { return bubble_; }
  QWidget* taskBar() const { return taskBar_; }
  QWidget* startIcon() const { return startIcon_; }
  QWidget* sipButton() const { return sipButton_; }
  QWidget* notificationIcon() const { return notificationIcon_; }
  QTimer& pollTimer() { return pollTimer_; }

  // WindowManager: the items' windows.
  bool RegisterClass(const WNDCLASS& windowClass) override;
  bool UnregisterClass(std::u16string_view className, HINSTANCE instance) override;
  HWND CreateWindow(std::u16string_view className, std::u16string_view title, DWORD style, int x,
                    int y, int width, int height, HWND parent, HINSTANCE instance) override;
  LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
  LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
  HWND GetParent(HWND hwnd) override;
  RECT GetClientRect(HWND hwnd) override;
  void InvalidateRect(HWND hwnd, bool erase) override;
  DeviceContext* BeginPaint(HWND hwnd) override;
  void EndPaint(HWND hwnd) override;

  // Called by an item widget.
  void PaintItem(CTodayItemWidget& item, DeviceContext& dc);
  void TapItem(CTodayItemWidget& item);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct LoadedItem {
    std::unique_ptr<LoadedLibrary> library;
    TODAYLISTITEM record;
    CTodayItemWidget* widget = nullptr;
  };
  HWND RegisterStationWindow(const char* title, const char* className);
  LRESULT OnStationMessage(const WindowMessage& m);
  void UnloadItems();
  void LayOutItems();
  void ShowBubble(const SHNOTIFICATIONDATA& note);
  void SendBubbleCommand(int command);
  void DrawWatermark(DeviceContext& dc, const RECT& rc, HWND hwnd);

  PlatformContext& ctx_;
  WindowStation station_;
  ModuleEnvironment environment_;
  std::vector<HWND> stationWindows_;
  std::vector<std::unique_ptr<QSocketNotifier>> notifiers_;
  std::vector<LoadedItem> loaded_;
  std::map<std::u16string, WNDCLASS> classes_;
  std::map<HWND, CTodayItemWidget*> windows_;
  HWND nextHwnd_ = 0x100;
  DeviceContext* paintingDc_ = nullptr;
  HWND paintingHwnd_ = 0;
  QWidget* taskBar_ = nullptr;
  QWidget* startIcon_ = nullptr;
  QLabel* clock_ = nullptr;
  QWidget* notificationIcon_ = nullptr;
  QWidget* commandBar_ = nullptr;
  QWidget* sipButton_ = nullptr;
  QWidget* todayArea_ = nullptr;
  CNotificationBubble* bubble_ = nullptr;
  SHNOTIFICATIONDATA shown_;
  bool hasShown_ = false;
  HWND fullScreenWindow_ = 0;
  QTimer pollTimer_;
  QTimer bubbleTimer_;
};

// One item's window.
class CTodayItemWidget : public QWidget {
  Q_OBJECT
 public:
  CTodayItemWidget(CHandheldShell& shell, QWidget* parent, HWND hwnd, WNDPROC windowProc);
  HWND hwnd() const { return hwnd_; }
  WNDPROC proc() const { return proc_; }
  // What the item drew at its last paint: the texts and whether their font was bold.
  const std::vector<std::pair<QString, bool>>& drawnTexts() const { return drawnTexts_; }
  void RecordText(const QString& text, bool bold) { drawnTexts_.emplace_back(text, bold); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  CHandheldShell& shell_;
  HWND hwnd_;
  WNDPROC proc_;
  std::vector<std::pair<QString, bool>> drawnTexts_;
};

// A notification's bubble: its title, its HTML and the links and buttons that answer the sink.
class CNotificationBubble : public QFrame {
  Q_OBJECT
 public:
  CNotificationBubble(QWidget* parent, const SHNOTIFICATIONDATA& note,
                      std::function<void(int)> command);
};

}  // namespace quillet
