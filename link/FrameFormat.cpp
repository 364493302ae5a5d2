#include "link/FrameFormat.h"

namespace quillon::frame {

void AppendStuffed(std::vector<uint8_t>& out, uint8_t byte) {
    switch (byte) {
        case kEscape:
            out.push_back(kEscape);
            out.push_back(0x02);
            break;
        case kEnd:
            out.push_back(kEscape);
            out.push_back(0x01);
            break;
        case kStart:
            out.push_back(kEscape);
            out.push_back(0x00);
            break;
        default:
            out.push_back(byte);
            break;
    }
}

std::vector<uint8_t> BuildFrame(const CommMessage& message, uint8_t header2) {
    const int payloadLength = static_cast<int>(static_cast<uint32_t>(message.Length) & 0xFF);
    std::vector<uint8_t> out;
    out.reserve(5 + 2 * static_cast<size_t>(payloadLength) + 2);
    out.push_back(kStart);
    out.push_back(kHeader1);
    out.push_back(header2);
    uint32_t sum = kHeader1 + header2;
    for (int i = 0; i < payloadLength; ++i) {
        sum += message.Data[i];
        AppendStuffed(out, message.Data[i]);
    }
    AppendStuffed(out, ChecksumFor(sum));
    out.push_back(kEnd);
    return out;
}

int Unstuff(const uint8_t* in, int count, uint8_t* out) {
    int n = 0;
    for (int i = 0; i < count; ++i) {
        uint8_t b = in[i];
        if (b == kEscape && i + 1 < count && in[i + 1] <= 0x02) {
            static constexpr uint8_t kDecoded[3] = {kStart, kEnd, kEscape};
            b = kDecoded[in[i + 1]];
            ++i;
        }
        out[n++] = b;
    }
    return n;
}

}  // namespace quillon::frame
