#include "sim/RadioFramer.h"

namespace quillon::sim {

namespace {

RadioFramer::Event Dropped(std::string reason, const Bytes& raw) {
    RadioFramer::Event event;
    event.reason = std::move(reason);
    event.raw = raw;
    return event;
}

}  // namespace

void RadioFramer::Feed(const uint8_t* data, size_t size, std::vector<Event>& events) {
    for (size_t i = 0; i < size; ++i) {
        const uint8_t byte = data[i];
        if (byte == kStart) {
            if (inFrame_ && !collected_.empty()) {
                events.push_back(Dropped("cut short by a new start byte", collected_));
            }
            inFrame_ = true;
            collected_.clear();
        } else if (!inFrame_) {
            // Line noise between frames.
        } else if (byte == kEnd) {
            events.push_back(Complete());
            inFrame_ = false;
            collected_.clear();
        } else if (collected_.size() >= kMaxCollected) {
            events.push_back(Dropped("longer than 1024 bytes without an end byte", collected_));
            inFrame_ = false;
            collected_.clear();
        } else {
            collected_.push_back(byte);
        }
    }
}

RadioFramer::Event RadioFramer::Complete() {
    if (collected_.size() < 3) {
        return Dropped("too short", collected_);
    }
    Event event;
    event.h1 = collected_[0];
    event.h2 = collected_[1];
    Bytes body;  // unstuffed payload followed by the checksum
    for (size_t i = 2; i < collected_.size(); ++i) {
        uint8_t byte = collected_[i];
        if (byte == kEscape) {
            if (i + 1 >= collected_.size()) {
                return Dropped("escape byte at the end", collected_);
            }
            const uint8_t code = collected_[++i];
            if (code == 0x00) {
                byte = kStart;
            } else if (code == 0x01) {
                byte = kEnd;
            } else if (code == 0x02) {
                byte = kEscape;
            } else {
                return Dropped("bad escape sequence", collected_);
            }
        }
        body.push_back(byte);
    }
    if (body.empty()) {
        return Dropped("no checksum", collected_);
    }
    unsigned sum = event.h1 + event.h2;
    for (uint8_t byte : body) {
        sum += byte;
    }
    if ((sum & 0xFF) != 0) {
        return Dropped("bad checksum", collected_);
    }
    if (event.h1 != kRequestH1) {
        return Dropped("unexpected first header byte", collected_);
    }
    if (event.h2 != kMessageH2 && event.h2 != kProbeH2) {
        return Dropped("unexpected second header byte", collected_);
    }
    body.pop_back();
    if (body.size() > kMaxPayload) {
        return Dropped("payload longer than 255 bytes", collected_);
    }
    event.good = true;
    event.payload = std::move(body);
    event.raw = collected_;
    return event;
}

uint8_t RadioFramer::Checksum(uint8_t h1, uint8_t h2, const Bytes& payload) {
    unsigned sum = h1 + h2;
    for (uint8_t byte : payload) {
        sum += byte;
    }
    return static_cast<uint8_t>(0x100 - (sum & 0xFF));
}

void RadioFramer::AppendStuffed(Bytes& out, uint8_t value) {
    if (value == kEscape) {
        out.insert(out.end(), {kEscape, 0x02});
    } else if (value == kEnd) {
        out.insert(out.end(), {kEscape, 0x01});
    } else if (value == kStart) {
        out.insert(out.end(), {kEscape, 0x00});
    } else {
        out.push_back(value);
    }
}

Bytes RadioFramer::BuildFrame(const Bytes& payload, uint8_t h1, uint8_t h2, uint8_t checksumError) {
    Bytes frame{kStart, h1, h2};
    for (uint8_t byte : payload) {
        AppendStuffed(frame, byte);
    }
    AppendStuffed(frame, static_cast<uint8_t>(Checksum(h1, h2, payload) + checksumError));
    frame.push_back(kEnd);
    return frame;
}

}  // namespace quillon::sim
