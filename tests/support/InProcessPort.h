#pragma once

#include <memory>

#include "serial/PortComponent.h"
#include "sim/InProcessRadio.h"

namespace quillon::test {

// The serial-port component of port mode, on the in-process virtual radio's line.
class InProcessPort : public PortComponent {
public:
    explicit InProcessPort(sim::InProcessRadio& radio) : radio_(radio) {}

    void SetComNumber(int n) override { com_ = n; }
    int ComNumber() const override { return com_; }
    void SetRS485Mode(bool on) override { rs485_ = on; }
    bool RS485Mode() const override { return rs485_; }
    void SetOpen(bool open) override {
        if (open && failOpen) {
            throw EAPDException(EAPDException::kPortInUseOrMissing, "cannot open");
        }
        if (open) {
            device_ = radio_.MakeDevice();
            device_->Open();
            radio_.SetHostSpeed(static_cast<uint32_t>(baud_));
        } else if (device_) {
            device_->Close();
            device_.reset();
        }
    }
    bool Open() const override { return device_ != nullptr; }
    void FlushInBuffer() override {
        uint8_t byte = 0;
        while (device_ && device_->CharReady() && device_->ReadByte(&byte) == 1) {
        }
    }
    void FlushOutBuffer() override {}
    void SetBaud(int32_t bps) override {
        baud_ = bps;
        radio_.SetHostSpeed(static_cast<uint32_t>(bps));
    }
    int32_t Baud() const override { return baud_; }
    int OutBuffFree() const override { return kBufferSize; }
    int OutBuffUsed() const override { return 0; }
    bool CTS() const override { return false; }  // RS-485: the line is free
    int PutBlock(const uint8_t* data, int length) override {
        return device_ && device_->Write(data, length) == length ? 0 : -1;
    }
    bool CharReady() override { return device_ && device_->CharReady(); }
    uint8_t GetChar() override {
        uint8_t byte = 0;
        if (device_) {
            device_->ReadByte(&byte);
        }
        return byte;
    }

    bool failOpen = false;

private:
    sim::InProcessRadio& radio_;
    std::unique_ptr<KVTCommDevice> device_;
    int com_ = 0;
    bool rs485_ = false;
    int32_t baud_ = 19200;
};

}  // namespace quillon::test
