#include "device/freeze_watch.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QWidget>
#include <algorithm>

namespace quillet {
namespace {

double Ms(qint64 ns) { return static_cast<double>(ns) / 1e6; }

}  // namespace

CFreezeWatch::CFreezeWatch(QCoreApplication& app, int tickMs, double limitMs)
    : QObject(&app), limitMs_(limitMs) {
  clock_.start();
  // The windows already on screen count from the start.
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible()) {
      windows_.insert(w);
      if (progressNames_.contains(w->objectName())) progress_.insert(w);
      if (!tracked_.contains(w)) {
        tracked_.insert(w);
        connect(w, &QObject::destroyed, this, [this](QObject* o) { Forget(o); });
      }
    }
  }
  app.installEventFilter(this);
  ticker_.setTimerType(Qt::PreciseTimer);
  ticker_.setInterval(tickMs);
  connect(&ticker_, &QTimer::timeout, this, [this] { Tick(); });
  ticker_.start();
  Restart();
}

CFreezeWatch::~CFreezeWatch() {
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

CFreezeWatch* CFreezeWatch::Of(QCoreApplication* app) {
  return app ? app->findChild<CFreezeWatch*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void CFreezeWatch::Restart() {
  report_ = Report{};
  stepStart_ = shownSince_ = bareSince_ = Now();
  shown_ = Shown();
  told_ = Told();
}

bool CFreezeWatch::Told() const {
  if (!Shown() || !progress_.isEmpty()) return true;
  const QCursor* cursor = QGuiApplication::overrideCursor();
  return cursor && cursor->shape() == Qt::WaitCursor;
}

void CFreezeWatch::NoteBare(qint64 ns) {
  const double ms = Ms(ns);
  report_.longestBareFreezeMs = std::max(report_.longestBareFreezeMs, ms);
  if (ms > limitMs_) ++report_.bareFreezesOverLimit;
}

void CFreezeWatch::Tick() {
  const qint64 now = Now();
  ++report_.turns;
  if (shown_) NoteFreeze(now - shownSince_);
  if (!told_) NoteBare(now - bareSince_);
  shownSince_ = bareSince_ = now;
  shown_ = Shown();
  told_ = Told();
}

void CFreezeWatch::NoteFreeze(qint64 ns) {
  report_.longestFreezeMs = std::max(report_.longestFreezeMs, Ms(ns));
}

void CFreezeWatch::CoverMayHaveChanged() {
  const qint64 now = Now();
  // A freeze ends when the last window leaves the screen, and one starts when a window comes.
  const bool shown = Shown();
  if (shown != shown_) {
    if (shown_) NoteFreeze(now - shownSince_);
    shown_ = shown;
    shownSince_ = now;
  }
  // A bare stretch ends when the user is told to wait, and one starts when that ends.
  const bool told = Told();
  if (told != told_) {
    if (!told_) NoteBare(now - bareSince_);
    told_ = told;
    bareSince_ = now;
  }
}

void CFreezeWatch::Forget(QObject* object) {
  tracked_.remove(object);
  windows_.remove(object);
  progress_.remove(object);
  CoverMayHaveChanged();
}

bool CFreezeWatch::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide: {
      auto* w = qobject_cast<QWidget*>(watched);
      if (!w || !w->isWindow()) break;
      if (event->type() == QEvent::Show) {
        windows_.insert(w);
        if (progressNames_.contains(w->objectName())) progress_.insert(w);
        if (!tracked_.contains(w)) {
          tracked_.insert(w);
          connect(w, &QObject::destroyed, this, [this](QObject* o) { Forget(o); });
        }
      } else {
        windows_.remove(w);
        progress_.remove(w);
      }
      CoverMayHaveChanged();
      break;
    }
    case QEvent::Paint:
      if (report_.firstPaintMs < 0 && watched->isWidgetType()) {
        report_.firstPaintMs = Ms(Now() - stepStart_);
      }
      break;
    default:
      break;
  }
  return false;
}

}  // namespace quillet
