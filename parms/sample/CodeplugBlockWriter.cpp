#include "parms/sample/CodeplugBlockWriter.h"

namespace quillon::sample {
namespace {

constexpr uint16_t kMarker = 0x5F5F;
constexpr uint8_t kHeaderBlock = 0, kKindBlock = 1, kSystemBlock = 2;
constexpr uint8_t kIndex510 = 5, kIndex511 = 6;

}  // namespace

uint32_t BlockShape::Length() const {
    uint32_t n = offset + static_cast<uint32_t>(tables.size()) + extraWords;
    for (const TableShape& t : tables) {
        n += static_cast<uint32_t>(t.count) * t.size;
    }
    return n;
}

ListLayout ListLayoutOf(uint8_t type, uint8_t kind, uint8_t formatIndex) {
    const bool newer = formatIndex == kIndex510 || formatIndex == kIndex511;
    switch (type) {
        case kHeaderBlock:
            return {static_cast<uint16_t>(formatIndex == kIndex511 ? 85 : newer ? 69 : 49)};
        case kKindBlock:
            return {static_cast<uint16_t>(kind == 0 ? 54 : kind == 4 ? 61 : kind == 5 ? 50 : 55)};
        case kSystemBlock:
            switch (kind) {
                case 1:
                    return {129, static_cast<uint16_t>(newer ? 17 : 15)};
                case 3:
                    return {333, static_cast<uint16_t>(newer ? 21 : 15)};
                case 4:
                    return {298, static_cast<uint16_t>(newer ? 21 : 15)};
                case 5:
                    return {42};
                default:
                    return {81};
            }
        default:
            return {23};
    }
}

bool IsWideTable(uint8_t kind, std::size_t table) {
    switch (kind) {
        case 0:
            return table == 0;
        case 1:
        case 3:
            return table == 5 || table == 6;
        case 4:
            return table == 6 || table == 7;
        default:
            return false;
    }
}

uint32_t WriteBlockHead(uint16_t* words, uint8_t formatIndex, const BlockShape& block) {
    const bool is511 = formatIndex == kIndex511;
    const bool oldList = formatIndex != kIndex510 && !is511;
    const uint32_t length = block.Length();
    const auto n = static_cast<uint16_t>(block.tables.size());
    words[0] = kMarker;
    if (is511) {
        words[1] = static_cast<uint16_t>(length);
        words[2] = static_cast<uint16_t>((n << 11) | (block.type << 9) | block.offset);
    } else {
        words[1] = static_cast<uint16_t>((block.type << 14) | length);
        words[2] = oldList ? static_cast<uint16_t>((n << 12) | block.offset)
                           : static_cast<uint16_t>((n << 11) | block.offset);
    }
    words[3] = block.ident;
    const auto kind = static_cast<uint8_t>(block.ident >> 12);
    for (std::size_t t = 0; t < n; ++t) {
        const TableShape& table = block.tables[t];
        const bool wide = is511 && block.type == kSystemBlock && IsWideTable(kind, t);
        words[block.offset + t] =
            wide ? static_cast<uint16_t>((table.count << 5) | (table.size & 0x1F))
                 : static_cast<uint16_t>((table.count << 8) | (table.size & 0xFF));
    }
    return length;
}

}  // namespace quillon::sample
