#include "tools/quillon-tool/TerminalProgressBar.h"

#include "platform/Terminal.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "app/core/ProgressTiming.h"

namespace quillon::tool {

namespace {

constexpr int kBarWidth = 30;

int Percent(int64_t done, int64_t total) {
    if (total <= 0) {
        return 0;
    }
    return done >= total ? 100 : static_cast<int>(std::max<int64_t>(done, 0) * 100 / total);
}

std::string Seconds(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
    return text;
}

std::string MinutesSeconds(int64_t ms) {
    const int64_t s = (ms + 999) / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(s / 60),
                  static_cast<long long>(s % 60));
    return text;
}

// Bytes per second over `ms` as "5.6 kB/s"; empty before any time has passed.
std::string Rate(int64_t bytes, int64_t ms) {
    if (ms <= 0) {
        return {};
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f kB/s", static_cast<double>(bytes) / ms);
    return text;
}

}  // namespace

TerminalProgressBar::TerminalProgressBar(const EventPump& clock, std::ostream& out, bool terminal)
    : clock_(clock), out_(out), terminal_(terminal) {}

TerminalProgressBar::TerminalProgressBar(const EventPump& clock)
    : TerminalProgressBar(clock, std::cout, IsTerminal(stdout)) {}

TerminalProgressBar::~TerminalProgressBar() {
    Finish();
}

void TerminalProgressBar::BeginStep(const std::string& name, int64_t total) {
    Finish();
    step_ = name;
    open_ = true;
    bytes_ = false;
    done_ = 0;
    total_ = total;
    startMs_ = clock_.NowMs();
    drawnMs_ = -1;
}

void TerminalProgressBar::Advance(int64_t done, int64_t total) {
    // A step that reports image bytes is shown by them.
    if (!bytes_) {
        Update(done, total);
    }
}

void TerminalProgressBar::Bytes(int64_t done, int64_t total) {
    bytes_ = true;
    Update(done, total);
}

void TerminalProgressBar::Update(int64_t done, int64_t total) {
    if (!open_) {
        return;
    }
    done_ = done;
    total_ = total;
    const int64_t now = clock_.NowMs();
    const bool complete = total > 0 && done >= total;
    if (terminal_) {
        if (complete || drawnMs_ < 0 || now - drawnMs_ >= progress::kBarRedrawMs) {
            out_ << BarLine(now) << std::flush;
            drawn_ = true;
            drawnMs_ = now;
        }
        if (complete) {
            out_ << "\n" << std::flush;
            drawn_ = false;
        }
    } else if (complete) {
        out_ << StepLine(now, true) << "\n" << std::flush;
    }
    if (complete) {
        open_ = false;
    }
}

void TerminalProgressBar::Status(const std::string& text) {
    lastStatus_ = text;
    if (drawn_) {
        out_ << "\n";
        drawn_ = false;
        drawnMs_ = -1;
    }
    out_ << text << "\n" << std::flush;
}

void TerminalProgressBar::Finish() {
    if (drawn_) {
        out_ << "\n" << std::flush;
        drawn_ = false;
    } else if (open_ && !terminal_) {
        out_ << StepLine(clock_.NowMs(), false) << "\n" << std::flush;
    }
    open_ = false;
}

std::string TerminalProgressBar::BarLine(int64_t now) const {
    const int64_t ms = now - startMs_;
    const int percent = Percent(done_, total_);
    const int filled = percent * kBarWidth / 100;
    std::string name = step_;
    name.resize(std::max<size_t>(name.size(), 8), ' ');
    std::string line = "\r" + name + " [" + std::string(static_cast<size_t>(filled), '#') +
                       std::string(static_cast<size_t>(kBarWidth - filled), ' ') + "] ";
    char number[64];
    std::snprintf(number, sizeof number, "%3d%%", percent);
    line += number;
    if (bytes_) {
        std::snprintf(number, sizeof number, "  %lld/%lld B", static_cast<long long>(done_),
                      static_cast<long long>(total_));
        line += number;
        if (const std::string rate = Rate(done_, ms); !rate.empty()) {
            line += "  " + rate;
        }
    }
    if (percent == 100) {
        line += "  in " + (ms < 60000 ? Seconds(ms) : MinutesSeconds(ms));
    } else if (done_ > 0 && total_ > done_ && ms > 0) {
        // The time left at the rate seen so far.
        const double left = static_cast<double>(ms) * static_cast<double>(total_ - done_) /
                            static_cast<double>(done_);
        line += "  " + MinutesSeconds(static_cast<int64_t>(left)) + " left";
    }
    return line + "\033[K";
}

std::string TerminalProgressBar::StepLine(int64_t now, bool complete) const {
    const int64_t ms = now - startMs_;
    std::string line = step_ + ": ";
    if (!complete) {
        line += "stopped at " + std::to_string(Percent(done_, total_)) + "%, ";
    }
    if (bytes_) {
        line += std::to_string(done_);
        if (!complete) {
            line += " of " + std::to_string(total_);
        }
        line += " bytes in " + Seconds(ms);
        if (const std::string rate = Rate(done_, ms); !rate.empty()) {
            line += ", " + rate;
        }
    } else {
        line += (complete ? "" : "after ") + Seconds(ms);
    }
    return line;
}

}  // namespace quillon::tool
