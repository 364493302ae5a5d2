#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

#include "serial/EventPump.h"

namespace quillon {

// The event pump of the application: the Qt event loop. A wait sleeps in the loop until an
// event arrives (a window event, a timer, bytes on a port Qt watches), the given descriptor
// becomes readable or the deadline passes. Needs a QCoreApplication.
class QtEventPump : public EventPump {
public:
    QtEventPump();
    ~QtEventPump() override;

    int64_t NowMs() const override;
    void ProcessEvents() override;
    void WaitForActivity(int64_t deadlineMs, int readFd = -1) override;
    void WaitForWritable(int64_t deadlineMs, int writeFd) override;
    std::unique_ptr<Timer> CreateTimer() override;

private:
    void WatchDescriptor(int fd, QSocketNotifier::Type type);
    void Wait(int64_t deadlineMs, int fd, QSocketNotifier::Type type);

    QTimer deadline_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace quillon
