#pragma once

#include <string>

#include "sim/HexBytes.h"

namespace quillon::sim {

// The radio's codeplug and how it plays the 03 family.
struct CodeplugConfig {
    Bytes image;                 // the codeplug as the radio sends it, words high byte first
    std::string imagePath;       // the file it came from, read when the radio starts
    std::string outPath;         // where a completed download is stored; empty: nowhere
    std::string password;        // up to 8 digits; empty: access is granted at once
    bool restartNotice = false;  // a 07 25 before the answer to the start message
    int badChecksumPair = -1;    // pair (from 0) whose checksum question carries a wrong sum
    int silentBlock = -1;        // block (from 0) the radio never sends or asks for
};

}  // namespace quillon::sim
