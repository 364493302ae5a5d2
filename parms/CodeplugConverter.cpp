#include "parms/CodeplugConverter.h"

#include <algorithm>
#include <cstring>

namespace quillon {

namespace {

using F = CodeplugFormat;

// Copies `count` words from `source` to `destination` inside the buffer (overlap-safe);
// whatever would land beyond the buffer is dropped.
void CopyWords(CodeplugImage& image, uint32_t destination, uint32_t source, uint32_t count) {
    if (destination >= kCodeplugWords || source >= kCodeplugWords) {
        return;
    }
    count = std::min({count, kCodeplugWords - destination, kCodeplugWords - source});
    std::memmove(&image[destination], &image[source], count * 2U);
}

void FillWords(CodeplugImage& image, uint32_t start, uint32_t count, uint16_t value) {
    if (start >= kCodeplugWords) {
        return;
    }
    count = std::min(count, kCodeplugWords - start);
    std::fill_n(image.begin() + start, count, value);
}

}  // namespace

// --- the step sequence -----------------------------------------------------------------------

void CodeplugConverter::Run(CodeplugImage& image) {
    m_Image = &image;
    m_LengthChange = 0;
    m_Overflowed = false;
    const int32_t before = F::TotalLength(image);

    ResizeBlock(0, F::Layout(LayoutCategory::Header, m_StepIndex));
    HeaderResized();
    ConvertHeader();

    for (uint8_t kind : {0, 1, 4, 5}) {
        if (m_Overflowed) {
            break;
        }
        const uint16_t block = KindBlockOf(kind);
        if (block != 0) {
            RunKindBlock(block, kind);
        }
    }

    const unsigned systems = F::SystemCount(image);
    for (unsigned id = 1; id <= systems && !m_Overflowed; ++id) {
        RunSystem(static_cast<uint16_t>(id));
    }

    const unsigned groups = F::GroupCount(image);
    for (unsigned n = 1; n <= groups && !m_Overflowed; ++n) {
        RunGroup(static_cast<uint16_t>(n));
    }

    // Only the step into 5.11 sees a 5.10 image here.
    if (F::FormatIndex(image) == kFormat510) {
        RelocateBlockTypes();
        WidenDescriptors();
    }

    const FormatVersion version = F::VersionOfIndex(m_StepIndex);
    image[3] = static_cast<uint16_t>((version.major << 8) | version.minor);
    m_LengthChange = F::TotalLength(image) - before;
}

void CodeplugConverter::RunKindBlock(uint16_t block, uint8_t kind) {
    ResizeBlock(block, F::Layout(F::KindBlockLayout(kind), m_StepIndex));
    switch (kind) {
        case 0:
            KindBlockResized0();
            ConvertKindBlock0();
            break;
        case 1:
            KindBlockResized1();
            ConvertKindBlock1();
            break;
        case 4:
            KindBlockResized4();
            ConvertKindBlock4();
            break;
        case 5:
            KindBlockResized5();
            ConvertKindBlock5();
            break;
        default:
            break;
    }
}

void CodeplugConverter::RunSystem(uint16_t id) {
    const uint16_t block = System(id);
    if (block == 0) {
        return;  // never edit the header in place of a missing system
    }
    const uint8_t kind = F::SystemKind(Image(), id);
    switch (kind) {
        case 0:
        case 1:
        case 3:
        case 4:
        case 5:
            break;
        default:
            return;
    }
    ResizeBlock(block, F::Layout(F::SystemLayout(kind), m_StepIndex));
    switch (kind) {
        case 0:
            SystemResized0(id);
            ConvertSystem0(id);
            break;
        case 1:
            SystemResized1(id);
            ConvertSystem1(id);
            break;
        case 3:
            SystemResized3(id);
            ConvertSystem3(id);
            break;
        case 4:
            SystemResized4(id);
            ConvertSystem4(id);
            break;
        default:
            SystemResized5(id);
            ConvertSystem5(id);
            break;
    }
}

void CodeplugConverter::RunGroup(uint16_t ordinal) {
    const uint16_t block = Group(ordinal);
    if (block == 0) {
        return;
    }
    ResizeBlock(block, F::Layout(LayoutCategory::Group, m_StepIndex));
    GroupResized(ordinal);
    ConvertGroup(ordinal);
    ConvertGroupTable0(ordinal);
    ConvertGroupTable1(ordinal);
    ConvertGroupTable2(ordinal);
    ConvertGroupTable3(ordinal);
    ConvertGroupTable4(ordinal);
}

void CodeplugConverter::RelocateBlockTypes() {
    CodeplugImage& image = Image();
    F::WalkBlocks(image, F::BlocksEnd(image), [&](const BlockEntry& block) {
        const uint32_t b = block.start;
        const uint16_t type = image[b + 1] >> 14;
        F::SetField(image, b + 2, 0x0600, 9, type);
        F::SetField(image, b + 1, 0xC000, 14, 0);
        return true;
    });
}

void CodeplugConverter::WidenDescriptors() {
    CodeplugImage& image = Image();
    const auto widen = [&](uint32_t index) {
        const uint16_t word = F::Word(image, index);
        F::SetWord(image, index, static_cast<uint16_t>(((word >> 8) << 5) | (word & 0x1F)));
    };
    F::WalkBlocks(image, F::BlocksEnd(image), [&](const BlockEntry& block) {
        const uint32_t b = block.start;
        if (F::GetField(image, b + 2, 0x0600, 9) != kSystemBlock) {
            return true;
        }
        // The descriptors of the wide tables, found from the block's own list (offset in
        // bits 0-8 now that the type sits in bits 9-10): kind 0 at +81, kind 1 at +134 and
        // +135, kind 3 at +338 and +339, kind 4 at +304 and +305.
        const uint32_t list = b + (image[b + 2] & 0x01FFU);
        switch (block.ident >> 12) {
            case 0:
                widen(list + 0);
                break;
            case 1:
            case 3:
                widen(list + 5);
                widen(list + 6);
                break;
            case 4:
                widen(list + 6);
                widen(list + 7);
                break;
            default:
                break;
        }
        return true;
    });
}

void CodeplugConverter::RelayoutDescriptorCounts(CodeplugImage& image) {
    F::WalkBlocks(image, F::BlocksEnd(image), [&](const BlockEntry& block) {
        const uint16_t word = image[block.start + 2U];
        const uint16_t count = word >> 12;
        image[block.start + 2U] = static_cast<uint16_t>((word & 0x07FF) | (count << 11));
        return true;
    });
}

void CodeplugConverter::RestoreDescriptorCounts(CodeplugImage& image) {
    F::WalkBlocks(image, F::BlocksEnd(image), [&](const BlockEntry& block) {
        const uint16_t word = image[block.start + 2U];
        const uint16_t count = (word >> 11) & 0x0F;
        image[block.start + 2U] = static_cast<uint16_t>((word & 0x07FF) | (count << 12));
        return true;
    });
}

// --- helpers ---------------------------------------------------------------------------------

uint16_t CodeplugConverter::Get(uint32_t index, uint16_t mask, unsigned shift) const {
    return F::GetField(*m_Image, index, mask, shift);
}

void CodeplugConverter::Set(uint32_t index, uint16_t mask, unsigned shift, uint16_t value) {
    F::SetField(*m_Image, index, mask, shift, value);
}

void CodeplugConverter::Default(uint32_t index, uint16_t mask, unsigned shift, uint16_t value) {
    if (Get(index, mask, shift) == 0) {
        Set(index, mask, shift, value);
    }
}

void CodeplugConverter::Clear(uint32_t index, uint16_t mask) {
    Set(index, mask, 0, 0);
}

void CodeplugConverter::ClearRange(uint32_t first, uint32_t last) {
    if (last >= first) {
        F::ClearWords(*m_Image, first, last - first + 1);
    }
}

uint16_t CodeplugConverter::System(uint16_t id) const {
    return F::FindSystemBlock(*m_Image, id);
}

uint16_t CodeplugConverter::Group(uint16_t ordinal) const {
    return F::FindGroupBlock(*m_Image, ordinal);
}

uint16_t CodeplugConverter::KindBlockOf(uint8_t kind) const {
    if (kind == 1 || kind == 3) {
        const uint16_t block = F::FindKindBlock(*m_Image, 1);
        return block != 0 ? block : F::FindKindBlock(*m_Image, 3);
    }
    return F::FindKindBlock(*m_Image, kind);
}

void CodeplugConverter::AddLength(uint16_t block, int32_t delta) {
    if (delta == 0) {
        return;
    }
    CodeplugImage& image = *m_Image;
    const int32_t blockLength = F::BlockLength(image, block) + delta;
    const int32_t total = F::TotalLength(image) + delta;
    const int32_t blockMax = F::FormatIndex(image) == kFormat511 ? 0xFFFF : 0x3FFF;
    if (blockLength < 0 || blockLength > blockMax || total < 0 ||
        total > static_cast<int32_t>(kCodeplugWords)) {
        m_Overflowed = true;
    }
    F::SetBlockLength(image, block, static_cast<uint16_t>(blockLength));
    F::SetTotalLength(image, static_cast<uint16_t>(total));
}

void CodeplugConverter::InsertInBlock(uint16_t block, uint32_t position, uint32_t count) {
    F::InsertWords(*m_Image, position, count);
    AddLength(block, static_cast<int32_t>(count));
}

void CodeplugConverter::DeleteInBlock(uint16_t block, uint32_t position, uint32_t count) {
    F::DeleteWords(*m_Image, position, count);
    AddLength(block, -static_cast<int32_t>(count));
}

void CodeplugConverter::ShiftUpWithin(uint32_t position, uint32_t end, uint32_t count) {
    end = std::min(end, kCodeplugWords);
    if (position >= end) {
        return;
    }
    if (position + count < end) {
        CopyWords(*m_Image, position + count, position, end - position - count);
    }
    F::ClearWords(*m_Image, position, std::min(count, end - position));
}

void CodeplugConverter::ResizeBlock(uint16_t block, const LayoutRecord& layout) {
    if (layout.descriptors == 0) {
        return;
    }
    const uint32_t offset = layout.dataStart - layout.descriptors;
    const uint16_t count = F::GetDescriptorList(*m_Image, block).count;
    F::SetDescriptorList(*m_Image, block, static_cast<int>(offset),
                         count + layout.descriptorsAdded);
    F::InsertWords(*m_Image, block + offset - layout.fixedAdded, layout.fixedAdded);
    F::InsertWords(*m_Image, block + offset + layout.descriptors - layout.descriptorsAdded,
                   layout.descriptorsAdded);
    AddLength(block, layout.fixedAdded + layout.descriptorsAdded);
}

void CodeplugConverter::ChangeRecordCount(uint16_t block, unsigned table, uint16_t count) {
    const TableSpan span = F::TableStart(*m_Image, block, table);
    const uint32_t size = span.size;
    if (count > span.count) {
        InsertInBlock(block, span.start + span.count * size, (count - span.count) * size);
    } else if (count < span.count) {
        DeleteInBlock(block, span.start + count * size, (span.count - count) * size);
    }
    F::SetTable(*m_Image, block, table, count, -1);
}

bool CodeplugConverter::ChangeRecordSize(uint16_t block, unsigned table, uint16_t to, uint16_t fill,
                                         int count) {
    const TableSpan span = F::TableStart(*m_Image, block, table);
    const uint32_t from = span.size;
    if (from > to) {
        return false;
    }
    const uint32_t records = span.count;
    if (to > from && records > 0) {
        // One move of the tail, then each record spreads to its new place from the last one
        // down: the same words land where an insertion after every record would put them.
        const uint32_t grow = to - from;
        F::InsertWords(*m_Image, span.start + records * from, records * grow);
        for (uint32_t r = records; r-- > 0;) {
            CopyWords(*m_Image, span.start + r * to, span.start + r * from, from);
            FillWords(*m_Image, span.start + r * to + from, grow, fill);
        }
        AddLength(block, static_cast<int32_t>(records * grow));
    }
    F::SetTable(*m_Image, block, table, count, to);
    return true;
}

void CodeplugConverter::DefaultRecordSize(uint16_t block, unsigned table, uint16_t size) {
    if (F::GetTable(*m_Image, block, table).size == 0) {
        ChangeRecordSize(block, table, size);
    }
}

void CodeplugConverter::DeclareEmptyTable(uint16_t block, unsigned table, uint16_t size) {
    const TableSpan span = F::TableStart(*m_Image, block, table);
    if (span.Words() > 0) {
        DeleteInBlock(block, span.start, span.Words());
    }
    F::SetTable(*m_Image, block, table, 0, size);
}

void CodeplugConverter::MoveRecordField(uint16_t block, unsigned table, uint32_t fromWord,
                                        uint16_t fromMask, unsigned fromShift, uint32_t toWord,
                                        uint16_t toMask, unsigned toShift) {
    const TableSpan span = F::TableStart(*m_Image, block, table);
    for (uint32_t r = 0; r < span.count; ++r) {
        const uint32_t record = span.start + r * span.size;
        const uint16_t value = Get(record + fromWord, fromMask, fromShift);
        Clear(record + fromWord, fromMask);
        Set(record + toWord, toMask, toShift, value);
    }
}

}  // namespace quillon
