#include "serial/posix/PollEventPump.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

namespace quillon {
namespace {

class Pipe {
public:
    Pipe() { EXPECT_EQ(::pipe(fds_), 0); }
    ~Pipe() {
        CloseWrite();
        ::close(fds_[0]);
    }
    int ReadEnd() const { return fds_[0]; }
    void Write() { EXPECT_EQ(::write(fds_[1], "x", 1), 1); }
    void CloseWrite() {
        if (fds_[1] >= 0) {
            ::close(fds_[1]);
            fds_[1] = -1;
        }
    }

private:
    int fds_[2] = {-1, -1};
};

TEST(PollEventPumpTest, WaitSleepsUntilTheDeadline) {
    PollEventPump pump;
    const int64_t start = pump.NowMs();
    pump.WaitForActivity(start + 60);
    EXPECT_GE(pump.NowMs(), start + 60);
    pump.SleepMs(40);
    EXPECT_GE(pump.NowMs(), start + 100);
    // A deadline already past returns without sleeping.
    const int64_t before = pump.NowMs();
    pump.WaitForActivity(before - 1000);
    EXPECT_LT(pump.NowMs() - before, 1000);
}

TEST(PollEventPumpTest, TimersRepeatUntilStoppedAndFireDuringWaits) {
    PollEventPump pump;
    auto timer = pump.CreateTimer();
    int fired = 0;
    timer->SetInterval(20);
    timer->SetCallback([&] { ++fired; });
    EXPECT_FALSE(timer->IsActive());
    const int64_t start = pump.NowMs();
    timer->Start();
    EXPECT_TRUE(timer->IsActive());
    // The wait ends early, when the timer falls due.
    pump.WaitForActivity(start + 5000);
    EXPECT_EQ(fired, 1);
    EXPECT_GE(pump.NowMs(), start + 20);
    EXPECT_LT(pump.NowMs(), start + 4000);

    pump.SleepMs(100);
    EXPECT_GE(fired, 4);
    timer->Stop();
    const int count = fired;
    pump.SleepMs(60);
    EXPECT_EQ(fired, count);
}

TEST(PollEventPumpTest, TimersMayStopOrDestroyThemselvesFromTheirCallback) {
    PollEventPump pump;
    auto once = pump.CreateTimer();
    int onceCount = 0;
    once->SetInterval(5);
    once->SetCallback([&] {
        ++onceCount;
        once->Stop();
    });
    auto doomed = pump.CreateTimer();
    int doomedCount = 0;
    doomed->SetInterval(5);
    doomed->SetCallback([&] {
        ++doomedCount;
        doomed.reset();
    });
    once->Start();
    doomed->Start();
    pump.SleepMs(50);
    EXPECT_EQ(onceCount, 1);
    EXPECT_EQ(doomedCount, 1);
    EXPECT_EQ(doomed, nullptr);
    // Restarting counts the interval from now.
    once->SetInterval(30);
    const int64_t start = pump.NowMs();
    once->Start();
    while (onceCount == 1) {
        pump.WaitForActivity(start + 2000);
    }
    EXPECT_GE(pump.NowMs(), start + 30);
}

TEST(PollEventPumpTest, AReadableDescriptorEndsTheWait) {
    PollEventPump pump;
    Pipe pipe;
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pipe.Write();
    });
    const int64_t start = pump.NowMs();
    pump.WaitForActivity(start + 10000, pipe.ReadEnd());
    writer.join();
    EXPECT_GE(pump.NowMs(), start + 40);
    EXPECT_LT(pump.NowMs(), start + 5000);
}

TEST(PollEventPumpTest, AHungUpDescriptorDoesNotEndEveryWaitAtOnce) {
    PollEventPump pump;
    Pipe pipe;
    pipe.CloseWrite();  // the read end now reports a hang-up forever
    const int64_t start = pump.NowMs();
    int waits = 0;
    while (pump.NowMs() < start + 100) {
        pump.WaitForActivity(start + 100, pipe.ReadEnd());
        ++waits;
    }
    EXPECT_LE(waits, 3);
}

}  // namespace
}  // namespace quillon
