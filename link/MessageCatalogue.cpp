#include "link/MessageCatalogue.h"

namespace quillon {

namespace {

constexpr MessageRow kRows[] = {
    // No two-byte code; never sent.
    {2, 0x00, 0x00, 128},
    {37, 0x00, 0x00, 0},
    {38, 0x00, 0x00, 6},
    {39, 0x00, 0x00, 0},
    {40, 0x00, 0x00, 8},
    // F0 and 01
    {43, 0xF0, 0x00, 0},
    {44, 0xF0, 0x01, 0},
    {45, 0xF0, 0x03, 0},
    {46, 0xF0, 0x04, 0},
    {0, 0x01, 0x00, 0},
    // 02: code download
    {1, 0x02, 0x00, 0},
    {47, 0x02, 0x01, 0},
    {3, 0x02, 0x02, 2},
    {4, 0x02, 0x03, 0},
    {5, 0x02, 0x04, 0},
    {6, 0x02, 0x05, 0},
    {7, 0x02, 0x06, 0},
    {8, 0x02, 0x07, 0},
    {9, 0x02, 0x07, 0},
    {10, 0x02, 0x07, 0},
    {11, 0x02, 0x08, 0},
    {48, 0x02, 0x09, 128},
    {49, 0x02, 0x0A, 0},
    // 03: codeplug transfer
    {12, 0x03, 0x00, 0},
    {13, 0x03, 0x02, 128},
    {14, 0x03, 0x03, 2},
    {15, 0x03, 0x04, 0},
    {16, 0x03, 0x05, 0},
    {17, 0x03, 0x06, 0},
    {18, 0x03, 0x07, 0},
    {19, 0x03, 0x08, 0},
    {20, 0x03, 0x08, 0},
    {21, 0x03, 0x08, 0},
    {50, 0x03, 0x09, 0},
    // 04: radio queries
    {22, 0x04, 0x01, 0},
    {23, 0x04, 0x02, 1},
    {24, 0x04, 0x04, 0},
    {25, 0x04, 0x05, 8},
    {26, 0x04, 0x07, 0},
    {27, 0x04, 0x08, 3},
    {28, 0x04, 0x09, 0},
    {29, 0x04, 0x0A, 3},
    {30, 0x04, 0x0B, 0},
    {31, 0x04, 0x0C, 3},
    {32, 0x04, 0x18, 0},
    {33, 0x04, 0x19, 0},
    {34, 0x04, 0x1A, 16},
    {41, 0x04, 0x21, 1},
    {35, 0x04, 0x1C, 0},
    {36, 0x04, 0x1D, 2},
    {51, 0x04, 0x20, 0},
    {52, 0x04, 0x2A, 0},
    {53, 0x04, 0x2B, 0},
    {54, 0x04, 0x2C, 4},
    {55, 0x04, 0x1B, 0},
    {56, 0x04, 0x2D, 0},
    {57, 0x04, 0x2E, 2},
    {58, 0x04, 0x3E, 0},
    {59, 0x04, 0x3F, 2},
    {64, 0x04, 0x5F, 0},
    {65, 0x04, 0x60, 1},
    {66, 0x04, 0x67, 0},
    {67, 0x04, 0x68, 1},
    {74, 0x04, 0x27, 6},
    {75, 0x04, 0x28, 0},
    {76, 0x04, 0x29, 6},
    {77, 0x04, 0x6F, 0},
    {78, 0x04, 0x70, 10},
    // 07: radio status
    {60, 0x07, 0x2D, 0},
    {61, 0x07, 0x2E, 15},
    {62, 0x07, 0x2F, 0},
    {63, 0x07, 0x30, 28},
    {70, 0x07, 0x33, 0},
    {71, 0x07, 0x02, 0},
    // 09: link control
    {42, 0x09, 0x00, 0},
    // Spare rows.
    {0, 0x00, 0x00, 0},
    {0, 0x00, 0x00, 0},
    {0, 0x00, 0x00, 0},
    {0, 0x00, 0x00, 0},
};

}  // namespace

std::span<const MessageRow> MessageCatalogue::Rows() {
    return kRows;
}

const MessageRow* MessageCatalogue::Find(int32_t id) {
    for (const MessageRow& row : kRows) {
        if (row.id == id) {
            return &row;
        }
    }
    return nullptr;
}

const char* MessageCatalogue::Name(uint8_t code1, uint8_t code2) {
    struct Named {
        int32_t id;
        const char* name;
    };
    static constexpr Named kNames[] = {
        {msgid::kDspImageStart, "DspImageStart"},
        {msgid::kImageStart, "ImageStart"},
        {msgid::kPairChecksum, "PairChecksum"},
        {msgid::kPageAcknowledge, "PageAcknowledge"},
        {msgid::kImageEnd, "ImageEnd"},
        {msgid::kChecksumGood, "ChecksumGood"},
        {msgid::kChecksumBad, "ChecksumBad"},
        {msgid::kDownloadAck, "DownloadAck"},
        {msgid::kPageEnd, "PageEnd"},
        {msgid::kDownloadBlock, "DownloadBlock"},
        {msgid::kDownloadNegative, "DownloadNegative"},
        {msgid::kCodeplugDownloadStart, "CodeplugDownloadStart"},
        {msgid::kCodeplugBlock, "CodeplugBlock"},
        {msgid::kCodeplugBlockChecksum, "CodeplugBlockChecksum"},
        {msgid::kCodeplugEnd, "CodeplugEnd"},
        {msgid::kCodeplugChecksumGood, "CodeplugChecksumGood"},
        {msgid::kCodeplugChecksumBad, "CodeplugChecksumBad"},
        {msgid::kCodeplugUploadStart, "CodeplugUploadStart"},
        {msgid::kCodeplugNextBlock, "CodeplugNextBlock"},
        {msgid::kSerialNumberRequest, "SerialNumberRequest"},
        {msgid::kSerialNumberReply, "SerialNumberReply"},
        {msgid::kHardwareRevisionRequest, "HardwareRevisionRequest"},
        {msgid::kHardwareRevisionReply, "HardwareRevisionReply"},
        {msgid::kControllerVersionRequest, "ControllerVersionRequest"},
        {msgid::kControllerVersionReply, "ControllerVersionReply"},
        {msgid::kDspVersionRequest, "DspVersionRequest"},
        {msgid::kDspVersionReply, "DspVersionReply"},
        {msgid::kFileFormatRequest, "FileFormatRequest"},
        {msgid::kFileFormatReply, "FileFormatReply"},
        {msgid::kNotAvailable, "NotAvailable"},
        {msgid::kBootVersionRequest, "BootVersionRequest"},
        {msgid::kBootVersionReply, "BootVersionReply"},
        {msgid::kSemVersionRequest, "SemVersionRequest"},
        {msgid::kSemVersionReply, "SemVersionReply"},
        {msgid::kRadioKindRequest, "RadioKindRequest"},
        {msgid::kRadioKindReply, "RadioKindReply"},
        {msgid::kRadioInfoRequest, "RadioInfoRequest"},
        {msgid::kRadioInfoReply, "RadioInfoReply"},
        {msgid::kSetSpeed, "SetSpeed"},
    };
    for (const Named& named : kNames) {
        const MessageRow* row = Find(named.id);
        if (row != nullptr && row->code1 == code1 && row->code2 == code2) {
            return named.name;
        }
    }
    return nullptr;
}

bool BuildRequest(CommMessage& message, int32_t id) {
    const MessageRow* row = MessageCatalogue::Find(id);
    if (row == nullptr) {
        return false;
    }
    message.Data[0] = row->code1;
    message.Data[1] = row->code2;
    message.Length = 2;
    return true;
}

int ReplyLength(int32_t id) {
    const MessageRow* row = MessageCatalogue::Find(id);
    return row == nullptr ? 0 : row->dataLength + 2;
}

}  // namespace quillon
