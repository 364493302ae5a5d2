#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/VirtualEventPump.h"

namespace quillon::test {

using Bytes = std::vector<uint8_t>;

// The radio's end of the line as the far end sees it: bytes the radio has put on the line and
// bytes that reach it. Made by the line adapter for every opening.
class RadioSide {
public:
    virtual ~RadioSide() = default;
    virtual bool Ready() = 0;
    virtual bool Read(uint8_t& byte) = 0;
    virtual void Write(const uint8_t* bytes, int count) = 0;
};

// What the far end does to the radio's byte stream.
enum class FarEndKind {
    Faithful,     // every byte as the radio sent it
    Silent,       // nothing more reaches either side from exchange k on
    HangUpEof,    // from exchange k on the line is at its end: ready, and every read is empty
    HangUpEio,    // from exchange k on every read and write fails
    Garbage,      // every byte the radio sends arrives as a different one
    Noise,        // a burst of line noise before every answer
    Echo,         // every byte sent comes back, before the radio's answer
    Delay,        // every answer arrives `delayMs` later than the radio sent it
    Unsolicited,  // `message` arrives once, right after the updater's frame k
    Flood,        // from exchange k on the radio sends `message` over and over, nothing else
};

struct FarEndPlan {
    FarEndKind kind = FarEndKind::Faithful;
    int fromExchange = 0;  // k: the updater's frames counted from 0
    // Delay: how long after the updater's last frame (given, empty before the first) the answer
    // arrives; never before the radio sent it.
    std::function<int64_t(const Bytes& lastFrame)> delayAfter;
    Bytes message;  // payload, code first
    // Past this moment of the virtual clock the far end falls silent whatever its plan, so a
    // case that would never end fails instead of hanging the test.
    int64_t giveUpAtMs = VirtualEventPump::kNever;
};

// One frame the updater sent: its payload (code first) and when its end byte went out.
struct SentFrame {
    Bytes payload;
    int64_t atMs = 0;
    bool answered = false;  // bytes from the far end reached the updater before its next frame
};

// A far end decorating the virtual radio's byte stream: silence, hang-ups, garbage, noise, echo,
// delays, unsolicited frames and floods, counted in the updater's frames ("exchanges"). It
// knows nothing of the link's transport types; the line adapter connects it to the session.
class FarEnd {
public:
    FarEnd(VirtualEventPump& pump, FarEndPlan plan);
    ~FarEnd();
    FarEnd(const FarEnd&) = delete;
    FarEnd& operator=(const FarEnd&) = delete;

    // The updater's side.
    void Open(std::unique_ptr<RadioSide> radio);
    void Close();
    bool IsOpen() const { return open_; }
    // Bytes taken (all of them), or -1 once the line fails.
    int Write(const uint8_t* bytes, int count);
    // The line reads as ready (also at its end, where reads bring nothing).
    bool Ready();
    // A byte is there to read.
    bool HasByte() { return Ready() && !AtEnd(); }
    // 1 a byte, 0 none, -1 the line failed.
    int Read(uint8_t& byte);

    // What happened.
    const std::vector<SentFrame>& Frames() const { return frames_; }
    int64_t BytesFromUpdater() const { return bytesFromUpdater_; }
    // When the plan first changed what reached the updater; -1 while it has not.
    int64_t FaultStartMs() const { return faultStartMs_; }
    int Openings() const { return openings_; }

    // The on-the-wire form of a frame from the radio carrying `payload`.
    static Bytes RadioFrame(const Bytes& payload);

private:
    struct Pending {
        int64_t dueMs;
        uint8_t byte;
    };

    void TakeFromRadio();
    void Deliver(uint8_t byte, int64_t dueMs);
    void DeliverFrame(const Bytes& payload, int64_t dueMs);
    void TopUpFlood();
    void FrameEnded();
    void MarkFault();
    bool Cut() const;  // nothing more passes either way
    bool AtEnd() const;
    bool Failed() const;
    int64_t NextEventMs() const;
    uint8_t NextRandom();

    VirtualEventPump& pump_;
    FarEndPlan plan_;
    int wakeHandle_ = 0;
    std::unique_ptr<RadioSide> radio_;
    bool open_ = false;
    int openings_ = 0;
    std::deque<Pending> toUpdater_;
    std::vector<SentFrame> frames_;
    Bytes current_;  // the frame the updater is sending, stuffed bytes after its start byte
    bool inFrame_ = false;
    bool triggered_ = false;  // exchange k has begun
    int64_t nextFloodMs_ = VirtualEventPump::kNever;
    int64_t faultStartMs_ = -1;
    int64_t openedAtMs_ = 0;
    int64_t bytesFromUpdater_ = 0;
    uint32_t random_ = 12345;
};

}  // namespace quillon::test
