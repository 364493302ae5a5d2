#pragma once

#include <QObject>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/core/CodeplugBackup.h"
#include "app/core/ComPortList.h"
#include "app/core/PortDeviceNames.h"
#include "app/core/ResourceAttributes.h"
#include "app/core/ResourceTable.h"
#include "serial/EventPump.h"
#include "serial/SerialLine.h"

namespace quillon {

class AppUpdateSteps;
class CommSession;
class EmbeddedFiles;
class RadioConnection;
class TCodeUpdaterMainDispForm;
class UpdateController;

// What window mode talks to beyond the window: the program hands it the machine's ports and
// the Qt event loop, tests the virtual radio and the virtual clock.
struct WindowModeEnvironment {
    EventPump& pump;
    LineFactory devices;                // device mode's serial lines
    PortPresence& presence;             // which COM numbers exist
    PortDeviceNames& deviceNames;       // the USB tags of the port list
    SerialLine* port = nullptr;         // the line port mode opens (none: port mode fails)
    std::function<int()> processors;    // the processor count
    const ResourceStore& resources;     // the build's embedded images and attributes
    std::filesystem::path programPath;  // the program file; DSP pages may lie beside it
    std::string programName;            // the Name and Release labels are read from it
    std::string backupFolder;           // where read-out codeplugs are kept
};

// The updater in window mode: builds the update logic around the main window, fills the window
// at start-up, and binds its controls (Start/Stop, Retrieve, the port list and its menu item,
// About, the close box) to that logic. The window stays the view the logic reports through.
class WindowMode : public QObject {
    Q_OBJECT
public:
    // Start-up: the name labels, the build's labels and picture, the port list and, for builds
    // that offer it, the choice of application or boot code. The joined image files of an
    // update are written to the current folder.
    WindowMode(TCodeUpdaterMainDispForm& window, WindowModeEnvironment environment);
    ~WindowMode() override;

    // The process return code an update with automatic boot handling has set (0 otherwise).
    int ReturnCode() const;

    UpdateController& Controller() { return *controller_; }
    CommSession& Link() { return *link_; }
    ComPortList& Ports() { return ports_; }
    const ResourceAttributes& Attributes() const { return attributes_; }

    // The handlers of the window's controls.
    void StartClicked();
    void RetrieveClicked();
    void AboutRequested();
    void UpdateComPortsRequested();
    void ComPortChosen(int position);
    bool CloseQuery();

private:
    // Refills the window's port list from the list behind it, keeping its choice.
    void ShowComPorts();

    TCodeUpdaterMainDispForm& window_;
    WindowModeEnvironment env_;
    ResourceAttributes attributes_;
    uint8_t radioType_ = 0;
    ComPortList ports_;
    std::unique_ptr<CommSession> link_;
    std::unique_ptr<Timer> commTimer_;
    std::unique_ptr<RadioConnection> connection_;
    std::unique_ptr<EmbeddedFiles> files_;
    std::unique_ptr<AppUpdateSteps> steps_;
    std::unique_ptr<UpdateController> controller_;
    bool retrieving_ = false;
};

}  // namespace quillon
