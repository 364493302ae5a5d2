#pragma once

namespace quillon {

// This process's id, as the system's tools show it.
long ProcessId();

}  // namespace quillon
