#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "transfer/PasswordPrompt.h"
#include "transfer/TransferBase.h"

namespace quillon {

// Conducts the radio's codeplug password exchange right after a transfer's start message:
// answers each password request (03 0B) with a password the user gives (03 0C), at most three
// times, skips the restart notice 07 25 and control-head updates 09 03, and ends with 03 04 when
// access is not granted.
class PasswordExchange : public TransferBase {
public:
    static constexpr int kMaxAttempts = 3;
    // Check results.
    static constexpr int kGranted = 1;
    static constexpr int kNotGranted = 0;  // cancelled, attempts used, or an unexpected frame
    static constexpr int kLinkFailed = -1;

    // No prompt: every request counts as cancelled until one is set (not owned).
    void SetPasswordPrompt(quillon::PasswordPrompt* prompt) { prompt_ = prompt; }

    // kGranted when the radio granted access (03 0D or 03 0E); kNotGranted when it did not
    // (03 04 has been sent); kLinkFailed when no frame came or a send failed.
    int Check();
    // Whether the last Check received any frame from the radio: false when the radio never
    // answered the transfer's start message.
    bool Answered() const { return answered_; }

    // Asks the prompt; false when the user cancelled or there is no prompt.
    bool PasswordPrompt(std::string& password);

    // The password on the wire: the first eight decimal digits among the first 12 characters,
    // two per byte, the earlier digit in the high nibble; nibbles without a digit are 0xF.
    static std::array<uint8_t, 4> PackPassword(const std::string& text);

private:
    quillon::PasswordPrompt* prompt_ = nullptr;
    bool answered_ = false;
};

}  // namespace quillon
