// The shell on a device root, driven as a user and as the programs of the handheld drive it:
// the Today item loaded from its registration, polled, repainted, tapped and reloaded; bubbles
// shown, answered and timed out; the task bar hidden for a full-screen window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QToolButton>
#include <filesystem>

#include "companions/testing/companion_test_support.h"
#include "core/registry/registry_store.h"
#include "core/string_table.h"
#include "platform/codepage.h"
#include "platform/linux/shell_services.h"
#include "platform/window_messages.h"
#include "standins/shell/handheld_shell.h"
#include "standins/shell/today_items.h"

namespace quillet {
namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "shell_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};
[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Lets the shell run until `done` holds, at most timeoutMs.
template <class Pred>
bool WaitUntil(Pred done, int timeoutMs = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

constexpr char16_t kTodayKey[] = u"Software\\Microsoft\\Today\\Items\\\"Quillet\"";
constexpr GUID kClass = {
    0x5A1E7C00, 0x4F1D, 0x4C1B, {0x9A, 0x3E, 0x51, 0x11, 0x1C, 0x2E, 0x7B, 0x0D}};

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The item's library where the registration names it, registered as the program does.
    library = fx.Load("QuilletToday", "\\Windows\\QuilletToday.dll");
    library.reset();
    Registry& reg = fx.ctx().registry();
    reg.SetDword(HKEY_LOCAL_MACHINE, kTodayKey, u"Type", 4);
    reg.SetDword(HKEY_LOCAL_MACHINE, kTodayKey, u"Options", 0);
    reg.SetDword(HKEY_LOCAL_MACHINE, kTodayKey, u"Enabled", 1);
    reg.SetString(HKEY_LOCAL_MACHINE, kTodayKey, u"DLL", u"QuilletToday.dll");
  }
  void TearDown() override { shell.reset(); }
  void StartShell() {
    shell = std::make_unique<CHandheldShell>(fx.ctx());
    ASSERT_TRUE(shell->Start());
    shell->show();
    QApplication::processEvents();
  }
  void SetAlert(DWORD value) {
    fx.ctx().registry().SetDword(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Quillet", u"Alert",
                                 value);
  }
  // What the item drew at its last paint, once it has painted again.
  std::vector<std::pair<QString, bool>> Painted(CTodayItemWidget* item) {
    item->repaint();
    return item->drawnTexts();
  }
  SHNOTIFICATIONDATA AlertNotification(HWND sink, DWORD seconds = 20) {
    SHNOTIFICATIONDATA d;
    d.cbStruct = sizeof d;
    d.dwID = 6611;
    d.npPriority = SHNP_INFORM;
    d.csDuration = seconds;
    d.hicon = 65136;
    d.clsid = kClass;
    d.hwndSink = sink;
    d.pszHTML = Utf8ToUtf16(strings::LoadString(strings::IDS_ALERT_NOTIFICATION));
    d.pszTitle = u"Quillet";
    return d;
  }

  testing::CompanionRoot fx;
  std::unique_ptr<LoadedLibrary> library;
  std::unique_ptr<CHandheldShell> shell;
};

TEST_F(ShellTest, TheTodayItemShowsTheAlertStateAndFollowsItWithinAPoll) {
  SetAlert(1);
  StartShell();
  ASSERT_EQ(shell->items().size(), 1u);
  CTodayItemWidget* item = shell->items()[0];
  EXPECT_EQ(item->height(), 25) << "the height the item asked for at the first query";
  EXPECT_TRUE(item->isVisible());
  auto texts = Painted(item);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].first, "1 or more active alerts");
  EXPECT_TRUE(texts[0].second) << "in bold";
  SetAlert(0);
  shell->PollItems();
  texts = Painted(item);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].first, "No alerts");
  EXPECT_FALSE(texts[0].second);
  // The item draws the alert bitmap at (3, 2): its black tip is in the shell's picture.
  QImage image = shell->grab().toImage();
  const QPoint tip = item->mapTo(shell.get(), QPoint(3 + 6, 2));
  EXPECT_EQ(image.pixelColor(tip), QColor(0, 0, 0));
}

