#include "app/core/AppUpdateSteps.h"

#include "app/core/PrivateFolder.h"
#include "app/core/TargetRadioCheck.h"
#include "download/CodeDownload.h"
#include "download/DspDownload.h"
#include "serial/ComPortPath.h"

namespace quillon {

AppUpdateSteps::AppUpdateSteps(CommSession& link, EventPump& pump, UpdaterView& view,
                               RadioConnection& connection, EmbeddedFiles& files,
                               const ResourceAttributes& attributes, uint8_t radioType,
                               std::vector<std::filesystem::path> pageFolderParents)
    : link_(link),
      pump_(pump),
      view_(view),
      connection_(connection),
      files_(files),
      attributes_(attributes),
      radioType_(radioType),
      pageFolderParents_(pageFolderParents.empty() ? PrivateFolder::DefaultParents()
                                                   : std::move(pageFolderParents)) {}

bool AppUpdateSteps::ConnectToRadio(bool lowSpeed) {
    const bool open =
        connection_.ConnectToRadio(lowSpeed, {attributes_.RadioModel, radioType_}, consolePort_);
    if (record_ != nullptr) {
        record_->port = connection_.PortNumber();
        if (record_->port > 0) {
            // The device itself, not the link that names it.
            std::error_code error;
            const std::string link = ComPortPath::Resolve(record_->port);
            const std::filesystem::path device = std::filesystem::canonical(link, error);
            record_->device = error ? link : device.string();
        }
        record_->model = EmbeddedFiles::ModelName(attributes_.RadioModel);
        if (open) {
            record_->AddStep("connect", UpdateRecord::Result::Done,
                             connection_.UsedPortMode() ? "port mode" : "device mode");
        } else {
            record_->Fail("connect", connection_.LastError());
        }
    }
    return open;
}

void AppUpdateSteps::CloseLink() {
    connection_.CloseAndFree();
}

bool AppUpdateSteps::CheckBootVersion(bool& useBootTwo) {
    return TargetRadioCheck::CheckBootVersion(link_, view_, attributes_, radioType_, useBootTwo);
}

bool AppUpdateSteps::CheckBootVersionAuto(bool& majorMismatch, bool& commError, bool& formMismatch,
                                          bool& useBootTwo) {
    uint8_t boot[2] = {};
    const bool upgrade = TargetRadioCheck::CheckBootVersionAuto(
        link_, attributes_, radioType_, majorMismatch, commError, formMismatch, useBootTwo, boot);
    if (record_ != nullptr && !commError) {
        const std::string read = std::to_string(boot[0]) + "." + std::to_string(boot[1]);
        record_->series = std::to_string(boot[0]);
        UpdateRecord::SetVersion(record_->versionsBefore, UpdateRecord::kBootVersion, read);
        UpdateRecord::SetVersion(record_->versionsAfter, UpdateRecord::kBootVersion, read);
        bootTwo_ = useBootTwo;
    }
    return upgrade;
}

bool AppUpdateSteps::ExtractEmbeddedFiles(bool boot, bool useBootTwo, std::string& loaderFile,
                                          std::string& codeFile) {
    return files_.ExtractEmbeddedFiles(view_, attributes_, boot, useBootTwo, loaderFile, codeFile);
}

bool AppUpdateSteps::CheckTargetRadio() {
    return TargetRadioCheck::CheckTargetRadio(link_, view_, attributes_, radioType_);
}

int AppUpdateSteps::DownloadCode(std::istream& loader, std::istream& code, ProgressReport& report,
                                 bool boot, bool consoleProgress, const CancelFlag* cancel) {
    const int result =
        quillon::DownloadCode(link_, loader, code, report, radioType_, boot,
                              attributes_.Processor416 != 0, consoleProgress, cancel, pump_);
    if (record_ != nullptr && boot && result == 1) {
        const uint32_t major = bootTwo_ ? attributes_.BootTwoMajor : attributes_.BootMajor;
        const uint32_t minor = bootTwo_ ? attributes_.BootTwoMinor : attributes_.BootMinor;
        UpdateRecord::SetVersion(record_->versionsAfter, UpdateRecord::kBootVersion,
                                 std::to_string(major) + "." + std::to_string(minor));
    }
    return result;
}

int AppUpdateSteps::DownloadDsp(std::istream& loader, std::istream& code, ProgressReport& report,
                                const CancelFlag* cancel) {
    DownloadContext context{link_, pump_, report, cancel};
    const PrivateFolder pages("quillon-pages", pageFolderParents_);
    std::vector<std::filesystem::path> folders;
    if (!pages.Path().empty()) {
        folders.push_back(pages.Path());
    }
    return quillon::DownloadDsp(context, loader, code, folders);
}

}  // namespace quillon
