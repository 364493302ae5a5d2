#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "serial/ProgressReport.h"

namespace quillon::tool {

// A one-line progress bar on standard error, drawn only when standard error is a terminal.
class TerminalProgressBar : public ProgressReport {
public:
    TerminalProgressBar();
    ~TerminalProgressBar() override;

    void BeginStep(const std::string& name, int64_t total) override;
    void Advance(int64_t done, int64_t total) override;
    // Ends the line the bar is drawn on.
    void Finish();

private:
    bool enabled_ = false;
    bool drawn_ = false;
    std::string step_;
    int lastPercent_ = -1;
};

}  // namespace quillon::tool
