#include "app/WindowMode.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QPushButton>
#include <vector>

#include "app/MainWindow.h"
#include "app/core/BuildLabels.h"
#include "app/core/UpdateController.h"
#include "app/core/VersionPanel.h"
#include "link/Comm.h"

namespace quillon {

WindowMode::WindowMode(MainWindow& window, UpdaterEnvironment environment,
                       const std::string& programName)
    : window_(window) {
    BuildLabels::SetupNameLabels(window_, programName);
    updater_ = std::make_unique<Updater>(std::move(environment));
    const UpdateBuild& build = Controller().Build();

    window_.ShowRadioPicture(BuildLabels::PictureOf(Attributes()));
    Ports().RefreshComPorts();
    ShowComPorts();
    window_.SetUpgradeTypeChoiceVisible(build.upgradeType == 3 && !build.AutoBootMode());

    connect(&window_, &MainWindow::startClicked, this, &WindowMode::StartClicked);
    connect(&window_, &MainWindow::retrieveClicked, this, &WindowMode::RetrieveClicked);
    connect(&window_, &MainWindow::aboutRequested, this, &WindowMode::AboutRequested);
    connect(&window_, &MainWindow::updateComPortsRequested, this,
            &WindowMode::UpdateComPortsRequested);
    connect(&window_, &MainWindow::comPortChosen, this, &WindowMode::ComPortChosen);
    window_.SetCloseQuery([this] { return CloseQuery(); });
}

WindowMode::~WindowMode() {
    window_.SetCloseQuery(nullptr);
}

void WindowMode::StartClicked() {
    // A press while a sequence runs is Stop: the controller only marks the stop and returns to
    // the wait the sequence is in.
    const bool wasRunning = Controller().Running();
    Controller().Start(window_.BootSelected());
    if (!wasRunning) {
        // The connection refreshed the list; show what it found.
        ShowComPorts();
    }
}

void WindowMode::RetrieveClicked() {
    if (Controller().Running() || retrieving_) {
        return;
    }
    retrieving_ = true;
    window_.SetRetrieveEnabled(false);
    VersionPanel::RetrieveVersionInfo(updater_->Connection(), Link(), window_,
                                      updater_->ConnectionBuild());
    window_.SetRetrieveEnabled(true);
    ShowComPorts();
    retrieving_ = false;
}

void WindowMode::AboutRequested() {
    if (Controller().Running()) {
        return;  // refused while an update runs
    }
    window_.ShowAbout();
}

void WindowMode::UpdateComPortsRequested() {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    Ports().Select(window_.ComPortPosition());
    Ports().Refresh();
    ShowComPorts();
    QApplication::restoreOverrideCursor();
}

void WindowMode::ComPortChosen(int position) {
    Ports().Choose(position);
    window_.SetComPortPosition(Ports().Selected());
}

bool WindowMode::CloseQuery() {
    return Controller().CanClose();
}

void WindowMode::ShowComPorts() {
    std::vector<ComPortItem> items;
    items.reserve(static_cast<size_t>(Ports().ItemCount()));
    for (int position = 0; position < Ports().ItemCount(); ++position) {
        items.push_back(
            {QString::fromStdString(Ports().Item(position)), Ports().ItemPresent(position)});
    }
    window_.SetComPortItems(items);
    window_.SetComPortPosition(Ports().Selected());
}

}  // namespace quillon
