#include "standins/shell/handheld_shell.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/string_table.h"
#include "platform/codepage.h"
#include "platform/linux/process.h"
#include "platform/window_messages.h"
#include "standins/shell/bubble_html.h"
#include "standins/shell/today_items.h"

namespace quillet {
namespace {

constexpr int kScreenWidth = 240;
constexpr int kScreenHeight = 320;
constexpr int kBarHeight = 26;
constexpr int kDateHeight = 24;
constexpr HWND kTodayHwnd = 1;  // the Today screen itself, the parent of every item
constexpr COLORREF kTodayTextColor = RGB(0, 0, 0);
constexpr int kScreenDpi = 96;
constexpr std::uintptr_t kTodayReload = 0xF2;

QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

// The drawing calls of an item, on the painter of its widget.
class QtDeviceContext final : public DeviceContext {
 public:
  QtDeviceContext(QPainter& painter, CTodayItemWidget& widget)
      : painter_(painter), widget_(widget) {}
  int GetDeviceCaps(int index) override { return index == LOGPIXELSY ? kScreenDpi : 0; }
  LOGFONT SystemFont() override {
    return LOGFONT{-12, FW_NORMAL, widget_.font().family().toStdU16String()};
  }
  LOGFONT SelectFont(const LOGFONT& f) override {
    LOGFONT old = font_;
    font_ = f;
    QFont q = widget_.font();
    if (!f.lfFaceName.empty()) q.setFamily(QString::fromStdU16String(f.lfFaceName));
    q.setPixelSize(std::max<LONG>(1, f.lfHeight < 0 ? -f.lfHeight : f.lfHeight));
    q.setWeight(f.lfWeight >= FW_BOLD ? QFont::Bold : QFont::Normal);
    painter_.setFont(q);
    return old;
  }
  COLORREF SetTextColor(COLORREF c) override {
    std::swap(c, color_);
    painter_.setPen(ToQColor(color_));
    return c;
  }
  int SetBkMode(int mode) override { return std::exchange(bkMode_, mode); }
  void TransparentBlt(int x, int y, const Bitmap& b, COLORREF transparent) override {
    for (int row = 0; row < b.height; ++row) {
      for (int col = 0; col < b.width; ++col) {
        const COLORREF c = b.pixels[static_cast<std::size_t>(row * b.width + col)];
        if (c != transparent) painter_.fillRect(x + col, y + row, 1, 1, ToQColor(c));
      }
    }
  }
  void DrawText(std::u16string_view text, const RECT& r, UINT format) override {
    const QRect rect(r.left, r.top, r.right - r.left, r.bottom - r.top);
    const QString s = QString::fromStdU16String(std::u16string(text));
    if (bkMode_ == OPAQUE) painter_.fillRect(rect, Qt::white);
    int flags = Qt::AlignLeft;
    flags |= (format & DT_VCENTER) ? Qt::AlignVCenter : Qt::AlignTop;
    flags |= (format & DT_SINGLELINE) ? Qt::TextSingleLine : Qt::TextWordWrap;
    painter_.drawText(rect, flags, s);
    widget_.RecordText(s, font_.lfWeight >= FW_BOLD);
  }
  void FillRect(const RECT& r, COLORREF c) override {
    painter_.fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), ToQColor(c));
  }

 private:
  QPainter& painter_;
  CTodayItemWidget& widget_;
  LOGFONT font_;
  COLORREF color_ = RGB(0, 0, 0);
  int bkMode_ = OPAQUE;
};

// The Today screen's background at a height of the screen: a soft blue fading to white.
COLORREF WatermarkAt(int y) {
  const int shade = std::clamp(y * 60 / kScreenHeight, 0, 60);
  return RGB(static_cast<BYTE>(195 + shade), static_cast<BYTE>(215 + shade * 2 / 3),
             static_cast<BYTE>(245 + shade / 6));
}

}  // namespace

// ---- Item windows ------------------------------------------------------------------------------

