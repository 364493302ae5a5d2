#include "serial/KVTWinExtSerialBase.h"

#include <array>

namespace quillon {

namespace {

// Line speed written for each baud-rate index.
constexpr std::array<uint32_t, 22> kLineSpeeds = {
    110,  110,  110,   110,   110,   110,   300,   600,   1200,   1200,   2400,
    4800, 9600, 14400, 19200, 38400, 56000, 57600, 57600, 115200, 128000, 256000,
};

}  // namespace

KVTWinExtSerialBase::KVTWinExtSerialBase() : portName_("COM1") {
    SetDefaultSettings();
}

KVTWinExtSerialBase::~KVTWinExtSerialBase() = default;

void KVTWinExtSerialBase::SetDefaultSettings() {
    open_ = false;
    baudIndex_ = kDefaultBaudIndex;
    dataBits_ = 3;
    parity_ = 0;
    stopBits_ = 0;
    flowControl_ = 0;
    timeoutSeconds_ = 0;
    timeoutMilliseconds_ = 500;
}

void KVTWinExtSerialBase::SetDefaults() {
    SetDefaultSettings();
}

void KVTWinExtSerialBase::SetPortName(const std::string& name) {
    portName_ = name;
}

std::string KVTWinExtSerialBase::GetPortName() const {
    return portName_;
}

uint8_t KVTWinExtSerialBase::GetBaudRate() const {
    return baudIndex_;
}
uint8_t KVTWinExtSerialBase::GetDataBits() const {
    return dataBits_;
}
uint8_t KVTWinExtSerialBase::GetParity() const {
    return parity_;
}
uint8_t KVTWinExtSerialBase::GetStopBits() const {
    return stopBits_;
}
uint8_t KVTWinExtSerialBase::GetFlowControl() const {
    return flowControl_;
}
bool KVTWinExtSerialBase::IsOpen() const {
    return open_;
}
int32_t KVTWinExtSerialBase::LastError() const {
    return lastError_;
}

bool KVTWinExtSerialBase::CharReady() {
    return InQueueCount() != 0;
}

int32_t KVTWinExtSerialBase::ReadLine(uint8_t* buffer, int32_t maximum) {
    const int32_t waiting = PollInQueue();
    if (waiting < 1 || buffer == nullptr || maximum < 1) {
        return 0;
    }
    int32_t stored = 0;
    while (stored < waiting && stored < maximum - 1) {
        uint8_t byte = 0;
        if (Read(&byte, 1) != 1) {
            break;
        }
        buffer[stored++] = byte;
        if (byte == '\n') {
            break;
        }
    }
    buffer[stored] = 0;
    return stored + 1;
}

uint8_t KVTWinExtSerialBase::NormalisedBaudIndex(uint8_t index) {
    if (index <= 5) {
        return 2;
    }
    if (index == 9) {
        return 8;
    }
    if (index == 18) {
        return 17;
    }
    return index;
}

uint32_t KVTWinExtSerialBase::LineSpeedForIndex(uint8_t index) {
    return index < kLineSpeeds.size() ? kLineSpeeds[index] : 0;
}

bool KVTWinExtSerialBase::DataAndStopBitsAgree(uint8_t dataBitsIndex, uint8_t stopBitsCode) {
    if (dataBitsIndex == 0 && stopBitsCode == 2) {
        return false;
    }
    if (stopBitsCode == 1 && dataBitsIndex != 0) {
        return false;
    }
    return true;
}

int32_t KVTWinExtSerialBase::ErrorCodeForFlags(uint32_t flags) {
    // The first flag set, in this order, names the error.
    static constexpr std::array<std::pair<uint32_t, int32_t>, 8> kOrder = {{
        {kFlagBreak, kBreak},
        {kFlagFraming, kFraming},
        {kFlagIOError, kIOError},
        {kFlagMode, kModeError},
        {kFlagOverrun, kOverrun},
        {kFlagParity, kParity},
        {kFlagReceiveQueueOverflow, kReceiveQueueOverflow},
        {kFlagTransmitQueueFull, kTransmitQueueFull},
    }};
    const uint32_t low = flags & 0xFFFFu;
    for (const auto& [flag, code] : kOrder) {
        if ((low & flag) != 0) {
            return code;
        }
    }
    return kNoError;
}

}  // namespace quillon
