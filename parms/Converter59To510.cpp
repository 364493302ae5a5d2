#include "parms/Converter59To510.h"

#include <algorithm>

namespace quillon {

namespace {

using F = CodeplugFormat;

constexpr uint16_t kHeaderTable1Records = 64;

uint16_t Size510(SizedTable table) {
    return F::RecordSizeOf(table, kFormat510).size;
}

}  // namespace

Converter59To510::Converter59To510() {
    m_StepIndex = kFormat510;
}

void Converter59To510::ConvertHeader() {
    ChangeRecordCount(0, 1, kHeaderTable1Records);
    if (Get(29, 0x1C00, 10) == 0) {
        Set(28, 0x1C00, 10, 1);
    }
    if (Get(6, 0x00F0, 4) < 4) {
        Set(6, 0x00F0, 4, 4);
    }
    if (Get(24, 0x00FF, 0) == 1) {
        Set(24, 0x00FF, 0, 2);
    }
    for (uint32_t w = 46; w <= 50; ++w) {
        if (Get(w, 0x00FF, 0) == 0) {
            Set(w, 0x00FF, 0, 0x20);
        }
        if (Get(w, 0xFF00, 8) == 0) {
            Set(w, 0xFF00, 8, 0x20);
        }
    }
    Clear(23, 0x0F00);
}

void Converter59To510::ConvertKindBlock0() {
    const uint32_t k = KindBlockOf(0);
    ClearRange(k + 30, k + 39);
}

void Converter59To510::RaiseChannelSpacing(uint32_t index, uint16_t mask, unsigned shift) {
    const uint16_t v = Get(index, mask, shift);
    Set(index, mask, shift, std::min<uint16_t>(static_cast<uint16_t>(v + 4), 16));
}

void Converter59To510::ConvertSystem0(uint16_t id) {
    const uint16_t s = System(id);
    ChangeRecordSize(s, 3, Size510(SizedTable::System0Table3));
    const uint16_t value = Get(s + 4U, 0x00F0, 4);
    Set(s + 28U, 0x0FC0, 6, value);
    Clear(s + 4U, 0x00F0);
}

void Converter59To510::ConvertSystem13(uint16_t id, uint16_t table5Size, uint16_t table6Size,
                                       unsigned defaultTable, unsigned threeWordTable) {
    const uint16_t s = System(id);
    ChangeRecordSize(s, 7, Size510(SizedTable::System13Table7));
    ChangeRecordSize(s, 5, static_cast<uint16_t>(table5Size + 1));
    MoveRecordField(s, 5, 3, 0x1E00, 9, 4, 0x003F, 0);
    ChangeRecordSize(s, 6, static_cast<uint16_t>(table6Size + 1));
    MoveRecordField(s, 6, 1, 0x1E00, 9, 18, 0x003F, 0);
    DefaultRecordSize(s, defaultTable, 2);
    BuildThreeWordTable(s, threeWordTable, 5, false);
    RaiseChannelSpacing(s + 10U, 0x3E00, 9);
}

void Converter59To510::ConvertSystem1(uint16_t id) {
    ConvertSystem13(id, 4, 18, 9, 10);
}

void Converter59To510::ConvertSystem3(uint16_t id) {
    ConvertSystem13(id, 6, 20, 13, 14);
}

void Converter59To510::ConvertSystem4(uint16_t id) {
    const uint16_t s = System(id);
    ChangeRecordSize(s, 9, Size510(SizedTable::System4Table9));
    ChangeRecordSize(s, 6, 13);
    MoveRecordField(s, 6, 3, 0x1E00, 9, 12, 0x003F, 0);
    ChangeRecordSize(s, 7, 26);
    ChangeRecordSize(s, 11, 64);
    DefaultRecordSize(s, 13, 2);
    BuildThreeWordTable(s, 14, 6, true);
    if (Get(5, 0x000F, 0) == 4) {
        for (unsigned table : {6U, 14U}) {
            const TableSpan span = F::TableStart(Image(), s, table);
            for (uint32_t r = 0; r < span.count; ++r) {
                const uint32_t record = span.start + r * span.size;
                for (uint32_t w : {1U, 2U}) {
                    if (F::Word(Image(), record + w) == 0xFFFF) {
                        F::SetWord(Image(), record + w, 0x0FFF);
                    }
                }
            }
        }
    }
    const uint16_t value = Get(s + 250U, 0xF000, 12);
    Set(s + 263U, 0x1F80, 7, value);
    Clear(s + 250U, 0xF000);
    RaiseChannelSpacing(s + 248U, 0x001F, 0);
}

void Converter59To510::ConvertSystem5(uint16_t id) {
    ChangeRecordSize(System(id), 2, Size510(SizedTable::System5Table2));
}

void Converter59To510::SystemResized4(uint16_t id) {
    DeclareEmptyTable(System(id), 15, 2);
}

void Converter59To510::SystemResized5(uint16_t id) {
    DeclareEmptyTable(System(id), 3, 37);
}

void Converter59To510::BuildThreeWordTable(uint16_t block, unsigned target, unsigned source,
                                           bool wholeWord0) {
    if (F::GetTable(Image(), block, target).size != 0) {
        return;
    }
    const TableInfo from = F::GetTable(Image(), block, source);
    const uint32_t n = from.count;
    F::SetTable(Image(), block, target, from.count, 3);
    const uint32_t start = F::TableStart(Image(), block, target).start;
    F::InsertWords(Image(), start, 3 * n);
    const TableSpan records = F::TableStart(Image(), block, source);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t src = records.start + i * records.size;
        const uint32_t dst = start + 3 * i;
        const uint16_t word0 = F::Word(Image(), src);
        F::SetWord(Image(), dst, wholeWord0 ? word0 : static_cast<uint16_t>(word0 & 0x0FFF));
        F::SetWord(Image(), dst + 1, F::Word(Image(), src + 1));
        F::SetWord(Image(), dst + 2, F::Word(Image(), src + 2));
    }
    AddLength(block, static_cast<int32_t>(3 * n));
}

void Converter59To510::RewriteGroupTableSize(uint16_t ordinal, unsigned table, SizedTable sized) {
    ChangeRecordSize(Group(ordinal), table, Size510(sized));
}

void Converter59To510::ConvertGroupTable0(uint16_t ordinal) {
    const uint16_t g = Group(ordinal);
    ChangeRecordSize(g, 0, Size510(SizedTable::GroupTable0));
    MoveRecordField(g, 0, 14, 0x000F, 0, 16, 0x003F, 0);
}

void Converter59To510::ConvertGroupTable1(uint16_t ordinal) {
    RewriteGroupTableSize(ordinal, 1, SizedTable::GroupTable1);
    MoveRecordField(Group(ordinal), 1, 11, 0x3C00, 10, 12, 0x00FC, 2);
}

void Converter59To510::ConvertGroupTable2(uint16_t ordinal) {
    RewriteGroupTableSize(ordinal, 2, SizedTable::GroupTable2);
}

void Converter59To510::ConvertGroupTable3(uint16_t ordinal) {
    RewriteGroupTableSize(ordinal, 3, SizedTable::GroupTable3);
}

void Converter59To510::ConvertGroupTable4(uint16_t ordinal) {
    RewriteGroupTableSize(ordinal, 4, SizedTable::GroupTable4);
}

}  // namespace quillon
