#include "parms/Converter58To59.h"

#include <array>

namespace quillon {

namespace {

using F = CodeplugFormat;

constexpr unsigned kFavourites = 3;
constexpr uint16_t kFavouriteEntries = 16;
constexpr uint16_t kFavouriteEntry = 0xFF01;
constexpr uint32_t kFavouritesName = 39;
constexpr uint16_t kMemberWords = 37;  // a 10-character name and a 512-bit map

// v + 4, or 16 when v is above 11.
uint16_t RaisedSpacing(uint16_t v) {
    return v > 11 ? 16 : static_cast<uint16_t>(v + 4);
}

}  // namespace

Converter58To59::Converter58To59() {
    m_StepIndex = kFormat59;
}

void Converter58To59::ConvertHeader() {
    if (F::GetTable(Image(), 0, 0).count < 16) {
        ChangeRecordCount(0, 0, 16);
    }
    if (F::GetTable(Image(), 0, kFavourites).size == 0) {
        // A table of size 0 holds no words whatever its count says.
        F::SetTable(Image(), 0, kFavourites, 0, 1);
        ChangeRecordCount(0, kFavourites, kFavouriteEntries);
        const TableSpan list = F::TableStart(Image(), 0, kFavourites);
        for (uint32_t k = 0; k < kFavouriteEntries; ++k) {
            F::SetWord(Image(), list.start + k, kFavouriteEntry);
        }
        F::WriteText(Image(), "FAVORITES", kFavouritesName);
    }
    Default(25, 0xFF00, 8, 1);
    Default(25, 0x00FF, 0, 1);
}

void Converter58To59::ConvertKindBlock0() {
    const uint32_t k = KindBlockOf(0);
    const unsigned systems = F::SystemCount(Image());
    for (unsigned id = 1; id <= systems; ++id) {
        const uint32_t s = System(static_cast<uint16_t>(id));
        if (s == 0 || F::SystemKind(Image(), static_cast<uint16_t>(id)) != 0) {
            continue;
        }
        static constexpr std::array<std::array<uint16_t, 2>, 7> kCopies = {
            {{18, 10}, {19, 11}, {21, 12}, {22, 13}, {23, 27}, {24, 28}, {25, 30}}};
        for (const auto& [to, from] : kCopies) {
            F::SetWord(Image(), s + to, F::Word(Image(), k + from));
        }
        return;
    }
}

void Converter58To59::SystemResized1(uint16_t id) {
    DeclareEmptyTable(System(id), 9, 2);
}

void Converter58To59::SystemResized3(uint16_t id) {
    DeclareEmptyTable(System(id), 13, 2);
}

void Converter58To59::SystemResized4(uint16_t id) {
    DeclareEmptyTable(System(id), 13, 2);
}

void Converter58To59::ConvertSystem0(uint16_t id) {
    const uint16_t s = System(id);
    if (F::GetTable(Image(), s, 2).size < 4) {
        ChangeRecordSize(s, 2, 4);
        const TableSpan table = F::TableStart(Image(), s, 2);
        for (uint32_t r = 0; r < table.count; ++r) {
            const uint32_t record = table.start + r * 4;
            Set(record + 2, 0x0FFF, 0, 0x225);
            F::SetWord(Image(), record + 3, 0x293);
        }
    }
    bool aliasEmpty = true;
    for (uint32_t w = 65; w <= 69; ++w) {
        aliasEmpty = aliasEmpty && F::Word(Image(), s + w) == 0;
    }
    if (aliasEmpty) {
        F::WriteText(Image(), "SYS ALIAS", s + 65U);
    }
    DefaultRecordSize(s, 6, 9);
    DefaultRecordSize(s, 7, 9);
    DefaultRecordSize(s, 8, 2);
    Default(70, 0x00FF, 0, 60);
}

void Converter58To59::ConvertSystem13(uint16_t id, unsigned sizedTable9, unsigned sizedTable2) {
    const uint16_t s = System(id);
    Set(s + 10U, 0x3E00, 9, RaisedSpacing(Get(s + 10U, 0x3E00, 9)));
    DefaultRecordSize(s, sizedTable9, 9);
    DefaultRecordSize(s, sizedTable2, 2);
}

void Converter58To59::ConvertSystem1(uint16_t id) {
    ConvertSystem13(id, 8, 9);
}

void Converter58To59::ConvertSystem3(uint16_t id) {
    ConvertSystem13(id, 12, 13);
}

void Converter58To59::ConvertSystem4(uint16_t id) {
    const uint16_t s = System(id);
    Set(s + 248U, 0x001F, 0, RaisedSpacing(Get(s + 248U, 0x001F, 0)));
    if (Get(5, 0x000F, 0) == 8) {
        constexpr uint32_t kRecord = 6;
        const TableSpan table = F::TableStart(Image(), s, 0);
        for (uint32_t r = 0; r < table.count; ++r) {
            const uint32_t record = table.start + r * kRecord;
            bool anyZero = false;
            for (uint32_t w = 1; w < kRecord; ++w) {
                anyZero = anyZero || F::Word(Image(), record + w) == 0;
            }
            if (F::Word(Image(), record) != 0xFFFF && anyZero) {
                for (uint32_t w = 0; w < kRecord; ++w) {
                    F::SetWord(Image(), record + w, 0xFFFF);
                }
            }
        }
    }
    DefaultRecordSize(s, 12, 9);
    DefaultRecordSize(s, 13, 2);
}

void Converter58To59::ConvertSystem5(uint16_t id) {
    uint16_t s = System(id);
    if (F::GetTable(Image(), s, 0).size <= 10) {
        ChangeRecordSize(s, 0, 11);
    }
    const TableSpan entries = F::TableStart(Image(), s, 1);
    if (entries.count == 0) {
        return;
    }

    // One member list: the name "1" and a bit per entry of table 1.
    std::array<uint16_t, kMemberWords> record{};
    record.fill(0);
    for (uint32_t k = 0; k < 5; ++k) {
        record[k] = 0x2020;
    }
    record[0] = 0x2000 | '1';
    constexpr uint32_t kEntry = 2;
    for (uint32_t r = 0; r < entries.count; ++r) {
        const uint16_t entry = F::Word(Image(), entries.start + r * kEntry + 1);
        const unsigned word = entry >> 8;
        const unsigned bit = entry & 0xFF;
        // An entry outside the 512-bit map has no bit to set.
        if (word < 32 && bit < 16) {
            record[5 + word] |= static_cast<uint16_t>(1U << (15 - bit));
        }
    }
    const int32_t change = F::ReplaceTable(Image(), s, 2, record.data(), kMemberWords);
    F::SetTable(Image(), s, 2, 1, kMemberWords);
    AddLength(s, change);
    DeclareEmptyTable(s, 1, 2);
}

}  // namespace quillon
