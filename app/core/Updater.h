#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/core/AppUpdateSteps.h"
#include "app/core/ComPortList.h"
#include "app/core/EmbeddedFiles.h"
#include "app/core/PortDeviceNames.h"
#include "app/core/RadioConnection.h"
#include "app/core/ResourceAttributes.h"
#include "app/core/ResourceTable.h"
#include "app/core/UpdateController.h"
#include "app/core/UpdaterView.h"
#include "link/Comm.h"
#include "serial/EventPump.h"
#include "serial/SerialLine.h"

namespace quillon {

// Everything the updater talks to beyond its own logic. The program hands it the machine's
// ports and its event loop; tests and benchmarks hand it the virtual radio and their clock.
struct UpdaterEnvironment {
    EventPump& pump;
    // The serial lines: device mode's, made fresh for each connection, and the one port mode
    // opens (none: a build that needs port mode reports an open failure).
    LineFactory devices;
    SerialLine* port = nullptr;

    PortPresence& presence;             // which COM numbers exist
    PortDeviceNames& deviceNames;       // the USB tags of the port list
    std::function<int()> processors;    // the processor count
    const ResourceStore& resources;     // the build's embedded images and attributes
    std::filesystem::path programPath;  // the program file
    std::string backupFolder;           // where read-out codeplugs are kept
    UpdaterView& view;                  // the window, the console or a test's recorder
    // The update log file (none: no log is kept; empty: wanted, but there is no place for it).
    std::optional<std::string> updateLog = std::nullopt;
    // The codeplug password given for unattended runs (none: the view asks).
    std::optional<std::string> codeplugPassword = std::nullopt;
};

// The updater put together once from its environment: the link session with its time-out
// timer, the build's attributes, the port list, the connection, the embedded images, the update
// steps and the controller. The console mode, the window, the benchmarks and the tool's checks
// all use this one assembly.
class Updater {
public:
    explicit Updater(UpdaterEnvironment environment);
    ~Updater();
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    // False when the program carries no readable attribute record (the view has been told).
    bool HasAttributes() const { return hasAttributes_; }
    const ResourceAttributes& Attributes() const { return attributes_; }
    uint8_t RadioType() const { return radioType_; }
    // What the connection needs to know of the build.
    RadioConnection::Build ConnectionBuild() const { return {attributes_.RadioModel, radioType_}; }

    CommSession& Link() { return *link_; }
    ComPortList& Ports() { return ports_; }
    RadioConnection& Connection() { return *connection_; }
    AppUpdateSteps& Steps() { return *steps_; }
    UpdateController& Controller() { return *controller_; }

    // Command-line mode: one update with automatic boot handling on COM `portNumber`; the link
    // is closed and the port freed afterwards.
    void RunConsoleUpdate(int portNumber);

private:
    UpdaterEnvironment env_;
    ResourceAttributes attributes_;
    bool hasAttributes_ = false;
    uint8_t radioType_ = 0;
    ComPortList ports_;
    std::unique_ptr<CommSession> link_;
    std::unique_ptr<Timer> commTimer_;
    std::unique_ptr<RadioConnection> connection_;
    std::unique_ptr<EmbeddedFiles> files_;
    std::unique_ptr<AppUpdateSteps> steps_;
    std::unique_ptr<UpdateController> controller_;
};

}  // namespace quillon
