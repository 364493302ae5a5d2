#include "app/core/TargetRadioCheck.h"

#include "app/core/EmbeddedFiles.h"
#include "app/core/RadioType.h"
#include "link/MessageCatalogue.h"
#include "link/MessageCodes.h"
#include "link/ProtocolTiming.h"
#include "link/RadioQueries.h"

namespace quillon {

bool TargetRadioCheck::CheckTargetRadio(CommSession& link, UpdaterView& view,
                                        const ResourceAttributes& attributes, uint8_t radioType) {
    if (SkipsRadioChecks(radioType)) {
        return true;
    }
    uint8_t boot[2] = {};
    const int r = ReadBootVersion(link, radioType, boot);
    if (r == kReplyReceived) {
        const uint8_t type = RadioTypeOfRadio(attributes.RadioModel, boot[0], boot[1]);
        if (type == radioType && (boot[0] == attributes.Series || boot[0] == 7)) {
            return true;
        }
        ReportSeriesMismatch(view, attributes.RadioModel, boot[0]);
        view.SetStatus(kIdle);
        view.SetProgress(0, 100);
        return false;
    }
    if (r == kQueryNoBootVersion) {
        view.SetStatus(kNoBootInfo);
        return true;
    }
    view.SetStatus(kTargetCommError);
    return false;
}

std::string TargetRadioCheck::SeriesMismatchText(uint8_t model, uint8_t major) {
    return "This version of Quillon Code Updater does not match the radio series.\n"
           "Radio requires a " +
           EmbeddedFiles::ModelName(model) + "_Series_" + std::to_string(major) +
           " version of Quillon Code Updater.";
}

void TargetRadioCheck::ReportSeriesMismatch(UpdaterView& view, uint8_t model, uint8_t major) {
    view.ShowMessage(SeriesMismatchText(model, major), kCaption, MessageIcon::Error);
}

bool TargetRadioCheck::CheckBootVersion(CommSession& link, UpdaterView& view,
                                        const ResourceAttributes& attributes, uint8_t radioType,
                                        bool& useBootTwo) {
    if (SkipsRadioChecks(radioType)) {
        return true;
    }
    useBootTwo = false;
    uint8_t boot[2] = {};
    if (ReadBootVersion(link, radioType, boot) != kReplyReceived) {
        view.SetStatus(kBootCommError);
        return false;
    }
    uint32_t minor = 0;
    if (boot[0] == attributes.BootMajor) {
        minor = attributes.BootMinor;
    } else if (attributes.BootTwoMajor != 0 && boot[0] == attributes.BootTwoMajor) {
        useBootTwo = true;
        minor = attributes.BootTwoMinor;
    } else {
        view.SetStatus(kMajorMismatch);
        return false;
    }
    if (boot[1] == minor) {
        view.SetStatus(kBootCurrent);
        return false;
    }
    return true;
}

bool TargetRadioCheck::CheckBootVersionAuto(CommSession& link, const ResourceAttributes& attributes,
                                            uint8_t radioType, bool& majorMismatch, bool& commError,
                                            bool& formMismatch, bool& useBootTwo,
                                            uint8_t* bootRead) {
    majorMismatch = false;
    commError = false;
    formMismatch = false;
    useBootTwo = false;
    uint8_t boot[2] = {};
    if (ReadBootVersion(link, radioType, boot) != kReplyReceived) {
        commError = true;
        return false;
    }
    if (bootRead != nullptr) {
        bootRead[0] = boot[0];
        bootRead[1] = boot[1];
    }
    bool upgrade = true;
    if (boot[0] == attributes.BootMajor) {
        upgrade = boot[1] != attributes.BootMinor;
    } else if (attributes.BootTwoMajor != 0 && boot[0] == attributes.BootTwoMajor) {
        useBootTwo = true;
        upgrade = boot[1] != attributes.BootTwoMinor;
    } else {
        majorMismatch = true;
        return false;
    }
    bool mismatch = false;
    const uint8_t expected = attributes.RadioModel == 0 ? 1 : 0;
    if (!CheckPortableMobile(link, expected, mismatch) && mismatch) {
        formMismatch = true;
        return false;
    }
    // The kind question may have ended its wait by time-out; the link goes on.
    link.SetActive(true);
    return upgrade;
}

bool TargetRadioCheck::CheckPortableMobile(CommSession& link, uint8_t expected, bool& mismatch) {
    mismatch = false;
    link.SetTimeout(timing::kShortQueryTimeoutMs);
    CommMessage request;
    BuildRequest(request, msgid::kRadioKindRequest);
    link.SendMessage(request);
    // An earlier wait may have ended by time-out; this one must run its full 500 ms.
    link.SetActive(true);
    CommMessage reply;
    if (link.Receive(reply) != kReplyReceived ||
        !reply.HasCode(query::kFamily, query::kRadioKindReply) || reply.Length < 3) {
        return false;
    }
    if (reply.Data[2] == expected) {
        return true;
    }
    mismatch = true;
    return false;
}

}  // namespace quillon
