#pragma once

#include <cstdint>
#include <initializer_list>
#include <istream>
#include <utility>

#include "download/DownloadContext.h"
#include "download/DownloadResult.h"
#include "download/SRecordReader.h"
#include "link/Comm.h"
#include "serial/CancelFlag.h"
#include "serial/EventPump.h"
#include "serial/ProgressReport.h"

namespace quillon {

// Sends the RAM loader and then the code image (S-record text) into the radio, waiting out the
// flash erase between the two. Returns a DownloadResult (1, 2, 4, 6 or 9). Both images are
// checked whole first (CheckSRecordImage, so the streams must be seekable); when one fails,
// nothing is sent and the result is kDownloadFileError, with "Loader image not sent: line <n>:
// <reason>" (or "Code image ...") as the status.
//
// The link must be connected, framed and active. Status texts go to report.Status, console lines
// (with their carriage returns) to report.Console when `consoleProgress` is set, the progress
// bar to report.BeginStep ("loader", "erase", "code") and report.Advance. A set `cancel` ends
// the download promptly with result 4.
//
// `pump` is the event pump the session was made with: the 10 ms pause after each block and the
// erase wait go through it. It comes last and has no default because the session does not hand
// out its own; `cancel` may be nullptr.
int DownloadCode(CommSession& link, std::istream& loader, std::istream& code,
                 ProgressReport& report, uint8_t radioType, bool bootCode, bool processor416,
                 bool consoleProgress, const CancelFlag* cancel, EventPump& pump);

// The same with the session, pump, report and cancel flag in one record.
int DownloadCode(const DownloadContext& context, std::istream& loader, std::istream& code,
                 uint8_t radioType, bool bootCode, bool processor416, bool consoleProgress);

// One image through the start handshake, the blocks and the end of image. `isCode` selects the
// texts and the return to 19200 bit/s afterwards. Used by DownloadCode; exposed for the tools.
// The image is read as it comes: the caller checks it whole first (ImagesSound).
// The loader before a DSP download is read the fixed S3 way and a refused start is not asked
// again.
enum class ImageKind { kLoader, kApplication, kBoot };
struct ImageOptions {
    SRecordReader::Mode mode = SRecordReader::Mode::kNormal;
    bool askAgainWhenRefused = true;  // port mode: a negative reply to the start sends it again
};
int SendImage(const DownloadContext& context, std::istream& image, ImageKind kind,
              bool consoleProgress, std::string* progressText = nullptr,
              const ImageOptions& options = {});

// Checks each image whole (see CheckSRecordImage) and puts its stream back; at the first that
// fails, shows "<name> image not sent: line <n>: <reason>" and returns false.
struct ImageToCheck {
    std::istream& stream;
    SRecordReader::Mode mode = SRecordReader::Mode::kNormal;
};
bool ImagesSound(const DownloadContext& context,
                 std::initializer_list<std::pair<const char*, ImageToCheck>> images);

// The erase wait in ticks of 55 ms and its status text ("" when the status stays) for a radio.
struct EraseWait {
    int ticks;
    const char* text;
};
EraseWait EraseWaitFor(uint8_t radioType, bool bootCode);

// The size of a seekable stream from its current position (0 when it cannot be told).
int64_t StreamSize(std::istream& in);

}  // namespace quillon
