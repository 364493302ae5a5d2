#pragma once

#include <cstdint>
#include <span>

#include "link/CommMessage.h"

namespace quillon {

// One row of the message catalogue: a message id, its two-byte code and the number of data
// bytes that follow the code.
struct MessageRow {
    int32_t id;
    uint8_t code1;
    uint8_t code2;
    uint8_t dataLength;
};

// Ids of the catalogue rows whose meaning the program relies on.
namespace msgid {
// 02: code download
constexpr int32_t kDspImageStart = 1;      // 02 00
constexpr int32_t kImageStart = 47;        // 02 01
constexpr int32_t kPairChecksum = 3;       // 02 02, 2 data bytes
constexpr int32_t kPageAcknowledge = 4;    // 02 03
constexpr int32_t kImageEnd = 5;           // 02 04
constexpr int32_t kChecksumGood = 6;       // 02 05
constexpr int32_t kChecksumBad = 7;        // 02 06
constexpr int32_t kDownloadAck = 8;        // 02 07 (also ids 9 and 10)
constexpr int32_t kPageEnd = 11;           // 02 08
constexpr int32_t kDownloadBlock = 48;     // 02 09, 128 data bytes
constexpr int32_t kDownloadNegative = 49;  // 02 0A
// 03: codeplug transfer
constexpr int32_t kCodeplugDownloadStart = 12;  // 03 00
constexpr int32_t kCodeplugBlock = 13;          // 03 02, 128 data bytes
constexpr int32_t kCodeplugBlockChecksum = 14;  // 03 03, 2 data bytes
constexpr int32_t kCodeplugEnd = 15;            // 03 04
constexpr int32_t kCodeplugChecksumGood = 16;   // 03 05
constexpr int32_t kCodeplugChecksumBad = 17;    // 03 06
constexpr int32_t kCodeplugUploadStart = 18;    // 03 07
constexpr int32_t kCodeplugNextBlock = 19;      // 03 08 (also ids 20 and 21)
// 04: radio queries
constexpr int32_t kSerialNumberRequest = 24;       // 04 04
constexpr int32_t kSerialNumberReply = 25;         // 04 05, 8 data bytes
constexpr int32_t kHardwareRevisionRequest = 26;   // 04 07
constexpr int32_t kHardwareRevisionReply = 27;     // 04 08, 3 data bytes
constexpr int32_t kControllerVersionRequest = 28;  // 04 09
constexpr int32_t kControllerVersionReply = 29;    // 04 0A, 3 data bytes
constexpr int32_t kDspVersionRequest = 30;         // 04 0B
constexpr int32_t kDspVersionReply = 31;           // 04 0C, 3 data bytes
constexpr int32_t kFileFormatRequest = 35;         // 04 1C
constexpr int32_t kFileFormatReply = 36;           // 04 1D, 2 data bytes
constexpr int32_t kNotAvailable = 51;              // 04 20, no data
constexpr int32_t kBootVersionRequest = 56;        // 04 2D
constexpr int32_t kBootVersionReply = 57;          // 04 2E, 2 data bytes
constexpr int32_t kSemVersionRequest = 58;         // 04 3E
constexpr int32_t kSemVersionReply = 59;           // 04 3F, 2 data bytes
constexpr int32_t kRadioKindRequest = 66;          // 04 67
constexpr int32_t kRadioKindReply = 67;            // 04 68, 1 data byte
constexpr int32_t kRadioInfoRequest = 77;          // 04 6F
constexpr int32_t kRadioInfoReply = 78;            // 04 70, 10 data bytes
// 09: link control
constexpr int32_t kSetSpeed = 42;  // 09 00 (its speed byte is not counted in the row)
}  // namespace msgid

// The constant table of every message the program knows, in table order, followed by four
// empty rows. Look-ups take the first row with the id, so id 0 finds 01 00.
class MessageCatalogue {
public:
    static std::span<const MessageRow> Rows();
    // The first row with `id`, or nullptr.
    static const MessageRow* Find(int32_t id);
    // The name of a message the program relies on ("SerialNumberReply"), or nullptr.
    static const char* Name(uint8_t code1, uint8_t code2);
};

// Sets `message` to the two code bytes of row `id` with Length 2; false (message unchanged)
// when no row has the id.
bool BuildRequest(CommMessage& message, int32_t id);

// The payload length of message `id`, code included (data length + 2); 0 for an unknown id.
int ReplyLength(int32_t id);

}  // namespace quillon
