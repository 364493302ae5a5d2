#include "sim/FrameLog.h"

#include <cerrno>
#include <cstring>

namespace quillon::sim {

bool FrameLog::OpenFile(const std::string& path, std::string& error) {
    file_.open(path, std::ios::out | std::ios::trunc);
    if (!file_) {
        error = "cannot write the log file " + path + ": " + std::strerror(errno);
        return false;
    }
    out_ = &file_;
    return true;
}

void FrameLog::Write(std::string_view kind, std::string_view text) {
    if (out_ == nullptr) {
        return;
    }
    *out_ << kind;
    if (!text.empty()) {
        *out_ << ' ' << text;
    }
    *out_ << '\n' << std::flush;
}

}  // namespace quillon::sim
