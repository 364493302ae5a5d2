#include "sim/CodeplugResponder.h"

#include <cstdio>
#include <fstream>

#include "link/MessageCodes.h"
#include "transfer/BlockScrambler.h"
#include "transfer/Des.h"

namespace quillon::sim {

using namespace codeplug;

namespace {

constexpr uint8_t kErasedByte = 0xFF;
constexpr int kMaxBlocks = CodeplugResponder::kMemoryBytes / CodeplugResponder::kBlockBytes;

const Bytes kRestartNotice{radiostatus::kFamily, radiostatus::kRestarted};

Bytes Code(uint8_t code2) {
    return Bytes{kFamily, code2};
}

uint16_t PairSum(const Bytes& data, size_t from) {
    uint16_t sum = 0;
    for (size_t i = from; i + 1 < data.size(); i += 2) {
        sum = static_cast<uint16_t>(sum + ((data[i] << 8) | data[i + 1]));
    }
    return sum;
}

// Stores through a temporary file, so a reader never sees half an image.
bool StoreFile(const std::string& path, const Bytes& bytes, std::string& error) {
    const std::string temp = path + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            error = "cannot write " + temp;
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        error = "cannot replace " + path;
        return false;
    }
    return true;
}

}  // namespace

CodeplugResponder::CodeplugResponder(const RadioConfig& config)
    : config_(config), memory_(config.codeplug.image) {}

std::array<uint8_t, 4> CodeplugResponder::PackDigits(const std::string& digits) {
    std::array<uint8_t, 4> packed{0xFF, 0xFF, 0xFF, 0xFF};
    for (size_t n = 0; n < digits.size() && n < 8; ++n) {
        const auto d = static_cast<uint8_t>(digits[n] - '0');
        packed[n / 2] = n % 2 == 0 ? static_cast<uint8_t>((d << 4) | 0x0F)
                                   : static_cast<uint8_t>((packed[n / 2] & 0xF0) | d);
    }
    return packed;
}

Reaction CodeplugResponder::Respond(const Request& request) {
    Reaction reaction;
    const Bytes& p = request.payload;
    if (request.IsProbe() || p.size() < 2) {
        reaction.note = "codeplug message ignored";
        return reaction;
    }
    const uint8_t code = p[1];
    if (code == kStartUpload || code == kStartDownload) {
        Start(code == kStartUpload, reaction);
    } else if (code == kEnd) {
        Finish(reaction);
    } else if (code == kPassword &&
               (mode_ == Mode::UploadPassword || mode_ == Mode::DownloadPassword)) {
        ++passwordsTried_;
        const Bytes given(p.begin() + 2, p.end());
        const std::array<uint8_t, 4> wanted = PackDigits(config_.codeplug.password);
        if (given == Bytes(wanted.begin(), wanted.end())) {
            Grant(reaction);
        } else {
            reaction.note = "wrong codeplug password";
            reaction.replies.push_back(Code(kPasswordWanted));
        }
    } else if (code == kNextBlock && mode_ == Mode::Uploading) {
        SendBlock(reaction);
    } else if (code == kDataBlock && mode_ == Mode::Downloading) {
        TakeBlock(p, reaction);
    } else if ((code == kChecksumGood || code == kChecksumBad) && mode_ == Mode::Downloading) {
        ++(code == kChecksumGood ? checksumsConfirmed_ : checksumsDenied_);
        AskNext(reaction);
    } else {
        reaction.note = "codeplug message out of turn";
    }
    return reaction;
}

void CodeplugResponder::Start(bool upload, Reaction& reaction) {
    if (config_.codeplug.restartNotice) {
        reaction.replies.push_back(kRestartNotice);
    }
    blocksSent_ = 0;
    received_.clear();
    if (!config_.codeplug.password.empty()) {
        mode_ = upload ? Mode::UploadPassword : Mode::DownloadPassword;
        reaction.replies.push_back(Code(kPasswordWanted));
        return;
    }
    mode_ = upload ? Mode::UploadPassword : Mode::DownloadPassword;
    Grant(reaction);
}

