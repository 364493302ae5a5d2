#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "app/core/Updater.h"

namespace quillon {

class MainWindow;

// The updater in window mode: builds the update logic around the main window, fills the window
// at start-up, and binds its controls (Start/Stop, Retrieve, the port list and its menu item,
// About, the close box) to that logic. The window stays the view the logic reports through.
class WindowMode : public QObject {
    Q_OBJECT
public:
    // Start-up: the name labels (read from `programName`), the build's labels and picture, the
    // port list and, for builds that offer it, the choice of application or boot code. The
    // environment's view is `window`. The joined image files of an update are written to the
    // current folder.
    WindowMode(MainWindow& window, UpdaterEnvironment environment, const std::string& programName);
    ~WindowMode() override;

    // The process return code an update with automatic boot handling has set (0 otherwise).
    int ReturnCode() const { return updater_->Controller().ReturnCode(); }

    Updater& Assembly() { return *updater_; }
    UpdateController& Controller() { return updater_->Controller(); }
    CommSession& Link() { return updater_->Link(); }
    ComPortList& Ports() { return updater_->Ports(); }
    const ResourceAttributes& Attributes() const { return updater_->Attributes(); }

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

    MainWindow& window_;
    std::unique_ptr<Updater> updater_;
    bool retrieving_ = false;
};

}  // namespace quillon
