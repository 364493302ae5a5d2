#pragma once

#include <cstdint>
#include <istream>
#include <string>

#include "app/core/UpdateRecord.h"
#include "serial/CancelFlag.h"
#include "serial/ProgressReport.h"

namespace quillon {

// The build this updater is for, as far as the update sequences need it.
struct UpdateBuild {
    uint8_t radioModel = 0;  // 0 portable (6700), 1 mobile (6900)
    uint8_t series = 6;
    uint8_t upgradeType = 3;  // 0 Application, 1 Boot, 2 DSP, 3 Application/Boot
    bool processor416 = false;
    uint8_t radioType = 0;  // the build's radio type code

    // Builds of series 4 and 6 that carry both code sets upgrade an old boot code themselves.
    bool AutoBootMode() const { return (series == 4 || series == 6) && upgradeType == 3; }
};

// The steps of an update that other parts of the program carry out: connecting, identifying
// the radio, writing out the embedded images and downloading them. The update sequences call
// them in order; each tells the user itself why it failed.
class UpdateSteps {
public:
    virtual ~UpdateSteps() = default;

    // Where the steps note what they learn of the radio (port, device, versions) and why a
    // step of theirs failed; none by default.
    virtual void SetRecord(UpdateRecord* /*record*/) {}

    // Opens the link (115200 bit/s unless `lowSpeed`); false when nothing is open.
    virtual bool ConnectToRadio(bool lowSpeed) = 0;
    // Closes the link and frees the port; errors are ignored.
    virtual void CloseLink() = 0;
    // Manual boot download: true to go on. `useBootTwo` as for CheckBootVersionAuto.
    virtual bool CheckBootVersion(bool& useBootTwo) = 0;
    // True when the boot code must be upgraded; false with one flag set for a refusal, false
    // with none for a current boot code. `useBootTwo` tells whether the radio's generation is
    // that of the second boot set.
    virtual bool CheckBootVersionAuto(bool& majorMismatch, bool& commError, bool& formMismatch,
                                      bool& useBootTwo) = 0;
    // Writes out and joins the images of a set (boot or application; the second boot set when
    // `useBootTwo`); the joined files' names come back.
    virtual bool ExtractEmbeddedFiles(bool boot, bool useBootTwo, std::string& loaderFile,
                                      std::string& codeFile) = 0;
    virtual bool CheckTargetRadio() = 0;
    // The download engines: 1 success, 9 processor mismatch, anything else a reported failure.
    virtual int DownloadCode(std::istream& loader, std::istream& code, ProgressReport& report,
                             bool boot, bool consoleProgress, const CancelFlag* cancel) = 0;
    virtual int DownloadDsp(std::istream& loader, std::istream& code, ProgressReport& report,
                            const CancelFlag* cancel) = 0;
};

}  // namespace quillon
