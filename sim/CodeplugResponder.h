#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "sim/FamilyResponder.h"
#include "sim/RadioConfig.h"

namespace quillon::sim {

// The 03 family: the radio serves its codeplug (upload: 03 07, one 03 02 block per 03 08,
// 03 04 ends) and takes a new one (download: 03 00, asks each block with 03 08, asks the
// checksum of every pair with 03 03, descrambles each block, keeps the image on 03 04), after
// its password exchange (03 0B, 03 0C, granted with 03 0D).
class CodeplugResponder : public FamilyResponder {
public:
    static constexpr int kBlockBytes = 128;
    static constexpr int kMemoryBytes = 65536;

    explicit CodeplugResponder(const RadioConfig& config);
    Reaction Respond(const Request& request) override;

    // What the radio holds and serves: the configured codeplug, then each completed download.
    const Bytes& Memory() const { return memory_; }
    int DownloadsCompleted() const { return downloadsCompleted_; }
    int PasswordsTried() const { return passwordsTried_; }
    int ChecksumsConfirmed() const { return checksumsConfirmed_; }  // 03 05 answers
    int ChecksumsDenied() const { return checksumsDenied_; }        // 03 06 answers
    int BlocksReceived() const { return static_cast<int>(received_.size()) / kBlockBytes; }
    int BlocksSent() const { return blocksSent_; }

    // The radio's password on the wire (same packing as the updater's).
    static std::array<uint8_t, 4> PackDigits(const std::string& digits);

private:
    enum class Mode { Idle, UploadPassword, DownloadPassword, Uploading, Downloading };

    void Start(bool upload, Reaction& reaction);
    void Grant(Reaction& reaction);
    void SendBlock(Reaction& reaction);
    void AskNext(Reaction& reaction);
    void TakeBlock(const Bytes& payload, Reaction& reaction);
    void Finish(Reaction& reaction);
    uint8_t NextKeyByte();

    const RadioConfig& config_;
    Mode mode_ = Mode::Idle;
    Bytes memory_;
    Bytes received_;
    int blocksSent_ = 0;
    uint64_t feedback_ = 0;
    int downloadsCompleted_ = 0;
    int passwordsTried_ = 0;
    int checksumsConfirmed_ = 0;
    int checksumsDenied_ = 0;
};

}  // namespace quillon::sim
