#pragma once

#include <gtest/gtest.h>

// A small hand-driven builder of codeplug images for the unit tests: blocks with chosen fields
// and tables are laid out one after the other, followed by a recognisable trailer.

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "parms/CodeplugFormat.h"
#include "parms/sample/CodeplugBlockWriter.h"

namespace quillon::test {

struct TestTable {
    uint16_t count = 0;
    uint16_t size = 0;
    std::vector<uint16_t> data;  // count x size words; empty: a pattern unique to the table
};

struct TestBlock {
    uint8_t type = 0;
    uint16_t ident = 0;
    uint16_t offset = 0;       // descriptor list offset
    uint16_t descriptors = 0;  // descriptor count
    std::map<unsigned, TestTable> tables;
    std::map<unsigned, uint16_t> fields;  // block-relative word -> value
    uint16_t extraWords = 0;              // words after the tables (for malformed images)
};

inline uint8_t IndexOfVersion(uint16_t version) {
    return CodeplugFormat::FormatIndexOf(static_cast<uint8_t>(version >> 8),
                                         static_cast<uint8_t>(version));
}

// A block of `type` with the descriptor list where radios of `version` keep it.
inline TestBlock StandardBlock(uint8_t type, uint16_t ident, uint16_t version) {
    const sample::ListLayout list =
        sample::ListLayoutOf(type, static_cast<uint8_t>(ident >> 12), IndexOfVersion(version));
    TestBlock b;
    b.type = type;
    b.ident = ident;
    b.offset = list.offset;
    b.descriptors = list.descriptors;
    return b;
}

inline TestBlock HeaderBlock(uint16_t version) {
    return StandardBlock(kHeaderBlock, version, version);
}

inline TestBlock KindBlock(uint8_t kind) {
    return StandardBlock(kKindBlock, static_cast<uint16_t>(kind << 12), 0);
}

inline TestBlock SystemBlock(uint8_t kind, uint8_t id, uint16_t version) {
    return StandardBlock(kSystemBlock, static_cast<uint16_t>((kind << 12) | id), version);
}

inline TestBlock GroupBlock() {
    return StandardBlock(kGroupBlock, 0, 0);
}

struct BuiltImage {
    std::unique_ptr<CodeplugImage> image = std::make_unique<CodeplugImage>();
    std::vector<uint16_t> starts;  // block starts in the order given
    uint16_t blocksEnd = 0;        // where the trailer begins

    CodeplugImage& operator*() { return *image; }
    uint16_t operator[](uint32_t index) const { return (*image)[index]; }
};

inline uint16_t TrailerWord(uint32_t k) {
    return static_cast<uint16_t>(0x7E00 + k);
}

// Lays the blocks out one after the other in the layout of `version`, with the example
// generator's block writer, zero fixed parts and table records as given. Header word 14 counts
// the system and group blocks given.
inline BuiltImage BuildImage(uint16_t version, const std::vector<TestBlock>& blocks,
                             uint16_t fillBeyond = 0) {
    const uint8_t index = IndexOfVersion(version);
    BuiltImage built;
    CodeplugImage& img = *built.image;
    img.fill(fillBeyond);
    uint32_t pos = 0;
    unsigned systems = 0;
    unsigned groups = 0;
    for (const TestBlock& b : blocks) {
        built.starts.push_back(static_cast<uint16_t>(pos));
        sample::BlockShape shape{b.type, b.ident, b.offset, {}, b.extraWords};
        std::fill_n(img.begin() + pos, b.offset, uint16_t{0});
        uint32_t data = pos + b.offset + b.descriptors;
        for (unsigned t = 0; t < b.descriptors; ++t) {
            const auto it = b.tables.find(t);
            const TestTable table = it == b.tables.end() ? TestTable{} : it->second;
            shape.tables.push_back({table.count, table.size});
            for (uint32_t k = 0; k < uint32_t{table.count} * table.size; ++k, ++data) {
                img[data] = table.data.empty()
                                ? static_cast<uint16_t>(0x4000 + (pos & 0xFFF) + t * 256 + k)
                                : table.data.at(k);
            }
        }
        std::fill_n(img.begin() + data, b.extraWords, uint16_t{0});
        const uint32_t length = sample::WriteBlockHead(&img[pos], index, shape);
        for (const auto& [word, value] : b.fields) {
            img[pos + word] = value;
        }
        systems += b.type == kSystemBlock ? 1 : 0;
        groups += b.type == kGroupBlock ? 1 : 0;
        pos += length;
    }
    built.blocksEnd = static_cast<uint16_t>(pos);
    for (uint32_t k = 0; k < kTrailerWords; ++k) {
        img[pos + k] = TrailerWord(k);
    }
    img[3] = version;
    img[4] = static_cast<uint16_t>(pos + kTrailerWords);
    if (blocks.empty() || blocks.front().fields.count(14) == 0) {
        img[14] = static_cast<uint16_t>((groups << 8) | systems);
    }
    return built;
}

// The smallest convertible image: a header, the system-kind blocks the systems need, systems
// with ids 1.. in the order of `kinds`, and `groups` group blocks.
inline std::vector<TestBlock> MinimalBlocks(uint16_t version, const std::vector<uint8_t>& kinds,
                                            unsigned groups) {
    std::vector<TestBlock> blocks{HeaderBlock(version)};
    std::vector<uint8_t> kindBlocks;
    for (uint8_t kind : kinds) {
        const uint8_t shared = kind == 3 ? 1 : kind;
        bool seen = false;
        for (uint8_t k : kindBlocks) {
            seen = seen || k == shared;
        }
        if (!seen) {
            kindBlocks.push_back(shared);
            blocks.push_back(KindBlock(shared));
        }
    }
    uint8_t id = 1;
    for (uint8_t kind : kinds) {
        blocks.push_back(SystemBlock(kind, id++, version));
    }
    for (unsigned n = 0; n < groups; ++n) {
        blocks.push_back(GroupBlock());
    }
    return blocks;
}

// Every block of the image, walked as the model sees it.
inline std::vector<BlockEntry> Blocks(const CodeplugImage& image) {
    std::vector<BlockEntry> out;
    CodeplugFormat::WalkBlocks(image, CodeplugFormat::TotalLength(image), [&](const BlockEntry& b) {
        out.push_back(b);
        return true;
    });
    return out;
}

// Text of a 10-character field.
inline std::string TextAt(const CodeplugImage& image, uint32_t index) {
    std::string text;
    for (uint32_t k = 0; k < 5; ++k) {
        text += static_cast<char>(image[index + k] & 0xFF);
        text += static_cast<char>(image[index + k] >> 8);
    }
    return text;
}

// Index of the system block with `id` in a block list made by MinimalBlocks (0 when absent).
inline size_t SystemAt(const std::vector<TestBlock>& blocks, uint8_t id) {
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (blocks[i].type == kSystemBlock && (blocks[i].ident & 0xFF) == id) {
            return i;
        }
    }
    return 0;
}

// Runs the chain from `from` to `to` and checks that the result is a well-formed image of the
// target format; returns the length change in words.
inline int32_t ConvertChecked(CodeplugImage& image, uint8_t from, uint8_t to) {
    CodeplugFormat format;
    EXPECT_TRUE(format.ConvertChain(image, from, to));
    std::string reason;
    EXPECT_TRUE(format.CheckStructure(image, &reason)) << reason;
    EXPECT_EQ(CodeplugFormat::FormatIndex(image), to);
    return format.LengthChange();
}

}  // namespace quillon::test
