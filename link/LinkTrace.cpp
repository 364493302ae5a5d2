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

bool LinkTrace::Secret(const uint8_t* message, int count) {
    return count >= 2 && ((message[0] == 0x03 && message[1] == 0x0C) ||
                          (message[0] == 0x04 && message[1] == 0x05));
}

std::string LinkTrace::MessageHex(const uint8_t* message, int count) {
    if (!Secret(message, count)) {
        return Hex(message, count);
    }
    std::string text = Hex(message, 2);
    for (int i = 2; i < count; ++i) {
        text += " **";
    }
    return text;
}

std::string LinkTrace::MaskedHex(const uint8_t* bytes, int count, int headerBytes) {
    constexpr int kCodeBytes = 2;
    std::string text;
    int payload = 0;  // payload bytes passed, unstuffed
    for (int i = 0; i < count; ++i) {
        const bool endByte = i == count - 1 && bytes[i] == frame::kEnd;
        const int width =
            i >= headerBytes && !endByte && bytes[i] == frame::kEscape && i + 2 < count ? 2 : 1;
        const bool hide = i >= headerBytes && !endByte && payload >= kCodeBytes;
        for (int k = 0; k < (hide ? 1 : width); ++k) {
            text += text.empty() ? "" : " ";
            text += hide ? "**" : Hex(bytes + i + k, 1);
        }
        payload += i >= headerBytes ? 1 : 0;
        i += width - 1;
    }
    return text;
}

void LinkTrace::Frame(TraceSink& sink, int64_t nowMs, const char* direction, const uint8_t* bytes,
                      int count, const CommMessage& message) {
    constexpr int kHeaderBytes = 3;  // start byte and two header bytes
    const bool secret = message.Length >= 2 && Secret(message.Data, 2);
    const std::string wire = secret ? MaskedHex(bytes, count, kHeaderBytes) : Hex(bytes, count);
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
