#include "link/LinkTrace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/FrameFormat.h"

namespace quillon::test {
namespace {

struct LastLine : TraceSink {
    void Line(const std::string& text) override { line = text; }
    std::string line;
};

CommMessage Message(const std::vector<uint8_t>& payload) {
    CommMessage message;
    message.Length = static_cast<int>(payload.size());
    std::copy(payload.begin(), payload.end(), message.Data);
    return message;
}

// Frames are traced byte for byte, except the data of the password and of the serial number
// (which starts the scrambling), checksum included: those show as one "**" per byte, stuffed
// or not.
TEST(LinkTrace, ShowsFramesAsSentOrReceivedAndMasksSecrets) {
    struct Case {
        const char* name;
        std::vector<uint8_t> payload;
        uint8_t header2;
        std::string wire;  // the hexadecimal part of the line
    };
    const Case cases[] = {
        {"password sent",
         {0x03, 0x0C, 0x12, 0x34, 0xFF, 0xFF},
         frame::kHeader2Message,
         "BA 7F 01 03 0C ** ** ** ** ** 7E"},
        {"password with stuffed digits",
         {0x03, 0x0C, 0x10, 0x7E, 0xBA, 0xFF},
         frame::kHeader2Message,
         "BA 7F 01 03 0C ** ** ** ** ** 7E"},
        {"serial number received",
         {0x04, 0x05, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0x10},
         frame::kHeader2Reply,
         "BA 7F 7F 04 05 ** ** ** ** ** ** ** ** ** 7E"},
        {"serial number request", {0x04, 0x04}, frame::kHeader2Message, "BA 7F 01 04 04 78 7E"},
        {"other reply, header as received",
         {0x04, 0x1D, 0x05, 0x0B},
         frame::kHeader2Reply,
         "BA 7F 7F 04 1D 05 0B D1 7E"},
        {"stuffed data of another message",
         {0x02, 0x02, 0x10, 0x7E},
         frame::kHeader2Reply,
         "BA 7F 7F 02 02 10 02 10 01 70 7E"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CommMessage message = Message(c.payload);
        const std::vector<uint8_t> wire = frame::BuildFrame(message, c.header2);
        LastLine sink;
        LinkTrace::Frame(sink, 42, "RX", wire.data(), static_cast<int>(wire.size()), message);
        const std::string expected = "42 RX " + c.wire + " [";
        EXPECT_EQ(sink.line.substr(0, expected.size()), expected) << sink.line;
    }
}

}  // namespace
}  // namespace quillon::test
