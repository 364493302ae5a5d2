#include "tools/quillon-tool/TerminalProgressBar.h"

#include "platform/Terminal.h"

namespace quillon::tool {

namespace {

constexpr int kBarWidth = 40;

}  // namespace

TerminalProgressBar::TerminalProgressBar() : enabled_(IsTerminal(stderr)) {}

TerminalProgressBar::~TerminalProgressBar() {
    Finish();
}

void TerminalProgressBar::BeginStep(const std::string& name, int64_t /*total*/) {
    Finish();
    step_ = name;
    lastPercent_ = -1;
}

void TerminalProgressBar::Advance(int64_t done, int64_t total) {
    if (!enabled_ || total <= 0) {
        return;
    }
    const int percent = static_cast<int>(done >= total ? 100 : done * 100 / total);
    if (percent == lastPercent_) {
        return;
    }
    lastPercent_ = percent;
    const int filled = percent * kBarWidth / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kBarWidth - filled), '.');
    std::fprintf(stderr, "\r%-8s [%s] %3d%% %lld/%lld bytes", step_.c_str(), bar.c_str(), percent,
                 static_cast<long long>(done), static_cast<long long>(total));
    std::fflush(stderr);
    drawn_ = true;
}

void TerminalProgressBar::Finish() {
    if (drawn_) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
        drawn_ = false;
    }
}

}  // namespace quillon::tool
