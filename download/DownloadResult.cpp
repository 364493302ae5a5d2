#include "download/DownloadResult.h"

namespace quillon {

std::string DownloadResultText(int result) {
    switch (result) {
        case kDownloadCommProblem:
            return kCommProblemText;
        case kDownloadTimedOut:
            return kTimedOutText;
        case kDownloadVerifyFailed:
            return kVerifyFailedText;
        case kDownloadWrongProcessor:
            return "The radio's processor does not match this updater.";
        case kDownloadFileError:
            return "The download files could not be read or written.";
        default:
            return "";
    }
}

std::string DspResultText(int result) {
    switch (result) {
        case kDownloadCommProblem:
            return kDspCommProblemText;
        case kDownloadTimedOut:
            return kDspTimedOutText;
        default:
            return DownloadResultText(result);
    }
}

}  // namespace quillon
