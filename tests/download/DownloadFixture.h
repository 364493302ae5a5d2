#pragma once

// Shared by the download tests: S-record images made by objcopy from generated binaries, a
// report that records what the engine shows, and the in-process radio behind a line in either
// mode.

#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "serial/ProgressReport.h"
#include "tests/support/InProcessLink.h"

namespace quillon::test {

using ByteVector = std::vector<uint8_t>;

inline ByteVector PatternBytes(size_t size, uint32_t seed) {
    ByteVector bytes(size);
    uint32_t state = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<uint8_t>(state >> 16);
    }
    return bytes;
}

inline bool HaveObjcopy() {
    return std::system("command -v objcopy >/dev/null 2>&1") == 0;
}

// A temporary folder, removed with everything in it.
struct TempDir {
    // mkdtemp, so tests that run side by side in other processes never share a folder (an
    // address and an unseeded rand() are the same in every process).
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillon-dl-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path = pattern;
        }
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::filesystem::path path;
};

// S-record text objcopy makes of `bytes`: "s3" (S3 records, S7 end), "s2" (S2, S8 end), with
// 16 data bytes per record and an S0 header. Nothing when objcopy failed.
inline std::optional<std::string> Objcopy(const TempDir& dir, const ByteVector& bytes,
                                          const std::string& kind, const std::string& name) {
    const auto bin = dir.path / (name + ".bin");
    const auto srec = dir.path / (name + ".srec");
    {
        std::ofstream out(bin, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    const std::string options = kind == "s3" ? "--srec-forceS3" : "--change-addresses=0x10000";
    const std::string command = "objcopy -I binary -O srec --srec-len=16 " + options + " '" +
                                bin.string() + "' '" + srec.string() + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) {
        return std::nullopt;
    }
    std::ifstream in(srec, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// What the engine showed, with the virtual time of each status text.
struct RecordingReport : ProgressReport {
    explicit RecordingReport(EventPump& pump) : pump_(pump) {}
    void BeginStep(const std::string& name, int64_t total) override {
        steps.push_back(name);
        stepAt.push_back(pump_.NowMs());
        totals.push_back(total);
        statusesBefore.push_back(statuses.size());
        bytes.emplace_back(0, 0);
    }
    void Advance(int64_t done, int64_t total) override {
        lastDone = done;
        lastTotal = total;
    }
    void Bytes(int64_t done, int64_t total) override {
        if (!bytes.empty()) {
            bytes.back() = {done, total};
        }
    }
    void Status(const std::string& text) override { statuses.push_back(text); }
    void Console(const std::string& text) override { console.push_back(text); }

    int64_t StepStart(const std::string& name) const {
        for (size_t i = 0; i < steps.size(); ++i) {
            if (steps[i] == name) {
                return stepAt[i];
            }
        }
        return -1;
    }

    std::vector<std::string> steps, statuses, console;
    std::vector<int64_t> stepAt, totals;
    std::vector<size_t> statusesBefore;              // status texts shown before each step
    std::vector<std::pair<int64_t, int64_t>> bytes;  // each step's last image bytes and total
    int64_t lastDone = 0, lastTotal = 0;

private:
    EventPump& pump_;
};

}  // namespace quillon::test