CTodayItemWidget::CTodayItemWidget(CHandheldShell& shell, QWidget* parent, HWND hwnd,
                                   WNDPROC windowProc)
    : QWidget(parent), shell_(shell), hwnd_(hwnd), proc_(windowProc) {
  setObjectName(QStringLiteral("todayItem%1").arg(hwnd));
}

void CTodayItemWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QtDeviceContext dc(painter, *this);
  drawnTexts_.clear();
  shell_.PaintItem(*this, dc);
}

void CTodayItemWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) shell_.TapItem(*this);
}

// ---- Bubbles -----------------------------------------------------------------------------------

CNotificationBubble::CNotificationBubble(QWidget* parent, const SHNOTIFICATIONDATA& note,
                                         std::function<void(int)> command)
    : QFrame(parent) {
  setObjectName(QStringLiteral("notificationBubble"));
  setFrameShape(QFrame::Box);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(255, 255, 225));
  setPalette(pal);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 4, 6, 6);
  layout->setSpacing(4);
  auto* title = new QLabel(QString::fromStdU16String(note.pszTitle), this);
  title->setObjectName(QStringLiteral("bubbleTitle"));
  QFont tf = title->font();
  tf.setPixelSize(11);
  title->setFont(tf);
  title->setStyleSheet(QStringLiteral("color: #404040"));
  layout->addWidget(title);
  int links = 0;
  int buttons = 0;
  for (const BubbleParagraph& p : ParseBubbleHtml(note.pszHTML)) {
    auto* row = new QHBoxLayout();
    if (p.alignRight) row->addStretch();
    QString html;
    auto flush = [&] {
      if (html.isEmpty()) return;
      auto* label = new QLabel(html, this);
      label->setObjectName(QStringLiteral("bubbleText"));
      label->setTextFormat(Qt::RichText);
      label->setWordWrap(true);
      connect(label, &QLabel::linkActivated, this,
              [command](const QString& target) { command(target.toInt()); });
      row->addWidget(label, p.alignRight ? 0 : 1);
      html.clear();
    };
    for (const BubbleRun& run : p.runs) {
      const QString text = QString::fromStdU16String(run.text).toHtmlEscaped();
      if (run.kind == BubbleRun::kButton) {
        flush();
        auto* button = new QPushButton(QString::fromStdU16String(run.text), this);
        button->setObjectName(QStringLiteral("bubbleButton%1").arg(buttons++));
        const int id = run.command;
        connect(button, &QPushButton::clicked, this, [command, id] { command(id); });
        row->addWidget(button);
        continue;
      }
      QString piece = text;
      if (run.bold) piece = QStringLiteral("<b>%1</b>").arg(piece);
      if (run.larger) piece = QStringLiteral("<span style=\"font-size:14px\">%1</span>").arg(piece);
      if (run.kind == BubbleRun::kLink) {
        piece = QStringLiteral("<a href=\"%1\">%2</a>").arg(run.command).arg(piece);
        ++links;
      }
      html += piece;
    }
    flush();
    layout->addLayout(row);
  }
  (void)links;
}

// ---- The shell ---------------------------------------------------------------------------------

