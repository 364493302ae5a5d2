#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// The codeplug image: 32,768 16-bit words (65,536 bytes), in host order while it is examined or
// converted. Positions are word indices.
inline constexpr uint32_t kCodeplugWords = 32768;
using CodeplugImage = std::array<uint16_t, kCodeplugWords>;

inline constexpr uint16_t kBlockMarker = 0x5F5F;
inline constexpr uint16_t kTrailerWords = 128;  // image trailer at the end of the total length
inline constexpr uint8_t kUnknownFormat = 255;
inline constexpr uint8_t kFormat58 = 3;
inline constexpr uint8_t kFormat59 = 4;
inline constexpr uint8_t kFormat510 = 5;
inline constexpr uint8_t kFormat511 = 6;

// Block types (word +1 bits 14-15 up to 5.10, word +2 bits 9-10 in 5.11).
inline constexpr uint8_t kHeaderBlock = 0;
inline constexpr uint8_t kKindBlock = 1;
inline constexpr uint8_t kSystemBlock = 2;
inline constexpr uint8_t kGroupBlock = 3;

struct FormatVersion {
    uint8_t major = 0;
    uint8_t minor = 0;
};

// Word +2 of a block: where its descriptor list starts (offset from the marker) and how many
// descriptors it holds.
struct DescriptorList {
    uint16_t offset = 0;
    uint16_t count = 0;
};

// One table descriptor: record count and record size in words.
struct TableInfo {
    uint16_t count = 0;
    uint16_t size = 0;
};

// Where a table's records lie. `start` may lie beyond the buffer for a damaged image.
struct TableSpan {
    uint32_t start = 0;
    uint16_t count = 0;
    uint16_t size = 0;
    uint32_t Words() const { return uint32_t{count} * size; }
};

// One block as seen by the block walk.
struct BlockEntry {
    uint16_t start = 0;
    uint16_t length = 0;
    uint8_t type = 0;
    uint16_t ident = 0;  // word +3
};

// How a block is found: at a known position, or the header, a system-kind block by kind, a
// system block by id, a group block by ordinal (from 1). A lookup that finds nothing gives
// position 0, the header block.
struct BlockRef {
    enum class Category : uint8_t { Position, Header, Kind, System, Group };
    Category category = Category::Header;
    uint16_t key = 0;

    static constexpr BlockRef At(uint16_t position) { return {Category::Position, position}; }
    static constexpr BlockRef Header() { return {Category::Header, 0}; }
    static constexpr BlockRef Kind(uint16_t kind) { return {Category::Kind, kind}; }
    static constexpr BlockRef System(uint16_t id) { return {Category::System, id}; }
    static constexpr BlockRef Group(uint16_t ordinal) { return {Category::Group, ordinal}; }
};

// A layout record: data start (descriptor-list offset + descriptor count), the fixed words the
// step into this format inserts, the descriptor count, and the descriptors that step adds.
struct LayoutRecord {
    uint16_t dataStart = 0;
    uint16_t fixedAdded = 0;
    uint16_t descriptors = 0;
    uint16_t descriptorsAdded = 0;
};

enum class LayoutCategory : uint8_t {
    Header,
    Group,
    System0,
    System1,
    System3,
    System4,
    System5,
    Kind0,
    Kind1,  // shared by system kinds 1 and 3
    Kind4,
    Kind5,
    Count
};

// Tables whose record size changes between formats.
enum class SizedTable : uint8_t {
    System0Table3,
    System13Table7,
    System4Table9,
    System5Table2,
    GroupTable0,
    GroupTable1,
    GroupTable2,
    GroupTable3,
    GroupTable4,
    Count
};

struct RecordSize {
    uint16_t size = 0;
    uint16_t added = 0;  // words the step into this format adds to each record
};

// The codeplug image model: its blocks, tables, lengths and version, and the primitives every
// conversion step is built from. All operations except CheckStructure, ConvertChain and
// Verify511 are static and work on the image in place. Every position is checked against the
// buffer: reads outside it give 0 and writes outside it are dropped.
class CodeplugFormat {
public:
    CodeplugFormat() = default;

    // --- instance operations -------------------------------------------------------------

