// How much processor a receive wait costs while nothing arrives, side by side with a reader that
// polls without sleeping, and how fast bytes move through the serial line over a
// pseudo-terminal. Run: bench_serial (add --benchmark_filter=Idle for the wait alone).

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

#include "serial/posix/MonotonicClock.h"
#include "serial/posix/PollEventPump.h"
#include "serial/posix/PosixSerialLine.h"
#include "tests/serial/support/PtyPair.h"

namespace quillon {
namespace {

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Figures {
    double sleepingCpuPerWall = -1;
    double spinningCpuPerWall = -1;
};
Figures figures;

// A line opened on a fresh pseudo-terminal.
struct Line {
    Line() {
        ok = line.Open(pty.SlavePath(), {115200, false, false}).reason == OpenFailure::Reason::None;
    }
    test::PtyPair pty;
    PosixSerialLine line;
    bool ok = false;
};

// The receive loop of the link session: handle events, read what the line has into a buffer
// and take the bytes from there, else sleep until bytes arrive, a timer falls due or the
// deadline passes. Returns the bytes taken.
int64_t ReceiveLoop(PosixSerialLine& line, EventPump& pump, int64_t deadline, int64_t enough) {
    std::vector<uint8_t> buffer(4096);
    int64_t got = 0;
    while (got < enough && pump.NowMs() < deadline) {
        pump.ProcessEvents();
        const LineResult read = line.Read(buffer.data(), static_cast<int>(buffer.size()));
        if (read.Ok() && read.count > 0) {
            for (int i = 0; i < read.count; ++i) {
                benchmark::DoNotOptimize(buffer[static_cast<size_t>(i)]);
            }
            got += read.count;
            continue;
        }
        pump.WaitForActivity(deadline, line.WaitHandle());
    }
    return got;
}

// The wait with nothing arriving. A 55 ms timer runs meanwhile, as the progress bar's does
// during a wait.
void ReceiveUntil(PosixSerialLine& line, EventPump& pump, int64_t deadline) {
    auto ticker = pump.CreateTimer();
    ticker->SetInterval(55);
    ticker->SetCallback([] {});
    ticker->Start();
    ReceiveLoop(line, pump, deadline, INT64_MAX);
}

void BM_IdleReceiveWait(benchmark::State& state) {
    Line line;
    if (!line.ok) {
        state.SkipWithError("cannot open the pseudo-terminal as a COM port");
        return;
    }
    PollEventPump pump;
    for (auto _ : state) {
        const double cpu0 = CpuSeconds();
        const int64_t start = MonotonicMs();
        ReceiveUntil(line.line, pump, start + 2000);
        const double wall = (MonotonicMs() - start) / 1000.0;
        const double cpu = CpuSeconds() - cpu0;
        state.SetIterationTime(wall);
        state.counters["cpu_per_wall"] = cpu / wall;
        figures.sleepingCpuPerWall = cpu / wall;
    }
}
BENCHMARK(BM_IdleReceiveWait)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// For comparison: the same wait as a loop that asks the line again and again.
void BM_IdleReceiveSpinning(benchmark::State& state) {
    Line line;
    if (!line.ok) {
        state.SkipWithError("cannot open the pseudo-terminal as a COM port");
        return;
    }
    for (auto _ : state) {
        const double cpu0 = CpuSeconds();
        const int64_t start = MonotonicMs();
        while (MonotonicMs() < start + 500) {
            uint8_t byte = 0;
            benchmark::DoNotOptimize(line.line.Read(&byte, 1));
        }
        const double wall = (MonotonicMs() - start) / 1000.0;
        const double cpu = CpuSeconds() - cpu0;
        state.SetIterationTime(wall);
        state.counters["cpu_per_wall"] = cpu / wall;
        figures.spinningCpuPerWall = cpu / wall;
    }
}
BENCHMARK(BM_IdleReceiveSpinning)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// Line to far end: blocks written as the session writes them, waiting for room through the
// pump when the line takes no more.
void BM_WriteThroughPty(benchmark::State& state) {
    Line line;
    if (!line.ok) {
        state.SkipWithError("cannot open the pseudo-terminal as a COM port");
        return;
    }
    const int block = static_cast<int>(state.range(0));
    PollEventPump pump;
    constexpr int64_t kTotal = 1 << 20;
    std::vector<uint8_t> data(static_cast<size_t>(block), 0x5A);
    for (auto _ : state) {
        std::atomic<int64_t> received{0};
        std::thread drain([&] {
            while (received < kTotal) {
                received += static_cast<int64_t>(line.pty.Receive(kTotal - received, 2000).size());
            }
        });
        int64_t sent = 0;
        while (sent < kTotal) {
            const int want = static_cast<int>(std::min<int64_t>(block, kTotal - sent));
            const LineResult wrote = line.line.Write(data.data(), want);
            if (!wrote.Ok()) {
                state.SkipWithError("write failed");
                break;
            }
            sent += wrote.count;
            if (wrote.count == 0) {
                pump.WaitForWritable(pump.NowMs() + 2000, line.line.WaitHandle());
            }
        }
        drain.join();
    }
    state.SetBytesProcessed(state.iterations() * kTotal);
}
BENCHMARK(BM_WriteThroughPty)->Arg(128)->Arg(1024)->Unit(benchmark::kMillisecond);

// Far end to line: the receive loop above, reading blocks as the session does.
void BM_ReadThroughPty(benchmark::State& state) {
    Line line;
    if (!line.ok) {
        state.SkipWithError("cannot open the pseudo-terminal as a COM port");
        return;
    }
    constexpr int64_t kTotal = 256 * 1024;
    PollEventPump pump;
    for (auto _ : state) {
        std::thread feed([&] {
            std::vector<uint8_t> chunk(4096, 0xA5);
            for (int64_t sent = 0; sent < kTotal; sent += 4096) {
                line.pty.Send(chunk);
            }
        });
        const int64_t got = ReceiveLoop(line.line, pump, pump.NowMs() + 60000, kTotal);
        feed.join();
        if (got != kTotal) {
            state.SkipWithError("bytes lost");
        }
    }
    state.SetBytesProcessed(state.iterations() * kTotal);
}
BENCHMARK(BM_ReadThroughPty)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const auto& f = quillon::figures;
    if (f.sleepingCpuPerWall >= 0) {
        std::printf(
            "\nReceive wait with nothing arriving: %.4f CPU s per wall s (target below 0.05)%s\n",
            f.sleepingCpuPerWall, f.sleepingCpuPerWall < 0.05 ? "" : "  ** ABOVE TARGET **");
    }
    if (f.spinningCpuPerWall >= 0) {
        std::printf("Polling without sleeping, for comparison: %.4f CPU s per wall s\n",
                    f.spinningCpuPerWall);
        if (f.sleepingCpuPerWall > 0) {
            std::printf("The sleeping wait uses %.0fx less processor\n",
                        f.spinningCpuPerWall / f.sleepingCpuPerWall);
        }
    }
    return 0;
}
