#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace quillon {

// Raised by PortComponent::SetOpen(true) when the port cannot be opened.
class EAPDException : public std::runtime_error {
public:
    static constexpr int kPortInUseOrMissing = -2008;

    EAPDException(int errorCode, const std::string& what)
        : std::runtime_error(what), errorCode_(errorCode) {}
    int ErrorCode() const { return errorCode_; }

private:
    int errorCode_;
};

// What the link session needs of the general serial-port component used in port mode.
// The Qt implementation lives beside it; tests use scripted ones.
class PortComponent {
public:
    static constexpr int kBufferSize = 4096;

    virtual ~PortComponent() = default;

    virtual void SetComNumber(int n) = 0;
    virtual int ComNumber() const = 0;
    // The device the port opens, resolved from the COM number by the front end. When empty,
    // the component resolves ComNumber itself. ComNumber stays for titles and messages.
    virtual void SetDevicePath(const std::string& path) { devicePath_ = path; }
    virtual const std::string& DevicePath() const { return devicePath_; }
    virtual void SetRS485Mode(bool on) = 0;
    virtual bool RS485Mode() const = 0;

    // Opens (true) or closes (false) the port. Opening throws EAPDException on failure.
    virtual void SetOpen(bool open) = 0;
    virtual bool Open() const = 0;

    virtual void FlushInBuffer() = 0;
    virtual void FlushOutBuffer() = 0;
    virtual void SetBaud(int32_t bitsPerSecond) = 0;
    virtual int32_t Baud() const = 0;
    virtual int OutBuffFree() const = 0;
    virtual int OutBuffUsed() const = 0;
    virtual bool CTS() const = 0;

    // Queues a whole block for sending; 0 means queued.
    virtual int PutBlock(const uint8_t* data, int length) = 0;
    virtual bool CharReady() = 0;
    virtual uint8_t GetChar() = 0;

    // A descriptor that becomes readable when bytes may have arrived, or -1 when the
    // component wakes the event loop by itself.
    virtual int WaitDescriptor() const { return -1; }

private:
    std::string devicePath_;
};

}  // namespace quillon
