#include "serial/qt/QtTimer.h"

#include <algorithm>

namespace quillon {

QtTimer::QtTimer() {
    timer_.setSingleShot(false);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        // The callback may replace itself or stop the timer; call a copy.
        if (callback_) {
            auto callback = callback_;
            callback();
        }
    });
}

QtTimer::~QtTimer() = default;

void QtTimer::SetInterval(int ms) {
    timer_.setInterval(std::max(ms, 0));
}

int QtTimer::Interval() const {
    return timer_.interval();
}

void QtTimer::SetCallback(std::function<void()> onExpiry) {
    callback_ = std::move(onExpiry);
}

void QtTimer::Start() {
    timer_.start();
}

void QtTimer::Stop() {
    timer_.stop();
}

bool QtTimer::IsActive() const {
    return timer_.isActive();
}

}  // namespace quillon
