#include "app/core/AppUpdateSteps.h"

#include "app/core/PrivateFolder.h"
#include "app/core/TargetRadioCheck.h"
#include "download/CodeDownload.h"
#include "download/DspDownload.h"

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
    return connection_.ConnectToRadio(lowSpeed, {attributes_.RadioModel, radioType_}, consolePort_);
}

void AppUpdateSteps::CloseLink() {
    connection_.CloseAndFree();
}

bool AppUpdateSteps::CheckBootVersion(bool& useBootTwo) {
    return TargetRadioCheck::CheckBootVersion(link_, view_, attributes_, radioType_, useBootTwo);
}

bool AppUpdateSteps::CheckBootVersionAuto(bool& majorMismatch, bool& commError, bool& formMismatch,
                                          bool& useBootTwo) {
    return TargetRadioCheck::CheckBootVersionAuto(link_, attributes_, radioType_, majorMismatch,
                                                  commError, formMismatch, useBootTwo);
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
    return quillon::DownloadCode(link_, loader, code, report, radioType_, boot,
                                 attributes_.Processor416 != 0, consoleProgress, cancel, pump_);
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
