#include "serial/qt/QtEventPump.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QTimer>
#include <thread>

#include "tests/serial/qt/QtTestApp.h"

namespace quillon {
namespace {

class QtEventPumpTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::QtTestApp();
        ASSERT_EQ(::pipe(fds_), 0);
    }
    void TearDown() override {
        ::close(fds_[0]);
        if (fds_[1] >= 0) {
            ::close(fds_[1]);
        }
    }
    int fds_[2] = {-1, -1};
    QtEventPump pump;
};

TEST_F(QtEventPumpTest, WaitEndsAtTheDeadline) {
    const int64_t start = pump.NowMs();
    while (pump.NowMs() < start + 80) {
        pump.WaitForActivity(start + 80);
    }
    EXPECT_GE(pump.NowMs(), start + 80);
    pump.SleepMs(30);
    EXPECT_GE(pump.NowMs(), start + 110);
}

TEST_F(QtEventPumpTest, AnEventOfTheLoopEndsTheWait) {
    bool fired = false;
    QTimer::singleShot(30, [&] { fired = true; });
    const int64_t start = pump.NowMs();
    while (!fired && pump.NowMs() < start + 5000) {
        pump.WaitForActivity(start + 5000);
    }
    EXPECT_TRUE(fired);
    EXPECT_LT(pump.NowMs(), start + 4000);
}

TEST_F(QtEventPumpTest, AReadableDescriptorEndsTheWait) {
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        EXPECT_EQ(::write(fds_[1], "x", 1), 1);
    });
    const int64_t start = pump.NowMs();
    pump.WaitForActivity(start + 10000, fds_[0]);
    writer.join();
    EXPECT_LT(pump.NowMs(), start + 5000);

    // Still readable: the next wait on it returns at once as well.
    const int64_t again = pump.NowMs();
    pump.WaitForActivity(again + 10000, fds_[0]);
    EXPECT_LT(pump.NowMs(), again + 5000);
}

TEST_F(QtEventPumpTest, AHungUpDescriptorDoesNotEndEveryWaitAtOnce) {
    ::close(fds_[1]);
    fds_[1] = -1;
    const int64_t start = pump.NowMs();
    int waits = 0;
    while (pump.NowMs() < start + 100) {
        pump.WaitForActivity(start + 100, fds_[0]);
        ++waits;
    }
    EXPECT_LE(waits, 10);
}

TEST_F(QtEventPumpTest, TimersRepeatUntilStopped) {
    auto timer = pump.CreateTimer();
    int fired = 0;
    timer->SetInterval(15);
    timer->SetCallback([&] {
        if (++fired == 3) {
            timer->Stop();
        }
    });
    timer->Start();
    EXPECT_TRUE(timer->IsActive());
    EXPECT_EQ(timer->Interval(), 15);
    pump.SleepMs(200);
    EXPECT_EQ(fired, 3);
    EXPECT_FALSE(timer->IsActive());
}

}  // namespace
}  // namespace quillon