TEST_F(ShellTest, TheSettingsChangeBroadcastReloadsTheItems) {
  StartShell();
  ASSERT_EQ(shell->items().size(), 1u);
  RegistryStore reg(fx.ctx().registry());
  reg.SetRoot(HKEY_LOCAL_MACHINE);
  reg.DeleteKey(kTodayKey);
  // Another program (the preference page, the setup library) tells every window.
  WindowStation other(fx.root());
  other.Broadcast(WM_SETTINGCHANGE, 0xF2, 0);
  ASSERT_TRUE(WaitUntil([&] { return shell->items().empty(); }));
  // Other settings changes leave the items alone.
  fx.ctx().registry().SetDword(HKEY_LOCAL_MACHINE, kTodayKey, u"Type", 4);
  fx.ctx().registry().SetDword(HKEY_LOCAL_MACHINE, kTodayKey, u"Enabled", 1);
  fx.ctx().registry().SetString(HKEY_LOCAL_MACHINE, kTodayKey, u"DLL", u"QuilletToday.dll");
  other.Broadcast(WM_SETTINGCHANGE, 0x1234, 0);
  other.Broadcast(WM_SETTINGCHANGE, 0xF2, 0);
  ASSERT_TRUE(WaitUntil([&] { return shell->items().size() == 1; }));
}

TEST_F(ShellTest, ADisabledOrMissingItemIsLeftOut) {
  fx.ctx().registry().SetDword(HKEY_LOCAL_MACHINE, kTodayKey, u"Enabled", 0);
  fx.ctx().registry().SetDword(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Today\\Items\\Gone",
                               u"Type", 4);
  fx.ctx().registry().SetString(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Today\\Items\\Gone",
                                u"DLL", u"\\Windows\\Gone.dll");
  auto entries = ReadTodayItems(fx.ctx().registry());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].dllPath, "\\Windows\\QuilletToday.dll");
  EXPECT_EQ(entries[1].dllPath, "\\Windows\\Gone.dll");
  StartShell();
  EXPECT_TRUE(shell->items().empty());
}

TEST_F(ShellTest, ATapOnTheItemStartsTheProgram) {
  fx.InstallRecorder(testing::kProgramPath);
  StartShell();
  ASSERT_EQ(shell->items().size(), 1u);
  QTest::mouseClick(shell->items()[0], Qt::LeftButton, {}, QPoint(40, 10));
  EXPECT_EQ(fx.WaitForStarts(1), std::vector<std::string>{"/Program Files/Quillet/Quillet.exe"});
}

TEST_F(ShellTest, ABubbleShowsTheNotificationAndSendsItsCommandsToTheSink) {
  StartShell();
  std::vector<std::uint64_t> commands;
  WindowStation program(fx.root());
  HWND sink = program.CreateWindow("Quillet", "QuilletFrame", testing::kProgramPath,
                                   [&](const WindowMessage& m) {
                                     if (m.msg == WM_COMMAND) commands.push_back(m.wParam);
                                     return 0;
                                   });
  ASSERT_EQ(SHNotificationAdd(program, fx.root(), AlertNotification(sink)), 0);
  ASSERT_TRUE(WaitUntil([&] { return shell->bubble() && shell->bubble()->isVisible(); }));
  EXPECT_TRUE(shell->notificationIcon()->isVisible());
  CNotificationBubble* bubble = shell->bubble();
  EXPECT_EQ(bubble->findChild<QLabel*>("bubbleTitle")->text(), "Quillet");
  auto* dismiss = bubble->findChild<QPushButton*>("bubbleButton0");
  ASSERT_NE(dismiss, nullptr);
  EXPECT_EQ(dismiss->text(), "Dismiss");
  QLabel* openLine = nullptr;
  for (QLabel* l : bubble->findChildren<QLabel*>("bubbleText")) {
    if (l->text().contains("Open")) openLine = l;
  }
  ASSERT_NE(openLine, nullptr);
  dismiss->click();
  EXPECT_FALSE(bubble->isVisible());
  for (int i = 0; i < 100 && commands.empty(); ++i) program.PumpFor(50);
  EXPECT_EQ(commands, std::vector<std::uint64_t>{10});

  // Shown again (the same class and id): it replaces the one there, and "Open" answers 11.
  ASSERT_EQ(SHNotificationAdd(program, fx.root(), AlertNotification(sink)), 0);
  ASSERT_TRUE(WaitUntil([&] { return shell->bubble() && shell->bubble()->isVisible(); }));
  EXPECT_EQ(ReadNotifications(fx.root()).size(), 1u);
  for (QLabel* l : shell->bubble()->findChildren<QLabel*>("bubbleText")) {
    if (l->text().contains("Open")) emit l->linkActivated(QStringLiteral("11"));
  }
  for (int i = 0; i < 100 && commands.size() < 2; ++i) program.PumpFor(50);
  EXPECT_EQ(commands, (std::vector<std::uint64_t>{10, 11}));
  // The program removes it: the bubble and the icon go.
  EXPECT_EQ(SHNotificationRemove(program, fx.root(), kClass, 6611), 0);
  ASSERT_TRUE(WaitUntil([&] { return shell->bubble() == nullptr; }));
  EXPECT_FALSE(shell->notificationIcon()->isVisible());
  EXPECT_EQ(SHNotificationRemove(program, fx.root(), kClass, 6611), ERROR_FILE_NOT_FOUND);
}

