#include "tests/parms/support/CodeplugMap.h"

#include "tests/parms/support/CodeplugGenerator.h"

namespace quillon::testkit {

uint8_t FormatIndexOfWord(uint16_t version) {
    const unsigned major = version >> 8;
    const unsigned minor = version & 0xFF;
    if (major != 5 || minor < 5 || minor > 11) {
        return 255;
    }
    return static_cast<uint8_t>(minor - 5);
}

const BlockMap* CodeplugMap::Header() const {
    return blocks.empty() ? nullptr : &blocks.front();
}

const BlockMap* CodeplugMap::KindBlock(uint8_t kind) const {
    for (const BlockMap& b : blocks) {
        if (b.type == 1 && b.Kind() == kind) {
            return &b;
        }
    }
    return nullptr;
}

const BlockMap* CodeplugMap::System(uint8_t id) const {
    for (const BlockMap& b : blocks) {
        if (b.type == 2 && b.Id() == id) {
            return &b;
        }
    }
    return nullptr;
}

const BlockMap* CodeplugMap::Group(unsigned ordinal) const {
    unsigned n = 0;
    for (const BlockMap& b : blocks) {
        if (b.type == 3 && ++n == ordinal) {
            return &b;
        }
    }
    return nullptr;
}

std::size_t CodeplugMap::CountOfType(uint8_t type) const {
    std::size_t n = 0;
    for (const BlockMap& b : blocks) {
        n += b.type == type ? 1 : 0;
    }
    return n;
}

CodeplugMap MapCodeplug(const uint16_t* image, bool olderWord2) {
    CodeplugMap map;
    map.formatIndex = FormatIndexOfWord(image[3]);
    map.totalLength = image[4];
    const bool is511 = map.formatIndex == 6;
    if (map.totalLength <= kTrailerWords || map.totalLength > kImageWords) {
        map.problem = "total length " + std::to_string(map.totalLength) + " out of range";
        return map;
    }
    const uint32_t end = map.totalLength - kTrailerWords;
    uint32_t pos = 0;
    while (pos < end) {
        if (image[pos] != kBlockMarker) {
            map.problem = "no block marker at word " + std::to_string(pos);
            break;
        }
        BlockMap b;
        b.start = pos;
        const uint16_t w1 = image[pos + 1];
        const uint16_t w2 = image[pos + 2];
        b.ident = image[pos + 3];
        uint32_t count = 0;
        if (is511) {
            b.length = w1;
            b.type = static_cast<uint8_t>((w2 >> 9) & 3);
            b.descriptorOffset = w2 & 0x1FF;
            count = w2 >> 11;
        } else {
            b.length = w1 & 0x3FFF;
            b.type = static_cast<uint8_t>(w1 >> 14);
            b.descriptorOffset = olderWord2 ? (w2 & 0x0FFF) : (w2 & 0x07FF);
            count = olderWord2 ? (w2 >> 12) : (w2 >> 11);
        }
        const std::string where = "block at word " + std::to_string(pos);
        if (b.length < 4 || pos + b.length > end) {
            map.problem = where + ": length " + std::to_string(b.length) + " does not fit";
            break;
        }
        if (b.descriptorOffset < 4 || b.descriptorOffset + count > b.length) {
            map.problem = where + ": descriptor list outside the block";
            break;
        }
        uint32_t at = pos + b.descriptorOffset + count;
        for (uint32_t t = 0; t < count; ++t) {
            TableMap tm;
            tm.descriptorAt = pos + b.descriptorOffset + t;
            const uint16_t d = image[tm.descriptorAt];
            if (is511 && b.type == 2 && IsWideTable(b.Kind(), t)) {
                tm.count = d >> 5;
                tm.size = d & 0x1F;
            } else {
                tm.count = d >> 8;
                tm.size = d & 0xFF;
            }
            tm.start = at;
            at += tm.Words();
            b.tables.push_back(tm);
        }
        if (at != pos + b.length && map.problem.empty()) {
            map.problem = where + ": tables end at word " + std::to_string(at) +
                          " but the block ends at word " + std::to_string(pos + b.length);
        }
        map.blocks.push_back(b);
        pos += b.length;
    }
    map.walkEnd = pos;
    if (map.problem.empty() && pos != end) {
        map.problem =
            "walk ends at word " + std::to_string(pos) + ", not at " + std::to_string(end);
    }
    return map;
}

}  // namespace quillon::testkit
