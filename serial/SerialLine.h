#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "serial/OpenFailure.h"

namespace quillon {

// How a line is opened: 8 data bits, no parity, one stop bit always; the rest is chosen here.
struct LineSettings {
    int32_t bitsPerSecond = 19200;
    // Port mode: the line is shared with the radio over RS-485. RTS rests low and is raised only
    // while bytes are going out, and nothing is sent while CTS says the far end is talking.
    bool rs485 = false;
    // RTS/CTS handshake.
    bool flowControl = false;
};

// The outcome of every line operation but Open: a byte count (0 where the operation moves no
// bytes, or none could move now) or the system error that stopped it.
struct LineResult {
    int count = 0;
    int error = 0;  // an errno; 0 for success

    bool Ok() const { return error == 0; }
    static LineResult Bytes(int count) { return {count, 0}; }
    static LineResult Failed(int error) { return {0, error != 0 ? error : -1}; }
};

// One serial line to the radio. Nothing here blocks: the link session waits for room, for bytes
// and for the draining of what it wrote through the event pump, using WaitHandle.
class SerialLine {
public:
    SerialLine() = default;
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;
    virtual ~SerialLine() = default;

    // Opens the device at `devicePath` (a line already open is closed first). The failure's
    // reason is None when the line opened.
    virtual OpenFailure Open(const std::string& devicePath, const LineSettings& settings) = 0;
    virtual bool IsOpen() const = 0;
    // Closes the line, letting what was written leave first where the line can tell.
    virtual void Close() = 0;

    // Hands as much of the block to the line as it takes now: the count taken, 0 when it takes
    // nothing at the moment.
    virtual LineResult Write(const uint8_t* bytes, int count) = 0;
    // Reads what has arrived, up to `capacity` bytes: the count read, 0 when nothing is there.
    virtual LineResult Read(uint8_t* buffer, int capacity) = 0;
    // How many written bytes have not yet left the line (0 when the line cannot tell).
    virtual LineResult Unsent() = 0;
    // Changes the speed of the open line; bytes already written leave at the old speed.
    virtual LineResult SetSpeed(int32_t bitsPerSecond) = 0;

    // A descriptor that becomes readable when bytes arrive and writable when the line takes
    // more; -1 when there is none (closed, or a line whose bytes come through the event loop).
    virtual int WaitHandle() const { return -1; }

    const std::string& DevicePath() const { return devicePath_; }
    const LineSettings& Settings() const { return settings_; }

protected:
    std::string devicePath_;
    LineSettings settings_;
};

// Makes a fresh, closed line for each device-mode connection.
using LineFactory = std::function<std::unique_ptr<SerialLine>()>;

}  // namespace quillon
