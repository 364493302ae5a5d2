#include "serial/qt/QtEventPump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <climits>

#include <poll.h>

#include "serial/posix/MonotonicClock.h"
#include "serial/qt/QtTimer.h"

namespace quillon {

namespace {

// A descriptor that has hung up or failed with nothing left to read would wake every wait at
// once; such a wait sleeps until its deadline instead.
bool HungUp(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN) == 0;
}

}  // namespace

QtEventPump::QtEventPump() {
    deadline_.setSingleShot(true);
    deadline_.setTimerType(Qt::PreciseTimer);
    // Its only task is to wake the loop; the expiry needs no handler.
    QObject::connect(&deadline_, &QTimer::timeout, [] {});
}

QtEventPump::~QtEventPump() = default;

int64_t QtEventPump::NowMs() const {
    return MonotonicMs();
}

void QtEventPump::ProcessEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

std::unique_ptr<Timer> QtEventPump::CreateTimer() {
    return std::make_unique<QtTimer>();
}

void QtEventPump::WatchDescriptor(int fd, QSocketNotifier::Type type) {
    if (notifier_ && notifier_->socket() == fd && notifier_->type() == type) {
        notifier_->setEnabled(true);
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(fd, type);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        // Level-triggered: stop watching until the next wait, or the loop would wake again and
        // again for bytes nobody has read yet.
        notifier_->setEnabled(false);
    });
}

void QtEventPump::WaitForActivity(int64_t deadlineMs, int readFd) {
    Wait(deadlineMs, readFd, QSocketNotifier::Read);
}

void QtEventPump::WaitForWritable(int64_t deadlineMs, int writeFd) {
    Wait(deadlineMs, writeFd, QSocketNotifier::Write);
}

void QtEventPump::Wait(int64_t deadlineMs, int fd, QSocketNotifier::Type type) {
    const int64_t left = deadlineMs - NowMs();
    if (left <= 0) {
        ProcessEvents();
        return;
    }
    deadline_.start(static_cast<int>(std::min<int64_t>(left, INT_MAX)));
    if (fd >= 0 && !HungUp(fd)) {
        WatchDescriptor(fd, type);
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    deadline_.stop();
    if (notifier_) {
        notifier_->setEnabled(false);
    }
}

}  // namespace quillon
