// Timers on QTimer, ticking in step where they can, so that one wake-up serves several.
//
// Qt's coarse timers move each tick by up to 5 % of the interval towards round fractions of the
// monotonic second; a 200-ms timer settles on whole fifths of a second, a 1-s timer on the whole
// or the half second. A 1-s timer on the half second never meets a 200-ms one, and the program
// wakes six times a second where five would do. So a timer whose interval is a whole number of
// seconds moves its ticks, by at most 5 % of its interval each, towards whole seconds, where every
// coarse timer also ticks; and a tick that finds another timer due within 2 ms brings that one
// with it, counting again from there. Each tick stays within 5 % of its interval of where it was
// due, as Qt's own coarse timers do.
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/qt/qt_platform.h"

namespace platform::qt {

namespace {

constexpr int kBringAlongMs = 2;

class QtTimer;

std::vector<QtTimer*>& Timers() {
    static std::vector<QtTimer*> timers;
    return timers;
}

long long MonotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class QtTimer : public PeriodicTimer {
  public:
    explicit QtTimer(QObject* parent) : timer_(new QTimer(parent)) {
        QObject::connect(timer_, &QTimer::timeout, [this] { Tick(); });
        Timers().push_back(this);
    }
    ~QtTimer() override { std::erase(Timers(), this); }

  private:
    void StartTicking(int milliseconds) override {
        interval_ = milliseconds;
        wholeSeconds_ = milliseconds % 1000 == 0;
        timer_->setSingleShot(wholeSeconds_);
        timer_->setTimerType(wholeSeconds_ ? Qt::PreciseTimer : Qt::CoarseTimer);
        timer_->start(NextInterval());
    }
    void StopTicking() override { timer_->stop(); }

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
        for (QtTimer* other : Timers())
            if (other != this && other->timer_->isActive() &&
                other->timer_->remainingTime() <= kBringAlongMs) {
                other->timer_->stop();
                if (!other->wholeSeconds_) other->timer_->start();
                other->Tick();
            }
    }

    QTimer* timer_;  // owned by its parent
    int interval_ = 0;
    bool wholeSeconds_ = false;
};

}  // namespace

std::unique_ptr<Timer> MakeQtTimer(QObject* parent) {
    return std::make_unique<QtTimer>(parent);
}

}  // namespace platform::qt
