#include "platform/qt/ticker.h"

#include <QCoreApplication>
#include <QEvent>
#include <chrono>
#include <cmath>

#include "platform/qt/qt_platform.h"
#include "shell/form2.h"

namespace pet::qt {

namespace {
constexpr double kTickSeconds = 0.016;

double steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

Ticker::Ticker(QtPlatform& platform, Form2& form, std::function<void()> tick)
    : platform_(platform), form_(form), tick_(std::move(tick)), schedule_(kTickSeconds) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, [this] { fire(); });
  platform_.setOnPointerMoved([this] { wake(); });
  QCoreApplication::instance()->installEventFilter(this);
}

Ticker::~Ticker() {
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
  platform_.setOnPointerMoved(nullptr);
}

void Ticker::start() {
  schedule_.ran(steadySeconds(), 0, 0);
  arm();
}

void Ticker::runLate(double dueAt) {
  // A quiet tick slept through: it runs now, at the time it was due, with
  // the cursor where the last tick found it.
  platform_.setTickAge(steadySeconds() - dueAt);
  ticking_ = true;
  tick_();
  ticking_ = false;
  platform_.setTickAge(0);
}

void Ticker::fire() {
  const double now = steadySeconds();
  // A timer a little early sleeps again for the rest.
  if (now < schedule_.wakeAt() - 0.0005) return arm();
  ++wakes_;
  schedule_.catchUp(now, [this](double at) { runLate(at); });
  ticking_ = true;
  tick_();
  ticking_ = false;
  const int quiet = platform_.pointerSettled() ? form_.quietTicks(platform_.petsShown()) : 0;
  schedule_.ranDue(now, quiet, now + platform_.secondsToNextSecond());
  arm();
}

void Ticker::wake() {
  if (ticking_ || !schedule_.sleeping()) return;
  schedule_.interrupt(steadySeconds(), [this](double at) { runLate(at); });
  arm();
}

void Ticker::arm() {
  const double wait = schedule_.wakeAt() - steadySeconds();
  timer_.start(std::max(0, int(std::ceil(wait * 1000))));
}

bool Ticker::eventFilter(QObject*, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Close:
      wake();
      break;
    default:
      break;
  }
  return false;
}

}  // namespace pet::qt
