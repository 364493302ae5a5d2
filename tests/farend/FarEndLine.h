#pragma once

// The one place where the far end meets the link's transport types: the session's line on the
// far end (device mode, or the serial-port component of port mode), and the far end's line to
// the in-process virtual radio. Everything else of the far-end suite goes through FarEndLine.

#include <memory>
#include <string>

#include "link/Comm.h"
#include "link/ProtocolTiming.h"
#include "serial/KVTCommDevice.h"
#include "serial/LinkDevice.h"
#include "serial/PortComponent.h"
#include "sim/InProcessRadio.h"
#include "tests/farend/FarEnd.h"
#include "tests/support/InProcessLink.h"

namespace quillon::test {

class FarEndLine {
public:
    FarEndLine(VirtualEventPump& pump, sim::InProcessRadio& radio, FarEnd& farEnd)
        : radio_(radio), farEnd_(farEnd), session_(pump, [this] { return MakeDevice(); }) {}

    CommSession& Session() { return session_; }

    // Opens device mode at 19200 bit/s, framed and active, as the connection code does.
    bool Connect() {
        std::string error;
        if (!session_.StartCommunication(InProcessLink::kDevicePath, 19200, false, error)) {
            return false;
        }
        return Ready();
    }

    // Opens port mode through the serial-port component, as a mobile build without a box does.
    bool ConnectPortMode() {
        port_ = std::make_unique<UpdaterPort>(*this);
        std::string error;
        return session_.OpenWithPortComponent(*port_, error) && Ready();
    }

private:
    bool Ready() {
        session_.SetFraming(1);
        session_.SetActive(true);
        session_.SetTimeout(timing::kQueryTimeoutMs);
        return true;
    }

    void OpenFarEnd() { farEnd_.Open(std::make_unique<RadioDevice>(radio_.MakeDevice())); }

    // The radio's line, as the far end reads and writes it.
    class RadioDevice : public RadioSide {
    public:
        explicit RadioDevice(std::unique_ptr<KVTCommDevice> device) : device_(std::move(device)) {
            device_->Open();
        }
        bool Ready() override { return device_->CharReady(); }
        bool Read(uint8_t& byte) override { return device_->ReadByte(&byte) == 1; }
        void Write(const uint8_t* bytes, int count) override { device_->Write(bytes, count); }

    private:
        std::unique_ptr<KVTCommDevice> device_;
    };

    // The updater's line: the far end behind the byte device the session reads and writes.
    class UpdaterDevice : public KVTCommDevice {
    public:
        explicit UpdaterDevice(FarEnd& farEnd) : farEnd_(farEnd) {}
        ~UpdaterDevice() override { farEnd_.Close(); }
        int Open() override { return farEnd_.IsOpen() ? 1 : -1; }
        int Close() override {
            farEnd_.Close();
            return 1;
        }
        bool IsOpen() override { return farEnd_.IsOpen(); }
        bool CharReady() override { return farEnd_.Ready(); }
        int ReadByte(uint8_t* byte) override { return farEnd_.Read(*byte); }
        int Read(uint8_t* buffer, int count) override {
            int n = 0;
            while (n < count) {
                const int r = farEnd_.Read(buffer[n]);
                if (r < 0) {
                    return n > 0 ? n : -1;
                }
                if (r == 0) {
                    break;
                }
                ++n;
            }
            return n;
        }
        int Write(const uint8_t* buffer, int count) override {
            return farEnd_.Write(buffer, count);
        }

    private:
        FarEnd& farEnd_;
    };

    // The serial-port component of port mode on the far end.
    class UpdaterPort : public PortComponent {
    public:
        explicit UpdaterPort(FarEndLine& line) : line_(line) {}
        void SetComNumber(int n) override { com_ = n; }
        int ComNumber() const override { return com_; }
        void SetRS485Mode(bool on) override { rs485_ = on; }
        bool RS485Mode() const override { return rs485_; }
        void SetOpen(bool open) override {
            if (open) {
                line_.radio_.SetHostSpeed(static_cast<uint32_t>(baud_));
                line_.OpenFarEnd();
            } else {
                line_.farEnd_.Close();
            }
        }
        bool Open() const override { return line_.farEnd_.IsOpen(); }
        void FlushInBuffer() override {
            uint8_t byte = 0;
            while (line_.farEnd_.Read(byte) == 1) {
            }
        }
        void FlushOutBuffer() override {}
        void SetBaud(int32_t bps) override {
            baud_ = bps;
            line_.radio_.SetHostSpeed(static_cast<uint32_t>(bps));
        }
        int32_t Baud() const override { return baud_; }
        int OutBuffFree() const override { return kBufferSize; }
        int OutBuffUsed() const override { return 0; }
        bool CTS() const override { return false; }  // RS-485: the line is free
        int PutBlock(const uint8_t* data, int length) override {
            return line_.farEnd_.Write(data, length) == length ? 0 : -1;
        }
        bool CharReady() override { return line_.farEnd_.HasByte(); }
        uint8_t GetChar() override {
            uint8_t byte = 0;
            line_.farEnd_.Read(byte);
            return byte;
        }

    private:
        FarEndLine& line_;
        int com_ = 0;
        bool rs485_ = false;
        int32_t baud_ = 19200;
    };

    LinkDevice MakeDevice() {
        LinkDevice link;
        link.device = std::make_unique<UpdaterDevice>(farEnd_);
        link.openPort = [this](const std::string&, uint8_t baudIndex, bool) {
            radio_.SetHostSpeed(SpeedOfBaudIndex(baudIndex));
            OpenFarEnd();
            return true;
        };
        link.setBaudRate = [this](uint8_t index) { radio_.SetHostSpeed(SpeedOfBaudIndex(index)); };
        return link;
    }

    sim::InProcessRadio& radio_;
    FarEnd& farEnd_;
    std::unique_ptr<UpdaterPort> port_;
    CommSession session_;
};

}  // namespace quillon::test
