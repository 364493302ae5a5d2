#include "link/LinkTrace.h"

#include "link/FrameFormat.h"
#include "link/MessageCatalogue.h"

namespace quillon {

std::string LinkTrace::Hex(const uint8_t* bytes, int count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(static_cast<size_t>(count > 0 ? count * 3 : 0));
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

namespace {

// Messages whose data stay out of the trace: the codeplug password (03 0C) and the serial
// number (04 05), which starts the scrambling of codeplug blocks.
bool Secret(const CommMessage& message) {
    return message.HasCode(0x03, 0x0C) || message.HasCode(0x04, 0x05);
}

// The frame's bytes with every byte from the first data byte (after the two code bytes) up to
// the end byte shown as "**", checksum included. An escaped byte shows as one "**", so that
// the stuffing does not tell which values were hidden.
std::string MaskedHex(const uint8_t* bytes, int count) {
    constexpr int kHeaderEnd = 3;  // start byte and two header bytes
    constexpr int kCodeBytes = 2;
    std::string text;
    int payload = 0;  // payload bytes passed, unstuffed
    for (int i = 0; i < count; ++i) {
        const bool endByte = i == count - 1 && bytes[i] == frame::kEnd;
        const int width =
            i >= kHeaderEnd && !endByte && bytes[i] == frame::kEscape && i + 2 < count ? 2 : 1;
        const bool hide = i >= kHeaderEnd && !endByte && payload >= kCodeBytes;
        for (int k = 0; k < (hide ? 1 : width); ++k) {
            text += text.empty() ? "" : " ";
            text += hide ? "**" : LinkTrace::Hex(bytes + i + k, 1);
        }
        payload += i >= kHeaderEnd ? 1 : 0;
        i += width - 1;
    }
    return text;
}

}  // namespace

void LinkTrace::Frame(TraceSink& sink, int64_t nowMs, const char* direction, const uint8_t* bytes,
                      int count, const CommMessage& message) {
    const std::string wire = Secret(message) ? MaskedHex(bytes, count) : Hex(bytes, count);
    std::string line = std::to_string(nowMs) + " " + direction + " " + wire;
    if (message.Length >= 2) {
        line += " [" + Hex(message.Data, 2);
        if (const char* name = MessageCatalogue::Name(message.Data[0], message.Data[1])) {
            line += ' ';
            line += name;
        }
        line += ']';
    }
    sink.Line(line);
}

void LinkTrace::Event(TraceSink& sink, int64_t nowMs, const char* what,
                      const std::string& details) {
    std::string line = std::to_string(nowMs) + " " + what;
    if (!details.empty()) {
        line += " " + details;
    }
    sink.Line(line);
}

}  // namespace quillon
