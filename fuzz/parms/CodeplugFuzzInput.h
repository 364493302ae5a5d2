#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon {

// One fuzz input through the codeplug restore path: the bytes (as the radio sends them, zero
// padded to a full image) are swapped to host order, checked, converted to 5.11 from their own
// format when the check passes, and verified. Used by the fuzz target and its benchmark.
int RunCodeplugFuzzInput(const uint8_t* data, std::size_t size);

}  // namespace quillon
