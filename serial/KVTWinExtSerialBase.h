#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// An abstract serial port that remembers the line settings. The settings are kept whether the
// port is open or not; a closed port only remembers them and its Open applies them.
class KVTWinExtSerialBase {
public:
    // Last-error codes.
    enum ErrorCode : int32_t {
        kNoError = 0,
        kModeError = 1,
        kBreak = 6,
        kFraming = 7,
        kIOError = 8,
        kOverrun = 9,
        kReceiveQueueOverflow = 10,
        kParity = 11,
        kTransmitQueueFull = 12,
        kReadFailed = 13,
        kWriteFailed = 14,
    };

    // Line-error flags reported by the driver, as handed to SetErrorFromFlags.
    enum LineErrorFlag : uint32_t {
        kFlagReceiveQueueOverflow = 0x0001,
        kFlagOverrun = 0x0002,
        kFlagParity = 0x0004,
        kFlagFraming = 0x0008,
        kFlagBreak = 0x0010,
        kFlagTransmitQueueFull = 0x0100,
        kFlagIOError = 0x0400,
        kFlagMode = 0x8000,
    };

    // Modem-status bits returned by ModemStatus.
    enum ModemStatusBit : uint32_t {
        kCtsOn = 1,
        kDsrOn = 2,
        kCarrierOn = 4,
        kRingOn = 8,
    };

    static constexpr uint8_t kDefaultBaudIndex = 14;  // 19200 bit/s
    static constexpr uint8_t kHighestBaudIndex = 21;

    KVTWinExtSerialBase();
    KVTWinExtSerialBase(const KVTWinExtSerialBase&) = delete;
    KVTWinExtSerialBase& operator=(const KVTWinExtSerialBase&) = delete;
    virtual ~KVTWinExtSerialBase();

    virtual void SetDefaults();
    virtual void SetPortName(const std::string& name);
    virtual std::string GetPortName() const;

    // The line setters return false only when an open port refused the new setting; a closed
    // port (or a value that changes nothing on the line) returns true.
    virtual bool SetBaudRate(uint8_t index) = 0;
    virtual uint8_t GetBaudRate() const;
    virtual bool SetDataBits(uint8_t index) = 0;
    virtual uint8_t GetDataBits() const;
    virtual bool SetParity(uint8_t code) = 0;
    virtual uint8_t GetParity() const;
    virtual bool SetStopBits(uint8_t code) = 0;
    virtual uint8_t GetStopBits() const;
    virtual bool SetFlowControl(uint8_t mode) = 0;
    virtual uint8_t GetFlowControl() const;
    virtual bool SetTimeouts(int32_t seconds, int32_t milliseconds) = 0;

    virtual bool Open() = 0;
    virtual bool IsOpen() const;
    virtual void Close() = 0;
    virtual void Flush() = 0;
    virtual int32_t InQueueCount() = 0;
    virtual int32_t PollInQueue() = 0;
    virtual bool CharReady();
    virtual bool ReadChar(uint8_t* byte) = 0;
    virtual bool WriteChar(uint8_t byte) = 0;
    virtual void Nop() = 0;
    virtual int32_t ReadLine(uint8_t* buffer, int32_t maximum);
    virtual int32_t LastError() const;
    virtual void SetErrorFromFlags(uint32_t flags) = 0;
    virtual void SetDTR(bool on) = 0;
    virtual void SetRTS(bool on) = 0;
    virtual uint32_t ModemStatus() = 0;
    virtual int32_t Read(uint8_t* buffer, int32_t count) = 0;
    virtual int32_t Write(const uint8_t* buffer, int32_t count) = 0;

    int32_t TimeoutSeconds() const { return timeoutSeconds_; }
    int32_t TimeoutMilliseconds() const { return timeoutMilliseconds_; }

    // The index remembered for a requested baud-rate index: 0-5 become 2 (110 bit/s), 9 becomes
    // 8, 18 becomes 17; every other index is kept as it is.
    static uint8_t NormalisedBaudIndex(uint8_t index);
    // The line speed in bit/s for a baud-rate index, or 0 for an index above the table.
    static uint32_t LineSpeedForIndex(uint8_t index);
    // Five data bits cannot go with two stop bits; one and a half stop bits go only with five.
    static bool DataAndStopBitsAgree(uint8_t dataBitsIndex, uint8_t stopBitsCode);
    // The last-error code for a set of line-error flags, or kNoError when none is set.
    static int32_t ErrorCodeForFlags(uint32_t flags);

protected:
    void SetDefaultSettings();

    std::string portName_;
    bool open_ = false;
    uint8_t baudIndex_ = kDefaultBaudIndex;
    uint8_t dataBits_ = 3;
    uint8_t parity_ = 0;
    uint8_t stopBits_ = 0;
    uint8_t flowControl_ = 0;
    int32_t timeoutSeconds_ = 0;
    int32_t timeoutMilliseconds_ = 500;
    int32_t lastError_ = kNoError;
};

}  // namespace quillon
