#pragma once

// How fast the progress bar moves during the steps of a restore whose length is known only by
// time: the progress timer's interval for each, chosen so that its 100 steps roughly cover the
// step's wait.
namespace quillon::progress {

constexpr int kRestartWaitMs = 200;           // waiting for the restarted radio
constexpr int kPerControlHeadMs = 1080;       // each control-head update
constexpr int kUploadMs = 300;                // the codeplug upload
constexpr int kResetPauseMs = 200;            // the pause before the codeplug steps
constexpr double kDownloadMsPerByte = 0.015;  // the codeplug download, per byte written

// The tool's terminal lines (a transfer's bar, the fleet's line per radio) are drawn again at
// most this often (and always at a step's end).
constexpr int kBarRedrawMs = 100;

}  // namespace quillon::progress
