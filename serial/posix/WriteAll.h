#pragma once

#include <cstddef>

namespace quillon {

// Writes all `size` bytes of `data` to the descriptor, going on after partial writes and
// interrupted calls. False when a write fails or writes nothing; errno then tells why (EIO for
// a write that took no byte).
bool WriteAll(int fd, const void* data, std::size_t size);

}  // namespace quillon
