#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "serial/TraceSink.h"

namespace quillon {

// The protocol trace appended to a file, a line at a time (each line reaches the file at once,
// so a trace of a run that crashes is complete up to the crash).
class TraceFile : public TraceSink {
public:
    static constexpr const char* kVariable = "QUILLON_TRACE";

    ~TraceFile() override;
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    // Opens `path` for appending; nullptr (with `error` set) when it cannot be opened.
    static std::unique_ptr<TraceFile> Open(const std::string& path, std::string& error);

    // Installs the process-wide trace into `path` for the rest of the run. False, with `error`
    // set, when the file cannot be opened.
    static bool Install(const std::string& path, std::string& error);
    // Installs the trace $QUILLON_TRACE names, when it names one. False only when it names a
    // file that cannot be opened.
    static bool InstallFromEnvironment(std::string& error);

    void Line(const std::string& text) override;

private:
    explicit TraceFile(std::FILE* file) : file_(file) {}
    std::FILE* file_;
};

}  // namespace quillon
