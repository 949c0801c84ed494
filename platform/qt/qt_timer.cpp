// Timers on QTimer, ticking in step where they can, so that one wake-up serves several.
//
// Qt's coarse timers move each tick by up to 5 % of the interval towards round fractions of the
// monotonic second; a 200-ms timer settles on whole fifths of a second, a 1-s timer on the whole
// or the half second, where the two would never meet. So a timer whose interval is a whole number
// of seconds moves its ticks, by at most 5 % of its interval each, towards whole seconds, where
// every coarse timer also ticks; and a tick that finds another timer of its group due within 2 ms
// brings that one with it, counting again from there. Each tick stays within 5 % of its interval
// of where it was due, as Qt's own coarse timers do.
//
// A whole-second timer asked to rest stops until its most or until something wakes it
// (qt_rest.cpp), then ticks again at the next whole second, in step with every other timer.
// Timers of other intervals tick on.
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/qt/qt_platform.h"

namespace platform::qt {

namespace {

constexpr int kBringAlongMs = 2;

long long MonotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

class QtTimer : public PeriodicTimer {
  public:
    QtTimer(QObject* parent, desktop::Host& desktop, TimerGroup& group)
        : desktop_(desktop),
          group_(group),
          timer_(new QTimer(parent)),
          restEnd_(new QTimer(parent)),
          watch_([this] { Wake(); }) {
        QObject::connect(timer_, &QTimer::timeout, [this] { Tick(); });
        restEnd_->setSingleShot(true);
        // Precise: a coarse timer could end a minute's rest 3 s late.
        restEnd_->setTimerType(Qt::PreciseTimer);
        QObject::connect(restEnd_, &QTimer::timeout, [this] { Wake(); });
        group_.push_back(this);
    }
    ~QtTimer() override { std::erase(group_, this); }

    void Rest(int milliseconds) override {
        if (milliseconds <= 0 || !wholeSeconds_ || resting_ || !timer_->isActive()) return;
        if (!watch_.Begin(desktop_.NextChangeDescriptor())) return;
        resting_ = true;
        timer_->stop();
        restEnd_->start(milliseconds);
    }

  private:
    void EndRest() {
        if (!resting_) return;
        resting_ = false;
        watch_.End();
        restEnd_->stop();
    }
    // Ends the rest; the next tick comes at the next whole second of the monotonic clock.
    void Wake() {
        if (!resting_) return;
        EndRest();
        timer_->start(static_cast<int>(1000 - MonotonicMs() % 1000));
    }

    void StartTicking(int milliseconds) override {
        EndRest();
        interval_ = milliseconds;
        wholeSeconds_ = milliseconds % 1000 == 0;
        timer_->setSingleShot(wholeSeconds_);
        timer_->setTimerType(wholeSeconds_ ? Qt::PreciseTimer : Qt::CoarseTimer);
        timer_->start(NextInterval());
    }
    void StopTicking() override {
        EndRest();
        timer_->stop();
    }

    // The interval to the next tick: as set, or for whole seconds up to 5 % nearer a whole
    // second of the monotonic clock.
    int NextInterval() const {
        if (!wholeSeconds_) return interval_;
        const long long past = (MonotonicMs() + interval_) % 1000;
        const long long towards = past < 500 ? -past : 1000 - past;
        const long long most = interval_ / 20;
        return interval_ + static_cast<int>(std::clamp(towards, -most, most));
    }

    void Tick() {
        if (wholeSeconds_) timer_->start(NextInterval());
        if (onTick) onTick();
        for (QtTimer* other : group_)
            if (other != this && other->timer_->isActive() &&
                other->timer_->remainingTime() <= kBringAlongMs) {
                other->timer_->stop();
                if (!other->wholeSeconds_) other->timer_->start();
                other->Tick();
            }
    }

    desktop::Host& desktop_;
    TimerGroup& group_;
    QTimer* timer_;    // owned by its parent
    QTimer* restEnd_;  // the same
    RestWatch watch_;
    int interval_ = 0;
    bool wholeSeconds_ = false;
    bool resting_ = false;
};

std::unique_ptr<Timer> MakeQtTimer(QObject* parent, desktop::Host& desktop, TimerGroup& group) {
    return std::make_unique<QtTimer>(parent, desktop, group);
}

}  // namespace platform::qt
