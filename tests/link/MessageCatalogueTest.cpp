#include <gtest/gtest.h>

#include <set>

#include "link/MessageCatalogue.h"
#include "link/MessageCodes.h"

namespace quillon {
namespace {

TEST(MessageCatalogue, UnknownIdLeavesTheMessageAlone) {
    CommMessage m = CommMessage::FromCode(0xAB, 0xCD);
    m.Length = 17;
    EXPECT_FALSE(BuildRequest(m, 999));
    EXPECT_EQ(m.Length, 17);
    EXPECT_TRUE(m.Data[0] == 0xAB && m.Data[1] == 0xCD);
    EXPECT_EQ(ReplyLength(999), 0);
    EXPECT_EQ(ReplyLength(-1), 0);
}

TEST(MessageCatalogue, ReplyLengthsCountTheCode) {
    EXPECT_EQ(ReplyLength(25), 10);   // 04 05, serial number
    EXPECT_EQ(ReplyLength(13), 130);  // 03 02, codeplug block
    EXPECT_EQ(ReplyLength(48), 130);  // 02 09, download block
    EXPECT_EQ(ReplyLength(63), 30);   // 07 30
    EXPECT_EQ(ReplyLength(51), 2);    // 04 20
    EXPECT_EQ(ReplyLength(2), 130);   // a code-less row still has its length
}

TEST(MessageCatalogue, IdZeroFindsTheFirstRowNotTheSpareOnes) {
    CommMessage m;
    ASSERT_TRUE(BuildRequest(m, 0));
    EXPECT_EQ(m.Length, 2);
    EXPECT_EQ(m.Data[0], 0x01);
    EXPECT_EQ(m.Data[1], 0x00);
    EXPECT_EQ(ReplyLength(0), 2);
}

TEST(MessageCatalogue, TableOrderAndSpareRows) {
    const auto rows = MessageCatalogue::Rows();
    ASSERT_EQ(rows.size(), 79u);
    for (size_t i = rows.size() - 4; i < rows.size(); ++i) {
        EXPECT_TRUE(rows[i].id == 0 && rows[i].code1 == 0 && rows[i].code2 == 0 &&
                    rows[i].dataLength == 0);
    }
    EXPECT_EQ(rows[0].id, 2);
    EXPECT_EQ(rows[9].id, 0);
    EXPECT_EQ(rows[74].id, 42);
    // Every id of the 75 real rows is distinct.
    std::set<int32_t> ids;
    for (size_t i = 0; i + 4 < rows.size(); ++i) {
        ids.insert(rows[i].id);
    }
    EXPECT_EQ(ids.size(), 75u);
}

TEST(MessageCatalogue, CodesOfTheQueriesAndTransfers) {
    struct Expect {
        int32_t id;
        uint8_t c1, c2;
        int replyLength;
    };
    const Expect expected[] = {
        {msgid::kFileFormatRequest, 0x04, 0x1C, 2},
        {msgid::kFileFormatReply, 0x04, 0x1D, 4},
        {msgid::kDspVersionReply, 0x04, 0x0C, 5},
        {msgid::kControllerVersionReply, 0x04, 0x0A, 5},
        {msgid::kHardwareRevisionReply, 0x04, 0x08, 5},
        {msgid::kBootVersionReply, 0x04, 0x2E, 4},
        {msgid::kSemVersionRequest, 0x04, 0x3E, 2},
        {msgid::kSemVersionReply, 0x04, 0x3F, 4},
        {msgid::kRadioKindReply, 0x04, 0x68, 3},
        {msgid::kRadioInfoReply, 0x04, 0x70, 12},
        {msgid::kSetSpeed, 0x09, 0x00, 2},
        {msgid::kImageStart, 0x02, 0x01, 2},
        {msgid::kPairChecksum, 0x02, 0x02, 4},
        {msgid::kCodeplugBlockChecksum, 0x03, 0x03, 4},
        {9, 0x02, 0x07, 2},
        {10, 0x02, 0x07, 2},
        {21, 0x03, 0x08, 2},
        {34, 0x04, 0x1A, 18},
        {41, 0x04, 0x21, 3},
        {54, 0x04, 0x2C, 6},
        {61, 0x07, 0x2E, 17},
        {76, 0x04, 0x29, 8},
        {45, 0xF0, 0x03, 2},
        {71, 0x07, 0x02, 2},
    };
    for (const Expect& e : expected) {
        CommMessage m;
        ASSERT_TRUE(BuildRequest(m, e.id)) << e.id;
        EXPECT_EQ(m.Data[0], e.c1) << e.id;
        EXPECT_EQ(m.Data[1], e.c2) << e.id;
        EXPECT_EQ(ReplyLength(e.id), e.replyLength) << e.id;
    }
}

// The code names both ends use and the catalogue rows must not drift apart.
TEST(MessageCatalogue, NamedCodesAgreeWithTheirRows) {
    struct Named {
        int32_t id;
        uint8_t family, code;
    };
    const Named named[] = {
        {msgid::kDspImageStart, loader::kFamily, loader::kDspImageStart},
        {msgid::kImageStart, loader::kFamily, loader::kImageStart},
        {msgid::kPairChecksum, loader::kFamily, loader::kPairChecksum},
        {msgid::kPageAcknowledge, loader::kFamily, loader::kPageAcknowledge},
        {msgid::kImageEnd, loader::kFamily, loader::kImageEnd},
        {msgid::kChecksumGood, loader::kFamily, loader::kChecksumGood},
        {msgid::kChecksumBad, loader::kFamily, loader::kChecksumBad},
        {msgid::kDownloadAck, loader::kFamily, loader::kAcknowledge},
        {msgid::kPageEnd, loader::kFamily, loader::kPageEnd},
        {msgid::kDownloadBlock, loader::kFamily, loader::kDataBlock},
        {msgid::kDownloadNegative, loader::kFamily, loader::kNegative},
        {msgid::kCodeplugDownloadStart, codeplug::kFamily, codeplug::kStartDownload},
        {msgid::kCodeplugBlock, codeplug::kFamily, codeplug::kDataBlock},
        {msgid::kCodeplugBlockChecksum, codeplug::kFamily, codeplug::kChecksumQuestion},
        {msgid::kCodeplugEnd, codeplug::kFamily, codeplug::kEnd},
        {msgid::kCodeplugChecksumGood, codeplug::kFamily, codeplug::kChecksumGood},
        {msgid::kCodeplugChecksumBad, codeplug::kFamily, codeplug::kChecksumBad},
        {msgid::kCodeplugUploadStart, codeplug::kFamily, codeplug::kStartUpload},
        {msgid::kCodeplugNextBlock, codeplug::kFamily, codeplug::kNextBlock},
        {msgid::kSerialNumberRequest, query::kFamily, query::kSerialNumberRequest},
        {msgid::kSerialNumberReply, query::kFamily, query::kSerialNumberReply},
        {msgid::kHardwareRevisionRequest, query::kFamily, query::kHardwareRevisionRequest},
        {msgid::kHardwareRevisionReply, query::kFamily, query::kHardwareRevisionReply},
        {msgid::kControllerVersionRequest, query::kFamily, query::kControllerVersionRequest},
        {msgid::kControllerVersionReply, query::kFamily, query::kControllerVersionReply},
        {msgid::kDspVersionRequest, query::kFamily, query::kDspVersionRequest},
        {msgid::kDspVersionReply, query::kFamily, query::kDspVersionReply},
        {msgid::kFileFormatRequest, query::kFamily, query::kFileFormatRequest},
        {msgid::kFileFormatReply, query::kFamily, query::kFileFormatReply},
        {msgid::kNotAvailable, query::kFamily, query::kNotAvailable},
        {msgid::kBootVersionRequest, query::kFamily, query::kBootVersionRequest},
        {msgid::kBootVersionReply, query::kFamily, query::kBootVersionReply},
        {msgid::kSemVersionRequest, query::kFamily, query::kSemVersionRequest},
        {msgid::kSemVersionReply, query::kFamily, query::kSemVersionReply},
        {msgid::kRadioKindRequest, query::kFamily, query::kRadioKindRequest},
        {msgid::kRadioKindReply, query::kFamily, query::kRadioKindReply},
        {msgid::kRadioInfoRequest, query::kFamily, query::kRadioInfoRequest},
        {msgid::kRadioInfoReply, query::kFamily, query::kRadioInfoReply},
        {msgid::kSetSpeed, linkcontrol::kFamily, linkcontrol::kSetSpeed},
    };
    for (const Named& n : named) {
        const MessageRow* row = MessageCatalogue::Find(n.id);
        ASSERT_NE(row, nullptr) << n.id;
        EXPECT_TRUE(row->code1 == n.family && row->code2 == n.code) << n.id;
    }
    EXPECT_EQ(ReplyLength(msgid::kCodeplugBlock), 2 + codeplug::kBlockBytes);
    EXPECT_EQ(ReplyLength(msgid::kDownloadBlock), 2 + loader::kBlockBytes);
}

}  // namespace
}  // namespace quillon
