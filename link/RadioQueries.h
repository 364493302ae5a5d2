#pragma once

#include <cstdint>

#include "link/Comm.h"
#include "link/VersionInfo.h"
#include "serial/EventPump.h"

namespace quillon {

// Result values of the radio queries beyond the link's own 1, 2 and 4.
enum QueryStatus : int {
    kQueryNoBootVersion = 5,  // the boot load version could not be read (zeros stored)
    kQuerySemFailed = 8       // the SEM version query failed
};

// Asks the radio for every field of `info` (time-out 4000 ms). 1: all read; 2 or 4: a query
// failed (the link status); 5: no boot load version from a radio of type code 1, 5 or 7;
// 8: the SEM version query failed. 1, 5 and 8 leave a usable record. A data query answered with
// 04 20 (not available) stores zeros for that field.
int ReadVersionInfo(CommSession& link, uint8_t radioType, VersionInfo& info, bool askSem);

// Asks the boot load version, major and minor (time-out 4000 ms). 1, 2 or 4 as the link
// reports; 5 for a radio of type code 1, 5, 7 or 8 that gave none (zeros stored). In port mode
// a 04 20 answer is asked again, at most timing::kMaxBootVersionAsks times in all; an answer
// of 04 20 stores zeros.
int ReadBootVersion(CommSession& link, uint8_t radioType, uint8_t bootVersion[2]);

// Asks the 10 bytes of radio information (time-out 500 ms); the bytes are zero unless the
// status is 1.
int ReadRadioInfo(CommSession& link, uint8_t radioInfo[10]);
// The same, for a radio that has just restarted: its restart announcement (07 25) and
// control-head updates (09 03) arriving in the meantime are passed over within the same time-out.
int ReadRadioInfo(CommSession& link, EventPump& clock, uint8_t radioInfo[10]);

// True for the messages a radio sends on its own after a restart: 07 25 and 09 03.
bool IsRestartMessage(const CommMessage& message);

// Receive (any frame, result 1 or -1) with the session's time-out, passing over restart
// messages: the wait goes on for what is left of the time-out. Sets Active before it waits.
int ReceivePastRestartMessages(CommSession& link, EventPump& clock, CommMessage& message);

}  // namespace quillon
