#include "sim/DownloadResponder.h"

#include <fstream>
#include <utility>

#include "link/MessageCodes.h"

namespace quillon::sim {

using namespace loader;

namespace {

Bytes Code(uint8_t code) {
    return Bytes{kFamily, code};
}

Reaction Answer(Bytes reply) {
    Reaction reaction;
    reaction.replies.push_back(std::move(reply));
    return reaction;
}

Reaction Ignored(std::string why) {
    Reaction reaction;
    reaction.note = std::move(why);
    return reaction;
}

}  // namespace

DownloadResponder::DownloadResponder(const DownloadConfig& config, Clock clock)
    : config_(config),
      clock_(std::move(clock)),
      negativesLeft_(config.startNegatives),
      badSumsLeft_(config.badSums) {}

Reaction DownloadResponder::Respond(const Request& request) {
    const Bytes& payload = request.payload;
    if (request.IsProbe() || payload.size() < 2) {
        return Ignored("download message with the probe header ignored");
    }
    if (payload[1] != kDataBlock && payload.size() != 2) {
        return Ignored("download message with unexpected data ignored");
    }
    switch (payload[1]) {
        case kImageStart:
            return Start(false);
        case kDspImageStart:
            return Start(true);
        case kDataBlock:
            return Block(payload);
        case kChecksumGood:
            return Verdict(true);
        case kChecksumBad:
            return Verdict(false);
        case kImageEnd:
            return End();
        case kPageEnd:
            return EndOfPage();
        case kProcessorQuery:
            if (phase_ != Phase::kLoaderInRam) {
                return Ignored("processor query without a loader in RAM");
            }
            return Answer(Bytes{kFamily, kProcessorReply, 0x00, config_.processorCode});
        default:
            return Ignored("unknown download message");
    }
}

Reaction DownloadResponder::Start(bool dsp) {
    if (dsp && phase_ != Phase::kLoaderInRam) {
        return Ignored("DSP start without a loader in RAM");
    }
    if (negativesLeft_ > 0) {
        --negativesLeft_;
        return Answer(Code(kNegative));
    }
    Reaction reaction = Answer(Code(kAcknowledge));
    pair_.clear();
    awaitVerdict_ = false;
    if (dsp) {
        phase_ = Phase::kDsp;
        page_.clear();
    } else if (phase_ == Phase::kLoaderInRam) {
        phase_ = Phase::kCode;
        code_.clear();
        // The flash is still being erased: the acknowledgement waits for it.
        const int64_t left = eraseDoneMs_ - clock_();
        if (left > 0) {
            reaction.delayMs = static_cast<int>(left);
        }
    } else {
        phase_ = Phase::kLoader;
        loaderBytes_ = 0;
    }
    return reaction;
}

uint16_t DownloadResponder::PairSum() const {
    uint16_t sum = 0;
    for (size_t i = 0; i + 1 < pair_.size(); i += 2) {
        sum = static_cast<uint16_t>(sum + (pair_[i] | pair_[i + 1] << 8));
    }
    return sum;
}

Reaction DownloadResponder::Block(const Bytes& payload) {
    if (payload.size() != 2 + kBlockBytes) {
        return Ignored("data block of the wrong length");
    }
    const int64_t index = blocks_++;
    if (config_.dropLineAtBlock >= 0 && index >= config_.dropLineAtBlock) {
        Reaction reaction = Ignored("the line drops");
        reaction.dropLine = true;
        return reaction;
    }
    if (config_.silentFromBlock >= 0 && index >= config_.silentFromBlock) {
        return Ignored("silent from block " + std::to_string(config_.silentFromBlock));
    }
    if (phase_ != Phase::kLoader && phase_ != Phase::kCode && phase_ != Phase::kDsp) {
        return Ignored("data block outside an image");
    }
    if (phase_ == Phase::kLoader) {
        loaderBytes_ += static_cast<int64_t>(kBlockBytes);
    }
    if (pair_.size() >= 2 * kBlockBytes) {
        // The second block again, after a bad sum.
        pair_.resize(kBlockBytes);
        pair_.insert(pair_.end(), payload.begin() + 2, payload.end());
        ++resends_;
        if (config_.acknowledgeResends && phase_ != Phase::kDsp) {
            return Answer(Code(0x07));
        }
    } else {
        pair_.insert(pair_.end(), payload.begin() + 2, payload.end());
    }
    if (pair_.size() < 2 * kBlockBytes) {
        return Answer(Code(kAcknowledge));
    }
    uint16_t sum = PairSum();
    if (badSumsLeft_ > 0) {
        --badSumsLeft_;
        sum = static_cast<uint16_t>(sum + 1);
    }
    awaitVerdict_ = true;
    return Answer(
        Bytes{kFamily, kPairChecksum, static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum)});
}

Reaction DownloadResponder::Verdict(bool good) {
    if (!awaitVerdict_) {
        return Ignored("sum verdict without a pair");
    }
    awaitVerdict_ = false;
    if (!good) {
        ++sumsBad_;
        if (phase_ != Phase::kDsp) {
            return Answer(Code(kAcknowledge));  // the second block comes again
        }
    }
    if (phase_ == Phase::kCode && config_.verifyFailAt) {
        const uint32_t at = *config_.verifyFailAt;
        if (at >= code_.size() && at < code_.size() + pair_.size()) {
            pair_.clear();
            return Answer(Bytes{kFamily, kNegative, static_cast<uint8_t>(at >> 24),
                                static_cast<uint8_t>(at >> 16), static_cast<uint8_t>(at >> 8),
                                static_cast<uint8_t>(at)});
        }
    }
    if (phase_ == Phase::kCode) {
        code_.insert(code_.end(), pair_.begin(), pair_.end());
    } else if (phase_ == Phase::kDsp) {
        page_.insert(page_.end(), pair_.begin(), pair_.end());
    }
    pair_.clear();
    return Answer(Code(kAcknowledge));
}

Reaction DownloadResponder::End() {
    switch (phase_) {
        case Phase::kLoader:
            phase_ = Phase::kLoaderInRam;
            eraseDoneMs_ = clock_() + config_.eraseMs;
            return Ignored("loader in RAM; erasing");
        case Phase::kCode: {
            phase_ = Phase::kCodeEnded;
            codeEnded_ = true;
            WriteFile(config_.codeOutPath, code_);
            Reaction ended =
                Ignored("code image ended: " + std::to_string(code_.size()) + " bytes");
            ended.restart = true;  // the radio runs its new code
            return ended;
        }
        case Phase::kDsp: {
            dspEnded_ = true;
            phase_ = Phase::kCodeEnded;
            Bytes all;
            for (const Bytes& page : pages_) {
                all.insert(all.end(), page.begin(), page.end());
            }
            WriteFile(config_.dspOutPath, all);
            return Ignored("DSP image ended: " + std::to_string(pages_.size()) + " pages");
        }
        default:
            return Ignored("end of image outside an image");
    }
}

Reaction DownloadResponder::EndOfPage() {
    if (phase_ != Phase::kDsp) {
        return Ignored("end of page outside a DSP image");
    }
    pages_.push_back(std::move(page_));
    page_.clear();
    pair_.clear();
    return Answer(Code(kPageAcknowledge));
}

void DownloadResponder::WriteFile(const std::string& path, const Bytes& bytes) const {
    if (path.empty()) {
        return;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace quillon::sim
