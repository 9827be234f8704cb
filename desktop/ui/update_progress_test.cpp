// The windows of a desktop run, driven as the user and the run drive them: the question's
// countdown, the progress window's texts, partners, link and Cancel.
#include "desktop/ui/update_progress.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "core/string_table.h"

namespace quillet {
namespace {

TEST(UpdateQuestion, CountsDownTenSecondsAndTheEleventhAnswersNo) {
  CUpdateQuestionDlg question(nullptr);
  EXPECT_EQ(question.windowTitle(), "Quillet");
  EXPECT_EQ(question.findChild<QLabel*>("question")->text(), "Perform Internet stock update?");
  EXPECT_EQ(question.yesButton()->text(), "&Yes");
  EXPECT_EQ(question.noButton()->text(), "&No - 10 Seconds");
  EXPECT_EQ(question.timer().interval(), 1000);
  EXPECT_TRUE(question.timer().isActive());
  question.show();
  for (int left = 9; left >= 0; --left) {
    question.Tick();
    EXPECT_EQ(question.noButton()->text(), QString("&No - %1 Seconds").arg(left));
    EXPECT_TRUE(question.isVisible());
  }
  question.Tick();
  EXPECT_FALSE(question.isVisible());
  EXPECT_EQ(question.result(), QDialog::Rejected);
}

TEST(UpdateQuestion, TheRunHearsYesOnlyFromTheYesButton) {
  QWidget parent;
  for (const char* button : {"yes", "no"}) {
    DeskUiHooks hooks;
    hooks.runModal = [button](QDialog& d) {
      d.findChild<QPushButton*>(button)->click();
      return d.result();
    };
    CDeskRunWindows windows(&parent, hooks);
    EXPECT_EQ(windows.AskToUpdate(), std::string(button) == "yes") << button;
  }
  DeskUiHooks closed;
  closed.runModal = [](QDialog& d) {
    d.close();
    return d.result();
  };
  EXPECT_FALSE(CDeskRunWindows(&parent, closed).AskToUpdate());
}

TEST(DeskProgress, ShowsTextsAndPausesOnlyWhenThePartnerChanges) {
  QWidget parent;
  parent.setGeometry(100, 100, 800, 600);
  std::vector<QString> opened;
  DeskUiHooks hooks;
  hooks.openExternal = [&](const QString& target) {
    opened.push_back(target);
    return true;
  };
  CancelToken cancel;
  cancel.Cancel();  // left over from an earlier run
  CDeskRunWindows windows(&parent, hooks);
  auto progress = windows.OpenProgress(cancel);
  EXPECT_FALSE(cancel.cancelled()) << "a new window starts with Cancel cleared";
  auto* window = static_cast<CDeskProgressWindow*>(progress.get())->dialog();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), "Quillet");
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->isModal());
  EXPECT_LE((window->frameGeometry().center() - parent.frameGeometry().center()).manhattanLength(),
            4);

  progress->ShowStatus(strings::IDS_DESK_READING);
  EXPECT_EQ(window->status()->text(), "Reading databases...");
  EXPECT_EQ(window->shownLogo(), kMakerLogo);

  QElapsedTimer timer;
  timer.start();
  progress->ShowSource(0);  // the maker's own logo: nothing changes
  EXPECT_LT(timer.elapsed(), 500);
  EXPECT_EQ(window->shownLogo(), kMakerLogo);

  timer.restart();
  progress->ShowSource(3);
  EXPECT_GE(timer.elapsed(), 1000);
  EXPECT_EQ(window->shownLogo(), 126u);
  EXPECT_TRUE(window->link()->text().contains(PartnerOfSource(3).szAddress));
  emit window->link()->linkActivated(PartnerOfSource(3).szAddress);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], PartnerOfSource(3).szAddress);

  timer.restart();
  progress->ShowSource(11);
  EXPECT_EQ(window->shownLogo(), 125u);
  EXPECT_GE(timer.elapsed(), 1000);
  for (int source : {13, 14}) {
    progress->ShowSource(source);
    EXPECT_NE(window->shownLogo(), kMakerLogo);
  }
  EXPECT_EQ(PartnerOfSource(13).uLogo, 127u);
  EXPECT_EQ(PartnerOfSource(14).uLogo, 131u);
  for (int source = 0; source < 25; ++source) {
    if (source == 3 || source == 11 || source == 13 || source == 14) continue;
    EXPECT_EQ(PartnerOfSource(source).uLogo, kMakerLogo) << source;
  }
}

TEST(DeskProgress, CancelRaisesTheRunsCancelAndClosesTheWindow) {
  CancelToken cancel;
  CDeskRunWindows windows(nullptr, DeskUiHooks{});
  auto progress = windows.OpenProgress(cancel);
  auto* window = static_cast<CDeskProgressWindow*>(progress.get())->dialog();
  ASSERT_NE(window, nullptr);
  window->cancelButton()->click();
  EXPECT_TRUE(cancel.cancelled());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(static_cast<CDeskProgressWindow*>(progress.get())->dialog(), nullptr);
  // The run goes on talking to a window that is gone until it sees the Cancel.
  progress->ShowStatus(strings::IDS_DESK_WRITING);
  progress->ShowSource(3);
  progress.reset();
}

}  // namespace
}  // namespace quillet
