#include "tools/quillon-tool/FleetDisplay.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

#include "tools/quillon-tool/FleetReport.h"

namespace quillon::tool {
namespace {

std::string Head(const FleetRadio& radio) {
    std::string head = "COM" + std::to_string(radio.port);
    head.resize(std::max<std::size_t>(head.size(), 6), ' ');
    std::string serial = radio.serial.empty() ? "-" : radio.serial;
    serial.resize(std::max<std::size_t>(serial.size(), 24), ' ');
    return head + " " + serial + " ";
}

}  // namespace

std::string FleetDisplay::Line(const FleetRadio& radio) {
    switch (radio.state) {
        case FleetRadio::State::kWaiting:
            return Head(radio) + "waiting";
        case FleetRadio::State::kQuerying:
            return Head(radio) + "reading versions";
        case FleetRadio::State::kChecking:
            return Head(radio) + "reading versions after the update";
        case FleetRadio::State::kSkipped:
            return Head(radio) + "skipped: " + radio.note;
        case FleetRadio::State::kNotRun:
            return Head(radio) + "not run: " + radio.note;
        case FleetRadio::State::kDone:
            return Head(radio) + "return code " + std::to_string(radio.returnCode) + " (" +
                   FleetReport::Meaning(radio.returnCode) + ")";
        case FleetRadio::State::kUpdating:
            break;
    }
    const UpdaterConsoleParser& console = radio.console;
    if (console.Step().empty()) {
        return Head(radio) + "starting";
    }
    std::string line = Head(radio) + console.Step();
    if (console.StepDone()) {
        line += " done";
    } else if (console.Percent() >= 0) {
        line += " " + std::to_string(console.Percent()) + "%";
    }
    return line;
}

void FleetDisplay::Changed(const FleetRadio& radio) {
    if (terminal_) {
        pending_ = true;
        return;
    }
    const auto index = static_cast<std::size_t>(radio.port);
    if (stepsShown_.size() <= index) {
        stepsShown_.resize(index + 1, 0);
    }
    // Line mode: a line when a step begins, and at the end of the radio's run.
    const bool newStep = radio.state == FleetRadio::State::kUpdating &&
                         radio.console.StepsBegun() > stepsShown_[index];
    const bool ended = radio.state != FleetRadio::State::kUpdating &&
                       radio.state != FleetRadio::State::kQuerying &&
                       radio.state != FleetRadio::State::kChecking &&
                       radio.state != FleetRadio::State::kWaiting;
    if (newStep || ended) {
        stepsShown_[index] = radio.console.StepsBegun();
        std::fprintf(out_, "%s\n",
                     (newStep ? Head(radio) + radio.console.Step() : Line(radio)).c_str());
        std::fflush(out_);
    }
}

int FleetDisplay::Refresh(const std::vector<FleetRadio>& radios) {
    if (!terminal_ || !pending_) {
        return -1;
    }
    const auto now = std::chrono::steady_clock::now();
    const auto since =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - lastDraw_).count();
    if (since < progress::kBarRedrawMs) {
        return static_cast<int>(progress::kBarRedrawMs - since);
    }
    Draw(radios);
    return -1;
}

void FleetDisplay::Finish(const std::vector<FleetRadio>& radios) {
    if (terminal_) {
        Draw(radios);
        std::fprintf(out_, "\n");
        std::fflush(out_);
    }
}

void FleetDisplay::Draw(const std::vector<FleetRadio>& radios) {
    std::string text;
    if (drawnLines_ > 0) {
        text += "\033[" + std::to_string(drawnLines_) + "A";  // back to the first line
    }
    // A line longer than the terminal would wrap, and the next redraw would start too low.
    winsize size{};
    const std::size_t width =
        ::ioctl(::fileno(out_), TIOCGWINSZ, &size) == 0 && size.ws_col > 1 ? size.ws_col - 1 : 0;
    for (const FleetRadio& radio : radios) {
        std::string line = Line(radio);
        if (width > 0 && line.size() > width) {
            line.resize(width);
        }
        text += "\r" + line + "\033[K\n";
    }
    std::fputs(text.c_str(), out_);
    std::fflush(out_);
    drawnLines_ = static_cast<int>(radios.size());
    pending_ = false;
    lastDraw_ = std::chrono::steady_clock::now();
}

}  // namespace quillon::tool
