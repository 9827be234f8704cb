// The program's one top-level window, laid out as the handheld's screen: the title bar on top,
// the stock list window as the client, and the command bar at the bottom with the "Stocks" and
// "Tools" menus and the five view buttons. Every command arrives here and goes first to the
// list window, then to the application. The window is also registered with the window station
// so that other processes (the desktop's sync component, the setup component) can reach it.
#pragma once

#include <QAction>
#include <QMenu>
#include <QSocketNotifier>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <map>
#include <memory>

#include "core/alert_evaluation.h"
#include "device/stock_list_view.h"
#include "platform/linux/window_station.h"

namespace quillet {

class CQuilletApp;

class CAlertBubble;

class CMainFrame : public QWidget, public AlertIndicator {
  Q_OBJECT
 public:
  explicit CMainFrame(CQuilletApp& app);
  ~CMainFrame() override;

  // Builds the list window and the command bar and registers the window. False when a part
  // could not be made (the frame is then not usable).
  bool Create();

  CStockListView* list() { return list_; }
  HWND hwnd() const { return hwnd_; }

  // Routes a command: the bubble's commands first, then the list window, then the application.
  void OnCommand(UINT id);
  // Brings menus, the toolbar and the list's buttons in line with what can run now.
  void UpdateCommandStates();

  // Toolbar images: the Active/Sold button (0, or 6 while sold stocks are shown) and the
  // Alerts button (2, or 5 while an alert is active).
  void SetActiveSoldImage(bool sold);
  void SetAlertImage(bool active);
  int ToolbarImageOf(UINT command) const;

  // AlertIndicator: the Alerts button image and the notification bubble.
  void UpdateAlertButton(bool alertActive) override { SetAlertImage(alertActive); }
  bool ShowAlertNotification() override;
  CAlertBubble* alertBubble() const { return bubble_; }

  QAction* Action(UINT id) const;
  QToolButton* ToolbarButton(UINT id) const;

  // The tap-and-hold menu for the stock in `row`, shown at `global`.
  void ShowStockMenu(int row, QPoint global);
  // The stock sheet on a page code; `row` -1 for a new stock.
  void OpenStockSheet(int row, int page);
  // The commands about the selected stock that open the sheet or sell it; false for others.
  bool OnStockCommand(UINT id);
  // "Edit Current Price": the day's point of the stock's history, and the current quote of
  // every stock of its symbol.
  void EditCurrentPrice(DWORD stockId);

  // A window message from another process (or from this one through the station).
  LRESULT OnWindowMessage(const WindowMessage& m);

  // The time the title bar shows ("9:05"), from the program's clock.
  QString TitleClockText() const;
  // Repaints the title bar's time, then waits for the start of the next minute to do it again.
  QTimer& titleClock() { return titleClock_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QAction* AddMenuItem(QMenu* menu, UINT id, const char* text);
  void BuildCommandBar();
  void RegisterWindow();
  void TickTitleClock();

  CQuilletApp& app_;
  CStockListView* list_ = nullptr;
  QWidget* commandBar_ = nullptr;
  std::map<UINT, QAction*> actions_;
  std::map<UINT, QToolButton*> toolbar_;
  std::map<UINT, int> toolbarImage_;
  QMenu* stockMenu_ = nullptr;
  CAlertBubble* bubble_ = nullptr;
  bool shellNotification_ = false;  // the bubble was handed to the shell
  HWND hwnd_ = 0;
  std::unique_ptr<QSocketNotifier> notifier_;
  QTimer titleClock_;
};

}  // namespace quillet
