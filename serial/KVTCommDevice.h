#pragma once

#include <cstdint>

namespace quillon {

// An abstract byte device. Results follow the device convention: 1 or a byte count for
// success, -1 for failure, 0 where nothing was done.
class KVTCommDevice {
public:
    KVTCommDevice() = default;
    KVTCommDevice(const KVTCommDevice&) = delete;
    KVTCommDevice& operator=(const KVTCommDevice&) = delete;
    virtual ~KVTCommDevice() = default;

    uint8_t DeviceKind() const { return deviceKind_; }

    virtual int Open() { return -1; }
    virtual int Close() { return -1; }
    virtual bool IsOpen() { return false; }
    virtual bool CharReady() { return false; }
    virtual int ReadByte(uint8_t* /*byte*/) { return -1; }
    virtual int Read(uint8_t* /*buffer*/, int /*count*/) { return -1; }
    virtual int Write(const uint8_t* /*buffer*/, int /*count*/) { return -1; }
    virtual int LastError() { return 0; }

    // Writes as much of the block as the device takes without waiting: the byte count (0 when
    // it takes nothing now), -1 on failure. A device that cannot tell writes the whole block.
    virtual int WriteSome(const uint8_t* buffer, int count) { return Write(buffer, count); }

    // A descriptor that becomes readable when bytes arrive, for waits that sleep in the kernel;
    // -1 when there is none (closed, or a device without one). Writable when it takes bytes.
    virtual int WaitDescriptor() const { return -1; }

protected:
    uint8_t deviceKind_ = 0;
};

}  // namespace quillon
