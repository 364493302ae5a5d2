#pragma once

// The codeplug transfer against the in-process virtual radio on the virtual clock.

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "link/ProtocolTiming.h"
#include "sim/FrameLog.h"
#include "tests/support/InProcessLink.h"
#include "transfer/CodeplugTransfer.h"

namespace quillon::test {

using ImageBytes = std::vector<uint8_t>;

// An image of blocks of the given lengths in words (marker, length word, then filler), then
// `tailBytes` bytes that hold no marker.
inline ImageBytes MakeImage(const std::vector<int>& blockWords, int tailBytes) {
    ImageBytes image;
    uint8_t fill = 0x31;
    for (int words : blockWords) {
        const size_t start = image.size();
        image.resize(start + 2 * static_cast<size_t>(words), 0);
        image[start] = 0x5F;
        image[start + 1] = 0x5F;
        image[start + 2] = static_cast<uint8_t>(words >> 8);
        image[start + 3] = static_cast<uint8_t>(words);
        for (size_t i = start + 4; i < image.size(); ++i) {
            image[i] = fill++;
        }
    }
    for (int i = 0; i < tailBytes; ++i) {
        image.push_back(static_cast<uint8_t>(0xA0 + i % 7));
    }
    return image;
}

// Bytes 0, 1, 2 ... of the given length.
inline ImageBytes CountingBytes(size_t length) {
    ImageBytes bytes(length);
    for (size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 256);
    }
    return bytes;
}

// Answers from a list; an empty entry in `cancelAt` positions means the user cancelled.
class ScriptedPrompt : public PasswordPrompt {
public:
    explicit ScriptedPrompt(std::vector<std::string> answers) : answers_(std::move(answers)) {}
    static constexpr char kCancel[] = "<cancel>";

    bool Ask(std::string& password) override {
        ++asked_;
        if (next_ >= answers_.size() || answers_[next_] == kCancel) {
            ++next_;
            return false;
        }
        password = answers_[next_++];
        return true;
    }
    int Asked() const { return asked_; }

private:
    std::vector<std::string> answers_;
    size_t next_ = 0;
    int asked_ = 0;
};

struct TransferRig {
    explicit TransferRig(sim::RadioConfig config = {}) : link(std::move(config), log) {
        std::string error;
        EXPECT_TRUE(link.Connect(error)) << error;
        link.session.SetTimeout(timing::kCodeplugReplyTimeoutMs);
        transfer.SetDevice(link.session);
        transfer.SetBuffer(buffer, 0);
        transfer.SetSerialKey("123456789ABCDEF0");  // the virtual radio's default serial
    }

    sim::CodeplugResponder& Radio() { return link.radio.Radio().Codeplug(); }
    // Frames the radio received with this code, e.g. "03 04".
    int Received(const std::string& code) const {
        std::istringstream lines(logText.str());
        std::string line;
        int count = 0;
        while (std::getline(lines, line)) {
            if (line.rfind("RX " + code, 0) == 0) {
                ++count;
            }
        }
        return count;
    }

    std::ostringstream logText;
    sim::FrameLog log{logText};
    InProcessLink link;
    std::unique_ptr<std::array<uint8_t, TransferBase::kImageBytes>> bufferStorage =
        std::make_unique<std::array<uint8_t, TransferBase::kImageBytes>>();
    TransferBase::ImageBuffer buffer{*bufferStorage};
    CodeplugTransfer transfer;
};

}  // namespace quillon::test
