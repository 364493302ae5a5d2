#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/serial/support/TempComDir.h"
#include "tests/sim/SimProcess.h"

namespace quillon::test {

// The virtual radio published as COM 4 in a private COM directory, with a frame log.
class SimRadio {
public:
    static constexpr int kCom = 4;

    explicit SimRadio(std::vector<std::string> options)
        : logPath_(coms_.Path() + "/frames.log"),
          sim_(WithLink(std::move(options), coms_.Path(), logPath_)) {
        devicePath_ = sim_.FirstLine();
    }

    bool Started() const { return !devicePath_.empty(); }
    std::string ErrorText() { return sim_.ErrorText(); }

    std::string Log() const {
        std::ifstream in(logPath_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // How many log lines are exactly `line`.
    int Count(const std::string& line) const {
        std::istringstream in(Log());
        int n = 0;
        for (std::string l; std::getline(in, l);) {
            n += l == line ? 1 : 0;
        }
        return n;
    }

private:
    static std::vector<std::string> WithLink(std::vector<std::string> options,
                                             const std::string& dir, const std::string& log) {
        options.insert(options.end(),
                       {"--com-dir", dir, "--com", std::to_string(kCom), "--log", log});
        return options;
    }

    TempComDir coms_;  // also $QUILLON_COM_DIR while the radio lives
    std::string logPath_;
    sim::testing::SimProcess sim_;
    std::string devicePath_;
};

}  // namespace quillon::test
