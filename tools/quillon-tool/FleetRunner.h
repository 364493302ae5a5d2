#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/core/PrivateFolder.h"
#include "tools/quillon-tool/FleetChild.h"
#include "tools/quillon-tool/FleetDisplay.h"
#include "tools/quillon-tool/FleetRadio.h"
#include "tools/quillon-tool/UpdateLogReader.h"

namespace quillon::tool {

// What a fleet run starts for each radio.
struct FleetPrograms {
    std::string tool;          // this program: `tool info --json --port N` reads the versions
    std::string updater;       // quillon-updater, run as `updater /d /sp N /c`
    int radioType = 0;         // the build's radio type code, for the version query
    std::string passwordFile;  // handed on as QUILLON_CODEPLUG_PASSWORD_FILE (when not empty)
    std::string logPath;       // the update log
};

// Runs the radios' updates, at most `jobs` at a time: for each, the version query, then the
// updater in a private working folder of its own (removed afterwards), then, for a radio that
// answered before, the query again. Everything waits in one
// poll() on the programs' output pipes, their process descriptors and the stop signals'
// descriptor. A stop signal is passed once to every program running, which ends its run as Stop
// does; radios not yet begun are not run; the runner waits for the rest.
class FleetRunner {
public:
    FleetRunner(FleetPrograms programs, int jobs, int stopFd, FleetDisplay& display);

    void Run(std::vector<FleetRadio>& radios);
    bool Stopped() const { return stopped_; }

private:
    struct Slot {
        std::size_t radio = 0;
        FleetChild child;
        std::string output;
        std::unique_ptr<PrivateFolder> folder;  // the updater's working folder
        pid_t pid = -1;
    };

    void StartNext(std::vector<FleetRadio>& radios);
    // The version query (`info --json`); after the update with `after`.
    void StartQuery(FleetRadio& radio, Slot& slot, bool after = false);
    void StartUpdate(FleetRadio& radio, Slot& slot);
    // The program of `slot` ended; true when the slot is free again.
    bool Ended(FleetRadio& radio, Slot& slot);
    void Stop(std::vector<FleetRadio>& radios);

    FleetPrograms programs_;
    int jobs_;
    int stopFd_;
    FleetDisplay& display_;
    UpdateLogReader log_;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::size_t next_ = 0;
    bool stopped_ = false;
};

}  // namespace quillon::tool
