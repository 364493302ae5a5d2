// Three figures, each a ratio measured in one run:
//  (a) the S-record reader's throughput over a 12 MB S3 image against srec_cat converting the
//      same file to binary (srec_cat's time / ours; the aim is at least 3), and the time of the
//      whole-image check that precedes every download as a share of the reader's;
//  (b) the wall time of a 256 KiB code download against quillon-radiosim over a
//      pseudo-terminal, divided by the protocol's floor (every block's 10 ms pause, and the
//      erase wait; the radio adds no reply delay); the aim is at most 1.10;
//  (c) CPU seconds per wall second of this process during that download; the aim is below 0.10.

#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "download/CodeDownload.h"
#include "download/SRecordCheck.h"
#include "download/SRecordReader.h"
#include "link/ProtocolTiming.h"
#include "serial/posix/PollEventPump.h"
#include "serial/posix/PosixSerialLine.h"
#include "tests/sim/SimProcess.h"

namespace {

using quillon::sim::testing::SimProcess;
using quillon::sim::testing::TempDir;

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

bool WriteBinary(const std::string& path, size_t size) {
    std::vector<char> bytes(size);
    uint32_t state = 99;
    for (auto& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<char>(state >> 16);
    }
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool Run(const std::string& command) {
    return std::system((command + " 2>/dev/null").c_str()) == 0;
}

// (a)
bool ReaderAgainstSrecCat(const TempDir& dir) {
    const std::string bin = dir.Path() + "/big.bin";
    const std::string srec = dir.Path() + "/big.srec";
    // 16 data bytes take 47 characters: 4.2 MB of data make a 12 MB image.
    if (!WriteBinary(bin, 4200 * 1024) ||
        !Run("objcopy -I binary -O srec --srec-forceS3 --srec-len=16 " + bin + " " + srec)) {
        std::printf("(a) skipped: objcopy failed\n");
        return false;
    }
    if (!Run("command -v srec_cat >/dev/null")) {
        std::printf("(a) skipped: srec_cat (Debian package srecord) is not installed\n");
        return false;
    }
    double ours = 1e9;
    uint64_t checksum = 0;
    for (int round = 0; round < 3; ++round) {
        const double start = Now();
        std::ifstream in(srec, std::ios::binary);
        quillon::SRecordReader reader(in, quillon::SRecordReader::Mode::kNormal);
        quillon::SRecordReader::Record record;
        while (reader.Next(record)) {
            for (int i = 0; i + 1 < record.size; i += 2) {
                checksum += static_cast<uint16_t>(record.data[static_cast<size_t>(i)] |
                                                  record.data[static_cast<size_t>(i + 1)] << 8);
            }
        }
        ours = std::min(ours, Now() - start);
    }
    double check = 1e9;
    for (int round = 0; round < 3; ++round) {
        const double start = Now();
        std::ifstream in(srec, std::ios::binary);
        quillon::SRecordFault fault;
        if (!quillon::CheckSRecordImage(in, fault)) {
            std::printf("(a) skipped: the image fails its check at line %zu: %s\n", fault.line,
                        fault.reason.c_str());
            return false;
        }
        check = std::min(check, Now() - start);
    }
    double theirs = 1e9;
    for (int round = 0; round < 3; ++round) {
        const double start = Now();
        if (!Run("srec_cat " + srec + " -o " + dir.Path() + "/out.bin -binary")) {
            std::printf("(a) skipped: srec_cat failed\n");
            return false;
        }
        theirs = std::min(theirs, Now() - start);
    }
    std::ifstream image(srec, std::ios::binary | std::ios::ate);
    const double mb = static_cast<double>(image.tellg()) / 1e6;
    std::printf(
        "(a) reader %.1f MB/s, srec_cat %.1f MB/s over %.1f MB: ratio %.2f (aim >= 3) "
        "[sum %llu]\n",
        mb / ours, mb / theirs, mb, theirs / ours, static_cast<unsigned long long>(checksum));
    std::printf("    whole-image check %.1f MB/s: %.2f of the reader's time\n", mb / check,
                check / ours);
    return true;
}

// The time between blocks, to show where a slow download loses its time.
struct BlockTimes : quillon::ProgressReport {
    void Advance(int64_t, int64_t) override { at.push_back(Now()); }
    std::vector<double> at;

    void Print() const {
        std::vector<double> gaps;
        for (size_t i = 1; i < at.size(); ++i) {
            gaps.push_back((at[i] - at[i - 1]) * 1000.0);
        }
        if (gaps.empty()) {
            return;
        }
        std::sort(gaps.begin(), gaps.end());
        std::printf("    block to block: median %.2f ms, p90 %.2f ms, p99 %.2f ms, max %.2f ms\n",
                    gaps[gaps.size() / 2], gaps[gaps.size() * 9 / 10], gaps[gaps.size() * 99 / 100],
                    gaps.back());
    }
};

// (b) and (c)
bool DownloadAgainstRadio(const TempDir& dir) {
    const std::string loader = dir.Path() + "/loader";
    const std::string code = dir.Path() + "/code";
    if (!WriteBinary(loader + ".bin", 2048) || !WriteBinary(code + ".bin", 256 * 1024) ||
        !Run("objcopy -I binary -O srec --srec-len=16 --change-addresses=0x10000 " + loader +
             ".bin " + loader + ".srec") ||
        !Run("objcopy -I binary -O srec --srec-forceS3 --srec-len=16 " + code + ".bin " + code +
             ".srec")) {
        std::printf("(b) skipped: objcopy failed\n");
        return false;
    }
    const std::string comDir = dir.Path() + "/coms";
    Run("mkdir -p " + comDir);
    SimProcess radio({"--com-dir", comDir, "--com", "9", "--exit-after", "120"});
    if (radio.FirstLine().empty()) {
        std::printf("(b) skipped: quillon-radiosim did not start\n");
        return false;
    }
    quillon::PollEventPump pump;
    quillon::CommSession session(pump, quillon::PosixSerialLine::Factory());
    auto timer = pump.CreateTimer();
    session.UseTimeoutTimer(*timer);
    std::string error;
    if (!session.Connect(radio.FirstLine(), 19200, error)) {
        std::printf("(b) skipped: %s\n", error.c_str());
        return false;
    }
    session.SetRadioBaud(115200);

    std::ifstream loaderIn(loader + ".srec", std::ios::binary);
    std::ifstream codeIn(code + ".srec", std::ios::binary);
    BlockTimes times;
    const double wallStart = Now();
    const double cpuStart = CpuSeconds();
    const int result = quillon::DownloadCode(session, loaderIn, codeIn, times, 1, false, true,
                                             false, nullptr, pump);
    const double wall = Now() - wallStart;
    const double cpu = CpuSeconds() - cpuStart;
    session.Close();
    radio.Stop(15);
    if (result != 1) {
        std::printf("(b) the download failed with result %d\n", result);
        return false;
    }
    // Blocks: both images padded to whole pairs.
    const int blocks = 2048 / 128 + 256 * 1024 / 128;
    const double floor = blocks * quillon::timing::kBlockPauseMs / 1000.0 +
                         quillon::timing::TicksToMs(quillon::timing::kEraseTicksShort) / 1000.0;
    std::printf(
        "(b) 256 KiB code download: %.2f s against a floor of %.2f s (%d blocks x %d ms "
        "+ erase): ratio %.3f (aim <= 1.10)\n",
        wall, floor, blocks, quillon::timing::kBlockPauseMs, wall / floor);
    times.Print();
    std::printf("(c) CPU %.3f s over %.2f s wall: %.3f CPU s per wall s (aim < 0.10)\n", cpu, wall,
                cpu / wall);
    return true;
}

}  // namespace

int main() {
    TempDir dir;
    const bool a = ReaderAgainstSrecCat(dir);
    const bool b = DownloadAgainstRadio(dir);
    return a && b ? 0 : 1;
}
