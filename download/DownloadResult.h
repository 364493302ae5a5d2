#pragma once

#include <string>

namespace quillon {

// The outcome of a loader, code or DSP download. 1, 2 and 4 are the values of the link's
// ReplyStatus.
enum DownloadResult : int {
    kDownloadOk = 1,
    kDownloadCommProblem = 2,
    kDownloadTimedOut = 4,  // timed out, cancelled, or the checksum resends were used up
    kDownloadVerifyFailed = 6,
    kDownloadWrongProcessor = 9,
    kDownloadFileError = 10  // a DSP file that cannot be read or page files that cannot be written
};

constexpr char kCommProblemText[] = "Communication problem during code download.";
constexpr char kTimedOutText[] = "Code download timed out or canceled by user.";
constexpr char kVerifyFailedText[] = "Flash Verify failed at address: 0x";
constexpr char kDspCommProblemText[] = "Communication problem during DSP download.";
constexpr char kDspTimedOutText[] = "DSP download timed out or canceled by user.";

// The status-line text of a result of a loader or code download ("" for 1 and 9; for 6 the
// text without its address).
std::string DownloadResultText(int result);
// The same for a DSP download.
std::string DspResultText(int result);

}  // namespace quillon
