#include "app/core/Updater.h"

#include <cstdio>

#include "app/core/RadioType.h"
#include "app/core/TransferCodeplugExchange.h"
#include "app/core/UpdateLog.h"

namespace quillon {

Updater::Updater(UpdaterEnvironment environment)
    : env_(std::move(environment)), ports_(env_.presence, env_.deviceNames) {
    hasAttributes_ = EmbeddedFiles::ReadResourceAttributes(env_.resources, env_.view, attributes_);
    radioType_ =
        RadioTypeOfBuild(attributes_.RadioModel, attributes_.Series, attributes_.MobileTypeSelect);

    link_ = std::make_unique<CommSession>(env_.pump, env_.devices);
    commTimer_ = env_.pump.CreateTimer();
    link_->UseTimeoutTimer(*commTimer_);
    connection_ =
        std::make_unique<RadioConnection>(*link_, env_.view, ports_, env_.port, env_.processors);
    files_ = std::make_unique<EmbeddedFiles>(env_.resources);
    steps_ = std::make_unique<AppUpdateSteps>(*link_, env_.pump, env_.view, *connection_, *files_,
                                              attributes_, radioType_);
    const UpdateBuild build{attributes_.RadioModel, attributes_.Series, attributes_.UpgradeType,
                            attributes_.Processor416 != 0, radioType_};
    // The codeplug transfer watches the controller's Stop as the link does.
    CodeplugExchangeFactory exchange = [this](CommSession& link, const std::string& serial,
                                              UpdaterView& view) {
        return TransferCodeplugExchange::Factory(&controller_->Cancel(), env_.codeplugPassword)(
            link, serial, view);
    };
    controller_ =
        std::make_unique<UpdateController>(*link_, env_.pump, env_.view, *steps_, build,
                                           std::move(exchange), CodeplugBackup(env_.backupFolder));
    link_->SetCancelFlag(&controller_->Cancel());
    if (env_.updateLog) {
        // The log is a record for later; one that cannot be written never changes the update.
        controller_->SetRunFinished([path = *env_.updateLog](const UpdateRecord& record) {
            std::string error;
            if (!UpdateLog(path).Append(record, error)) {
                std::fprintf(stderr, "warning: the update log %s could not be written: %s\n",
                             path.c_str(), error.c_str());
            }
        });
    }
}

Updater::~Updater() {
    link_->SetCancelFlag(nullptr);
}

void Updater::RunConsoleUpdate(int portNumber) {
    steps_->SetConsolePort(portNumber);
    controller_->RunAutoBootUpdate();
    steps_->CloseLink();
}

}  // namespace quillon