CHandheldShell::CHandheldShell(PlatformContext& ctx)
    : QWidget(nullptr), ctx_(ctx), station_(ctx.root()) {
  setObjectName(QStringLiteral("handheldShell"));
  setWindowTitle(QStringLiteral("Today"));
  setFixedSize(kScreenWidth, kScreenHeight);
  environment_.root = ctx.root();
  environment_.windows = this;
  environment_.messageBoxes = &ctx.messageBoxes();
  environment_.services = &ctx.openedWith();

  taskBar_ = new QWidget(this);
  taskBar_->setObjectName(QStringLiteral("taskBar"));
  taskBar_->setGeometry(0, 0, kScreenWidth, kBarHeight);
  taskBar_->setAutoFillBackground(true);
  QPalette bar = taskBar_->palette();
  bar.setColor(QPalette::Window, QColor(0, 51, 153));
  bar.setColor(QPalette::WindowText, Qt::white);
  taskBar_->setPalette(bar);
  auto* row = new QHBoxLayout(taskBar_);
  row->setContentsMargins(6, 0, 6, 0);
  auto* start = new QLabel(QStringLiteral("\u229E Start"), taskBar_);
  start->setObjectName(QStringLiteral("startIcon"));
  QFont bold = start->font();
  bold.setBold(true);
  bold.setPixelSize(13);
  start->setFont(bold);
  startIcon_ = start;
  row->addWidget(start);
  row->addStretch();
  auto* icon = new QToolButton(taskBar_);
  icon->setText(QStringLiteral("\u26A0"));
  icon->setAutoRaise(true);
  icon->setObjectName(QStringLiteral("notificationIcon"));
  icon->setToolTip(QStringLiteral("Notifications"));
  icon->hide();
  notificationIcon_ = icon;
  row->addWidget(icon);
  clock_ = new QLabel(taskBar_);
  clock_->setObjectName(QStringLiteral("clock"));
  QFont cf = clock_->font();
  cf.setPixelSize(12);
  clock_->setFont(cf);
  row->addWidget(clock_);

  todayArea_ = new QWidget(this);
  todayArea_->setObjectName(QStringLiteral("todayArea"));
  todayArea_->setGeometry(0, kBarHeight, kScreenWidth, kScreenHeight - 2 * kBarHeight);

  commandBar_ = new QWidget(this);
  commandBar_->setObjectName(QStringLiteral("commandBar"));
  commandBar_->setGeometry(0, kScreenHeight - kBarHeight, kScreenWidth, kBarHeight);
  auto* cmd = new QHBoxLayout(commandBar_);
  cmd->setContentsMargins(6, 0, 6, 0);
  auto* newLabel = new QLabel(QStringLiteral("New"), commandBar_);
  cmd->addWidget(newLabel);
  cmd->addStretch();
  auto* sip = new QLabel(QStringLiteral("\u2328"), commandBar_);
  sip->setObjectName(QStringLiteral("sipButton"));
  sipButton_ = sip;
  cmd->addWidget(sip);

  pollTimer_.setObjectName(QStringLiteral("pollTimer"));
  connect(&pollTimer_, &QTimer::timeout, this, [this] {
    PollItems();
    // Programs the items started and that have ended are collected here.
    ReapEndedChildren();
    if (fullScreenWindow_) {
      bool alive = false;
      for (const WindowInfo& w : station_.EnumWindows()) alive |= w.hwnd == fullScreenWindow_;
      if (!alive)
        ApplyFullScreen(fullScreenWindow_,
                        SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON);
    }
  });
  bubbleTimer_.setSingleShot(true);
  bubbleTimer_.setObjectName(QStringLiteral("bubbleTimer"));
  connect(&bubbleTimer_, &QTimer::timeout, this, [this] {
    // The bubble goes when its time is up; the notification stays behind the task bar's icon.
    if (bubble_) bubble_->hide();
  });
  connect(icon, &QToolButton::clicked, this, [this] {
    if (bubble_) bubble_->show();
  });
}

CHandheldShell::~CHandheldShell() {
  pollTimer_.stop();
  notifiers_.clear();
  for (HWND hwnd : stationWindows_) station_.DestroyWindow(hwnd);
  UnloadItems();
}

HWND CHandheldShell::RegisterStationWindow(const char* title, const char* className) {
  HWND hwnd = station_.CreateWindow(title, className, "\\Windows\\shell32.exe",
                                    [this](const WindowMessage& m) { return OnStationMessage(m); });
  if (!hwnd) return 0;
  stationWindows_.push_back(hwnd);
  auto notifier =
      std::make_unique<QSocketNotifier>(station_.MessageFd(hwnd), QSocketNotifier::Read);
  connect(notifier.get(), &QSocketNotifier::activated, this,
          [this, hwnd] { station_.DispatchPending(hwnd); });
  notifiers_.push_back(std::move(notifier));
  return hwnd;
}

