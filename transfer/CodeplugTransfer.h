#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "transfer/EndOfImageWalk.h"
#include "transfer/PasswordExchange.h"
#include "transfer/TransferBase.h"

namespace quillon {

// Reads the codeplug out of the radio (Upload) and writes it back (Download) in 128-byte
// blocks with the 03 family of messages, after the password exchange. The image stays in the
// radio's byte order (each word high byte first).
class CodeplugTransfer : public TransferBase {
public:
    static constexpr int kBlockBytes = 128;

    // > 0 success (Length() then holds the bytes received), <= 0 failure.
    int Upload() override;
    // Sends the first Length() bytes, filled with 0x20 to an even number of blocks, each block
    // scrambled. > 0 success, <= 0 failure. Length() must lie in 0 to 65,536.
    int Download() override;
    // Also hands the link to the password checker.
    void SetDevice(CommSession& link) override;

    // Takes the serial number as text of hexadecimal digit pairs (blanks and control
    // characters at both ends are dropped; a character that is no hexadecimal digit counts as
    // 0; an unpaired last character is ignored) into the start of the scrambling register, at
    // most 8 bytes. Bytes not given stay 0. Returns the number of bytes stored.
    int SetSerialKey(const std::string& text);
    const std::array<uint8_t, 8>& SerialKey() const { return serialKey_; }

    // Download: sum of the plain blocks sent since the radio last asked for a checksum.
    uint16_t Checksum() const { return checksum_; }

    PasswordExchange& PassChecker() { return passChecker_; }
    // After a failed Upload or Download: false when no frame at all came from the radio after
    // the start message (a radio that does not answer), true when it failed partway.
    bool RadioAnswered() const { return radioAnswered_; }

private:
    int RunUpload(CommSession& link, ImageBuffer buffer);
    int RunDownload(CommSession& link, ImageBuffer buffer);

    PasswordExchange passChecker_;
    EndOfImageWalk walk_;
    uint16_t checksum_ = 0;
    bool radioAnswered_ = false;
    std::array<uint8_t, 8> serialKey_{};
};

}  // namespace quillon