    // True when the uploaded image is well formed enough to be converted. `reason`, when given,
    // receives a one-line explanation of a failure.
    bool CheckStructure(const CodeplugImage& image) const;
    bool CheckStructure(const CodeplugImage& image, std::string* reason) const;

    // Converts the image from format index `from` to `to`, one step at a time. The total length
    // change is then available from LengthChange(). Returns false when the image outgrew the
    // 32,768-word buffer on the way (its tail was lost and it must not be written back).
    bool ConvertChain(CodeplugImage& image, uint8_t from, uint8_t to);

    // Checks and repairs an image of format 5.11. `hardKey` is the radio's hard-key bit.
    // Repairs stay in the image whatever the result. Its length changes are written to the
    // image's length words only, never to LengthChange().
    bool Verify511(CodeplugImage& image, bool hardKey);

    int32_t LengthChange() const { return m_LengthChange; }

    // --- words and fields ----------------------------------------------------------------

    static uint16_t Word(const CodeplugImage& image, uint32_t index);
    static void SetWord(CodeplugImage& image, uint32_t index, uint16_t value);
    // (word AND mask) >> shift.
    static uint16_t GetField(const CodeplugImage& image, uint32_t index, uint16_t mask,
                             unsigned shift);
    // Clears the mask bits, then ORs in value << shift (the value is not masked).
    static void SetField(CodeplugImage& image, uint32_t index, uint16_t mask, unsigned shift,
                         uint16_t value);

    // --- versions ------------------------------------------------------------------------

    static uint8_t FormatIndex(const CodeplugImage& image);
    static uint8_t FormatIndexOf(uint8_t major, uint8_t minor);
    static FormatVersion VersionOfIndex(uint8_t index);
    // Images of format 5.9 and older keep word +2 of each block in the older layout (4-bit
    // descriptor count, 12-bit offset) as the radio stores them.
    static bool StoresOldListLayout(uint8_t formatIndex);

    // --- lengths and blocks --------------------------------------------------------------

    static uint16_t TotalLength(const CodeplugImage& image);
    static void SetTotalLength(CodeplugImage& image, uint16_t value);
    // Where the blocks end and the trailer begins: total length - 128 (0 when shorter). Block
    // walks stop here, so a trailer that happens to start with the block marker is never read
    // or changed as a block.
    static uint32_t BlocksEnd(const CodeplugImage& image);

    static uint16_t BlockLength(const CodeplugImage& image, uint16_t block);
    static uint16_t BlockLength(const CodeplugImage& image, BlockRef block);
    static void SetBlockLength(CodeplugImage& image, uint16_t block, uint16_t value);
    static void SetBlockLength(CodeplugImage& image, BlockRef block, uint16_t value);
    static uint8_t BlockType(const CodeplugImage& image, uint16_t block);

    // Word +2, read and written in the layout of the model (5-bit count; 11-bit offset up to
    // 5.10, 9-bit offset in 5.11). A negative argument leaves that part unchanged.
    static DescriptorList GetDescriptorList(const CodeplugImage& image, uint16_t block);
    static DescriptorList GetDescriptorList(const CodeplugImage& image, BlockRef block);
    static void SetDescriptorList(CodeplugImage& image, uint16_t block, int offset, int count);
    static void SetDescriptorList(CodeplugImage& image, BlockRef block, int offset, int count);
    // Word +2 in the layout the image is stored in (older layout for 5.9 and before).
    static DescriptorList StoredDescriptorList(const CodeplugImage& image, uint16_t block);

    // Table descriptors, narrow or wide as the format and block say. A negative argument leaves
    // that part unchanged.
    static uint32_t DescriptorIndex(const CodeplugImage& image, uint16_t block, unsigned table);
    static TableInfo GetTable(const CodeplugImage& image, uint16_t block, unsigned table);
    static TableInfo GetTable(const CodeplugImage& image, BlockRef block, unsigned table);
    static void SetTable(CodeplugImage& image, uint16_t block, unsigned table, int count, int size);
    static void SetTable(CodeplugImage& image, BlockRef block, unsigned table, int count, int size);
    static TableSpan TableStart(const CodeplugImage& image, uint16_t block, unsigned table);
    static TableSpan TableStart(const CodeplugImage& image, BlockRef block, unsigned table);
    static bool IsWideTable(const CodeplugImage& image, uint16_t block, unsigned table);

