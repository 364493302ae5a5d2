#pragma once

#include <cstdint>
#include <string>

#include "sim/HexBytes.h"

namespace quillon::sim {

// A misbehaviour of the radio for the requests whose message code starts with `code` (one byte:
// a whole family, two bytes: one message; empty: every request). Only requests that have an
// answer use a rule up.
struct FaultRule {
    Bytes code;
    bool silent = false;        // no answer at all
    bool answerUnable = false;  // 04 20 instead of the answer
    int noise = 0;              // this many noise bytes before the answer
    bool badChecksumFirst = false;
    bool wrongH2First = false;
    int delayMs = 0;  // before the first byte of the answer
    int times = -1;   // how many answers it spoils; -1 for all

    // "04 2D" or "*"; for the log and error texts.
    std::string CodeText() const { return code.empty() ? "*" : FormatHex(code); }
};

}  // namespace quillon::sim
