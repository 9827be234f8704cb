// Measures how long the program's window stops answering. A precise timer ticks on the event
// loop; a gap between two ticks is time in which the program handled no input, paint or timer,
// whichever loop (the main one, a dialog's, a pumping update run) was turning. Only the parts of
// a gap with a window of the program on screen freeze anything; of those, the parts in which the
// user was told to wait (the wait cursor, the update's progress window) are kept apart, so the
// report also gives the longest freeze the user was not told about: the "bare" freeze.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

class QCoreApplication;

namespace quillet {

class CFreezeWatch final : public QObject {
  Q_OBJECT
 public:
  struct Report {
    // The longest stretch of a gap between two turns of the event loop with a window on screen,
    // told or not (ms).
    double longestFreezeMs = 0;
    // The longest stretch of a gap with a window on screen and neither the wait cursor nor a
    // progress window up (ms).
    double longestBareFreezeMs = 0;
    // Bare stretches longer than the limit given to the watch.
    int bareFreezesOverLimit = 0;
    // From the start of the step to the first paint of a window of the program (ms), or to the
    // first one after AwaitPaint; -1 when nothing was painted since.
    double firstPaintMs = -1;
    int turns = 0;
  };

  // The watch becomes a child of `app` (so CWaitCursor finds it) and watches every event of
  // the application's thread. `tickMs` is the resolution; `limitMs` the freeze that counts.
  explicit CFreezeWatch(QCoreApplication& app, int tickMs = 5, double limitMs = 100);
  ~CFreezeWatch() override;
  CFreezeWatch(const CFreezeWatch&) = delete;
  CFreezeWatch& operator=(const CFreezeWatch&) = delete;

  // Starts a new step: the report covers what happens from here.
  void Restart();
  Report report() const { return report_; }
  // Time since the step started (ms).
  double ElapsedMs() const { return static_cast<double>(Now() - stepStart_) / 1e6; }
  // Forgets the paints seen so far: firstPaintMs becomes the time of the next one.
  void AwaitPaint() { report_.firstPaintMs = -1; }

  // Windows with these object names are progress windows (the update's, by default).
  void SetProgressWindowNames(QStringList names) { progressNames_ = std::move(names); }

  // Called when the override cursor may have changed (CWaitCursor does, both ways).
  void CursorChanged() { CoverMayHaveChanged(); }

  // The watch running in `app`, if any.
  static CFreezeWatch* Of(QCoreApplication* app);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  qint64 Now() const { return clock_.nsecsElapsed(); }
  void Tick();
  // Whether a window of the program is on screen, and whether a freeze now would be told (the
  // wait cursor or a progress window, or no window to freeze).
  bool Shown() const { return !windows_.isEmpty(); }
  bool Told() const;
  void CoverMayHaveChanged();
  void NoteFreeze(qint64 ns);
  void NoteBare(qint64 ns);
  void Forget(QObject* object);

  QElapsedTimer clock_;
  QTimer ticker_;
  double limitMs_;
  QStringList progressNames_{QStringLiteral("updateProgress")};
  QSet<QObject*> windows_;   // the program's top-level windows on screen
  QSet<QObject*> progress_;  // the progress windows among them
  QSet<QObject*> tracked_;   // objects whose destruction is watched
  qint64 stepStart_ = 0;
  qint64 shownSince_ = 0;  // start of the current stretch with a window, when shown_
  qint64 bareSince_ = 0;   // start of the current bare stretch, when !told_
  bool shown_ = false;
  bool told_ = true;
  Report report_;
};

}  // namespace quillet
