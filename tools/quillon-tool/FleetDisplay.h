#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/core/ProgressTiming.h"
#include "tools/quillon-tool/FleetRadio.h"

namespace quillon::tool {

// The fleet's progress while it runs. On a terminal one line per radio (port, serial number once
// known, step, percent), redrawn in place at most every progress::kBarRedrawMs; otherwise one
// line per step and radio as each step begins, and one when a radio's update ends.
class FleetDisplay {
public:
    FleetDisplay(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}

    // A radio's state or step changed.
    void Changed(const FleetRadio& radio);
    // Draws what changed, when it is time: the milliseconds until the next redraw is due
    // (-1: nothing waits).
    int Refresh(const std::vector<FleetRadio>& radios);
    // The last redraw, before the table.
    void Finish(const std::vector<FleetRadio>& radios);

    static std::string Line(const FleetRadio& radio);

private:
    void Draw(const std::vector<FleetRadio>& radios);

    std::FILE* out_;
    bool terminal_;
    bool pending_ = false;
    int drawnLines_ = 0;
    std::chrono::steady_clock::time_point lastDraw_{};
    std::vector<int> stepsShown_;  // line mode: per radio (by port), steps already written
};

}  // namespace quillon::tool