bool CHandheldShell::Start() {
  const bool ok = RegisterStationWindow("Desktop", "DesktopExplorerWindow") &&
                  RegisterStationWindow("", kShellNotifyClass) &&
                  RegisterStationWindow("", kShellTaskBarClass);
  ReloadItems();
  RefreshNotifications();
  clock_->setText(
      QDateTime::fromSecsSinceEpoch(ctx_.clock().Now()).toString(QStringLiteral("h:mm")));
  pollTimer_.start(2000);
  return ok;
}

LRESULT CHandheldShell::OnStationMessage(const WindowMessage& m) {
  switch (m.msg) {
    case WM_SETTINGCHANGE:
      if (m.wParam == kTodayReload) ReloadItems();
      return 0;
    case WM_SHELL_NOTIFICATIONS_CHANGED:
      RefreshNotifications();
      return 0;
    case WM_SHELL_FULLSCREEN:
      ApplyFullScreen(static_cast<HWND>(m.lParam), static_cast<DWORD>(m.wParam));
      return 0;
    default:
      return 0;
  }
}

void CHandheldShell::UnloadItems() {
  for (LoadedItem& item : loaded_) {
    if (item.widget) {
      SendMessage(item.widget->hwnd(), WM_DESTROY, 0, 0);
      windows_.erase(item.widget->hwnd());
      delete item.widget;
      item.widget = nullptr;
    }
  }
  // No class may outlive the library its procedure lives in.
  classes_.clear();
  loaded_.clear();
}

void CHandheldShell::ReloadItems() {
  UnloadItems();
  for (const TodayItemEntry& entry : ReadTodayItems(ctx_.registry())) {
    LoadedItem item;
    std::string error;
    item.library = LoadedLibrary::Load(entry.dllPath, environment_, &error);
    if (!item.library) continue;  // an item whose library is missing is left out
    auto init = item.library->Proc<InitializeCustomItemProc>(kTodayItemInitExport);
    if (!init) continue;
    CopyToField(item.record.szName, entry.name);
    item.record.tlit = entry.type;
    item.record.fEnabled = entry.enabled ? 1 : 0;
    item.record.fOptions = entry.options ? 1 : 0;
    item.record.dwOrder = entry.order;
    CopyToField(item.record.szDLLPath, Utf8ToUtf16(entry.dllPath));
    item.record.hinstDLL = item.library->instance();
    loaded_.push_back(std::move(item));
    LoadedItem& placed = loaded_.back();
    HWND hwnd = init(&placed.record, kTodayHwnd);
    placed.record.hwndCustom = hwnd;
    auto it = windows_.find(hwnd);
    placed.widget = it == windows_.end() ? nullptr : it->second;
  }
  PollItems();
  LayOutItems();
}

void CHandheldShell::PollItems() {
  bool changed = false;
  for (LoadedItem& item : loaded_) {
    if (!item.widget) continue;
    const DWORD before = item.record.cyp;
    if (SendMessage(item.widget->hwnd(), WM_TODAYCUSTOM_QUERYREFRESHCACHE,
                    reinterpret_cast<WPARAM>(&item.record), 0)) {
      item.widget->update();
    }
    changed |= before != item.record.cyp;
  }
  if (changed) LayOutItems();
}

void CHandheldShell::LayOutItems() {
  int y = kDateHeight;
  for (LoadedItem& item : loaded_) {
    if (!item.widget) continue;
    const int height = static_cast<int>(std::min<DWORD>(item.record.cyp, 200));
    item.widget->setGeometry(0, y, kScreenWidth, height);
    item.widget->setVisible(height > 0);
    y += height;
  }
  update();
}

std::vector<CTodayItemWidget*> CHandheldShell::items() const {
  std::vector<CTodayItemWidget*> out;
  for (const LoadedItem& item : loaded_) {
    if (item.widget) out.push_back(item.widget);
  }
  return out;
}

