#include "tests/integration/VirtualRadio.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace quillon::test {

namespace {

constexpr int kFirstSpareCom = 161;  // the default table ends at COM160
constexpr int kLastCom = 255;

}  // namespace

VirtualRadio::VirtualRadio(const std::vector<std::string>& options, int comNumber)
    : com_(comNumber), logPath_(coms_.Path() + "/frames.log") {
    std::vector<std::string> args = options;
    args.insert(args.end(),
                {"--com-dir", coms_.Path(), "--com", std::to_string(com_), "--log", logPath_});
    process_ = std::make_unique<sim::testing::SimProcess>(args);
    devicePath_ = process_->FirstLine();
}

VirtualRadio::~VirtualRadio() {
    Stop();
}

int VirtualRadio::ComNumberForCurrentTest() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name =
        test == nullptr ? std::string() : std::string(test->test_suite_name()) + "." + test->name();
    const size_t span = kLastCom - kFirstSpareCom + 1;
    return kFirstSpareCom + static_cast<int>(std::hash<std::string>{}(name) % span);
}

std::string VirtualRadio::Log() const {
    std::ifstream in(logPath_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> VirtualRadio::LogLines() const {
    std::vector<std::string> lines;
    std::istringstream in(Log());
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

int VirtualRadio::Count(const std::string& line) const {
    const std::vector<std::string> lines = LogLines();
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

int VirtualRadio::CountStartingWith(const std::string& prefix) const {
    const std::vector<std::string> lines = LogLines();
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
        return l.compare(0, prefix.size(), prefix) == 0;
    }));
}

int VirtualRadio::Find(const std::string& line, int from) const {
    const std::vector<std::string> lines = LogLines();
    for (size_t i = static_cast<size_t>(std::max(from, 0)); i < lines.size(); ++i) {
        if (lines[i] == line) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool VirtualRadio::WaitForLine(const std::string& line, int times, int timeoutMs,
                               EventPump* pump) const {
    constexpr int kLookEveryMs = 10;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Count(line) < times) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        if (pump != nullptr) {
            pump->WaitForActivity(pump->NowMs() + kLookEveryMs);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(kLookEveryMs));
        }
    }
    return true;
}

int VirtualRadio::Stop() {
    return process_ ? process_->Stop(SIGTERM) : -1;
}

}  // namespace quillon::test
