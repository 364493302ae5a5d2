#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "serial/SerialLine.h"
#include "serial/VirtualEventPump.h"
#include "sim/FrameLog.h"
#include "sim/RadioSimulator.h"

namespace quillon::sim {

// The virtual radio inside the test process: the same radio model as quillon-radiosim, behind
// a serial line on the virtual event pump, so engines talk to it in microseconds with every
// fault the model plays.
//
// The line is modelled: each byte the radio sends takes 10 bit times at the radio's speed, a
// step's delay counts from the end of the step before, and bytes sent while the two ends run at
// different speeds arrive as garbage (here: dropped and counted), as on a real line.
class InProcessRadio {
public:
    InProcessRadio(VirtualEventPump& pump, RadioConfig config, FrameLog& log);
    explicit InProcessRadio(VirtualEventPump& pump, RadioConfig config = {});
    ~InProcessRadio();
    InProcessRadio(const InProcessRadio&) = delete;
    InProcessRadio& operator=(const InProcessRadio&) = delete;

    // A fresh line to this radio, closed. Only one line is connected at a time; a newer one
    // replaces the older. Opening it, and changing its speed, sets the updater's side of the
    // line to the speed given.
    std::unique_ptr<SerialLine> MakeLine();
    // Lines made from now on refuse to open (a port that is missing or in use).
    void RefuseOpens(bool refuse) { refuseOpens_ = refuse; }

    // The updater's side changes speed (what setting the port's baud rate does).
    void SetHostSpeed(uint32_t bitsPerSecond) { hostSpeed_ = bitsPerSecond; }
    uint32_t HostSpeed() const { return hostSpeed_; }
    // The radio's speed now, with the changes that have fallen due.
    uint32_t RadioSpeed() const;

    // The radio restarts with new code (as after the end of a code image).
    void Restart() {
        Schedule(radio_.Restart());
        RunOwnMessages();
    }
    // The radio's own messages that have fallen due go onto the line.
    void RunOwnMessages() { Schedule(radio_.Tick(pump_.NowMs())); }

    // The line goes dead: nothing more reaches the radio or comes back.
    void Disconnect() { connected_ = false; }

    RadioSimulator& Radio() { return radio_; }
    // Bytes lost because the two ends ran at different speeds.
    int64_t GarbledBytes() const { return garbled_; }
    int64_t BytesToRadio() const { return bytesToRadio_; }
    int64_t BytesFromRadio() const { return bytesFromRadio_; }

private:
    class Line;
    friend class Line;

    struct Pending {
        int64_t atUs;  // arrival time in microseconds of the virtual clock
        uint8_t byte;
    };

    void FromHost(const uint8_t* data, int count);
    void Schedule(std::vector<OutputStep> steps);
    void RunDueSpeedChanges();
    bool HostCharReady();
    int HostRead(uint8_t* buffer, int capacity);
    int64_t NextEventMs() const;
    int64_t NowUs() const { return pump_.NowMs() * 1000; }

    VirtualEventPump& pump_;
    FrameLog ownLog_;
    RadioSimulator radio_;
    int wakeHandle_ = 0;
    Line* line_ = nullptr;
    bool connected_ = true;
    bool refuseOpens_ = false;
    uint32_t hostSpeed_ = 19200;
    uint32_t radioSpeed_ = 19200;
    int64_t lineFreeUs_ = 0;  // when the radio's transmitter is next free
    std::deque<Pending> toHost_;
    std::deque<std::pair<int64_t, uint32_t>> speedChanges_;
    int64_t garbled_ = 0;
    int64_t bytesToRadio_ = 0;
    int64_t bytesFromRadio_ = 0;
};

}  // namespace quillon::sim
