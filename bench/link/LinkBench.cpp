#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link/Comm.h"
#include "serial/ComPortPath.h"
#include "serial/posix/PollEventPump.h"
#include "serial/posix/PosixSerialLine.h"
#include "tests/serial/support/PtyPair.h"
#include "tests/serial/support/TempComDir.h"

namespace {

using quillon::CommMessage;
using quillon::CommSession;

constexpr int kCom = 5;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A session in device mode on COM 5, which leads to the slave end of `pty`.
struct Rig {
    quillon::test::PtyPair pty;
    quillon::test::TempComDir coms;
    quillon::PollEventPump pump;
    CommSession session{pump, quillon::PosixSerialLine::Factory()};
    std::unique_ptr<quillon::Timer> timer = pump.CreateTimer();
    bool open = false;

    Rig() {
        coms.Link(kCom, pty.SlavePath());
        session.UseTimeoutTimer(*timer);
        std::string error;
        open = session.Connect(quillon::ComPortPath::Resolve(kCom), 19200, error);
    }

    // Asks 04 1C and waits for 04 1D; the reply status.
    int AskFileFormat(uint32_t timeoutMs) {
        session.SetTimeout(timeoutMs);
        session.SendMessage(CommMessage::FromCode(0x04, 0x1C));
        session.SetActive(true);
        int which = -1;
        session.ReceiveReply(CommMessage::FromCode(0x04, 0x1D), 4,
                             CommMessage::FromCode(0x04, 0x20), 2, which);
        return session.ReplyStatus();
    }
};

// CPU seconds per wall second while a query waits 4 s for a radio that never answers.
void BM_UnansweredQueryCpuPerWall(benchmark::State& state) {
    Rig rig;
    if (!rig.open) {
        state.SkipWithError("the serial device did not open");
        return;
    }
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpu0 = CpuSeconds();
        const double wall0 = WallSeconds();
        const int status = rig.AskFileFormat(4000);
        const double dWall = WallSeconds() - wall0;
        cpu += CpuSeconds() - cpu0;
        wall += dWall;
        state.SetIterationTime(dWall);
        if (status != 4) {
            state.SkipWithError("the wait did not end with the time-out");
        }
        rig.pty.ReceiveAvailable();
    }
    state.counters["cpu_per_wall"] = cpu / wall;
    state.counters["target"] = 0.05;
}
BENCHMARK(BM_UnansweredQueryCpuPerWall)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// Round trip of a query that a far end answers as soon as the request is complete.
void BM_AnsweredQueryRoundTrip(benchmark::State& state) {
    Rig rig;
    if (!rig.open) {
        state.SkipWithError("the serial device did not open");
        return;
    }
    std::atomic<bool> stop{false};
    std::thread radio([&] {
        // 01 + 7F + 04 + 1D + 05 + 0B = 0xB1 -> checksum 0x4F.
        const std::vector<uint8_t> reply{0xBA, 0x01, 0x7F, 0x04, 0x1D, 0x05, 0x0B, 0x4F, 0x7E};
        while (!stop) {
            pollfd fd{rig.pty.Master(), POLLIN, 0};
            if (poll(&fd, 1, 50) <= 0) {
                continue;
            }
            uint8_t buffer[64];
            const ssize_t n = read(rig.pty.Master(), buffer, sizeof buffer);
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] == 0x7E) {
                    rig.pty.Send(reply);
                }
            }
        }
    });
    int failures = 0;
    for (auto _ : state) {
        failures += rig.AskFileFormat(4000) == 1 ? 0 : 1;
    }
    stop = true;
    radio.join();
    state.counters["failed"] = failures;
}
BENCHMARK(BM_AnsweredQueryRoundTrip)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
