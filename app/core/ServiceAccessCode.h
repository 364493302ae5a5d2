#pragma once

#include "app/core/PasswordEntry.h"

namespace quillon {

// The service access code asked before the first update of a program run. Once either code
// has been accepted, no later Start asks again (m_PasswordAccepted).
class ServiceAccessCode {
public:
    static constexpr char kApplicationCode[] = "pelican";
    static constexpr char kBootCode[] = "marigold";

    // The code expected: the boot code when boot was requested from a build that does not
    // upgrade boot code by itself, else the application code.
    static const char* Expected(bool bootRequested, bool autoBootMode) {
        return bootRequested && !autoBootMode ? kBootCode : kApplicationCode;
    }

    // Whether the dialog's answer lets the update run: confirmed with OK and the trimmed text
    // equal to the expected code, with case.
    static bool Accepts(const PasswordEntry& entry, bool bootRequested, bool autoBootMode) {
        return entry.Accepted == 1 &&
               entry.GetPasswordText() == Expected(bootRequested, autoBootMode);
    }

    bool Accepted() const { return accepted_; }
    // Records an answer; true when the update may run (now or from an earlier answer).
    bool Answer(const PasswordEntry& entry, bool bootRequested, bool autoBootMode) {
        accepted_ = accepted_ || Accepts(entry, bootRequested, autoBootMode);
        return accepted_;
    }

private:
    bool accepted_ = false;
};

}  // namespace quillon
