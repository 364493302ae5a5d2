#include "app/core/InterruptSignals.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "serial/posix/PollEventPump.h"

namespace quillon {
namespace {

bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1;
}

void (*HandlerOf(int signal))(int) {
    struct sigaction now {};
    ::sigaction(signal, nullptr, &now);
    return now.sa_handler;
}

TEST(InterruptSignals, EachStopSignalCancelsTheWaitInProgress) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        std::string error;
        std::unique_ptr<InterruptSignals> stop = InterruptSignals::Install(error);
        ASSERT_NE(stop, nullptr) << error;
        EXPECT_EQ(InterruptSignals::Install(error), nullptr);  // one at a time
        CancelFlag flag;
        stop->Watch(&flag);
        EXPECT_FALSE(InterruptSignals::Pending());
        EXPECT_FALSE(Readable(stop->Fd()));

        ::raise(signal);
        EXPECT_TRUE(flag.Cancelled());
        EXPECT_EQ(InterruptSignals::Signal(), signal);
        EXPECT_TRUE(Readable(stop->Fd()));  // wakes an event loop that watches it
        CancelFlag later;
        stop->Watch(&later);  // a flag watched after the signal is cancelled at once
        EXPECT_TRUE(later.Cancelled());

        // A wait that looked at the flag just before the signal and then went to sleep on a
        // quiet descriptor still ends soon, not at its deadline.
        int quiet[2];
        ASSERT_EQ(::pipe(quiet), 0);
        PollEventPump pump;
        const int64_t start = pump.NowMs();
        pump.WaitForActivity(start + 5000, quiet[0]);
        EXPECT_LT(pump.NowMs() - start, 1000);
        ::close(quiet[0]);
        ::close(quiet[1]);

        // A reader that went away is an error to the writer, not the end of the program.
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        ::close(pipeFds[0]);
        EXPECT_EQ(::write(pipeFds[1], "x", 1), -1);
        EXPECT_EQ(errno, EPIPE);
        ::close(pipeFds[1]);
    }
    // Gone with the object: the program's own handling is back.
    EXPECT_EQ(HandlerOf(SIGINT), SIG_DFL);
    EXPECT_EQ(HandlerOf(SIGPIPE), SIG_DFL);
}

TEST(InterruptSignals, ASignalIgnoredOnEntryStaysIgnored) {
    ::signal(SIGHUP, SIG_IGN);  // as nohup starts a program
    std::string error;
    {
        std::unique_ptr<InterruptSignals> stop = InterruptSignals::Install(error);
        ASSERT_NE(stop, nullptr) << error;
        CancelFlag flag;
        stop->Watch(&flag);
        ::raise(SIGHUP);
        EXPECT_FALSE(flag.Cancelled());
        EXPECT_FALSE(InterruptSignals::Pending());
    }
    EXPECT_EQ(HandlerOf(SIGHUP), SIG_IGN);
    ::signal(SIGHUP, SIG_DFL);
}

}  // namespace
}  // namespace quillon