    // --- lookups -------------------------------------------------------------------------

    static uint16_t Locate(const CodeplugImage& image, BlockRef block);
    static uint16_t FindKindBlock(const CodeplugImage& image, uint16_t kind);
    static uint16_t FindSystemBlock(const CodeplugImage& image, uint16_t id);
    static uint16_t FindGroupBlock(const CodeplugImage& image, uint16_t ordinal);
    static uint8_t SystemKind(const CodeplugImage& image, uint16_t id);
    static uint8_t SystemCount(const CodeplugImage& image);  // header word 14 bits 0-7
    static uint8_t GroupCount(const CodeplugImage& image);   // header word 14 bits 8-15

    // Walks the blocks from word 0 while the position is below `bound`, calling
    // visit(const BlockEntry&) for each; visit returns false to stop. The walk stops at a
    // position without the block marker, at a block of length 0 and at a block that runs past
    // the buffer. Returns the position where it stopped.
    template <class Visit>
    static uint32_t WalkBlocks(const CodeplugImage& image, uint32_t bound, Visit&& visit);

    // --- moving data ---------------------------------------------------------------------

    // Moves the words from `source` up to the end of the buffer so that they begin at
    // `destination` (65,536 - 2 x max(destination, source) bytes, overlap-safe).
    static void MoveTail(CodeplugImage& image, uint32_t destination, uint32_t source);
    static void ClearWords(CodeplugImage& image, uint32_t start, uint32_t count);
    // Inserts `count` zero words at `position` (the last words of the buffer are lost).
    static void InsertWords(CodeplugImage& image, uint32_t position, uint32_t count);
    // Deletes `count` words at `position` (the last words of the buffer keep their content).
    static void DeleteWords(CodeplugImage& image, uint32_t position, uint32_t count);
    // A 10-character text field at `index`: blanks, then at most 10 characters of `text`.
    static void WriteText(CodeplugImage& image, std::string_view text, uint32_t index);

    // Replaces the data of a table with `newLength` words of `data` (or, with no data, removes
    // the table's words); returns the change of length. Descriptor and lengths are untouched.
    static int32_t ReplaceTable(CodeplugImage& image, uint16_t block, unsigned table,
                                const uint16_t* data, uint32_t newLength);
    // As above with `count` records of `size` words of `data`, then sets the descriptor and
    // adds the change to the block length and the total length.
    static int32_t ReplaceTable(CodeplugImage& image, BlockRef block, unsigned table,
                                const uint16_t* data, uint16_t count, uint16_t size);
    // Removes all records of a system block's table; its descriptor becomes 0 records of 0.
    static int32_t EmptySystemTable(CodeplugImage& image, uint16_t id, unsigned table);

    // Swaps bytes 2k and 2k+1 for every k below byteCount / 2.
    static void SwapWordBytes(uint8_t* buffer, std::size_t byteCount);

    // --- constant tables -----------------------------------------------------------------

    static const LayoutRecord& Layout(LayoutCategory category, uint8_t formatIndex);
    static LayoutCategory SystemLayout(uint8_t systemKind);  // kinds 0,1,3,4,5
    static LayoutCategory KindBlockLayout(uint8_t kind);     // kinds 0,1 (and 3),4,5
    static RecordSize RecordSizeOf(SizedTable table, uint8_t formatIndex);

private:
    int32_t m_LengthChange = 0;
};

template <class Visit>
uint32_t CodeplugFormat::WalkBlocks(const CodeplugImage& image, uint32_t bound, Visit&& visit) {
    uint32_t position = 0;
    while (position < bound && position < kCodeplugWords) {
        if (image[position] != kBlockMarker) {
            break;
        }
        const auto start = static_cast<uint16_t>(position);
        BlockEntry entry;
        entry.start = start;
        entry.length = BlockLength(image, start);
        entry.type = BlockType(image, start);
        entry.ident = Word(image, position + 3);
        if (entry.length == 0 || position + entry.length > kCodeplugWords) {
            break;
        }
        if (!visit(static_cast<const BlockEntry&>(entry))) {
            break;
        }
        position += entry.length;
    }
    return position;
}

}  // namespace quillon
