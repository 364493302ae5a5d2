#include "app/WindowMode.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QPushButton>
#include <vector>

#include "app/TCodeUpdaterMainDispForm.h"
#include "app/core/AppUpdateSteps.h"
#include "app/core/BuildLabels.h"
#include "app/core/EmbeddedFiles.h"
#include "app/core/RadioConnection.h"
#include "app/core/RadioType.h"
#include "app/core/TransferCodeplugExchange.h"
#include "app/core/UpdateController.h"
#include "app/core/VersionPanel.h"
#include "link/Comm.h"

namespace quillon {

namespace {

UpdateBuild BuildOf(const ResourceAttributes& attributes, uint8_t radioType) {
    return UpdateBuild{attributes.RadioModel, attributes.Series, attributes.UpgradeType,
                       attributes.Processor416 != 0, radioType};
}

}  // namespace

WindowMode::WindowMode(TCodeUpdaterMainDispForm& window, WindowModeEnvironment environment)
    : window_(window), env_(std::move(environment)), ports_(env_.presence, env_.deviceNames) {
    BuildLabels::SetupNameLabels(window_, env_.programName);
    EmbeddedFiles::ReadResourceAttributes(env_.resources, window_, attributes_);
    radioType_ =
        RadioTypeOfBuild(attributes_.RadioModel, attributes_.Series, attributes_.MobileTypeSelect);

    link_ = std::make_unique<CommSession>(env_.pump, env_.devices);
    commTimer_ = env_.pump.CreateTimer();
    link_->UseTimeoutTimer(*commTimer_);
    connection_ =
        std::make_unique<RadioConnection>(*link_, window_, ports_, env_.port, env_.processors);
    files_ = std::make_unique<EmbeddedFiles>(env_.resources);
    steps_ = std::make_unique<AppUpdateSteps>(*link_, env_.pump, window_, *connection_, *files_,
                                              attributes_, radioType_);
    const UpdateBuild build = BuildOf(attributes_, radioType_);
    controller_ = std::make_unique<UpdateController>(*link_, env_.pump, window_, *steps_, build,
                                                     TransferCodeplugExchange::Factory(nullptr),
                                                     CodeplugBackup(env_.backupFolder));
    link_->SetCancelFlag(&controller_->Cancel());

    window_.ShowRadioPicture(BuildLabels::PictureOf(attributes_));
    ports_.RefreshComPorts();
    ShowComPorts();
    window_.SetUpgradeTypeChoiceVisible(build.upgradeType == 3 && !build.AutoBootMode());

    connect(&window_, &TCodeUpdaterMainDispForm::startClicked, this, &WindowMode::StartClicked);
    connect(&window_, &TCodeUpdaterMainDispForm::retrieveClicked, this,
            &WindowMode::RetrieveClicked);
    connect(&window_, &TCodeUpdaterMainDispForm::aboutRequested, this, &WindowMode::AboutRequested);
    connect(&window_, &TCodeUpdaterMainDispForm::updateComPortsRequested, this,
            &WindowMode::UpdateComPortsRequested);
    connect(&window_, &TCodeUpdaterMainDispForm::comPortChosen, this, &WindowMode::ComPortChosen);
    window_.SetCloseQuery([this] { return CloseQuery(); });
}

WindowMode::~WindowMode() {
    window_.SetCloseQuery(nullptr);
    link_->SetCancelFlag(nullptr);
}

int WindowMode::ReturnCode() const {
    return controller_->ReturnCode();
}

void WindowMode::StartClicked() {
    // A press while a sequence runs is Stop: the controller only marks the stop and returns to
    // the wait the sequence is in.
    const bool wasRunning = controller_->Running();
    controller_->Start(window_.BootSelected());
    if (!wasRunning) {
        // The connection refreshed the list; show what it found.
        ShowComPorts();
    }
}

void WindowMode::RetrieveClicked() {
    if (controller_->Running() || retrieving_) {
        return;
    }
    retrieving_ = true;
    window_.SetRetrieveEnabled(false);
    RadioConnection::Build build;
    build.radioModel = attributes_.RadioModel;
    build.radioType = radioType_;
    VersionPanel::RetrieveVersionInfo(*connection_, *link_, window_, build);
    window_.SetRetrieveEnabled(true);
    ShowComPorts();
    retrieving_ = false;
}

void WindowMode::AboutRequested() {
    if (controller_->Running()) {
        return;  // refused while an update runs
    }
    window_.ShowAbout();
}

void WindowMode::UpdateComPortsRequested() {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    ports_.Select(window_.ComPortPosition());
    ports_.UpdateComPortsMenuItemClick();
    ShowComPorts();
    QApplication::restoreOverrideCursor();
}

void WindowMode::ComPortChosen(int position) {
    ports_.ComportComboBoxChange(position);
    window_.SetComPortPosition(ports_.Selected());
}

bool WindowMode::CloseQuery() {
    return controller_->CanClose();
}

void WindowMode::ShowComPorts() {
    std::vector<ComPortItem> items;
    items.reserve(static_cast<size_t>(ports_.ItemCount()));
    for (int position = 0; position < ports_.ItemCount(); ++position) {
        items.push_back(
            {QString::fromStdString(ports_.Item(position)), ports_.ItemPresent(position)});
    }
    window_.SetComPortItems(items);
    window_.SetComPortPosition(ports_.Selected());
}

}  // namespace quillon
