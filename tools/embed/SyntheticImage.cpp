#include "tools/embed/SyntheticImage.h"

#include <cstring>

namespace quillon::embed {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

void AppendRecord(std::string& out, char type, uint32_t address, int addressBytes,
                  const uint8_t* data, int dataBytes) {
    const int count = addressBytes + dataBytes + 1;
    unsigned sum = static_cast<unsigned>(count);
    out += 'S';
    out += type;
    auto put = [&out](uint8_t b) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    };
    put(static_cast<uint8_t>(count));
    for (int i = addressBytes - 1; i >= 0; --i) {
        const auto b = static_cast<uint8_t>(address >> (8 * i));
        sum += b;
        put(b);
    }
    for (int i = 0; i < dataBytes; ++i) {
        sum += data[i];
        put(data[i]);
    }
    put(static_cast<uint8_t>(~sum));
    out += '\n';
}

class Lcg {
public:
    explicit Lcg(uint32_t seed) : state_(seed * 2654435761u + 1) {}
    uint8_t Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<uint8_t>(state_ >> 24);
    }

private:
    uint32_t state_;
};

std::string MakeSRecords(bool code, size_t sizeBytes, uint32_t seed) {
    const char dataType = code ? '3' : '2';
    const int addressBytes = code ? 4 : 3;
    const size_t recordChars = 2 + 2 + 2 * static_cast<size_t>(addressBytes) + 32 + 2 + 1;
    static const uint8_t kHeader[] = {'Q', 'U', 'I', 'L', 'L', 'O', 'N'};
    std::string out;
    AppendRecord(out, '0', 0, 2, kHeader, sizeof kHeader);
    const size_t endChars = 2 + 2 + 4 + 2 + 1;
    const size_t records =
        sizeBytes > out.size() + endChars ? (sizeBytes - out.size() - endChars) / recordChars : 0;
    out.reserve(out.size() + records * recordChars + endChars);
    Lcg random(seed);
    uint32_t address = code ? 0x00100000u : 0x00020000u;
    uint8_t data[16];
    for (size_t r = 0; r < records; ++r) {
        for (uint8_t& b : data) {
            b = random.Next();
        }
        AppendRecord(out, dataType, address, addressBytes, data, 16);
        address += 16;
    }
    AppendRecord(out, '9', 0, 2, nullptr, 0);
    return out;
}

void PutLe(std::string& out, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
    }
}

std::string MakeCoff(size_t sizeBytes, uint32_t seed) {
    constexpr size_t kFileHeader = 22;
    constexpr size_t kSectionHeader = 40;
    constexpr size_t kDataStart = kFileHeader + kSectionHeader;
    const size_t words = sizeBytes > kDataStart ? (sizeBytes - kDataStart) / 2 : 0;
    std::string out(kDataStart + 2 * words, '\0');
    PutLe(out, 0, 0x00C2, 2);  // magic
    PutLe(out, 2, 1, 2);       // one section header
    PutLe(out, 16, 0, 2);      // no optional header
    const size_t s = kFileHeader;
    std::memcpy(&out[s], ".text", 5);
    PutLe(out, s + 12, 0, 4);                             // load address in words
    PutLe(out, s + 16, static_cast<uint32_t>(words), 4);  // size in words
    PutLe(out, s + 20, static_cast<uint32_t>(kDataStart), 4);
    PutLe(out, s + 38, 0, 2);  // page 0
    Lcg random(seed);
    for (size_t i = kDataStart; i < out.size(); ++i) {
        out[i] = static_cast<char>(random.Next());
    }
    return out;
}

}  // namespace

std::string MakeSyntheticImage(SyntheticKind kind, size_t sizeBytes, uint32_t seed) {
    switch (kind) {
        case SyntheticKind::Loader:
            return MakeSRecords(false, sizeBytes, seed);
        case SyntheticKind::Code:
            return MakeSRecords(true, sizeBytes, seed);
        case SyntheticKind::Coff:
            return MakeCoff(sizeBytes, seed);
    }
    return {};
}

}  // namespace quillon::embed
