#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "serial/EventPump.h"
#include "serial/ProgressReport.h"

namespace quillon::tool {

// The tool's progress for downloads and codeplug transfers. On a terminal each step is a bar
// drawn again in place: percent, the image bytes moved, their rate and the time left as
// measured on the link (steps that move no image, such as the erase wait, show percent and
// time left only). Elsewhere each step gets one line when it ends: its bytes, time and rate, or
// where it stopped. Status texts are lines of their own in either case, and always on a line
// after the bar.
class TerminalProgressBar : public ProgressReport {
public:
    // Writes to `out`; `terminal` chooses the bar over one line per step. `clock` times the
    // steps.
    TerminalProgressBar(const EventPump& clock, std::ostream& out, bool terminal);
    // On standard output, as a bar when it is a terminal.
    explicit TerminalProgressBar(const EventPump& clock);
    ~TerminalProgressBar() override;

    void BeginStep(const std::string& name, int64_t total) override;
    void Advance(int64_t done, int64_t total) override;
    void Bytes(int64_t done, int64_t total) override;
    void Status(const std::string& text) override;

    // Ends the current step: a bar still drawn gets its line end, and off a terminal a step
    // that did not reach its end is reported as stopped.
    void Finish();
    // The last status text, empty when there was none.
    const std::string& LastStatus() const { return lastStatus_; }

private:
    void Update(int64_t done, int64_t total);
    std::string BarLine(int64_t now) const;
    std::string StepLine(int64_t now, bool complete) const;

    const EventPump& clock_;
    std::ostream& out_;
    bool terminal_;
    std::string step_;
    bool open_ = false;   // a step has begun and not yet ended
    bool bytes_ = false;  // the step reports image bytes
    bool drawn_ = false;  // a bar is on the current line
    int64_t done_ = 0;
    int64_t total_ = 0;
    int64_t startMs_ = 0;
    int64_t drawnMs_ = -1;
    std::string lastStatus_;
};

}  // namespace quillon::tool
