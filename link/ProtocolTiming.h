#pragma once

#include <cstdint>

// Every time-out, pause and retry limit of the radio protocol, in one place, so that a reviewer
// sees each wait of an update on one screen. Ticks are the 55 ms ticks of the component library's
// pauses; they are kept as ticks where the protocol counts them so.
namespace quillon::timing {

constexpr int kTickMs = 55;  // one tick of a counted pause
constexpr int TicksToMs(int ticks) {
    return ticks * kTickMs;
}

// ---- link session ----
constexpr uint32_t kDefaultReplyTimeoutMs = 4000;  // the session's time-out until set
constexpr uint32_t kQueryTimeoutMs = 4000;      // version (SEM too), boot-version, serial queries
constexpr uint32_t kShortQueryTimeoutMs = 500;  // radio information, portable/mobile kind
constexpr uint32_t kProbeTimeoutMs = 500;       // interface-box probe
constexpr int kRadioSpeedSettleMs = 100;        // device mode: the radio switches before we do
constexpr int kTransmitWaitLimitMs = 10000;     // room in / draining of the transmit queue
constexpr int kMaxBootVersionAsks = 20;         // port mode: asks of 04 2D answered by 04 20

// ---- code download ----
constexpr uint32_t kDownloadReplyTimeoutMs = 15000;  // every wait of a loader/code/DSP download
constexpr int kBlockPauseMs = 10;                    // after every data block
constexpr int kMaxChecksumResends = 4;               // resends of a pair after a bad checksum
// Port mode: how long a loader may keep answering a start or a block with 02 0A before the
// download ends timed out. Longer than the slowest flash erase and a reply time-out together.
constexpr int kMaxRefusalMs = 120000;
constexpr int kDspStartPauseMs = 1000;  // before the first DSP page
constexpr int kCancelPollMs = 50;       // how often a running download looks at its cancel flag
constexpr int kCodeLinkSpeed = 19200;   // the link speed after the code has gone down
// Flash erase waits between the loader and the code.
constexpr int kEraseTicksShort = 18;      // radio type code 1, or a boot download: 990 ms
constexpr int kEraseTicks40s = 720;       // radio type code 4: 39,600 ms
constexpr int kEraseTicks2s = 36;         // radio type codes 0 and 8: 1,980 ms
constexpr int kEraseTicksDefault = 1440;  // every other radio type code: 79,200 ms

// ---- reset and codeplug restore ----
constexpr uint32_t kRestartWaitMs = 20000;      // first frame after the radio restarts
constexpr uint32_t kControlHeadWaitMs = 64000;  // each control-head update (09 03)
// Control-head updates waited for after one restart: a radio sends one 09 03 per head and has a
// few heads; more is a radio repeating itself, and the restore goes on. 16 waits of 64 s at most.
constexpr int kMaxControlHeadUpdates = 16;
constexpr int kResetPauseTicks = 360;              // pause before the codeplug steps: 19.8 s
constexpr uint32_t kRestoreReplyTimeoutMs = 4000;  // every reply of the restore

// ---- codeplug transfer ----
constexpr uint32_t kCodeplugReplyTimeoutMs = 4000;  // every reply of an upload or download
// Restart notices (07 25) and control-head updates (09 03) passed over in one password exchange:
// a radio sends one per restart and one per control head.
constexpr int kMaxRestartNotices = 16;
// Frames in a row that take a transfer no further (03 08 during an upload, 03 03 with no block
// since the last question): a radio sends one per block, so this many is a radio repeating itself.
constexpr int kMaxStalledTransferFrames = 16;

// ---- workflow ----
constexpr int kStopSettleMs = 50;            // after Stop, before files are deleted
constexpr int kConsoleMinimiseWaitMs = 100;  // before the console window is minimised

}  // namespace quillon::timing
