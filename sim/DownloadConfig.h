#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillon::sim {

// How the radio's loader behaves during a loader, code or DSP download, and the faults it plays.
struct DownloadConfig {
    uint8_t processorCode = 4;  // answered to 02 0B once the loader is in RAM (4: 416, 8: 816)
    int eraseMs = 0;            // the flash erase after the loader; the code start waits for it
    int startNegatives = 0;     // answer this many starts (02 01, 02 00) with 02 0A first
    int badSums = 0;            // report this many pair sums wrong (one more than ours)
    // How a resent second block is answered: false, the pair is summed again (a fresh 02 02);
    // true, with 02 07 alone, as the exchange is written, the radio waiting for the next resend.
    bool acknowledgeResends = false;
    std::optional<uint32_t> verifyFailAt;  // byte address of the code stream that fails verify
    int silentFromBlock = -1;  // no answer to data blocks from this one on (0 = the first)
    int dropLineAtBlock = -1;  // the line goes dead when this block arrives
    std::string codeOutPath;   // the received code stream is written here at its end
    std::string dspOutPath;    // the received DSP pages, one after another, at the end
};

}  // namespace quillon::sim
