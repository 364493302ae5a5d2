#pragma once

#include <filesystem>
#include <vector>

#include "app/core/EmbeddedFiles.h"
#include "app/core/RadioConnection.h"
#include "app/core/ResourceAttributes.h"
#include "app/core/UpdateSteps.h"
#include "app/core/UpdaterView.h"
#include "link/Comm.h"
#include "serial/EventPump.h"

namespace quillon {

// The steps of an update carried out by the program's own parts: the connection, the checks
// of the radio against the build, the embedded images and the download engines.
class AppUpdateSteps : public UpdateSteps {
public:
    AppUpdateSteps(CommSession& link, EventPump& pump, UpdaterView& view,
                   RadioConnection& connection, EmbeddedFiles& files,
                   const ResourceAttributes& attributes, uint8_t radioType,
                   std::vector<std::filesystem::path> pageFolderParents = {});

    // Command-line mode: the port given on the command line.
    void SetConsolePort(int number) { consolePort_ = number; }
    void SetRecord(UpdateRecord* record) override { record_ = record; }

    bool ConnectToRadio(bool lowSpeed) override;
    void CloseLink() override;
    bool CheckBootVersion(bool& useBootTwo) override;
    bool CheckBootVersionAuto(bool& majorMismatch, bool& commError, bool& formMismatch,
                              bool& useBootTwo) override;
    bool ExtractEmbeddedFiles(bool boot, bool useBootTwo, std::string& loaderFile,
                              std::string& codeFile) override;
    bool CheckTargetRadio() override;
    int DownloadCode(std::istream& loader, std::istream& code, ProgressReport& report, bool boot,
                     bool consoleProgress, const CancelFlag* cancel) override;
    // The DSP page files are built in a private folder made for this download (under the first
    // of the page-folder parents that takes it: by default the temporary folder, then the
    // working folder) and removed with it on every path.
    int DownloadDsp(std::istream& loader, std::istream& code, ProgressReport& report,
                    const CancelFlag* cancel) override;

private:
    CommSession& link_;
    EventPump& pump_;
    UpdaterView& view_;
    RadioConnection& connection_;
    EmbeddedFiles& files_;
    const ResourceAttributes& attributes_;
    uint8_t radioType_;
    std::vector<std::filesystem::path> pageFolderParents_;
    int consolePort_ = 0;
    UpdateRecord* record_ = nullptr;
    bool bootTwo_ = false;  // the radio's boot code is of the second boot set
};

}  // namespace quillon
