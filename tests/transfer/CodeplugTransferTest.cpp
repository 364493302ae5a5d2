#include "transfer/CodeplugTransfer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "serial/CancelFlag.h"
#include "serial/ProgressReport.h"
#include "tests/transfer/TransferFixture.h"

namespace quillon::test {
namespace {

struct WalkCase {
    const char* name;
    ImageBytes image;
    int32_t expectedLength;
};

TEST(CodeplugUpload, EndOfImageWalk) {
    ImageBytes allMarkers(65536, 0x5F);
    // A codeplug: blocks of 100 and 60 words, then its 128-word trailer, which the header's
    // total length (word 4: 288 words) counts.
    ImageBytes codeplug = MakeImage({100, 60}, 256);
    codeplug[8] = 0x01;
    codeplug[9] = 0x20;
    const WalkCase cases[] = {
        {"a codeplug's trailer is read to its end", codeplug, 640},
        {"first block holds no marker", ImageBytes(512, 0x11), 128},
        {"a 100-word block, then no marker", MakeImage({100}, 400), 256},
        // One head per block: 40 short blocks and the tail take 41 blocks to walk.
        {"the walk lags behind short blocks", MakeImage(std::vector<int>(40, 4), 6000), 41 * 128},
        // The second head starts 2 bytes before the end of the data received when it is
        // examined: its length reads 0, and it is examined again after the next block.
        {"a head whose length has not arrived", MakeImage({127, 100}, 600), 512},
        {"markers everywhere fill the buffer", allMarkers, 65536},
        {"the radio's memory ends in erased bytes", MakeImage({64, 64}, 0), 384},
    };
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(c.name);
        sim::RadioConfig config;
        config.codeplug.image = c.image;
        TransferRig rig(config);
        ASSERT_GT(rig.transfer.Upload(), 0);
        EXPECT_EQ(rig.transfer.Length(), c.expectedLength);
        EXPECT_EQ(rig.Received("03 04"), 1);
        EXPECT_FALSE(rig.link.session.Active());
        const size_t shared = std::min<size_t>(c.image.size(), c.expectedLength);
        EXPECT_TRUE(std::equal(c.image.begin(), c.image.begin() + shared, rig.buffer.begin()));
        // Beyond the codeplug the radio sends its erased memory.
        EXPECT_TRUE(std::all_of(rig.buffer.begin() + shared, rig.buffer.begin() + c.expectedLength,
                                [](uint8_t b) { return b == 0xFF; }));
    }
}

// Silence at every block is in the far-end table; a frame of another kind ends a transfer at
// once.
TEST(CodeplugTransfer, AnUnexpectedFrameEndsWithoutSuccess) {
    for (const bool upload : {true, false}) {
        SCOPED_TRACE(upload ? "upload" : "download");
        sim::RadioConfig config;
        config.codeplug.image = MakeImage(std::vector<int>(20, 30), 300);
        for (const uint8_t code : {uint8_t{0x08}, uint8_t{0x02}}) {
            sim::FaultRule rule;
            rule.code = {0x03, code};
            rule.answerUnable = true;
            config.faults.push_back(rule);
        }
        TransferRig rig(config);
        std::copy(config.codeplug.image.begin(), config.codeplug.image.end(), rig.buffer.begin());
        rig.transfer.SetLength(static_cast<int32_t>(config.codeplug.image.size()));
        const int64_t start = rig.link.pump.NowMs();
        EXPECT_LE(upload ? rig.transfer.Upload() : rig.transfer.Download(), 0);
        EXPECT_LT(rig.link.pump.NowMs() - start, timing::kCodeplugReplyTimeoutMs);
        EXPECT_EQ(rig.Radio().DownloadsCompleted(), 0);
        EXPECT_FALSE(rig.link.session.Active());
    }
}

struct DownloadCase {
    int32_t length;
    int blocksSent;
};

TEST(CodeplugDownload, EvenBlocksFilledWithBlanks) {
    const DownloadCase cases[] = {{0, 0}, {128, 2}, {256, 2}, {300, 4}, {384, 4}, {65536, 512}};
    for (const DownloadCase& c : cases) {
        SCOPED_TRACE("length " + std::to_string(c.length));
        TransferRig rig;
        const ImageBytes image = CountingBytes(static_cast<size_t>(c.length));
        std::fill(rig.buffer.begin(), rig.buffer.end(), 0xEE);
        std::copy(image.begin(), image.end(), rig.buffer.begin());
        rig.transfer.SetBuffer(rig.buffer, c.length);
        ASSERT_GT(rig.transfer.Download(), 0);

        const sim::Bytes& stored = rig.Radio().Memory();
        ASSERT_EQ(stored.size(), static_cast<size_t>(c.blocksSent) * 128);
        EXPECT_TRUE(std::equal(image.begin(), image.end(), stored.begin()));
        EXPECT_TRUE(std::all_of(stored.begin() + c.length, stored.end(),
                                [](uint8_t b) { return b == 0x20; }));
        EXPECT_EQ(rig.Radio().DownloadsCompleted(), 1);
        // Every pair's sum was confirmed, so each question compared the sum of its own pair.
        EXPECT_EQ(rig.Radio().ChecksumsConfirmed(), c.blocksSent / 2);
        EXPECT_EQ(rig.Radio().ChecksumsDenied(), 0);
        EXPECT_EQ(rig.Received("03 04"), 1);
        EXPECT_FALSE(rig.link.session.Active());
    }
}

TEST(CodeplugDownload, WrongChecksumQuestionIsDeniedAndTheDownloadGoesOn) {
    sim::RadioConfig config;
    config.codeplug.badChecksumPair = 1;
    TransferRig rig(config);
    const ImageBytes image = CountingBytes(1024);
    std::copy(image.begin(), image.end(), rig.buffer.begin());
    rig.transfer.SetLength(1024);
    ASSERT_GT(rig.transfer.Download(), 0);
    EXPECT_EQ(rig.Received("03 06"), 1);
    EXPECT_EQ(rig.Radio().ChecksumsDenied(), 1);
    EXPECT_EQ(rig.Radio().ChecksumsConfirmed(), 3);
    EXPECT_EQ(rig.Radio().Memory(), sim::Bytes(image.begin(), image.end()));
}

TEST(CodeplugDownload, ScramblingStartsFromTheSerialNumber) {
    // Each row: the serial the updater uses; whether the radio (serial 12 34 ... F0) reads the
    // image back as sent.
    const std::pair<const char*, bool> rows[] = {
        {"123456789ABCDEF0", true},
        {" 123456789abcdef0\r\n", true},
        {"123456789ABCDEF1", false},
        {"", false},
    };
    for (const auto& [serial, readable] : rows) {
        SCOPED_TRACE(serial);
        TransferRig rig;
        rig.transfer.SetSerialKey(serial);
        const ImageBytes image = CountingBytes(768);
        std::copy(image.begin(), image.end(), rig.buffer.begin());
        rig.transfer.SetLength(768);
        ASSERT_GT(rig.transfer.Download(), 0);
        EXPECT_EQ(rig.Radio().Memory() == sim::Bytes(image.begin(), image.end()), readable);
        EXPECT_EQ(rig.Radio().ChecksumsDenied(), readable ? 0 : 3);
    }
}

TEST(CodeplugDownload, LengthOutsideTheImageIsRefusedBeforeAnythingIsSent) {
    for (const int32_t length : {-1, 65537, 1 << 30}) {
        TransferRig rig;
        rig.transfer.SetLength(length);
        EXPECT_EQ(rig.transfer.Download(), -1) << length;
        EXPECT_EQ(rig.link.radio.BytesToRadio(), 0) << length;
    }
}

// Cancels after `afterBlocks` blocks have been reported.
class CancelAfter : public ProgressReport {
public:
    CancelAfter(CancelFlag& flag, int64_t afterBytes) : flag_(flag), afterBytes_(afterBytes) {}
    void Advance(int64_t done, int64_t total) override {
        last_ = done;
        lastTotal_ = total;
        if (afterBytes_ > 0 && done >= afterBytes_) {
            flag_.Cancel();
        }
    }
    void Bytes(int64_t done, int64_t total) override {
        lastBytes_ = done;
        lastBytesTotal_ = total;
    }
    int64_t last_ = 0;
    int64_t lastTotal_ = 0;
    int64_t lastBytes_ = 0;
    int64_t lastBytesTotal_ = 0;

private:
    CancelFlag& flag_;
    int64_t afterBytes_;
};

TEST(CodeplugTransfer, CancelBetweenBlocksAndProgress) {
    for (const bool upload : {true, false}) {
        SCOPED_TRACE(upload ? "upload" : "download");
        sim::RadioConfig config;
        config.codeplug.image = MakeImage(std::vector<int>(20, 60), 300);
        for (const bool cancel : {false, true}) {
            TransferRig rig(config);
            CancelFlag flag;
            CancelAfter report(flag, cancel ? 3 * 128 : 0);
            rig.transfer.SetProgress(&report);
            rig.transfer.SetCancelFlag(&flag);
            std::copy(config.codeplug.image.begin(), config.codeplug.image.end(),
                      rig.buffer.begin());
            rig.transfer.SetLength(2400);
            const int result = upload ? rig.transfer.Upload() : rig.transfer.Download();
            if (cancel) {
                EXPECT_EQ(result, -1);
                EXPECT_EQ(report.last_, 3 * 128);
                // An upload is ended politely; a download must not look complete.
                EXPECT_EQ(rig.Received("03 04"), upload ? 1 : 0);
                EXPECT_EQ(rig.Radio().DownloadsCompleted(), 0);
            } else {
                EXPECT_GT(result, 0);
                EXPECT_EQ(report.last_, upload ? rig.transfer.Length() : 2560);
                EXPECT_EQ(report.last_, report.lastTotal_);
                // The image's bytes, without the filler that closes a download's last pair.
                const int64_t image = upload ? rig.transfer.Length() : 2400;
                EXPECT_EQ(report.lastBytes_, image);
                EXPECT_EQ(report.lastBytesTotal_, image);
            }
        }
    }
}

}  // namespace
}  // namespace quillon::test