void CodeplugResponder::Grant(Reaction& reaction) {
    reaction.replies.push_back(Code(kAccessGranted));
    if (mode_ == Mode::UploadPassword) {
        mode_ = Mode::Uploading;
        SendBlock(reaction);
    } else {
        mode_ = Mode::Downloading;
        feedback_ = Des::Load(config_.serialNumber);
        AskNext(reaction);
    }
}

void CodeplugResponder::SendBlock(Reaction& reaction) {
    if (blocksSent_ >= kMaxBlocks) {
        reaction.note = "the whole memory has been sent";
        return;
    }
    if (blocksSent_ == config_.codeplug.silentBlock) {
        reaction.note = "silent at block " + std::to_string(blocksSent_);
        ++blocksSent_;
        return;
    }
    Bytes reply = Code(kDataBlock);
    const size_t from = static_cast<size_t>(blocksSent_) * kBlockBytes;
    for (size_t i = from; i < from + kBlockBytes; ++i) {
        reply.push_back(i < memory_.size() ? memory_[i] : kErasedByte);
    }
    reaction.replies.push_back(std::move(reply));
    ++blocksSent_;
}

void CodeplugResponder::AskNext(Reaction& reaction) {
    const int next = BlocksReceived();
    if (next == config_.codeplug.silentBlock) {
        reaction.note = "silent at block " + std::to_string(next);
        return;
    }
    reaction.replies.push_back(Code(kNextBlock));
}

uint8_t CodeplugResponder::NextKeyByte() {
    static const Des des(BlockScrambler::kKey);
    const auto key = static_cast<uint8_t>(des.Encrypt(feedback_) >> 56);
    feedback_ = (feedback_ << 8) | key;
    return key;
}

void CodeplugResponder::TakeBlock(const Bytes& payload, Reaction& reaction) {
    if (payload.size() != 2 + kBlockBytes) {
        reaction.note = "codeplug block of " + std::to_string(payload.size() - 2) + " bytes";
        return;
    }
    if (BlocksReceived() >= kMaxBlocks) {
        reaction.note = "codeplug block beyond the memory";
        return;
    }
    // Undo the scrambling: the first word was masked with two keystream bytes, every later
    // word with the first word as sent; each word travelled with its bytes swapped.
    const uint8_t k1 = NextKeyByte();
    const uint8_t k2 = NextKeyByte();
    const uint8_t* c = payload.data() + 2;
    Bytes plain(kBlockBytes);
    plain[1] = static_cast<uint8_t>(c[0] ^ k1);
    plain[0] = static_cast<uint8_t>(c[1] ^ k2);
    for (int j = 2; j < kBlockBytes; j += 2) {
        plain[j + 1] = static_cast<uint8_t>(c[j] ^ c[0]);
        plain[j] = static_cast<uint8_t>(c[j + 1] ^ c[1]);
    }
    received_.insert(received_.end(), plain.begin(), plain.end());
    const int blocks = BlocksReceived();
    if (blocks % 2 != 0) {
        AskNext(reaction);
        return;
    }
    uint16_t sum = PairSum(received_, received_.size() - 2 * kBlockBytes);
    if (blocks / 2 - 1 == config_.codeplug.badChecksumPair) {
        sum = static_cast<uint16_t>(sum + 1);
        reaction.note = "wrong checksum question for pair " + std::to_string(blocks / 2 - 1);
    }
    reaction.replies.push_back(Bytes{kFamily, kChecksumQuestion, static_cast<uint8_t>(sum >> 8),
                                     static_cast<uint8_t>(sum)});
}

void CodeplugResponder::Finish(Reaction& reaction) {
    const Mode was = mode_;
    mode_ = Mode::Idle;
    if (was != Mode::Downloading) {
        reaction.note = "codeplug exchange ended";
        return;
    }
    memory_ = received_;
    ++downloadsCompleted_;
    reaction.note = "codeplug of " + std::to_string(memory_.size()) + " bytes stored";
    std::string error;
    if (!config_.codeplug.outPath.empty() && !StoreFile(config_.codeplug.outPath, memory_, error)) {
        reaction.note += "; " + error;
    }
}

}  // namespace quillon::sim
