#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon::embed {

// Deterministic stand-in images for builds without real firmware: the same kind, size and seed
// always give the same bytes.
enum class SyntheticKind {
    Loader,  // S0 header, S2 records of 16 data bytes, S9 end
    Code,    // S0 header, S3 records of 16 data bytes, S9 end
    Coff     // a signal-processor object file with one section of data words on page 0
};

// An image of at most `sizeBytes` bytes (whole records; at least the header and end record for
// the S-record kinds).
std::string MakeSyntheticImage(SyntheticKind kind, size_t sizeBytes, uint32_t seed);

}  // namespace quillon::embed
