#include "platform/linux/window_station.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/linux/posix_file_system.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

constexpr UINT kCloseForSync = 0x4F5;

TEST(WindowStation, WindowsAreListedFoundAndGoneWhenDestroyed) {
  testing::TempDir dir;
  PosixFileSystem disk;
  WindowStation station(dir.path(), disk);
  EXPECT_EQ(station.FindWindow("", ""), 0u);
  HWND a = station.CreateWindow("Quillet", "QuilletFrame", "\\Program Files\\Quillet\\Quillet.exe",
                                nullptr);
  HWND b = station.CreateWindow("Today", "TodayClass", "\\Windows\\shell32.exe", nullptr);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  auto all = station.EnumWindows();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].hwnd, a);
  EXPECT_EQ(all[0].programPath, "\\Program Files\\Quillet\\Quillet.exe");
  EXPECT_EQ(all[0].pid, getpid());
  EXPECT_EQ(station.FindWindow("TodayClass", ""), b);
  EXPECT_EQ(station.FindWindow("", "Quillet"), a);
  EXPECT_EQ(station.FindWindow("QuilletFrame", "Other"), 0u);
  ASSERT_TRUE(station.SetWindowText(a, "Quillet - Update"));
  EXPECT_EQ(station.FindWindow("", "Quillet - Update"), a);

  struct stat st {};
  ASSERT_EQ(::stat((dir.path() + "/run/windows/" + std::to_string(a) + ".sock").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u) << "only the owner may open a window's socket";

  station.DestroyWindow(a);
  EXPECT_EQ(station.EnumWindows().size(), 1u);
  EXPECT_FALSE(station.PostMessage(a, WM_CLOSE, 0, 0));
}

TEST(WindowStation, MessagesReachAnotherProcessAndSendsWaitForTheAnswer) {
  testing::TempDir dir;
  PosixFileSystem disk;
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The "program": one window that answers 1269 with 7 and ends on WM_CLOSE.
    WindowStation own(dir.path(), disk);
    bool done = false;
    std::int64_t sum = 0;
    HWND h = own.CreateWindow("Quillet", "QuilletFrame", "\\Program Files\\Quillet\\Quillet.exe",
                              [&](const WindowMessage& m) -> LRESULT {
                                if (m.msg == kCloseForSync) return 7;
                                if (m.msg == WM_SETTINGCHANGE)
                                  sum += static_cast<std::int64_t>(m.wParam);
                                if (m.msg == WM_CLOSE) done = true;
                                return 0;
                              });
    char c = h ? 'y' : 'n';
    if (write(ready[1], &c, 1) != 1) _exit(3);
    for (int i = 0; i < 500 && !done; ++i) own.PumpFor(20);
    _exit(done && sum == 0xF2 ? 0 : 1);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  WindowStation station(dir.path(), disk);
  HWND target = station.FindWindow("QuilletFrame", "");
  ASSERT_NE(target, 0u);
  EXPECT_EQ(station.EnumWindows()[0].pid, child);
  LRESULT r = 0;
  ASSERT_TRUE(station.SendMessage(target, kCloseForSync, 0, 0, &r));
  EXPECT_EQ(r, 7);
  station.Broadcast(WM_SETTINGCHANGE, 0xF2, 0);
  ASSERT_TRUE(station.PostMessage(target, WM_CLOSE, 0, 0));
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // The window's process is gone: its entry is dropped when the table is read.
  EXPECT_TRUE(station.EnumWindows().empty());
  close(ready[0]);
  close(ready[1]);
}

TEST(WindowStation, TwoStationsOfOneProcessKeepTheirWindowsApart) {
  testing::TempDir dir;
  WindowStation first(dir.path());
  WindowStation second(dir.path());
  std::vector<std::string> got;
  HWND a = first.CreateWindow("A", "Class", "\\a.exe", [&](const WindowMessage&) {
    got.push_back("a");
    return 0;
  });
  HWND b = second.CreateWindow("B", "Class", "\\b.exe", [&](const WindowMessage&) {
    got.push_back("b");
    return 0;
  });
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(first.EnumWindows().size(), 2u);
  ASSERT_TRUE(second.PostMessage(a, 0x400, 0, 0));
  ASSERT_TRUE(first.PostMessage(b, 0x400, 0, 0));
  first.PumpFor(1000);
  second.PumpFor(1000);
  EXPECT_EQ(got, (std::vector<std::string>{"a", "b"}));
}