bool CHandheldShell::RegisterClass(const WNDCLASS& windowClass) {
  if (windowClass.lpszClassName.empty() || !windowClass.lpfnWndProc) return false;
  return classes_.emplace(windowClass.lpszClassName, windowClass).second;
}

bool CHandheldShell::UnregisterClass(std::u16string_view className, HINSTANCE) {
  return classes_.erase(std::u16string(className)) > 0;
}

HWND CHandheldShell::CreateWindow(std::u16string_view className, std::u16string_view title,
                                  DWORD style, int, int, int, int, HWND parent, HINSTANCE) {
  auto it = classes_.find(std::u16string(className));
  if (it == classes_.end() || parent != kTodayHwnd) return 0;
  const HWND hwnd = nextHwnd_++;
  auto* widget = new CTodayItemWidget(*this, todayArea_, hwnd, it->second.lpfnWndProc);
  widget->setWindowTitle(QString::fromStdU16String(std::u16string(title)));
  widget->setGeometry(0, kDateHeight, kScreenWidth, 0);
  windows_[hwnd] = widget;
  widget->proc()(hwnd, WM_CREATE, 0, 0);
  widget->setVisible((style & WS_VISIBLE) != 0);
  return hwnd;
}

LRESULT CHandheldShell::DefWindowProc(HWND, UINT, WPARAM, LPARAM) {
  // Nothing more to do for an item's window; an erase left to the default paints the watermark.
  return 0;
}

LRESULT CHandheldShell::SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (hwnd == kTodayHwnd) {
    if (msg == TODAYM_GETCOLOR && wParam == TODAYCOLOR_TEXT) return kTodayTextColor;
    if (msg == TODAYM_DRAWWATERMARK) {
      auto* info = reinterpret_cast<TODAYDRAWWATERMARKINFO*>(lParam);
      if (!info || !info->hdc) return 0;
      DrawWatermark(*info->hdc, info->rc, info->hwnd);
      return 1;
    }
    return 0;
  }
  auto it = windows_.find(hwnd);
  return it == windows_.end() ? 0 : it->second->proc()(hwnd, msg, wParam, lParam);
}

HWND CHandheldShell::GetParent(HWND hwnd) { return windows_.count(hwnd) ? kTodayHwnd : 0; }

RECT CHandheldShell::GetClientRect(HWND hwnd) {
  auto it = windows_.find(hwnd);
  if (it == windows_.end()) return RECT{};
  return RECT{0, 0, it->second->width(), it->second->height()};
}

void CHandheldShell::InvalidateRect(HWND hwnd, bool) {
  auto it = windows_.find(hwnd);
  if (it != windows_.end()) it->second->update();
}

DeviceContext* CHandheldShell::BeginPaint(HWND hwnd) {
  return hwnd == paintingHwnd_ ? paintingDc_ : nullptr;
}

void CHandheldShell::EndPaint(HWND) {}

