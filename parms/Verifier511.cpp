#include "parms/Verifier511.h"

namespace quillon {

namespace {

using F = CodeplugFormat;

constexpr uint32_t kTable7Descriptor = 92;
constexpr uint16_t kHardKeyEntry = 0x8000;

void Default(CodeplugImage& image, uint32_t index, uint16_t mask, unsigned shift, uint16_t value) {
    if (F::GetField(image, index, mask, shift) == 0) {
        F::SetField(image, index, mask, shift, value);
    }
}

struct FieldDefault {
    uint32_t word;
    uint16_t mask;
    unsigned shift;
    uint16_t value;
};

// Sets all six fields when all six hold 0.
void DefaultTogether(CodeplugImage& image, uint32_t block, const FieldDefault (&fields)[6]) {
    for (const FieldDefault& f : fields) {
        if (F::GetField(image, block + f.word, f.mask, f.shift) != 0) {
            return;
        }
    }
    for (const FieldDefault& f : fields) {
        F::SetField(image, block + f.word, f.mask, f.shift, f.value);
    }
}

void RepairSystem0(CodeplugImage& image, uint32_t b) {
    uint16_t v = F::GetField(image, b + 8, 0x00FF, 0);
    const uint16_t m = F::GetField(image, b + 84, 0xFF00, 8);
    if (m < v) {
        v &= 0x0F;
        if (m < v) {
            v = 0;
        }
        F::SetField(image, b + 8, 0x00FF, 0, v);
    }
    DefaultTogether(image, b,
                    {{27, 0x007F, 0, 14},
                     {15, 0x03E0, 5, 15},
                     {15, 0xFC00, 10, 1},
                     {26, 0x7F00, 8, 40},
                     {27, 0x0780, 7, 20},
                     {26, 0x00FF, 0, 255}});
    Default(image, b + 52, 0x007F, 0, 60);
    Default(image, b + 50, 0x3F80, 7, 25);
}

// Keeps the first 16 records of table 11; returns the words removed.
uint32_t TrimSystem3(CodeplugImage& image, uint16_t b) {
    constexpr unsigned kTable = 11;
    constexpr uint16_t kKeep = 16;
    const uint16_t count = F::GetField(image, uint32_t{b} + 344, 0xFF00, 8);
    if (count <= kKeep) {
        return 0;
    }
    const TableInfo table = F::GetTable(image, b, kTable);
    const uint32_t removed = static_cast<uint32_t>(count - kKeep) * table.size;
    const uint32_t next = F::TableStart(image, b, kTable + 1).start;
    if (removed > next) {
        return 0;
    }
    F::DeleteWords(image, next - removed, removed);
    F::SetField(image, uint32_t{b} + 344, 0xFF00, 8, kKeep);
    F::SetBlockLength(image, b, static_cast<uint16_t>(F::BlockLength(image, b) - removed));
    F::SetTotalLength(image, static_cast<uint16_t>(F::TotalLength(image) - removed));
    return removed;
}

void RepairSystem4(CodeplugImage& image, uint32_t b) {
    DefaultTogether(image, b,
                    {{262, 0xFE00, 9, 14},
                     {261, 0x03E0, 5, 15},
                     {261, 0xFC00, 10, 1},
                     {263, 0x007F, 0, 40},
                     {261, 0x001E, 1, 20},
                     {262, 0x01FE, 1, 255}});
    Default(image, b + 29, 0xFF00, 8, 29);
    Default(image, b + 313, 0x00FF, 0, 2);
}

void RepairGroup(CodeplugImage& image, uint16_t b) {
    const uint16_t typeCode = F::GetField(image, 5, 0x000F, 0);
    if (typeCode != 1 && typeCode != 5 && typeCode != 6) {
        return;
    }
    for (unsigned t = 0; t < 2; ++t) {
        const TableSpan span = F::TableStart(image, b, t);
        for (uint32_t r = 0; r < span.count; ++r) {
            const uint32_t word = span.start + r * span.size + 9;
            if (F::GetField(image, word, 0x0060, 5) == 1) {
                F::SetField(image, word, 0x0060, 5, 2);
            }
        }
    }
}

}  // namespace

bool Verifier511::HasHardKeyRecord(const CodeplugImage& image) {
    return image[kTable7Descriptor] >= 256;
}

bool Verifier511::Run(CodeplugImage& image, bool hardKey) {
    if (image[0] != kBlockMarker) {
        return false;
    }
    for (uint32_t w = 93; w <= 99; ++w) {
        if (image[w] > 255) {
            return false;
        }
    }

    // Header table 7 holds the hard-key entry exactly when the radio has a hard key.
    uint32_t header = F::Word(image, 1);
    uint32_t total = F::TotalLength(image);
    const uint16_t table7 = image[kTable7Descriptor];
    if (hardKey && table7 <= 255) {
        if (total > kCodeplugWords - 2) {
            return false;
        }
        F::InsertWords(image, header, 1);
        F::SetWord(image, header, kHardKeyEntry);
        image[kTable7Descriptor] = 0x0101;
        ++header;
        ++total;
    } else if (!hardKey && table7 >= 256) {
        const uint32_t n = table7 >> 8;
        if (n >= header || n > total) {
            return false;
        }
        F::DeleteWords(image, header - n, n);
        image[kTable7Descriptor] = 0x0001;
        header -= n;
        total -= n;
    }
    image[1] = static_cast<uint16_t>(header);
    image[4] = static_cast<uint16_t>(total);

    // Header defaults.
    if (F::GetField(image, 55, 0xE000, 13) == 0) {
        for (unsigned shift : {13U, 10U, 7U, 4U, 1U}) {
            F::SetField(image, 55, static_cast<uint16_t>(7U << shift), shift, 4);
        }
    }
    for (unsigned shift : {6U, 4U, 2U, 0U}) {
        Default(image, 65, static_cast<uint16_t>(3U << shift), shift, 1);
    }

    bool result = F::GetField(image, 2, 0x0600, 9) == kHeaderBlock && total > kTrailerWords;
    const unsigned groups = F::GroupCount(image);
    const unsigned systems = F::SystemCount(image);
    result = result && groups >= 1 && groups <= 54 && systems >= 1 && systems <= 16;

    uint32_t bound = total > kTrailerWords ? total - kTrailerWords : 0;
    uint32_t position = 0;
    while (result && position < bound) {
        if (image[position] != kBlockMarker) {
            result = false;
            break;
        }
        const auto block = static_cast<uint16_t>(position);
        const uint16_t type = F::GetField(image, position + 2, 0x0600, 9);
        const uint16_t kind = F::GetField(image, position + 3, 0xF000, 12);
        if (type == kSystemBlock && kind == 0) {
            RepairSystem0(image, block);
        } else if (type == kSystemBlock && kind == 3) {
            bound -= TrimSystem3(image, block);
        } else if (type == kSystemBlock && kind == 4) {
            RepairSystem4(image, block);
        } else if (type == kGroupBlock) {
            RepairGroup(image, block);
        }
        const uint32_t length = F::Word(image, position + 1);
        if (length == 0 || position + length > kCodeplugWords) {
            result = false;
            break;
        }
        position += length;
    }
    return result;
}

}  // namespace quillon
