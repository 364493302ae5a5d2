#pragma once

// The serial line and the event pump of the system the program runs on, for the programs'
// entry points: PosixSerialLine and PollEventPump, or Win32SerialLine and Win32EventPump.
#ifdef _WIN32
#include "serial/win32/Win32EventPump.h"
#include "serial/win32/Win32SerialLine.h"
#else
#include "serial/posix/PollEventPump.h"
#include "serial/posix/PosixSerialLine.h"
#endif

namespace quillon {
#ifdef _WIN32
using SystemEventPump = Win32EventPump;
using SystemSerialLine = Win32SerialLine;
#else
using SystemEventPump = PollEventPump;
using SystemSerialLine = PosixSerialLine;
#endif
}  // namespace quillon
