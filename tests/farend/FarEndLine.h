#pragma once

// The one place where the far end meets the link's transport types: the session's line on the
// far end (in device mode or in port mode), and the far end's line to
// the in-process virtual radio. Everything else of the far-end suite goes through FarEndLine.

#include <cerrno>
#include <memory>
#include <string>

#include "link/Comm.h"
#include "link/ProtocolTiming.h"
#include "serial/SerialLine.h"
#include "sim/InProcessRadio.h"
#include "tests/farend/FarEnd.h"
#include "tests/support/InProcessLink.h"

namespace quillon::test {

class FarEndLine {
public:
    FarEndLine(VirtualEventPump& pump, sim::InProcessRadio& radio, FarEnd& farEnd)
        : radio_(radio),
          farEnd_(farEnd),
          session_(pump, [this] { return std::make_unique<UpdaterLine>(*this); }) {}

    CommSession& Session() { return session_; }

    // Opens device mode at 19200 bit/s, framed and active, as the connection code does.
    bool Connect() {
        std::string error;
        return session_.Connect(InProcessLink::kDevicePath, 19200, error) && Ready();
    }

    // Opens port mode on a line the caller keeps, as a mobile build without a box does.
    bool ConnectPortMode() {
        port_ = std::make_unique<UpdaterLine>(*this);
        std::string error;
        return session_.Connect(*port_, InProcessLink::kDevicePath, error) && Ready();
    }

private:
    bool Ready() {
        session_.SetTimeout(timing::kQueryTimeoutMs);
        return true;
    }

    void OpenFarEnd() { farEnd_.Open(std::make_unique<RadioLine>(radio_.MakeLine())); }

    // The radio's line, as the far end reads and writes it: a byte at a time, with one byte of
    // look-ahead to tell whether one is there.
    class RadioLine : public RadioSide {
    public:
        explicit RadioLine(std::unique_ptr<SerialLine> line) : line_(std::move(line)) {
            line_->Open(InProcessLink::kDevicePath, LineSettings{});
        }
        bool Ready() override {
            if (!held_) {
                held_ = line_->Read(&byte_, 1).count == 1;
            }
            return held_;
        }
        bool Read(uint8_t& byte) override {
            if (!Ready()) {
                return false;
            }
            byte = byte_;
            held_ = false;
            return true;
        }
        void Write(const uint8_t* bytes, int count) override { line_->Write(bytes, count); }

    private:
        std::unique_ptr<SerialLine> line_;
        uint8_t byte_ = 0;
        bool held_ = false;
    };

    // The updater's line, in either mode: the far end behind what the session reads and writes.
    class UpdaterLine : public SerialLine {
    public:
        explicit UpdaterLine(FarEndLine& owner) : owner_(owner) {}
        ~UpdaterLine() override { owner_.farEnd_.Close(); }
        OpenFailure Open(const std::string& devicePath, const LineSettings& settings) override {
            devicePath_ = devicePath;
            settings_ = settings;
            owner_.radio_.SetHostSpeed(static_cast<uint32_t>(settings.bitsPerSecond));
            owner_.OpenFarEnd();
            return OpenFailure{};
        }
        bool IsOpen() const override { return owner_.farEnd_.IsOpen(); }
        void Close() override { owner_.farEnd_.Close(); }
        LineResult Write(const uint8_t* bytes, int count) override {
            const int n = owner_.farEnd_.Write(bytes, count);
            return n < 0 ? LineResult::Failed(EIO) : LineResult::Bytes(n);
        }
        LineResult Read(uint8_t* buffer, int capacity) override {
            int n = 0;
            while (n < capacity) {
                const int r = owner_.farEnd_.Read(buffer[n]);
                if (r < 0) {
                    return n > 0 ? LineResult::Bytes(n) : LineResult::Failed(EIO);
                }
                if (r == 0) {
                    break;
                }
                ++n;
            }
            return LineResult::Bytes(n);
        }
        LineResult Unsent() override { return LineResult::Bytes(0); }
        LineResult SetSpeed(int32_t bitsPerSecond) override {
            settings_.bitsPerSecond = bitsPerSecond;
            owner_.radio_.SetHostSpeed(static_cast<uint32_t>(bitsPerSecond));
            return {};
        }

    private:
        FarEndLine& owner_;
    };

    sim::InProcessRadio& radio_;
    FarEnd& farEnd_;
    std::unique_ptr<UpdaterLine> port_;
    CommSession session_;
};

}  // namespace quillon::test
