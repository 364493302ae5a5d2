#include "parms/Converter510To511.h"

#include <algorithm>

namespace quillon {

namespace {

using F = CodeplugFormat;

constexpr uint16_t kBlanks = 0x2020;
constexpr unsigned kHeaderTable4 = 4;
constexpr unsigned kHeaderTable5 = 5;
constexpr unsigned kSystem4Table16 = 16;

}  // namespace

Converter510To511::Converter510To511() {
    m_StepIndex = kFormat511;
}

void Converter510To511::HeaderResized() {
    DeclareEmptyTable(0, kHeaderTable5, 4);
}

void Converter510To511::ConvertHeader() {
    const uint16_t w16bit1 = Get(16, 0x0002, 1);
    const uint16_t w16bits23 = Get(16, 0x000C, 2);
    const uint16_t w17 = Get(17, 0x00FF, 0);
    const uint16_t w53bits1213 = Get(53, 0x3000, 12);
    const uint16_t w53bit14 = Get(53, 0x4000, 14);
    const uint16_t w53bit15 = Get(53, 0x8000, 15);

    // Three blank words after the favourites name; the fixed part keeps its new length.
    ShiftUpWithin(44, 85, 3);
    for (uint32_t w = 44; w <= 46; ++w) {
        F::SetWord(Image(), w, kBlanks);
    }

    Set(58, 0x0070, 4, static_cast<uint16_t>(w16bits23 | (w53bit14 << 2)));
    Set(58, 0x000E, 1, static_cast<uint16_t>(w16bit1 | (w53bits1213 << 1)));
    Set(58, 0xFF80, 7, static_cast<uint16_t>(w17 | (w53bit15 << 8)));

    if (F::GetTable(Image(), 0, kHeaderTable4).size != 5) {
        DeclareEmptyTable(0, kHeaderTable4, 5);
    }
    ChangeRecordSize(0, kHeaderTable4, 8, kBlanks);
    ChangeRecordCount(0, kHeaderTable4, 16);

    Clear(16, 0x000E);
    Clear(17, 0x00FF);
    Clear(23, 0x0F00);
    Clear(48, 0x0002);
    Clear(56, 0xF000);
    Clear(65, 0xFF00);
    Clear(57, static_cast<uint16_t>(~0x2803));
    ClearRange(59, 64);
    ClearRange(66, 84);
}

void Converter510To511::ConvertKindBlock0() {
    const uint32_t k = KindBlockOf(0);
    F::SetWord(Image(), 59, F::Word(Image(), k + 25));
    F::SetWord(Image(), 60, F::Word(Image(), k + 26));
    Set(65, 0x00FF, 0, Get(k + 40, 0x00FF, 0));
    ClearRange(k + 25, k + 26);
    ClearRange(k + 40, k + 40);
    Clear(k + 13, 0xFF00);
    Clear(k + 3, 0x0FC0);
    Clear(k + 13, 0x00FF);
    Clear(k + 27, 0xFFF0);
    ClearRange(k + 28, k + 28);
    Clear(k + 29, 0x0003);
    ClearRange(k + 41, k + 53);
}

void Converter510To511::ConvertKindBlock1() {
    const uint32_t k = KindBlockOf(1);
    Clear(k + 25, 0xFF00);
    Clear(k + 3, 0x0FE0);
    Clear(k + 6, 0x00FF);
    Clear(k + 21, 0x000F);
    Clear(k + 25, 0x00FF);
    ClearRange(k + 26, k + 54);
}

void Converter510To511::ConvertKindBlock4() {
    const uint32_t k = KindBlockOf(4);
    Clear(k + 34, 0xFF00);
    Clear(k + 3, 0x0FE0);
    Clear(k + 6, 0x00FF);
    Clear(k + 11, 0x003F);
    Clear(k + 12, 0xC000);
    Clear(k + 27, 0x000E);
    ClearRange(k + 30, k + 30);
    Clear(k + 34, 0x00FF);
    ClearRange(k + 35, k + 60);
}

void Converter510To511::ConvertKindBlock5() {
    const uint32_t k = KindBlockOf(5);
    Clear(k + 36, 0xFF00);
    Clear(k + 6, 0x00FF);
    Clear(k + 10, 0xFF00);
    Clear(k + 11, 0x0003);
    Clear(k + 30, 0x000F);
    Clear(k + 36, 0x00FF);
    Clear(k + 37, 0xFF00);
    ClearRange(k + 38, k + 49);
}

void Converter510To511::ConvertSystem0(uint16_t id) {
    const uint16_t s = System(id);
    if (!SystemValuesMoved) {
        for (uint32_t w = 0; w < 4; ++w) {
            F::SetWord(Image(), 61 + w, F::Word(Image(), s + 40 + w));
        }
        Set(57, 0x0020, 5, Get(s + 44U, 0x0002, 1));
        Set(57, 0x0010, 4, Get(s + 44U, 0x0001, 0));
        SystemValuesMoved = true;
    }
    Clear(s + 3U, 0x0F00);
    Clear(s + 4U, 0x00F0);
    Clear(s + 8U, 0xE000);
    Clear(s + 27U, 0xC000);
    Clear(s + 28U, 0xF000);
    Clear(s + 29U, 0x001F);
    Clear(s + 32U, 0xFC00);
    Clear(s + 33U, 0xFC00);
    Clear(s + 34U, 0xFF00);
    ClearRange(s + 40U, s + 43U);
    Clear(s + 44U, 0xFF00);
    Clear(s + 44U, 0x0003);
    ClearRange(s + 47U, s + 58U);
    ClearRange(s + 73U, s + 80U);
    // Tables 10 and 11 become 0 records of size 0; any records they held go with them.
    DeclareEmptyTable(s, 10, 0);
    DeclareEmptyTable(s, 11, 0);
}

void Converter510To511::ConvertSystem13(uint16_t id, bool kind1) {
    const uint16_t s = System(id);
    ClearRange(s + 19U, s + 19U);
    Clear(s + 24U, 0xFC00);
    Clear(s + 25U, 0xFFF0);
    ClearRange(s + 26U, s + 71U);
    if (kind1) {
        Clear(s + 108U, 0x8000);
        ClearRange(s + 109U, s + 128U);
    } else {
        ClearRange(s + 316U, s + 332U);
    }

    const TableSpan table5 = F::TableStart(Image(), s, 5);
    for (uint32_t r = 0; r < table5.count; ++r) {
        const uint32_t rec = table5.start + r * table5.size;
        if (kind1) {
            Clear(rec, 0xF000);
            Clear(rec + 3, 0x8000);
        }
        Clear(rec + 3, 0x1E00);
        if (Get(rec + 3, 0x0100, 8) == 1) {
            Clear(rec + 3, kind1 ? 0x00FF : 0x00FE);
        } else {
            Clear(rec + 3, kind1 ? 0x0003 : 0x0002);
        }
        Clear(rec + 4, 0xFFC0);
    }

    const TableSpan table6 = F::TableStart(Image(), s, 6);
    for (uint32_t r = 0; r < table6.count; ++r) {
        const uint32_t rec = table6.start + r * table6.size;
        if (kind1) {
            Clear(rec, 0xF000);
            Clear(rec + 1, 0x8000);
        }
        Clear(rec + 1, 0x1E00);
        if (Get(rec + 1, 0x0100, 8) == 1) {
            Clear(rec + 1, 0x00FF);
        } else {
            Clear(rec + 1, 0x0003);
        }
        Clear(rec + 18, 0xFFC0);
    }
}

void Converter510To511::ConvertSystem1(uint16_t id) {
    ConvertSystem13(id, true);
}

void Converter510To511::ConvertSystem3(uint16_t id) {
    ConvertSystem13(id, false);
}

void Converter510To511::ConvertSystem4(uint16_t id) {
    uint16_t s = System(id);
    const TableSpan list = F::TableStart(Image(), s, kSystem4Table16);
    const uint32_t words = list.Words();
    if (!HeaderListMoved) {
        HeaderListMoved = true;
        // The first kind-4 system's table 16 becomes header table 5. The records move in place
        // (the header lies before every system), so a table of any size moves whole.
        const uint32_t headerTable = F::TableStart(Image(), 0, kHeaderTable5).start;
        const uint32_t end = list.start + words;
        if (headerTable <= list.start && end <= kCodeplugWords) {
            std::rotate(Image().begin() + headerTable, Image().begin() + list.start,
                        Image().begin() + end);
            s = static_cast<uint16_t>(s + words);
            AddLength(s, -static_cast<int32_t>(words));
            AddLength(0, static_cast<int32_t>(words));
            F::SetTable(Image(), 0, kHeaderTable5, list.count, list.size);
        } else if (words > 0) {
            DeleteInBlock(s, list.start, words);  // a table that is not where it claims to be
        }
    } else if (words > 0) {
        DeleteInBlock(s, list.start, words);
    }
    F::SetTable(Image(), s, kSystem4Table16, 0, 0);

    Set(s + 250U, 0x4000, 14, 1);
    Clear(s + 3U, 0x0700);
    Clear(s + 250U, 0x2000);
    ClearRange(s + 257U, s + 260U);
    Clear(s + 263U, 0xE000);
    Clear(s + 277U, 0xFFF8);
    ClearRange(s + 284U, s + 297U);

    const TableSpan table6 = F::TableStart(Image(), s, 6);
    for (uint32_t r = 0; r < table6.count; ++r) {
        const uint32_t rec = table6.start + r * table6.size;
        Clear(rec + 3, 0x1F00);
        for (uint32_t w : {5U, 7U, 9U, 11U}) {
            Clear(rec + w, 0xFFF8);
        }
        Clear(rec + 12, 0xFF80);
    }
    const TableSpan table7 = F::TableStart(Image(), s, 7);
    for (uint32_t r = 0; r < table7.count; ++r) {
        const uint32_t rec = table7.start + r * table7.size;
        Clear(rec + 19, 0xFFF0);
        for (uint32_t w : {21U, 23U, 25U}) {
            Clear(rec + w, 0xFFF8);
        }
    }
}

void Converter510To511::ConvertSystem5(uint16_t id) {
    const uint32_t s = System(id);
    Clear(s + 3, 0x0F00);
    Clear(s + 4, 0xF000);
    Clear(s + 4, 0x0060);
    ClearRange(s + 6, s + 6);
    ClearRange(s + 22, s + 41);
}

void Converter510To511::ConvertGroup(uint16_t ordinal) {
    const uint32_t g = Group(ordinal);
    ShiftUpWithin(g + 9, g + 23, 3);
    for (uint32_t w = 9; w <= 11; ++w) {
        F::SetWord(Image(), g + w, kBlanks);
    }
    Clear(g + 16, 0xFE00);
    ClearRange(g + 17, g + 22);
}

TableSpan Converter510To511::RebuildGroupTable(uint16_t ordinal, unsigned table, SizedTable sized) {
    const uint16_t g = Group(ordinal);
    const uint16_t to = F::RecordSizeOf(sized, kFormat511).size;
    if (!ChangeRecordSize(g, table, to)) {
        return {};  // records longer than the new size: kept as they are, no field edits
    }
    const TableSpan span = F::TableStart(Image(), g, table);
    for (uint32_t r = 0; r < span.count; ++r) {
        const uint32_t rec = span.start + r * to;
        ShiftUpWithin(rec + 6, rec + to, 3);
        for (uint32_t w = 6; w <= 8; ++w) {
            F::SetWord(Image(), rec + w, kBlanks);
        }
    }
    return span;
}

void Converter510To511::ConvertGroupTable0(uint16_t ordinal) {
    const TableSpan span = RebuildGroupTable(ordinal, 0, SizedTable::GroupTable0);
    for (uint32_t r = 0; r < span.count; ++r) {
        const uint32_t rec = span.start + r * span.size;
        const uint16_t value = Get(rec + 9, 0x0C00, 10);
        Clear(rec + 9, 0x0C00);
        Set(rec + 18, 0x0007, 0, value);
        Clear(rec + 17, 0xC000);
        Clear(rec + 17, 0x000F);
        Clear(rec + 19, 0xFFC0);
        ClearRange(rec + 20, rec + 20);
    }
}

void Converter510To511::ConvertGroupTable1(uint16_t ordinal) {
    const TableSpan span = RebuildGroupTable(ordinal, 1, SizedTable::GroupTable1);
    for (uint32_t r = 0; r < span.count; ++r) {
        const uint32_t rec = span.start + r * span.size;
        Clear(rec + 9, 0x8000);
        Clear(rec + 14, 0x3C00);
        Clear(rec + 15, 0x0003);
        ClearRange(rec + 16, rec + 16);
    }
}

void Converter510To511::ConvertGroupTable2(uint16_t ordinal) {
    const TableSpan span = RebuildGroupTable(ordinal, 2, SizedTable::GroupTable2);
    for (uint32_t r = 0; r < span.count; ++r) {
        const uint32_t rec = span.start + r * span.size;
        Clear(rec + 9, 0x0020);
        Clear(rec + 9, 0x0007);
        for (uint32_t w : {10U, 11U, 12U}) {
            Clear(rec + w, 0xF000);
        }
        ClearRange(rec + 13, rec + 13);
    }
}

void Converter510To511::ConvertGroupTable3(uint16_t ordinal) {
    const TableSpan span = RebuildGroupTable(ordinal, 3, SizedTable::GroupTable3);
    for (uint32_t r = 0; r < span.count; ++r) {
        const uint32_t rec = span.start + r * span.size;
        if (Get(rec + 9, 0x0020, 5) == 0) {
            ClearRange(rec + 13, rec + 13);
        }
        Clear(rec + 9, 0x0003);
        Clear(rec + 13, 0xFC00);
        ClearRange(rec + 14, rec + 14);
    }
}

void Converter510To511::ConvertGroupTable4(uint16_t ordinal) {
    const TableSpan span = RebuildGroupTable(ordinal, 4, SizedTable::GroupTable4);
    for (uint32_t r = 0; r < span.count; ++r) {
        const uint32_t rec = span.start + r * span.size;
        Clear(rec + 10, 0x1F00);
        Clear(rec + 12, 0x01FF);
        ClearRange(rec + 13, rec + 13);
    }
}

}  // namespace quillon
