#pragma once

#include <fstream>
#include <ostream>
#include <string>
#include <string_view>

namespace quillon::sim {

// One line per event: "<KIND> <text>", written out at once so a reader sees every line while
// the radio runs. Kinds: RX, RX-PROBE, DROP, TX, TX-BADSUM, TX-BADH2, NOISE, SILENT, NOTE,
// SPEED.
class FrameLog {
public:
    FrameLog() = default;  // writes nowhere
    explicit FrameLog(std::ostream& out) : out_(&out) {}
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    // Starts a fresh file; false with a reason when it cannot be written.
    bool OpenFile(const std::string& path, std::string& error);

    void Write(std::string_view kind, std::string_view text);

private:
    std::ofstream file_;
    std::ostream* out_ = nullptr;
};

}  // namespace quillon::sim
