#pragma once

#include <QTimer>
#include <functional>

#include "serial/EventPump.h"

namespace quillon {

// A repeating timer on the Qt event loop.
class QtTimer : public Timer {
public:
    QtTimer();
    ~QtTimer() override;

    void SetInterval(int ms) override;
    int Interval() const override;
    void SetCallback(std::function<void()> onExpiry) override;
    void Start() override;
    void Stop() override;
    bool IsActive() const override;

private:
    QTimer timer_;
    std::function<void()> callback_;
};

}  // namespace quillon
