#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "parms/sample/CodeplugBlockWriter.h"

namespace quillon::testkit {

struct TableMap {
    uint32_t descriptorAt = 0;  // word index of the descriptor
    uint32_t start = 0;         // word index of the first record
    uint32_t count = 0;
    uint32_t size = 0;
    uint32_t Words() const { return count * size; }
};

struct BlockMap {
    uint32_t start = 0;
    uint32_t length = 0;
    uint8_t type = 0;
    uint16_t ident = 0;  // word +3
    uint32_t descriptorOffset = 0;
    std::vector<TableMap> tables;

    uint8_t Kind() const { return static_cast<uint8_t>(ident >> 12); }
    uint8_t Id() const { return static_cast<uint8_t>(ident & 0xFF); }
};

// An image read independently of the model classes: every block with its tables, found by
// walking from word 0 in the layout of the image's format. `problem` is empty when the walk
// ends exactly at total length - 128 and every block is filled exactly by its head, fixed part,
// descriptor list and table records.
struct CodeplugMap {
    uint8_t formatIndex = 255;
    uint32_t totalLength = 0;
    uint32_t walkEnd = 0;
    std::vector<BlockMap> blocks;
    std::string problem;

    const BlockMap* Header() const;
    const BlockMap* KindBlock(uint8_t kind) const;
    const BlockMap* System(uint8_t id) const;
    const BlockMap* Group(unsigned ordinal) const;  // from 1
    std::size_t CountOfType(uint8_t type) const;
};

// Reads word +2 of every block in the older layout (bits 12-15 count, bits 0-11 offset) when
// `olderWord2` is set, as images of 5.9 and older are stored; otherwise in the layout of the
// image's format.
CodeplugMap MapCodeplug(const uint16_t* image, bool olderWord2);

using sample::IsWideTable;

// Format index of header word 3 (3 for 5.8 ... 6 for 5.11, 255 for anything else).
uint8_t FormatIndexOfWord(uint16_t version);

}  // namespace quillon::testkit
