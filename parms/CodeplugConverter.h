#pragma once

#include <cstdint>

#include "parms/CodeplugFormat.h"

namespace quillon {

// One step of the conversion chain: turns an image of the format just below StepIndex() into
// that format. Run() walks the image in a fixed order (header, system-kind blocks, system
// blocks, group blocks), resizes every block to the layout of the new format and calls the
// step's edits through the virtual slots; the base class implements every slot as doing nothing.
class CodeplugConverter {
public:
    CodeplugConverter() = default;
    virtual ~CodeplugConverter() = default;
    CodeplugConverter(const CodeplugConverter&) = delete;
    CodeplugConverter& operator=(const CodeplugConverter&) = delete;

    // Converts `image` in place; LengthChange() then holds the step's change of total length.
    void Run(CodeplugImage& image);

    int32_t LengthChange() const { return m_LengthChange; }
    uint8_t StepIndex() const { return m_StepIndex; }
    // True when the run pushed words of the image past the end of the buffer, or grew a
    // length beyond what its field can hold: the result is not a usable image.
    bool Overflowed() const { return m_Overflowed; }

    // Rewrites word +2 of every block from the older layout (bits 12-15 count, bits 0-11
    // offset) to the newer one (bits 11-15 count, bits 0-10 offset).
    static void RelayoutDescriptorCounts(CodeplugImage& image);
    // The reverse: word +2 of every block back to the older layout.
    static void RestoreDescriptorCounts(CodeplugImage& image);

protected:
    // Slots, in order.
    virtual void ConvertHeader() {}
    virtual void HeaderResized() {}
    virtual void ConvertKindBlock0() {}
    virtual void ConvertKindBlock1() {}
    virtual void ConvertKindBlock4() {}
    virtual void ConvertKindBlock5() {}
    virtual void KindBlockResized0() {}
    virtual void KindBlockResized1() {}
    virtual void KindBlockResized4() {}
    virtual void KindBlockResized5() {}
    virtual void ConvertSystem0(uint16_t /*id*/) {}
    virtual void ConvertSystem1(uint16_t /*id*/) {}
    virtual void ConvertSystem3(uint16_t /*id*/) {}
    virtual void ConvertSystem4(uint16_t /*id*/) {}
    virtual void ConvertSystem5(uint16_t /*id*/) {}
    virtual void SystemResized0(uint16_t /*id*/) {}
    virtual void SystemResized1(uint16_t /*id*/) {}
    virtual void SystemResized3(uint16_t /*id*/) {}
    virtual void SystemResized4(uint16_t /*id*/) {}
    virtual void SystemResized5(uint16_t /*id*/) {}
    virtual void ConvertGroupTable0(uint16_t /*ordinal*/) {}
    virtual void ConvertGroupTable1(uint16_t /*ordinal*/) {}
    virtual void ConvertGroupTable2(uint16_t /*ordinal*/) {}
    virtual void ConvertGroupTable3(uint16_t /*ordinal*/) {}
    virtual void ConvertGroupTable4(uint16_t /*ordinal*/) {}
    virtual void GroupResized(uint16_t /*ordinal*/) {}
    virtual void ConvertGroup(uint16_t /*ordinal*/) {}

    // --- helpers for the steps (all positions checked against the buffer) ----------------

    CodeplugImage& Image() { return *m_Image; }
    uint16_t Get(uint32_t index, uint16_t mask, unsigned shift) const;
    void Set(uint32_t index, uint16_t mask, unsigned shift, uint16_t value);
    // Sets the field to `value` only when it holds 0.
    void Default(uint32_t index, uint16_t mask, unsigned shift, uint16_t value);
    void Clear(uint32_t index, uint16_t mask);
    void ClearRange(uint32_t first, uint32_t last);  // words first..last inclusive

    uint16_t System(uint16_t id) const;  // block start of a system block
    uint16_t Group(uint16_t ordinal) const;
    // The system-kind block of a kind; kinds 1 and 3 share one block (normally carrying kind 1).
    uint16_t KindBlockOf(uint8_t kind) const;

    // Adds `delta` words to the block length and the total length.
    void AddLength(uint16_t block, int32_t delta);
    // Inserts / deletes words inside `block` and adds the change to its length and the total.
    void InsertInBlock(uint16_t block, uint32_t position, uint32_t count);
    void DeleteInBlock(uint16_t block, uint32_t position, uint32_t count);
    // Within [position, end): moves words position .. end-count-1 up by `count` and zeroes the
    // `count` words at position; nothing outside the range changes (an insertion and a
    // deletion of the same size inside one block).
    void ShiftUpWithin(uint32_t position, uint32_t end, uint32_t count);

    // The generic resize of a block to `layout`.
    void ResizeBlock(uint16_t block, const LayoutRecord& layout);
    // Record count of a table from its current count to `count`; new records are zero, records
    // beyond `count` are removed.
    void ChangeRecordCount(uint16_t block, unsigned table, uint16_t count);
    // Record size from the table's own size to `to` words for every record the table holds;
    // the new words at each record's end are filled with `fill`. Sets the size (and the count,
    // when `count` is not negative). A table whose records are already longer than `to` is
    // left as it is, so that no word is lost; returns false then.
    bool ChangeRecordSize(uint16_t block, unsigned table, uint16_t to, uint16_t fill = 0,
                          int count = -1);
    // Gives a table of record size 0 records of `size` words; records it counted get zero
    // words, so the block stays consistent. A table with a size keeps it.
    void DefaultRecordSize(uint16_t block, unsigned table, uint16_t size);
    // Declares a table empty with records of `size` words; records it held are removed first,
    // so the block stays consistent.
    void DeclareEmptyTable(uint16_t block, unsigned table, uint16_t size);
    // In every record of a table, moves the value of (word `fromWord`, mask, shift) to
    // (word `toWord`, mask, shift) and clears the source.
    void MoveRecordField(uint16_t block, unsigned table, uint32_t fromWord, uint16_t fromMask,
                         unsigned fromShift, uint32_t toWord, uint16_t toMask, unsigned toShift);

    uint8_t m_StepIndex = kUnknownFormat;

private:
    void RelocateBlockTypes();
    void WidenDescriptors();
    void RunKindBlock(uint16_t block, uint8_t kind);
    void RunSystem(uint16_t id);
    void RunGroup(uint16_t ordinal);

    CodeplugImage* m_Image = nullptr;
    int32_t m_LengthChange = 0;
    bool m_Overflowed = false;
};

}  // namespace quillon
