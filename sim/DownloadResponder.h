#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "sim/DownloadConfig.h"
#include "sim/FamilyResponder.h"

namespace quillon::sim {

// The radio's loader: the 02 family. Takes a loader into RAM (02 01, blocks, 02 04), answers the
// processor query, erases the flash, takes the code image in pairs of 128-byte blocks with a sum
// check of its own, verifies each pair, and takes DSP pages (02 00, blocks, 02 08, 02 04).
class DownloadResponder : public FamilyResponder {
public:
    using Clock = std::function<int64_t()>;  // milliseconds

    DownloadResponder(const DownloadConfig& config, Clock clock);
    Reaction Respond(const Request& request) override;

    // What has arrived so far.
    const Bytes& CodeStream() const { return code_; }
    const std::vector<Bytes>& DspPages() const { return pages_; }
    int64_t LoaderBytes() const { return loaderBytes_; }
    int64_t BlocksReceived() const { return blocks_; }
    int SumsBad() const { return sumsBad_; }
    // Second blocks that came again after a bad sum.
    int Resends() const { return resends_; }
    bool CodeEnded() const { return codeEnded_; }
    bool DspEnded() const { return dspEnded_; }

private:
    enum class Phase { kIdle, kLoader, kLoaderInRam, kCode, kCodeEnded, kDsp };

    Reaction Start(bool dsp);
    Reaction Block(const Bytes& payload);
    Reaction Verdict(bool good);
    Reaction End();
    Reaction EndOfPage();
    uint16_t PairSum() const;
    void WriteFile(const std::string& path, const Bytes& bytes) const;

    const DownloadConfig& config_;
    Clock clock_;
    Phase phase_ = Phase::kIdle;
    int negativesLeft_;
    int badSumsLeft_;
    int64_t eraseDoneMs_ = 0;
    Bytes pair_;  // the blocks of the pair in progress
    bool awaitVerdict_ = false;
    Bytes code_;
    Bytes page_;
    std::vector<Bytes> pages_;
    int64_t loaderBytes_ = 0;
    int64_t blocks_ = 0;
    int sumsBad_ = 0;
    int resends_ = 0;
    bool codeEnded_ = false;
    bool dspEnded_ = false;
};

}  // namespace quillon::sim
