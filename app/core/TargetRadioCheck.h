#pragma once

#include <cstdint>

#include "app/core/ResourceAttributes.h"
#include "app/core/UpdaterView.h"
#include "link/Comm.h"

namespace quillon {

// The checks an update runs before it writes anything: does the connected radio belong to
// this build's family and series, is its boot code current, older or of another generation,
// and is it a portable or a mobile. `radioType` is the build's type code (m_RadioType);
// `useBootTwo` is the window's m_UseBootTwo.
class TargetRadioCheck {
public:
    static constexpr char kCaption[] = "Quillon Code Updater";
    static constexpr char kIdle[] = "Idle";
    static constexpr char kTargetCommError[] =
        "Communication error while trying to check target radio.";
    static constexpr char kNoBootInfo[] = "No Boot Info.";
    static constexpr char kBootCurrent[] =
        "The boot version is current and does not need to be upgraded.";
    static constexpr char kMajorMismatch[] =
        "Error: the major boot versions of the radio and file are different.";
    static constexpr char kBootCommError[] =
        "Communication error while trying to retrieve boot version.";
    static constexpr char kPortableBuildMobileRadio[] =
        "This Quillon Code Updater is intended for a portable radio, and\n"
        "cannot be used with the connected mobile radio.";
    static constexpr char kMobileBuildPortableRadio[] =
        "This Quillon Code Updater is intended for a mobile radio, and\n"
        "cannot be used with the connected portable radio.";

    // Model and series: true when the radio matches (or the family is not checked, or the
    // radio has no boot information: status "No Boot Info."). A mismatch shows the
    // ReportSeriesMismatch box, status "Idle" and progress 0; no answer sets the status text.
    static bool CheckTargetRadio(CommSession& link, UpdaterView& view,
                                 const ResourceAttributes& attributes, uint8_t radioType);

    // The box of a type or series mismatch: the updater the radio of `model` and boot
    // generation `major` needs.
    static void ReportSeriesMismatch(UpdaterView& view, uint8_t model, uint8_t major);
    static std::string SeriesMismatchText(uint8_t model, uint8_t major);

    // Manual sequence, boot updates: true when the boot code is to be written; false with the
    // reason on the status line.
    static bool CheckBootVersion(CommSession& link, UpdaterView& view,
                                 const ResourceAttributes& attributes, uint8_t radioType,
                                 bool& useBootTwo);

    // Automatic sequence: true when the boot code must be upgraded first; false with one flag
    // set for a refusal, or none when the boot code is current. Shows nothing. `bootRead`, when
    // given, receives the radio's boot version (major, minor) as read.
    static bool CheckBootVersionAuto(CommSession& link, const ResourceAttributes& attributes,
                                     uint8_t radioType, bool& majorMismatch, bool& commError,
                                     bool& formMismatch, bool& useBootTwo,
                                     uint8_t* bootRead = nullptr);

    // Asks whether the radio is portable (1) or mobile (0). True when it is `expected`; false
    // with `mismatch` set when it is the other kind; false with `mismatch` clear when it gave
    // no usable answer (then treated as the right kind).
    static bool CheckPortableMobile(CommSession& link, uint8_t expected, bool& mismatch);

    // The refusal text of a portable/mobile mismatch for a build of `model`.
    static const char* FormMismatchText(uint8_t model) {
        return model == 1 ? kMobileBuildPortableRadio : kPortableBuildMobileRadio;
    }
};

}  // namespace quillon