TEST_F(ShellTest, ABubbleGoesWhenItsTimeIsUpAndTheIconBringsItBack) {
  StartShell();
  WindowStation program(fx.root());
  HWND sink = program.CreateWindow("Quillet", "QuilletFrame", testing::kProgramPath,
                                   [](const WindowMessage&) { return 0; });
  ASSERT_EQ(SHNotificationAdd(program, fx.root(), AlertNotification(sink, 1)), 0);
  ASSERT_TRUE(WaitUntil([&] { return shell->bubble() && shell->bubble()->isVisible(); }));
  ASSERT_TRUE(WaitUntil([&] { return !shell->bubble()->isVisible(); }));
  EXPECT_TRUE(shell->notificationIcon()->isVisible()) << "the notification is still there";
  static_cast<QToolButton*>(shell->notificationIcon())->click();
  EXPECT_TRUE(shell->bubble()->isVisible());
}

TEST_F(ShellTest, WithoutAShellANotificationIsRefusedAndLeavesNothing) {
  WindowStation program(fx.root());
  EXPECT_EQ(SHNotificationAdd(program, fx.root(), AlertNotification(1)), ERROR_SERVICE_NOT_ACTIVE);
  EXPECT_TRUE(ReadNotifications(fx.root()).empty());
  EXPECT_FALSE(SHFullScreen(program, 1, SHFS_HIDETASKBAR));
}

TEST_F(ShellTest, AFullScreenWindowHidesTheTaskBarUntilItShowsItOrGoes) {
  StartShell();
  WindowStation program(fx.root());
  HWND chart = program.CreateWindow("Quillet", "Dialog", testing::kProgramPath,
                                    [](const WindowMessage&) { return 0; });
  ASSERT_TRUE(
      SHFullScreen(program, chart, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON));
  ASSERT_TRUE(WaitUntil([&] { return shell->taskBar()->isHidden(); }));
  EXPECT_TRUE(shell->sipButton()->isHidden());
  EXPECT_TRUE(shell->startIcon()->isHidden());
  ASSERT_TRUE(
      SHFullScreen(program, chart, SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON));
  ASSERT_TRUE(WaitUntil([&] { return !shell->taskBar()->isHidden(); }));
  EXPECT_FALSE(shell->sipButton()->isHidden());
  EXPECT_FALSE(shell->startIcon()->isHidden());
  // Hidden again, then the window goes without showing them: the next poll brings them back.
  ASSERT_TRUE(SHFullScreen(program, chart, SHFS_HIDETASKBAR));
  ASSERT_TRUE(WaitUntil([&] { return shell->taskBar()->isHidden(); }));
  program.DestroyWindow(chart);
  shell->pollTimer().setInterval(20);
  ASSERT_TRUE(WaitUntil([&] { return !shell->taskBar()->isHidden(); }));
}

}  // namespace
}  // namespace quillet
