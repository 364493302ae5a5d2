#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "download/DownloadContext.h"
#include "link/CommMessage.h"

namespace quillon {

// Builds 128-byte data blocks (02 09) from a stream of words and exchanges them with the radio's
// loader in pairs: the second block of every pair is answered by the radio's sum of the pair
// (02 02), which is compared with ours (02 05 good, 02 06 bad).
class BlockSender {
public:
    enum class Style {
        kCode,  // 10 ms after each block; a bad pair is sent again (at most four times); a
                // negative reply to the second block is a verify failure
        kDsp    // no pause; a bad sum is reported and the transfer goes on
    };
    static constexpr int kBlockDataBytes = 128;
    static constexpr int kProgressPerBlock = 64;

    BlockSender(const DownloadContext& context, Style style);

    // Begins a fresh transfer: an empty block, the pair flag and the pair sum cleared, result 1,
    // progress 0 of `progressMaximum`. `progressText` leads each console line when
    // `consoleProgress` is set. `imageBytes` is how many bytes the image holds (0 when unknown):
    // each block taken is reported to report.Bytes, counted up to it.
    void Start(int64_t progressMaximum, std::string progressText, bool consoleProgress,
               int64_t imageBytes = 0);

    // The two bytes of a word, low byte first; sends the block before it when it is full.
    void PutWord(uint8_t low, uint8_t high);
    void AddProgress(int weight) { progress_ += weight; }
    // Pads the current block with 0xFF and sends it, and a whole further block of 0xFF when the
    // pair is incomplete, so the radio always gets whole pairs.
    void Close();

    int Result() const { return result_; }
    bool Good() const { return result_ == 1; }
    // Why the result is what it is, when the transfer failed.
    bool ChecksumResendsUsedUp() const { return resendsUsedUp_; }
    bool VerifyFailed() const { return result_ == 6; }
    const std::string& VerifyText() const { return verifyText_; }
    int64_t ProgressPosition() const;
    int64_t BlocksSent() const { return blocksSent_; }

private:
    void SendBlock();
    void SendOne();
    int Wait(uint8_t codeA, int lengthA, uint8_t codeB, int lengthB, int& which,
             CommMessage& reply);
    bool ExchangeSecond();
    int ResendWhileRefused(int status, int& which, CommMessage& reply);
    struct Expected {
        uint8_t code;  // second code byte (the family is 02)
        int payloadLength;
    };
    int WaitAny(std::initializer_list<Expected> expected, int& which, CommMessage& reply);
    void VerifyFailure(const CommMessage& reply);

    DownloadContext context_;
    Style style_;
    CommMessage block_;
    bool secondOfPair_ = false;
    uint16_t pairSum_ = 0;
    int result_ = 1;
    bool resendsUsedUp_ = false;
    std::string verifyText_;
    int64_t progress_ = 0;
    int64_t maximum_ = 0;
    std::string progressText_;
    bool consoleProgress_ = false;
    int64_t blocksSent_ = 0;
    int64_t imageBytes_ = 0;
};

}  // namespace quillon
