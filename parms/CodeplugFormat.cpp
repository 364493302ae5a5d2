#include "parms/CodeplugFormat.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "parms/Converter510To511.h"
#include "parms/Converter58To59.h"
#include "parms/Converter59To510.h"
#include "parms/Verifier511.h"

namespace quillon {

namespace {

constexpr unsigned kFormats = 7;

constexpr LayoutRecord L(uint16_t offset, uint16_t count, uint16_t fixedAdded = 0,
                         uint16_t added = 0) {
    return LayoutRecord{static_cast<uint16_t>(offset + count), fixedAdded, count, added};
}

// Block layouts by category and format index 0 (5.5) to 6 (5.11); 5.5 to 5.7 are all zero.
constexpr LayoutRecord kLayouts[static_cast<unsigned>(LayoutCategory::Count)][kFormats] = {
    /* Header  */ {{}, {}, {}, L(49, 15), L(49, 15), L(69, 15, 20), L(85, 15, 16)},
    /* Group   */ {{}, {}, {}, L(23, 15), L(23, 15), L(23, 15), L(23, 15)},
    /* System0 */ {{}, {}, {}, L(81, 15), L(81, 15), L(81, 15), L(81, 15)},
    /* System1 */ {{}, {}, {}, L(129, 15), L(129, 15), L(129, 17, 0, 2), L(129, 17)},
    /* System3 */ {{}, {}, {}, L(333, 15), L(333, 15), L(333, 21, 0, 6), L(333, 21)},
    /* System4 */ {{}, {}, {}, L(298, 15), L(298, 15), L(298, 21, 0, 6), L(298, 21)},
    /* System5 */ {{}, {}, {}, L(42, 15), L(42, 15), L(42, 15), L(42, 15)},
    /* Kind0   */ {{}, {}, {}, L(54, 15), L(54, 15), L(54, 15), L(54, 15)},
    /* Kind1   */ {{}, {}, {}, L(55, 15), L(55, 15), L(55, 15), L(55, 15)},
    /* Kind4   */ {{}, {}, {}, L(61, 15), L(61, 15), L(61, 15), L(61, 15)},
    /* Kind5   */ {{}, {}, {}, L(50, 15), L(50, 15), L(50, 15), L(50, 15)},
};

// Record sizes of the tables that change between formats, for 5.8 to 5.11.
constexpr RecordSize kRecordSizes[static_cast<unsigned>(SizedTable::Count)][4] = {
    /* System0Table3  */ {{36, 0}, {36, 0}, {58, 22}, {58, 0}},
    /* System13Table7 */ {{36, 0}, {36, 0}, {58, 22}, {58, 0}},
    /* System4Table9  */ {{36, 0}, {36, 0}, {58, 22}, {58, 0}},
    /* System5Table2  */ {{37, 0}, {37, 0}, {59, 22}, {59, 0}},
    /* GroupTable0    */ {{17, 3}, {17, 0}, {18, 1}, {21, 3}},
    /* GroupTable1    */ {{15, 3}, {15, 0}, {15, 0}, {17, 2}},
    /* GroupTable2    */ {{13, 3}, {13, 0}, {13, 0}, {14, 1}},
    /* GroupTable3    */ {{13, 3}, {13, 0}, {13, 0}, {15, 2}},
    /* GroupTable4    */ {{14, 0}, {14, 0}, {14, 0}, {14, 0}},
};

bool Is511(const CodeplugImage& image) {
    return CodeplugFormat::FormatIndex(image) == kFormat511;
}

// Descriptor list in either layout of word +2.
DescriptorList ReadList(uint16_t word2, bool oldLayout, bool is511) {
    if (oldLayout) {
        return {static_cast<uint16_t>(word2 & 0x0FFF), static_cast<uint16_t>(word2 >> 12)};
    }
    return {static_cast<uint16_t>(word2 & (is511 ? 0x01FF : 0x07FF)),
            static_cast<uint16_t>(word2 >> 11)};
}

TableInfo ReadDescriptor(uint16_t word, bool wide) {
    if (wide) {
        return {static_cast<uint16_t>(word >> 5), static_cast<uint16_t>(word & 0x1F)};
    }
    return {static_cast<uint16_t>(word >> 8), static_cast<uint16_t>(word & 0xFF)};
}

bool Fail(std::string* reason, std::string text) {
    if (reason != nullptr) {
        *reason = std::move(text);
    }
    return false;
}

}  // namespace

// --- words and fields ------------------------------------------------------------------------

uint16_t CodeplugFormat::Word(const CodeplugImage& image, uint32_t index) {
    return index < kCodeplugWords ? image[index] : 0;
}

void CodeplugFormat::SetWord(CodeplugImage& image, uint32_t index, uint16_t value) {
    if (index < kCodeplugWords) {
        image[index] = value;
    }
}

uint16_t CodeplugFormat::GetField(const CodeplugImage& image, uint32_t index, uint16_t mask,
                                  unsigned shift) {
    return static_cast<uint16_t>((Word(image, index) & mask) >> (shift & 15U));
}

void CodeplugFormat::SetField(CodeplugImage& image, uint32_t index, uint16_t mask, unsigned shift,
                              uint16_t value) {
    const uint32_t word =
        (Word(image, index) & ~uint32_t{mask}) | (uint32_t{value} << (shift & 15U));
    SetWord(image, index, static_cast<uint16_t>(word));
}

// --- versions --------------------------------------------------------------------------------

uint8_t CodeplugFormat::FormatIndex(const CodeplugImage& image) {
    const uint16_t version = image[3];
    return FormatIndexOf(static_cast<uint8_t>(version >> 8), static_cast<uint8_t>(version));
}

uint8_t CodeplugFormat::FormatIndexOf(uint8_t major, uint8_t minor) {
    if (major != 5 || minor < 5 || minor > 11) {
        return kUnknownFormat;
    }
    return static_cast<uint8_t>(minor - 5);
}

FormatVersion CodeplugFormat::VersionOfIndex(uint8_t index) {
    if (index >= kFormats) {
        return {0, 0};
    }
    return {5, static_cast<uint8_t>(index + 5)};
}

bool CodeplugFormat::StoresOldListLayout(uint8_t formatIndex) {
    return formatIndex != kFormat510 && formatIndex != kFormat511;
}

// --- lengths and blocks ----------------------------------------------------------------------

uint16_t CodeplugFormat::TotalLength(const CodeplugImage& image) {
    return image[4];
}

void CodeplugFormat::SetTotalLength(CodeplugImage& image, uint16_t value) {
    image[4] = value;
}

uint32_t CodeplugFormat::BlocksEnd(const CodeplugImage& image) {
    const uint32_t total = TotalLength(image);
    return total > kTrailerWords ? total - kTrailerWords : 0;
}

uint16_t CodeplugFormat::BlockLength(const CodeplugImage& image, uint16_t block) {
    const uint16_t word = Word(image, uint32_t{block} + 1);
    return Is511(image) ? word : static_cast<uint16_t>(word & 0x3FFF);
}

uint16_t CodeplugFormat::BlockLength(const CodeplugImage& image, BlockRef block) {
    return BlockLength(image, Locate(image, block));
}

void CodeplugFormat::SetBlockLength(CodeplugImage& image, uint16_t block, uint16_t value) {
    if (Is511(image)) {
        SetWord(image, uint32_t{block} + 1, value);
    } else {
        SetField(image, uint32_t{block} + 1, 0x3FFF, 0, value & 0x3FFF);
    }
}

void CodeplugFormat::SetBlockLength(CodeplugImage& image, BlockRef block, uint16_t value) {
    SetBlockLength(image, Locate(image, block), value);
}

uint8_t CodeplugFormat::BlockType(const CodeplugImage& image, uint16_t block) {
    if (Is511(image)) {
        return static_cast<uint8_t>(GetField(image, uint32_t{block} + 2, 0x0600, 9));
    }
    return static_cast<uint8_t>(GetField(image, uint32_t{block} + 1, 0xC000, 14));
}

DescriptorList CodeplugFormat::GetDescriptorList(const CodeplugImage& image, uint16_t block) {
    return ReadList(Word(image, uint32_t{block} + 2), false, Is511(image));
}

DescriptorList CodeplugFormat::GetDescriptorList(const CodeplugImage& image, BlockRef block) {
    return GetDescriptorList(image, Locate(image, block));
}

void CodeplugFormat::SetDescriptorList(CodeplugImage& image, uint16_t block, int offset,
                                       int count) {
    const uint32_t index = uint32_t{block} + 2;
    const uint16_t offsetMask = Is511(image) ? 0x01FF : 0x07FF;
    if (offset >= 0) {
        SetField(image, index, offsetMask, 0, static_cast<uint16_t>(offset) & offsetMask);
    }
    if (count >= 0) {
        SetField(image, index, 0xF800, 11, static_cast<uint16_t>(count) & 0x1F);
    }
}

void CodeplugFormat::SetDescriptorList(CodeplugImage& image, BlockRef block, int offset,
                                       int count) {
    SetDescriptorList(image, Locate(image, block), offset, count);
}

DescriptorList CodeplugFormat::StoredDescriptorList(const CodeplugImage& image, uint16_t block) {
    const uint8_t format = FormatIndex(image);
    return ReadList(Word(image, uint32_t{block} + 2), StoresOldListLayout(format),
                    format == kFormat511);
}

uint32_t CodeplugFormat::DescriptorIndex(const CodeplugImage& image, uint16_t block,
                                         unsigned table) {
    return uint32_t{block} + GetDescriptorList(image, block).offset + table;
}

bool CodeplugFormat::IsWideTable(const CodeplugImage& image, uint16_t block, unsigned table) {
    if (GetField(image, uint32_t{block} + 2, 0x0600, 9) != kSystemBlock) {
        return false;
    }
    switch (GetField(image, uint32_t{block} + 3, 0xF000, 12)) {
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

TableInfo CodeplugFormat::GetTable(const CodeplugImage& image, uint16_t block, unsigned table) {
    const bool wide = Is511(image) && IsWideTable(image, block, table);
    return ReadDescriptor(Word(image, DescriptorIndex(image, block, table)), wide);
}

TableInfo CodeplugFormat::GetTable(const CodeplugImage& image, BlockRef block, unsigned table) {
    return GetTable(image, Locate(image, block), table);
}

void CodeplugFormat::SetTable(CodeplugImage& image, uint16_t block, unsigned table, int count,
                              int size) {
    const uint32_t index = DescriptorIndex(image, block, table);
    const bool wide = Is511(image) && IsWideTable(image, block, table);
    const uint16_t countMask = wide ? 0xFFE0 : 0xFF00;
    const unsigned countShift = wide ? 5 : 8;
    const uint16_t sizeMask = wide ? 0x001F : 0x00FF;
    if (count >= 0) {
        SetField(image, index, countMask, countShift,
                 static_cast<uint16_t>(count) & (countMask >> countShift));
    }
    if (size >= 0) {
        SetField(image, index, sizeMask, 0, static_cast<uint16_t>(size) & sizeMask);
    }
}

void CodeplugFormat::SetTable(CodeplugImage& image, BlockRef block, unsigned table, int count,
                              int size) {
    SetTable(image, Locate(image, block), table, count, size);
}

TableSpan CodeplugFormat::TableStart(const CodeplugImage& image, uint16_t block, unsigned table) {
    const DescriptorList list = GetDescriptorList(image, block);
    TableSpan span;
    span.start = uint32_t{block} + list.offset + list.count;
    for (unsigned j = 0; j < table; ++j) {
        span.start += GetTable(image, block, j).count * uint32_t{GetTable(image, block, j).size};
    }
    const TableInfo info = GetTable(image, block, table);
    span.count = info.count;
    span.size = info.size;
    return span;
}

TableSpan CodeplugFormat::TableStart(const CodeplugImage& image, BlockRef block, unsigned table) {
    return TableStart(image, Locate(image, block), table);
}

// --- lookups ---------------------------------------------------------------------------------

uint16_t CodeplugFormat::Locate(const CodeplugImage& image, BlockRef block) {
    switch (block.category) {
        case BlockRef::Category::Position:
            return block.key;
        case BlockRef::Category::Header:
            return 0;
        case BlockRef::Category::Kind:
            return FindKindBlock(image, block.key);
        case BlockRef::Category::System:
            return FindSystemBlock(image, block.key);
        case BlockRef::Category::Group:
            return FindGroupBlock(image, block.key);
    }
    return 0;
}

uint16_t CodeplugFormat::FindKindBlock(const CodeplugImage& image, uint16_t kind) {
    uint16_t found = 0;
    WalkBlocks(image, BlocksEnd(image), [&](const BlockEntry& block) {
        if (block.type == kKindBlock && (block.ident >> 12) == kind) {
            found = block.start;
            return false;
        }
        return true;
    });
    return found;
}

uint16_t CodeplugFormat::FindSystemBlock(const CodeplugImage& image, uint16_t id) {
    uint16_t found = 0;
    WalkBlocks(image, BlocksEnd(image), [&](const BlockEntry& block) {
        if (block.type == kSystemBlock && (block.ident & 0xFF) == id) {
            found = block.start;
            return false;
        }
        return true;
    });
    return found;
}

uint16_t CodeplugFormat::FindGroupBlock(const CodeplugImage& image, uint16_t ordinal) {
    uint16_t found = 0;
    uint16_t seen = 0;
    if (ordinal == 0) {
        return 0;
    }
    WalkBlocks(image, BlocksEnd(image), [&](const BlockEntry& block) {
        if (block.type == kGroupBlock && ++seen == ordinal) {
            found = block.start;
            return false;
        }
        return true;
    });
    return found;
}

uint8_t CodeplugFormat::SystemKind(const CodeplugImage& image, uint16_t id) {
    return static_cast<uint8_t>(
        GetField(image, uint32_t{FindSystemBlock(image, id)} + 3, 0xF000, 12));
}

uint8_t CodeplugFormat::SystemCount(const CodeplugImage& image) {
    return static_cast<uint8_t>(image[14] & 0xFF);
}

uint8_t CodeplugFormat::GroupCount(const CodeplugImage& image) {
    return static_cast<uint8_t>(image[14] >> 8);
}

// --- moving data -----------------------------------------------------------------------------

void CodeplugFormat::MoveTail(CodeplugImage& image, uint32_t destination, uint32_t source) {
    const uint32_t furthest = std::max(destination, source);
    if (destination == source || furthest >= kCodeplugWords) {
        return;
    }
    std::memmove(&image[destination], &image[source], (kCodeplugWords - furthest) * 2U);
}

void CodeplugFormat::ClearWords(CodeplugImage& image, uint32_t start, uint32_t count) {
    if (start >= kCodeplugWords) {
        return;
    }
    const uint32_t end = std::min(kCodeplugWords, start + std::min(count, kCodeplugWords));
    std::fill(image.begin() + start, image.begin() + end, uint16_t{0});
}

void CodeplugFormat::InsertWords(CodeplugImage& image, uint32_t position, uint32_t count) {
    if (count == 0) {
        return;
    }
    MoveTail(image, position + count, position);
    ClearWords(image, position, count);
}

void CodeplugFormat::DeleteWords(CodeplugImage& image, uint32_t position, uint32_t count) {
    if (count == 0) {
        return;
    }
    MoveTail(image, position, position + count);
}

void CodeplugFormat::WriteText(CodeplugImage& image, std::string_view text, uint32_t index) {
    for (uint32_t k = 0; k < 5; ++k) {
        SetWord(image, index + k, 0x2020);
    }
    const std::size_t n = std::min<std::size_t>(text.size(), 10);
    for (std::size_t c = 0; c < n; ++c) {
        const auto ch = static_cast<uint8_t>(text[c]);
        const uint32_t word = index + static_cast<uint32_t>(c / 2);
        if (c % 2 == 0) {
            SetField(image, word, 0x00FF, 0, ch);
        } else {
            SetField(image, word, 0xFF00, 8, ch);
        }
    }
}

int32_t CodeplugFormat::ReplaceTable(CodeplugImage& image, uint16_t block, unsigned table,
                                     const uint16_t* data, uint32_t newLength) {
    const TableSpan span = TableStart(image, block, table);
    const uint32_t oldLength = span.Words();
    if (data == nullptr) {
        if (span.count != 0) {
            DeleteWords(image, span.start, oldLength);
        }
        return -static_cast<int32_t>(oldLength);
    }
    if (newLength > oldLength) {
        InsertWords(image, span.start + oldLength, newLength - oldLength);
    } else if (newLength < oldLength) {
        DeleteWords(image, span.start + newLength, oldLength - newLength);
    }
    if (span.start < kCodeplugWords) {
        const uint32_t n = std::min(newLength, kCodeplugWords - span.start);
        std::memmove(&image[span.start], data, n * 2U);
    }
    return static_cast<int32_t>(newLength) - static_cast<int32_t>(oldLength);
}

int32_t CodeplugFormat::ReplaceTable(CodeplugImage& image, BlockRef ref, unsigned table,
                                     const uint16_t* data, uint16_t count, uint16_t size) {
    const uint16_t block = Locate(image, ref);
    const int32_t change = ReplaceTable(image, block, table, data, uint32_t{count} * size);
    SetTable(image, block, table, count, size);
    SetBlockLength(image, block, static_cast<uint16_t>(BlockLength(image, block) + change));
    SetTotalLength(image, static_cast<uint16_t>(TotalLength(image) + change));
    return change;
}

int32_t CodeplugFormat::EmptySystemTable(CodeplugImage& image, uint16_t id, unsigned table) {
    const uint16_t block = FindSystemBlock(image, id);
    const TableSpan span = TableStart(image, block, table);
    const uint32_t words = span.Words();
    DeleteWords(image, span.start, words);
    SetTable(image, block, table, 0, 0);
    SetBlockLength(image, block, static_cast<uint16_t>(BlockLength(image, block) - words));
    SetTotalLength(image, static_cast<uint16_t>(TotalLength(image) - words));
    return -static_cast<int32_t>(words);
}

void CodeplugFormat::SwapWordBytes(uint8_t* buffer, std::size_t byteCount) {
    for (std::size_t k = 0; k + 1 < byteCount; k += 2) {
        std::swap(buffer[k], buffer[k + 1]);
    }
}

// --- constant tables -------------------------------------------------------------------------

const LayoutRecord& CodeplugFormat::Layout(LayoutCategory category, uint8_t formatIndex) {
    static constexpr LayoutRecord kNone{};
    const auto row = static_cast<unsigned>(category);
    if (row >= static_cast<unsigned>(LayoutCategory::Count) || formatIndex >= kFormats) {
        return kNone;
    }
    return kLayouts[row][formatIndex];
}

LayoutCategory CodeplugFormat::SystemLayout(uint8_t systemKind) {
    switch (systemKind) {
        case 1:
            return LayoutCategory::System1;
        case 3:
            return LayoutCategory::System3;
        case 4:
            return LayoutCategory::System4;
        case 5:
            return LayoutCategory::System5;
        default:
            return LayoutCategory::System0;
    }
}

LayoutCategory CodeplugFormat::KindBlockLayout(uint8_t kind) {
    switch (kind) {
        case 1:
        case 3:
            return LayoutCategory::Kind1;
        case 4:
            return LayoutCategory::Kind4;
        case 5:
            return LayoutCategory::Kind5;
        default:
            return LayoutCategory::Kind0;
    }
}

RecordSize CodeplugFormat::RecordSizeOf(SizedTable table, uint8_t formatIndex) {
    const auto row = static_cast<unsigned>(table);
    if (row >= static_cast<unsigned>(SizedTable::Count) || formatIndex < kFormat58 ||
        formatIndex > kFormat511) {
        return {};
    }
    return kRecordSizes[row][formatIndex - kFormat58];
}

// --- structure check -------------------------------------------------------------------------

bool CodeplugFormat::CheckStructure(const CodeplugImage& image) const {
    return CheckStructure(image, nullptr);
}

bool CodeplugFormat::CheckStructure(const CodeplugImage& image, std::string* reason) const {
    if (image[0] != kBlockMarker) {
        return Fail(reason, "word 0 does not hold the block marker");
    }
    if (BlockType(image, 0) != kHeaderBlock) {
        return Fail(reason, "the first block is not a header block");
    }
    const uint32_t total = TotalLength(image);
    if (total <= kTrailerWords) {
        return Fail(reason, "total length " + std::to_string(total) + " leaves no blocks");
    }
    if (total > kCodeplugWords) {
        return Fail(reason, "total length " + std::to_string(total) + " exceeds the buffer");
    }
    const unsigned groups = GroupCount(image);
    const unsigned systems = SystemCount(image);
    if (groups < 1 || groups > 54) {
        return Fail(reason, "group block count " + std::to_string(groups) + " not within 1 to 54");
    }
    if (systems < 1 || systems > 16) {
        return Fail(reason,
                    "system block count " + std::to_string(systems) + " not within 1 to 16");
    }

    const uint8_t format = FormatIndex(image);
    const bool oldLayout = StoresOldListLayout(format);
    const bool is511 = format == kFormat511;
    const uint32_t bound = total - kTrailerWords;
    unsigned kindBlocks = 0;
    unsigned systemBlocks = 0;
    unsigned groupBlocks = 0;
    uint32_t kindsInUse = 0;  // bit per system kind, kind 3 counted as 1
    uint32_t idsPresent = 0;  // bit per system id
    enum class Problem { None, ShortBlock, ListOutside, TablesOutside };
    Problem problem = Problem::None;
    uint16_t problemAt = 0;

    const uint32_t end = WalkBlocks(image, bound, [&](const BlockEntry& block) {
        problemAt = block.start;
        if (block.length < 4) {
            problem = Problem::ShortBlock;
            return false;
        }
        const DescriptorList list =
            ReadList(Word(image, uint32_t{block.start} + 2), oldLayout, is511);
        uint32_t data = uint32_t{list.offset} + list.count;
        if (list.count > 0 && (list.offset < 4 || data > block.length)) {
            problem = Problem::ListOutside;
            return false;
        }
        for (unsigned t = 0; t < list.count; ++t) {
            const uint16_t word = Word(image, uint32_t{block.start} + list.offset + t);
            const bool wide = is511 && IsWideTable(image, block.start, t);
            const TableInfo info = ReadDescriptor(word, wide);
            data += uint32_t{info.count} * info.size;
        }
        if (data > block.length) {
            problem = Problem::TablesOutside;
            return false;
        }
        switch (block.type) {
            case kKindBlock:
                ++kindBlocks;
                break;
            case kSystemBlock: {
                ++systemBlocks;
                const unsigned kind = block.ident >> 12;
                kindsInUse |= 1U << (kind == 3 ? 1 : kind);
                const unsigned id = block.ident & 0xFF;
                if (id >= 1 && id <= 16) {
                    idsPresent |= 1U << id;
                }
                break;
            }
            case kGroupBlock:
                ++groupBlocks;
                break;
            default:
                break;
        }
        return true;
    });
    const auto where = [&] { return "block at word " + std::to_string(problemAt); };
    switch (problem) {
        case Problem::ShortBlock:
            return Fail(reason, where() + " is shorter than its head");
        case Problem::ListOutside:
            return Fail(reason, where() + " has its descriptor list outside the block");
        case Problem::TablesOutside:
            return Fail(reason, where() + " has tables reaching past its end");
        case Problem::None:
            break;
    }
    if (end != bound) {
        if (end < bound && Word(image, end) != kBlockMarker) {
            return Fail(reason, "no block marker at word " + std::to_string(end) +
                                    " before the end of the blocks at word " +
                                    std::to_string(bound));
        }
        if (end < bound) {
            return Fail(reason, "block at word " + std::to_string(end) +
                                    " has length 0 or runs past the buffer");
        }
        return Fail(reason, "the last block ends at word " + std::to_string(end) +
                                ", not at word " + std::to_string(bound));
    }
    const auto distinctKinds = static_cast<unsigned>(std::popcount(kindsInUse));
    if (kindBlocks != distinctKinds) {
        return Fail(reason, std::to_string(kindBlocks) + " system-kind blocks for " +
                                std::to_string(distinctKinds) + " system kinds in use");
    }
    if (systemBlocks != systems) {
        return Fail(reason, std::to_string(systemBlocks) + " system blocks, header says " +
                                std::to_string(systems));
    }
    if (groupBlocks != groups) {
        return Fail(reason, std::to_string(groupBlocks) + " group blocks, header says " +
                                std::to_string(groups));
    }
    for (unsigned id = 1; id <= systems; ++id) {
        if ((idsPresent & (1U << id)) == 0) {
            return Fail(reason, "no system block carries id " + std::to_string(id));
        }
    }
    return true;
}

// --- conversion ------------------------------------------------------------------------------

bool CodeplugFormat::ConvertChain(CodeplugImage& image, uint8_t from, uint8_t to) {
    m_LengthChange = 0;
    const int first = from + 1;
    const int last = to;
    bool runsStep = false;
    for (int i = first; i <= last; ++i) {
        runsStep = runsStep || (i >= kFormat59 && i <= kFormat511);
    }
    // Steps read word +2 of every block in the newer layout. A chain into 5.10 or later keeps
    // that layout; a chain that ends at 5.9 puts the older one back, as 5.9 images are stored.
    const bool crossesInto510 = from < kFormat510 && to >= kFormat510;
    const bool staysOld = !crossesInto510 && from < kFormat510 && runsStep;
    if (crossesInto510 || staysOld) {
        CodeplugConverter::RelayoutDescriptorCounts(image);
    }
    bool fits = true;
    const auto run = [&](CodeplugConverter& step) {
        step.Run(image);
        m_LengthChange += step.LengthChange();
        fits = !step.Overflowed();
    };
    for (int i = first; i <= last && fits; ++i) {
        if (i == kFormat59) {
            Converter58To59 step;
            run(step);
        } else if (i == kFormat510) {
            Converter59To510 step;
            run(step);
        } else if (i == kFormat511) {
            Converter510To511 step;
            run(step);
        }
    }
    if (staysOld) {
        CodeplugConverter::RestoreDescriptorCounts(image);
    }
    return fits;
}

bool CodeplugFormat::Verify511(CodeplugImage& image, bool hardKey) {
    return Verifier511::Run(image, hardKey);
}

}  // namespace quillon
