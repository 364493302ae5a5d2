#include "transfer/CodeplugTransfer.h"

#include <algorithm>

#include "link/Comm.h"
#include "link/HexDigit.h"
#include "link/MessageCodes.h"
#include "link/ProtocolTiming.h"
#include "serial/ProgressReport.h"
#include "transfer/BlockScrambler.h"

namespace quillon {

using namespace codeplug;

namespace {

constexpr uint8_t kFiller = 0x20;
constexpr int kCodeBytes = 2;

bool Is(const CommMessage& message, uint8_t code2) {
    return message.Length >= kCodeBytes && message.Data[0] == kFamily && message.Data[1] == code2;
}

// A serial-number digit; anything else counts as 0.
int HexValue(char c) {
    return std::max(HexDigitValue(c), 0);
}

bool IsBlankOrControl(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7F;
}

// The whole-image span of a buffer the caller promised holds a whole image.
TransferBase::ImageBuffer WholeImage(uint8_t* buffer) {
    return TransferBase::ImageBuffer(buffer, TransferBase::kImageBytes);
}

}  // namespace

void CodeplugTransfer::SetDevice(CommSession& link) {
    TransferBase::SetDevice(link);
    passChecker_.SetDevice(link);
}

int CodeplugTransfer::SetSerialKey(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsBlankOrControl(text[first])) {
        ++first;
    }
    while (last > first && IsBlankOrControl(text[last - 1])) {
        --last;
    }
    serialKey_.fill(0);
    int stored = 0;
    for (size_t i = first; i + 1 < last && stored < static_cast<int>(serialKey_.size()); i += 2) {
        serialKey_[stored++] =
            static_cast<uint8_t>((HexValue(text[i]) << 4) | HexValue(text[i + 1]));
    }
    return stored;
}

int CodeplugTransfer::Upload() {
    CommSession* link = Link();
    if (link == nullptr || Buffer() == nullptr) {
        return -1;
    }
    link->SetActive(true);
    const int result = RunUpload(*link, WholeImage(Buffer()));
    link->SetActive(false);
    return result;
}

int CodeplugTransfer::RunUpload(CommSession& link, ImageBuffer buffer) {
    SetLength(0);
    radioAnswered_ = false;
    int result = link.SendCode2(kFamily, kStartUpload, nullptr, 0);
    if (result <= 0) {
        return result;
    }
    result = passChecker_.Check();
    radioAnswered_ = passChecker_.Answered();
    if (result <= 0) {
        return result;
    }
    walk_.Reset();
    int32_t length = 0;
    int64_t expected = 0;
    if (Progress() != nullptr) {
        Progress()->BeginStep("upload", 0);
    }
    int stalled = 0;  // 03 08 frames since the last block
    for (;;) {
        if (Cancelled()) {
            link.SendCode2(kFamily, kEnd, nullptr, 0);
            return -1;
        }
        CommMessage message{};
        if (link.Receive(message) != 1) {
            return -1;
        }
        if (Is(message, kNextBlock)) {
            if (++stalled > timing::kMaxStalledTransferFrames) {
                link.SendCode2(kFamily, kEnd, nullptr, 0);
                return -1;
            }
            continue;
        }
        stalled = 0;
        // A block frame without its 128 data bytes is as wrong as any other frame.
        if (!Is(message, kDataBlock) || message.Length < kCodeBytes + kBlockBytes) {
            return -1;
        }
        std::copy_n(message.Data + kCodeBytes, kBlockBytes, buffer.begin() + length);
        length += kBlockBytes;
        SetLength(length);
        if (Progress() != nullptr) {
            if (length == kBlockBytes && buffer[0] == 0x5F && buffer[1] == 0x5F) {
                // Header word 4 counts the image's words; it estimates the upload's size.
                expected = std::min<int64_t>(kImageBytes, 2 * ((buffer[8] << 8) | buffer[9]));
            }
        }
        const bool complete = walk_.Complete(buffer, length);
        if (Progress() != nullptr) {
            const int64_t total = complete ? length : std::max<int64_t>(expected, length);
            Progress()->Bytes(length, total);
            Progress()->Advance(length, total);
        }
        if (complete) {
            return link.SendCode2(kFamily, kEnd, nullptr, 0);
        }
        result = link.SendCode2(kFamily, kNextBlock, nullptr, 0);
        if (result <= 0) {
            return result;
        }
    }
}

int CodeplugTransfer::Download() {
    CommSession* link = Link();
    if (link == nullptr || Buffer() == nullptr || Length() < 0 || Length() > kImageBytes) {
        return -1;
    }
    link->SetActive(true);
    const int result = RunDownload(*link, WholeImage(Buffer()));
    link->SetActive(false);
    return result;
}

int CodeplugTransfer::RunDownload(CommSession& link, ImageBuffer buffer) {
    const int32_t length = Length();
    std::fill(buffer.begin() + length, buffer.end(), kFiller);
    BlockScrambler scrambler(serialKey_);
    radioAnswered_ = false;

    int result = link.SendCode2(kFamily, kStartDownload, nullptr, 0);
    if (result <= 0) {
        return result;
    }
    result = passChecker_.Check();
    radioAnswered_ = passChecker_.Answered();
    if (result <= 0) {
        return result;
    }
    // Always an even number of blocks.
    const int32_t blocks = ((length + 2 * kBlockBytes - 1) / (2 * kBlockBytes)) * 2;
    if (Progress() != nullptr) {
        Progress()->BeginStep("download", int64_t{blocks} * kBlockBytes);
    }
    int32_t block = 0;
    checksum_ = 0;
    int questions = 0;  // checksum questions since the last block
    for (;;) {
        if (Cancelled()) {
            // No 03 04 here: the radio would take it for the end of a complete image.
            return -1;
        }
        CommMessage message{};
        if (link.Receive(message) != 1) {
            return -1;
        }
        if (Is(message, kChecksumQuestion)) {
            if (++questions > timing::kMaxStalledTransferFrames) {
                return -1;
            }
            // A question without its two bytes cannot match.
            const bool match = message.Length >= kCodeBytes + 2 &&
                               ((message.Data[2] << 8) | message.Data[3]) == checksum_;
            result = link.SendCode2(kFamily, match ? kChecksumGood : kChecksumBad, nullptr, 0);
            if (result <= 0) {
                return result;
            }
            checksum_ = 0;
        } else if (Is(message, kNextBlock)) {
            if (block * kBlockBytes >= length && block % 2 == 0) {
                return link.SendCode2(kFamily, kEnd, nullptr, 0);
            }
            const auto plain =
                buffer.subspan(static_cast<size_t>(block) * kBlockBytes).first<kBlockBytes>();
            checksum_ =
                static_cast<uint16_t>(checksum_ + CommSession::WordSum(plain.data(), kBlockBytes));
            uint8_t frame[kBlockBytes];
            scrambler.Scramble(plain, frame);
            result = link.SendCode2(kFamily, kDataBlock, frame, kBlockBytes);
            if (result <= 0) {
                return result;
            }
            ++block;
            questions = 0;
            if (Progress() != nullptr) {
                const int64_t sent = int64_t{block} * kBlockBytes;
                // The blocks after the image's end carry filler.
                Progress()->Bytes(std::min<int64_t>(sent, length), length);
                Progress()->Advance(sent, int64_t{blocks} * kBlockBytes);
            }
        } else {
            // Neither a question nor a request: the download has not finished.
            return -1;
        }
    }
}

}  // namespace quillon