TEST(WindowStation, SendToOwnWindowRunsTheHandlerAndPostsQueue) {
  testing::TempDir dir;
  PosixFileSystem disk;
  WindowStation station(dir.path(), disk);
  std::vector<UINT> seen;
  HWND h =
      station.CreateWindow("Quillet", "QuilletFrame", "x", [&](const WindowMessage& m) -> LRESULT {
        seen.push_back(m.msg);
        return 42;
      });
  LRESULT r = 0;
  ASSERT_TRUE(station.SendMessage(h, 0x4F6, 0, 0, &r));
  EXPECT_EQ(r, 42);
  ASSERT_TRUE(station.PostMessage(h, WM_HIBERNATE, 0, 0));
  EXPECT_EQ(seen.size(), 1u) << "a post waits for the event loop";
  EXPECT_EQ(station.DispatchPending(h), 1);
  EXPECT_EQ(seen, (std::vector<UINT>{0x4F6, WM_HIBERNATE}));
  // An event loop may take one message per turn; the others wait, in the order they came.
  ASSERT_TRUE(station.PostMessage(h, 0x4F5, 0, 0));
  ASSERT_TRUE(station.PostMessage(h, WM_HIBERNATE, 0, 0));
  EXPECT_EQ(station.DispatchPending(h, 1), 1);
  EXPECT_EQ(seen.back(), 0x4F5u);
  EXPECT_EQ(station.DispatchPending(h, 1), 1);
  EXPECT_EQ(seen.back(), WM_HIBERNATE);
  EXPECT_EQ(station.DispatchPending(h, 1), 0);
}

TEST(WindowStation, ASilentWindowMakesSendTimeOut) {
  testing::TempDir dir;
  PosixFileSystem disk;
  WindowStation owner(dir.path(), disk);
  HWND h = owner.CreateWindow("Busy", "Busy", "x", nullptr);
  WindowStation other(dir.path(), disk);  // another station of the same process: no shortcut
  // Nobody dispatches: the connection is accepted by the kernel's backlog, the answer never
  // comes.
  LRESULT r = 0;
  EXPECT_FALSE(other.SendMessage(h, 1, 0, 0, &r, 100));
}

// The window table goes through the file system the station was given: where that disk fails,
// no window is half made, and a table that cannot be read lists nothing rather than guessing.
TEST(WindowStation, AWindowWhoseEntryCannotBeWrittenLeavesNothingBehind) {
  testing::TempDir dir;
  PosixFileSystem disk;
  FaultInjectingFileSystem faulty(disk);
  WindowStation station(dir.path(), faulty);
  const std::string folder = dir.path() + "/run/windows";

  faulty.FailOn(FaultInjectingFileSystem::Op::kCreateFolder, "/windows");
  EXPECT_EQ(station.CreateWindow("Quillet", "QuilletFrame", "x", nullptr), 0u);
  EXPECT_FALSE(disk.Exists(folder));

  faulty.Clear();
  faulty.FailOn(FaultInjectingFileSystem::Op::kRename, ".window");
  EXPECT_EQ(station.CreateWindow("Quillet", "QuilletFrame", "x", nullptr), 0u);
  std::vector<FoundFile> left;
  ASSERT_EQ(disk.FindFiles(folder, "*", &left), 0);
  EXPECT_TRUE(left.empty()) << "neither the socket nor the temporary entry stays";

  faulty.Clear();
  HWND h = station.CreateWindow("Quillet", "QuilletFrame", "x", nullptr);
  ASSERT_NE(h, 0u);
  faulty.FailOn(FaultInjectingFileSystem::Op::kWrite, ".window.tmp");
  EXPECT_FALSE(station.SetWindowText(h, "Renamed"));
  ASSERT_EQ(station.EnumWindows().size(), 1u);
  EXPECT_EQ(station.EnumWindows()[0].title, "Quillet") << "the old title stays whole";
  faulty.FailOn(FaultInjectingFileSystem::Op::kOpen, ".window", 0, ERROR_ACCESS_DENIED, true);
  EXPECT_TRUE(station.EnumWindows().empty());
  EXPECT_EQ(station.FindWindow("QuilletFrame", ""), 0u);
  faulty.Clear();
  EXPECT_EQ(station.FindWindow("QuilletFrame", ""), h);
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

TEST(WindowStation, ChildWindowsAreFoundUnderTheirParentOnlyAndGoWithIt) {
  testing::TempDir dir;
  PosixFileSystem disk;
  WindowStation owner(dir.path(), disk);
  WindowStation other(dir.path(), disk);  // another program looking in
  HWND dialog = owner.CreateWindow("Options", "#32770", "\\syncmgr.exe", nullptr);
  ASSERT_NE(dialog, 0u);
  HWND page = owner.CreateChildWindow(dialog, "", "#32770", nullptr);
  ASSERT_NE(page, 0u);
  HWND list = owner.CreateChildWindow(page, "Quillet", "SysListView32", nullptr);
  ASSERT_NE(list, 0u);
  EXPECT_EQ(other.CreateChildWindow(dialog, "", "Edit", nullptr), 0u) << "not its window";

  auto top = other.EnumWindows();
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(top[0].hwnd, dialog);
  EXPECT_EQ(other.FindWindow("SysListView32", ""), 0u) << "children are not top-level";
  auto pages = other.EnumChildWindows(dialog);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].hwnd, page);
  EXPECT_EQ(pages[0].parent, dialog);
  auto lists = other.EnumChildWindows(page);
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists[0].className, "SysListView32");
  EXPECT_EQ(lists[0].title, "Quillet");

  owner.DestroyWindow(dialog);
  EXPECT_TRUE(other.EnumChildWindows(dialog).empty());
  EXPECT_TRUE(other.EnumChildWindows(page).empty());
}

}  // namespace
}  // namespace quillet
