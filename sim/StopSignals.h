#pragma once

#include <memory>
#include <string>

namespace quillon::sim {

// SIGINT, SIGTERM and SIGHUP turned into a readable descriptor, so the event loop sees a
// request to stop like any other event and can clean up before leaving.
class StopSignals {
public:
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    static std::unique_ptr<StopSignals> Install(std::string& error);

    int Fd() const { return fd_; }
    // The name of the signal that arrived ("SIGTERM"), read from the descriptor.
    std::string Take();

private:
    StopSignals() = default;
    int fd_ = -1;
};

}  // namespace quillon::sim
