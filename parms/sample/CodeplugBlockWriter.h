#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillon::sample {

// Count and record size of one table of a block.
struct TableShape {
    uint16_t count = 0;
    uint16_t size = 0;
};

// What a block's head and descriptor list say about it.
struct BlockShape {
    uint8_t type = 0;     // 0 header, 1 system kind, 2 system, 3 group
    uint16_t ident = 0;   // word +3
    uint16_t offset = 0;  // descriptor list offset from the marker
    std::vector<TableShape> tables;
    uint16_t extraWords = 0;  // words after the table records

    // Words from the marker to the end of the last record and the extra words.
    uint32_t Length() const;
};

// Where a block's descriptor list starts and how many tables it has, as radios store them.
struct ListLayout {
    uint16_t offset = 0;
    uint16_t descriptors = 15;
};

// The list layout of a block of `type` (and system `kind`) in format index `formatIndex`: the
// header's list moves back in 5.10 and 5.11, and system blocks of kinds 1, 3 and 4 gain tables in
// 5.10. Unknown formats are laid out as the older ones.
ListLayout ListLayoutOf(uint8_t type, uint8_t kind, uint8_t formatIndex);

// Whether table `table` of a system block of `kind` has the wide descriptor of 5.11 (11 bits
// of count, 5 of size).
bool IsWideTable(uint8_t kind, std::size_t table);

// Writes the marker, words +1 to +3 and the descriptor list of the block at `words`, in the
// layout of format index `formatIndex` (3 for 5.8 ... 6 for 5.11): the block type in word +1
// and the older list layout (bits 12-15 count, bits 0-11 offset) up to 5.9 and for unknown
// formats, the newer list layout in 5.10, and in 5.11 the block type in word +2 and the wide
// descriptors of system blocks. The fixed part and the records are left as they are. Returns
// the block length.
uint32_t WriteBlockHead(uint16_t* words, uint8_t formatIndex, const BlockShape& block);

}  // namespace quillon::sample
