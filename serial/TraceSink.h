#pragma once

#include <string>

namespace quillon {

// Where the protocol trace goes: one line per event. Off unless a program installs a sink; the
// layers then pay one null-pointer check per event.
class TraceSink {
public:
    virtual ~TraceSink() = default;
    // Records one line (no line feed).
    virtual void Line(const std::string& text) = 0;

    // The process-wide sink, or nullptr when tracing is off.
    static TraceSink* Active() { return active_; }
    // Installs `sink` (not owned; nullptr turns tracing off).
    static void SetActive(TraceSink* sink) { active_ = sink; }

private:
    static inline TraceSink* active_ = nullptr;
};

}  // namespace quillon
