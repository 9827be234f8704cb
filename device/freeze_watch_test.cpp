// The freeze watch: a stall of the event loop with a window on screen is a bare freeze; the same
// stall under the wait cursor or the update's progress window is a freeze but not a bare one; with
// no window on screen it freezes nothing; a loop that keeps turning is no freeze at all; the first
// paint is timed.
#include "device/freeze_watch.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "device/wait_cursor.h"

namespace quillet {
namespace {

// Blocks the event loop for `ms`, as a long piece of work does.
void Stall(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
  }
}

class FreezeWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.setObjectName(QStringLiteral("mainWindow"));
    window.resize(240, 320);
    window.show();
  }
  // Runs `work` from the event loop, then turns the loop until the watch has ticked again, so
  // the gap the work made is closed and counted.
  void RunInLoop(const std::function<void()>& work) {
    bool done = false;
    int turnsAfter = -1;
    QEventLoop loop;
    QTimer::singleShot(0, [&] {
      work();
      done = true;
    });
    QTimer poll;
    QElapsedTimer bound;
    bound.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (done && turnsAfter < 0) turnsAfter = watch.report().turns;
      if ((done && watch.report().turns >= turnsAfter + 2) || bound.elapsed() > 10000) {
        loop.quit();
      }
    });
    poll.start(1);
    loop.exec();
    ASSERT_TRUE(done);
  }

  QWidget window;
  // Counts stalls over 200 ms: the stalls below are well beyond or well within it.
  CFreezeWatch watch{*QCoreApplication::instance(), 5, 200};
};

TEST_F(FreezeWatchTest, AStallWithTheWindowUpAndNothingToldIsABareFreeze) {
  watch.Restart();
  RunInLoop([] { Stall(400); });
  const CFreezeWatch::Report r = watch.report();
  EXPECT_GE(r.longestFreezeMs, 400);
  EXPECT_GE(r.longestBareFreezeMs, 400);
  EXPECT_EQ(r.bareFreezesOverLimit, 1);
  EXPECT_GT(r.turns, 0);
}

TEST_F(FreezeWatchTest, AStallUnderTheWaitCursorIsAFreezeButNotABareOne) {
  watch.Restart();
  RunInLoop([] {
    CWaitCursor wait;
    Stall(400);
  });
  const CFreezeWatch::Report r = watch.report();
  EXPECT_GE(r.longestFreezeMs, 400);
  EXPECT_LT(r.longestBareFreezeMs, 200);
  EXPECT_EQ(r.bareFreezesOverLimit, 0);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FreezeWatchTest, OnlyThePartOfAStallBeforeTheWaitCursorIsBare) {
  watch.Restart();
  RunInLoop([] {
    Stall(250);
    CWaitCursor wait;
    Stall(400);
  });
  const CFreezeWatch::Report r = watch.report();
  EXPECT_GE(r.longestFreezeMs, 650);
  EXPECT_GE(r.longestBareFreezeMs, 250);
  EXPECT_LT(r.longestBareFreezeMs, 600);
  EXPECT_EQ(r.bareFreezesOverLimit, 1);
}

TEST_F(FreezeWatchTest, TheWorkLeftAfterTheWaitCursorGoesCountsAgain) {
  watch.Restart();
  RunInLoop([] {
    {
      CWaitCursor wait;
      Stall(400);
    }
    Stall(250);
  });
  const CFreezeWatch::Report r = watch.report();
  EXPECT_GE(r.longestBareFreezeMs, 250);
  EXPECT_LT(r.longestBareFreezeMs, 600);
  EXPECT_EQ(r.bareFreezesOverLimit, 1);
}

TEST_F(FreezeWatchTest, AStallUnderTheProgressWindowIsNotBareAndOneAfterItClosesIs) {
  watch.Restart();
  RunInLoop([this] {
    auto progress = std::make_unique<QDialog>(&window);
    progress->setObjectName(QStringLiteral("updateProgress"));
    progress->show();
    Stall(400);
    // The run deletes its window without hiding it first.
    progress.reset();
  });
  EXPECT_GE(watch.report().longestFreezeMs, 400);
  EXPECT_LT(watch.report().longestBareFreezeMs, 200);

  // Any other dialog tells the user nothing.
  watch.Restart();
  RunInLoop([this] {
    QDialog other(&window);
    other.setObjectName(QStringLiteral("stockSheet"));
    other.show();
    Stall(400);
  });
  EXPECT_GE(watch.report().longestBareFreezeMs, 400);
}

TEST_F(FreezeWatchTest, AStallWithNoWindowOnScreenFreezesNothing) {
  window.hide();
  watch.Restart();
  RunInLoop([] { Stall(400); });
  EXPECT_LT(watch.report().longestFreezeMs, 200);
  EXPECT_LT(watch.report().longestBareFreezeMs, 200);
  // Nor does the time a window was away in the middle of a stall: only the parts on screen count.
  watch.Restart();
  RunInLoop([this] {
    window.show();
    Stall(250);
    window.hide();
    Stall(400);
    window.show();
    Stall(250);
  });
  EXPECT_GE(watch.report().longestFreezeMs, 250);
  EXPECT_LT(watch.report().longestFreezeMs, 600);
  EXPECT_GE(watch.report().longestBareFreezeMs, 250);
  EXPECT_LT(watch.report().longestBareFreezeMs, 600);
  EXPECT_EQ(watch.report().bareFreezesOverLimit, 2);
  // The window comes back: the watch follows it.
  window.show();
  watch.Restart();
  RunInLoop([] { Stall(400); });
  EXPECT_GE(watch.report().longestBareFreezeMs, 400);
}

TEST_F(FreezeWatchTest, LongWorkThatKeepsPumpingTheLoopIsNoFreeze) {
  watch.Restart();
  RunInLoop([] {
    for (int i = 0; i < 40; ++i) {
      Stall(10);
      QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
  });
  EXPECT_LT(watch.report().longestFreezeMs, 200);
  EXPECT_EQ(watch.report().bareFreezesOverLimit, 0);
}

TEST_F(FreezeWatchTest, TheFirstPaintAfterTheStartOfAStepIsTimed) {
  window.hide();
  watch.Restart();
  EXPECT_LT(watch.report().firstPaintMs, 0);
  RunInLoop([this] {
    Stall(50);
    window.show();
  });
  const double first = watch.report().firstPaintMs;
  EXPECT_GE(first, 50);
  // Later paints do not move it; AwaitPaint waits for the next one.
  RunInLoop([this] { window.repaint(); });
  EXPECT_EQ(watch.report().firstPaintMs, first);
  watch.AwaitPaint();
  EXPECT_LT(watch.report().firstPaintMs, 0);
  RunInLoop([this] { window.repaint(); });
  EXPECT_GT(watch.report().firstPaintMs, first);
}

TEST_F(FreezeWatchTest, TheWaitCursorFindsTheWatchOfItsApplication) {
  EXPECT_EQ(CFreezeWatch::Of(QCoreApplication::instance()), &watch);
  EXPECT_EQ(CFreezeWatch::Of(nullptr), nullptr);
}

}  // namespace
}  // namespace quillet
