#include "link/LinkTrace.h"

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

void LinkTrace::Frame(TraceSink& sink, int64_t nowMs, const char* direction, const uint8_t* bytes,
                      int count, const CommMessage& message) {
    std::string line = std::to_string(nowMs) + " " + direction + " " + Hex(bytes, count);
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