void CHandheldShell::PaintItem(CTodayItemWidget& item, DeviceContext& dc) {
  paintingDc_ = &dc;
  paintingHwnd_ = item.hwnd();
  if (!item.proc()(item.hwnd(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(&dc), 0)) {
    DrawWatermark(dc, GetClientRect(item.hwnd()), item.hwnd());
  }
  item.proc()(item.hwnd(), WM_PAINT, 0, 0);
  paintingDc_ = nullptr;
  paintingHwnd_ = 0;
}

void CHandheldShell::TapItem(CTodayItemWidget& item) {
  item.proc()(item.hwnd(), WM_LBUTTONUP, 0, 0);
}

void CHandheldShell::DrawWatermark(DeviceContext& dc, const RECT& rc, HWND hwnd) {
  // Row by row at the item's height on the screen, so the item blends into the background.
  auto it = windows_.find(hwnd);
  const int top = it == windows_.end() ? 0 : it->second->y() + todayArea_->y();
  for (LONG y = rc.top; y < rc.bottom; ++y) {
    dc.FillRect(RECT{rc.left, y, rc.right, y + 1}, WatermarkAt(top + y));
  }
}

void CHandheldShell::paintEvent(QPaintEvent*) {
  QPainter p(this);
  for (int y = kBarHeight; y < kScreenHeight - kBarHeight; ++y) {
    p.fillRect(0, y, kScreenWidth, 1, ToQColor(WatermarkAt(y)));
  }
  p.fillRect(0, kScreenHeight - kBarHeight, kScreenWidth, kBarHeight, QColor(214, 211, 206));
  p.setPen(QColor(0, 51, 153));
  QFont f = font();
  f.setBold(true);
  f.setPixelSize(12);
  p.setFont(f);
  const QDateTime now = QDateTime::fromSecsSinceEpoch(ctx_.clock().Now());
  p.drawText(QRect(8, kBarHeight, kScreenWidth - 16, kDateHeight), Qt::AlignVCenter | Qt::AlignLeft,
             QLocale(QLocale::English).toString(now.date(), QStringLiteral("dddd, MMMM d, yyyy")));
  p.setPen(QColor(160, 176, 208));
  p.drawLine(8, kBarHeight + kDateHeight - 2, kScreenWidth - 8, kBarHeight + kDateHeight - 2);
}

// ---- Notifications -----------------------------------------------------------------------------

void CHandheldShell::RefreshNotifications() {
  std::vector<SHNOTIFICATIONDATA> all = ReadNotifications(ctx_.root());
  notificationIcon_->setVisible(!all.empty());
  if (all.empty()) {
    if (bubble_) {
      bubble_->deleteLater();
      bubble_ = nullptr;
    }
    hasShown_ = false;
    return;
  }
  // The newest notification is the one shown; it pops up again only when it is new or was
  // handed over again.
  const SHNOTIFICATIONDATA& newest = all.back();
  if (hasShown_ && bubble_ && shown_.clsid == newest.clsid && shown_.dwID == newest.dwID &&
      shown_.addedNs == newest.addedNs) {
    return;
  }
  ShowBubble(newest);
}

void CHandheldShell::ShowBubble(const SHNOTIFICATIONDATA& note) {
  delete bubble_;
  shown_ = note;
  hasShown_ = true;
  bubble_ =
      new CNotificationBubble(this, note, [this](int command) { SendBubbleCommand(command); });
  bubble_->setGeometry(8, kBarHeight + 4, kScreenWidth - 16, 96);
  bubble_->adjustSize();
  bubble_->setFixedWidth(kScreenWidth - 16);
  bubble_->setVisible(note.npPriority == SHNP_INFORM);
  bubble_->raise();
  if (note.csDuration > 0) bubbleTimer_.start(static_cast<int>(note.csDuration) * 1000);
}

void CHandheldShell::SendBubbleCommand(int command) {
  if (bubble_) bubble_->hide();
  bubbleTimer_.stop();
  if (command < 0 || !hasShown_) return;
  if (!station_.PostMessage(shown_.hwndSink, WM_COMMAND, static_cast<std::uint64_t>(command), 0)) {
    // Nobody is left to answer: the notification goes with its program.
    SHNotificationRemove(station_, ctx_.root(), shown_.clsid, shown_.dwID);
  }
}

// ---- Full screen -------------------------------------------------------------------------------

void CHandheldShell::ApplyFullScreen(HWND hwnd, DWORD flags) {
  if (flags & SHFS_HIDETASKBAR) taskBar_->hide();
  if (flags & SHFS_SHOWTASKBAR) taskBar_->show();
  if (flags & SHFS_HIDESIPBUTTON) sipButton_->hide();
  if (flags & SHFS_SHOWSIPBUTTON) sipButton_->show();
  if (flags & SHFS_HIDESTARTICON) startIcon_->hide();
  if (flags & SHFS_SHOWSTARTICON) startIcon_->show();
  const bool anyHidden = taskBar_->isHidden() || sipButton_->isHidden() || startIcon_->isHidden();
  // Whatever a window hid comes back when that window is gone (see the poll).
  fullScreenWindow_ = anyHidden ? hwnd : 0;
}

}  // namespace quillet
