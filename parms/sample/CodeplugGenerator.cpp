#include "parms/sample/CodeplugGenerator.h"

#include "parms/sample/CodeplugBlockWriter.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

namespace quillon::sample {
namespace {

constexpr uint32_t kMaxBlockLength = 0x3FFF;  // 14-bit block length of 5.10 and older
constexpr uint32_t kSafetyMargin = 16;        // words kept free at the end of the buffer
constexpr uint8_t kHeader = 0, kKindBlock = 1, kSystem = 2, kGroup = 3;

// How the records of a table are filled.
enum class Fill {
    Random,
    Favourites,    // one-word favourites entries
    SlotEntries,   // 2-word records whose word 1 names a word (0-31) and a bit (0-15)
    BlankRecords,  // 6-word records, some starting 0xFFFF, some with zero words
    FfffPairs,     // records whose words 1 and 2 are often 0xFFFF
};

struct TableSpec {
    uint16_t count = 0;
    uint16_t size = 0;
    uint16_t growthPerRecord = 0;  // most words a conversion to 5.11 adds per record
    uint16_t minCount = 0;
    bool adjustable = true;
    Fill fill = Fill::Random;
};

struct BlockSpec {
    uint8_t type = 0;
    uint8_t kind = 0;
    uint8_t id = 0;
    uint16_t offset = 0;  // descriptor list offset from the marker
    uint32_t fixedGrowth = 0;
    std::vector<TableSpec> tables;

    uint32_t Length() const {
        uint32_t n = offset + static_cast<uint32_t>(tables.size());
        for (const TableSpec& t : tables) {
            n += static_cast<uint32_t>(t.count) * t.size;
        }
        return n;
    }
    uint32_t Growth() const {
        uint32_t n = fixedGrowth;
        for (const TableSpec& t : tables) {
            n += static_cast<uint32_t>(t.count) * t.growthPerRecord;
        }
        return n;
    }
};

struct SizeProfile {
    uint32_t maxWords;
    uint8_t minSystems, maxSystems;
    uint8_t minGroups, maxGroups;
    uint16_t maxRecords;
};

SizeProfile ProfileOf(ImageSize size) {
    switch (size) {
        case ImageSize::Tiny:
            return {2040, 1, 3, 1, 2, 1};
        case ImageSize::Small:
            return {8000, 1, 6, 1, 8, 3};
        case ImageSize::Medium:
            return {16000, 4, 12, 8, 30, 6};
        case ImageSize::Large:
            break;
    }
    return {static_cast<uint32_t>(kImageWords), 16, 16, 54, 54, 12};
}

void PutText(std::vector<uint16_t>& words, std::size_t at, const std::string& text) {
    for (std::size_t k = 0; k < 5; ++k) {
        const auto lo = static_cast<uint8_t>(2 * k < text.size() ? text[2 * k] : ' ');
        const auto hi = static_cast<uint8_t>(2 * k + 1 < text.size() ? text[2 * k + 1] : ' ');
        words[at + k] = static_cast<uint16_t>(lo | (hi << 8));
    }
}

class Builder {
public:
    Builder(CodeplugGenerator& gen, const GeneratorOptions& options)
        : gen_(gen),
          fmt_(options.formatIndex),
          irregular_(options.irregular),
          profile_(ProfileOf(options.size)) {}

    TableSpec RandomTable() {
        TableSpec t;
        if (gen_.Chance(20)) {
            return t;  // an unused table: 0 records of size 0
        }
        t.size = static_cast<uint16_t>(1 + gen_.Below(8));
        t.count = static_cast<uint16_t>(gen_.Below(profile_.maxRecords + 1u));
        return t;
    }
    TableSpec Fixed(uint16_t count, uint16_t size) {
        TableSpec t;
        t.count = count;
        t.size = size;
        t.adjustable = false;
        return t;
    }
    TableSpec Sized(uint16_t size, uint16_t growth = 0, Fill fill = Fill::Random) {
        TableSpec t;
        t.size = size;
        t.count = static_cast<uint16_t>(gen_.Below(profile_.maxRecords + 1u));
        t.growthPerRecord = growth;
        t.fill = fill;
        return t;
    }
    // A table that 5.8 may leave unused (size 0) and that later formats give a fixed size.
    TableSpec SizedFrom59(uint16_t size) {
        if (fmt_ == 3 && gen_.Chance(50)) {
            TableSpec t = Fixed(0, 0);
            if (irregular_ && gen_.Chance(30)) {
                // Records of size 0: they gain `size` zero words each once the size is given.
                t.count = static_cast<uint16_t>(1 + gen_.Below(3));
                t.growthPerRecord = size;
            }
            return t;
        }
        return Sized(size);
    }
    // A table that is new in 5.9 with no records in 5.8.
    TableSpec EmptyIn58(uint16_t size) {
        if (fmt_ == 3) {
            return Fixed(0, static_cast<uint16_t>(gen_.Chance(50) ? size : 0));
        }
        return Sized(size);
    }
    // A table built by the conversion into 5.10 when its size is 0.
    TableSpec BuiltIn510(Fill fill = Fill::Random) {
        if (fmt_ <= 4) {
            if (gen_.Chance(10)) {
                return Sized(3, 0, fill);  // already built: the conversion keeps it
            }
            return Fixed(0, 0);
        }
        return Sized(3, 0, fill);
    }

    BlockSpec Header() {
        BlockSpec b;
        b.type = kHeader;
        b.offset = ListLayoutOf(kHeader, 0, fmt_).offset;
        b.fixedGrowth = (fmt_ <= 4 ? 20u : 0u) + 16u + 48u + 1u + 64u;
        b.tables.resize(15);
        TableSpec& t0 = b.tables[0];
        t0.size = static_cast<uint16_t>(1 + gen_.Below(6));
        if (fmt_ == 3) {
            t0.count = static_cast<uint16_t>(gen_.Below(21));
            b.fixedGrowth += 16u * t0.size;
        } else {
            t0.count = static_cast<uint16_t>(16 + gen_.Below(5));
            t0.minCount = 16;
        }
        const auto t1Size = static_cast<uint16_t>(1 + gen_.Below(4));
        b.tables[1] = Fixed(fmt_ <= 4 ? 16 : 64, t1Size);
        if (fmt_ <= 4) {
            b.fixedGrowth += 48u * t1Size;
        }
        b.tables[2] = RandomTable();
        if (fmt_ == 3 && gen_.Chance(50)) {
            b.tables[3] = Fixed(0, 0);
            b.fixedGrowth += 16;
        } else {
            b.tables[3] = Fixed(16, 1);
        }
        b.tables[3].fill = Fill::Favourites;
        b.tables[4] = Fixed(16, 5);
        b.tables[5] = Fixed(0, static_cast<uint16_t>(fmt_ == 5 || gen_.Chance(50) ? 4 : 0));
        b.tables[6] = RandomTable();
        b.tables[7] = Fixed(static_cast<uint16_t>(gen_.Below(2)), 1);
        for (std::size_t t = 8; t < 15; ++t) {
            b.tables[t] = Fixed(0, static_cast<uint16_t>(gen_.Below(4)));
        }
        return b;
    }

    BlockSpec KindBlock(uint8_t kind) {
        BlockSpec b;
        b.type = kKindBlock;
        b.kind = kind;
        b.offset = ListLayoutOf(kKindBlock, kind, fmt_).offset;
        for (int t = 0; t < 15; ++t) {
            b.tables.push_back(RandomTable());
        }
        return b;
    }

    BlockSpec Group() {
        BlockSpec b;
        b.type = kGroup;
        b.offset = ListLayoutOf(kGroup, 0, fmt_).offset;
        const uint16_t up = fmt_ <= 4 ? 1 : 0;
        b.tables.push_back(Sized(fmt_ == 5 ? 18 : 17, static_cast<uint16_t>(up + 3)));
        b.tables.push_back(Sized(15, 2));
        b.tables.push_back(Sized(13, 1));
        b.tables.push_back(Sized(13, 2));
        b.tables.push_back(Sized(14, 0));
        for (int t = 5; t < 15; ++t) {
            b.tables.push_back(RandomTable());
        }
        return b;
    }

    BlockSpec System(uint8_t kind, uint8_t id) {
        BlockSpec b;
        b.type = kSystem;
        b.kind = kind;
        b.id = id;
        const bool is510 = fmt_ == 5;
        const uint16_t g = is510 ? 0 : 1;  // growth factor of the step into 5.10
        const ListLayout list = ListLayoutOf(kSystem, kind, fmt_);
        b.offset = list.offset;
        // The step into 5.10 adds the tables that system blocks gain there.
        b.fixedGrowth = ListLayoutOf(kSystem, kind, 5).descriptors - list.descriptors;
        for (std::size_t t = 0; t < list.descriptors; ++t) {
            b.tables.push_back(RandomTable());
        }
        auto& t = b.tables;
        switch (kind) {
            case 0:
                t[0] = Sized(static_cast<uint16_t>(1 + gen_.Below(12)));  // wide in 5.11
                t[2] = Sized(fmt_ == 3 ? 2 : 4, fmt_ == 3 ? 2 : 0);
                t[3] = Sized(is510 ? 58 : 36, static_cast<uint16_t>(22 * g));
                t[6] = SizedFrom59(9);
                t[7] = SizedFrom59(9);
                t[8] = SizedFrom59(2);
                t[10] = Fixed(0, static_cast<uint16_t>(gen_.Below(5)));
                t[11] = Fixed(0, static_cast<uint16_t>(gen_.Below(5)));
                break;
            case 1:
            case 3: {
                const uint16_t base5 = kind == 1 ? 4 : 6;
                const uint16_t base6 = kind == 1 ? 18 : 20;
                t[5] = Sized(static_cast<uint16_t>(base5 + (is510 ? 1 : 0)),
                             static_cast<uint16_t>(4 * g));
                t[6] = Sized(static_cast<uint16_t>(base6 + (is510 ? 1 : 0)), g);
                t[7] = Sized(is510 ? 58 : 36, static_cast<uint16_t>(22 * g));
                if (kind == 1) {
                    t[8] = SizedFrom59(9);
                    t[9] = EmptyIn58(2);
                    t[10] = BuiltIn510();
                } else {
                    t[11] = Fixed(static_cast<uint16_t>(gen_.Below(3)), 64);
                    if (profile_.maxRecords >= 6 && gen_.Chance(5)) {
                        t[11].count = static_cast<uint16_t>(17 + gen_.Below(2));
                    }
                    t[11].adjustable = true;
                    t[12] = SizedFrom59(9);
                    t[13] = EmptyIn58(2);
                    t[14] = BuiltIn510();
                }
                break;
            }
            case 4:
                t[0] = Sized(6, 0, Fill::BlankRecords);
                t[6] = Sized(is510 ? 13 : 8, static_cast<uint16_t>(8 * g), Fill::FfffPairs);
                t[7] = Sized(is510 ? 26 : 22, static_cast<uint16_t>(4 * g));
                t[9] = Sized(is510 ? 58 : 36, static_cast<uint16_t>(22 * g));
                t[11] = Sized(is510 ? 64 : 32, static_cast<uint16_t>(32 * g));
                t[12] = SizedFrom59(9);
                t[13] = EmptyIn58(2);
                t[14] = BuiltIn510(Fill::FfffPairs);
                if (is510) {
                    t[15] = Sized(2);
                    t[16] = Sized(4);
                    t[16].count = static_cast<uint16_t>(std::min<uint32_t>(t[16].count, 16));
                }
                break;
            default:  // kind 5
                t[0] = Sized(fmt_ == 3 ? 10 : 11, fmt_ == 3 ? 1 : 0);
                if (fmt_ == 3) {
                    t[1] = Sized(2, 0, Fill::SlotEntries);
                    b.fixedGrowth += 59;
                } else {
                    t[1] = Fixed(0, 2);
                }
                t[2] = Fixed(static_cast<uint16_t>(gen_.Below(2)), is510 ? 59 : 37);
                t[2].adjustable = true;
                t[2].growthPerRecord = static_cast<uint16_t>(22 * g);
                t[3] = is510 ? Fixed(static_cast<uint16_t>(gen_.Below(2)), 37)
                             : Fixed(0, static_cast<uint16_t>(gen_.Chance(50) ? 37 : 0));
                t[3].adjustable = is510;
                break;
        }
        return b;
    }

    // Removes records until every block, and the image, fits with room for the conversions.
    void FitToBudget(std::vector<BlockSpec>& blocks) {
        for (BlockSpec& b : blocks) {
            while (b.Length() + b.Growth() > kMaxBlockLength) {
                if (!DropRecords(b.tables, b.Length() + b.Growth() - kMaxBlockLength)) {
                    throw std::runtime_error("generated block does not fit its length field");
                }
            }
        }
        const uint32_t limit = std::min<uint32_t>(profile_.maxWords, kImageWords - kSafetyMargin);
        for (;;) {
            uint32_t total = kTrailerWords;
            uint32_t growth = 0;
            for (const BlockSpec& b : blocks) {
                total += b.Length();
                growth += b.Growth();
            }
            const uint32_t roomAfter = kImageWords - kSafetyMargin;
            const uint32_t excess =
                std::max(total > limit ? total - limit : 0u,
                         total + growth > roomAfter ? total + growth - roomAfter : 0u);
            if (excess == 0) {
                return;
            }
            std::vector<TableSpec*> all;
            for (BlockSpec& b : blocks) {
                for (TableSpec& t : b.tables) {
                    all.push_back(&t);
                }
            }
            if (!DropRecords(all, excess)) {
                throw std::runtime_error("generated codeplug does not fit the buffer");
            }
        }
    }

    // Removes records of randomly chosen adjustable tables until at least `words` words (with
    // their growth) are gone; false when nothing is left to remove.
    template <class Tables>
    bool DropRecords(Tables& tables, uint32_t words) {
        std::vector<TableSpec*> candidates;
        for (auto& entry : tables) {
            TableSpec* t = ToPointer(entry);
            if (t->adjustable && t->count > t->minCount && t->size > 0) {
                candidates.push_back(t);
            }
        }
        uint32_t removed = 0;
        while (removed < words && !candidates.empty()) {
            const std::size_t pick = gen_.Below(static_cast<uint32_t>(candidates.size()));
            TableSpec& t = *candidates[pick];
            const int drop = std::max(1, (t.count - t.minCount) / 4);
            t.count = static_cast<uint16_t>(t.count - drop);
            removed += static_cast<uint32_t>(drop) * (t.size + t.growthPerRecord);
            if (t.count <= t.minCount) {
                candidates.erase(candidates.begin() + static_cast<std::ptrdiff_t>(pick));
            }
        }
        return removed >= words;
    }
    static TableSpec* ToPointer(TableSpec& t) { return &t; }
    static TableSpec* ToPointer(TableSpec* t) { return t; }

    void FillRecords(std::vector<uint16_t>& w, std::size_t at, const TableSpec& t) {
        for (uint32_t r = 0; r < t.count; ++r) {
            const std::size_t rec = at + static_cast<std::size_t>(r) * t.size;
            for (uint32_t k = 0; k < t.size; ++k) {
                w[rec + k] = gen_.Word();
            }
            switch (t.fill) {
                case Fill::Random:
                    break;
                case Fill::Favourites:
                    if (gen_.Chance(70)) {
                        w[rec] = 0xFF01;
                    }
                    break;
                case Fill::SlotEntries:
                    w[rec + 1] = static_cast<uint16_t>((gen_.Below(32) << 8) | gen_.Below(16));
                    break;
                case Fill::BlankRecords:
                    if (gen_.Chance(30)) {
                        w[rec] = 0xFFFF;
                    }
                    for (uint32_t k = 1; k < t.size; ++k) {
                        if (gen_.Chance(15)) {
                            w[rec + k] = 0;
                        }
                    }
                    break;
                case Fill::FfffPairs:
                    for (uint32_t k = 1; k < 3 && k < t.size; ++k) {
                        if (gen_.Chance(40)) {
                            w[rec + k] = 0xFFFF;
                        }
                    }
                    break;
            }
        }
    }

    std::vector<uint16_t> Materialize(const BlockSpec& b) {
        BlockShape shape;
        shape.type = b.type;
        shape.offset = b.offset;
        for (const TableSpec& t : b.tables) {
            shape.tables.push_back({t.count, t.size});
        }
        std::vector<uint16_t> w(shape.Length());
        for (std::size_t i = 4; i < b.offset; ++i) {
            w[i] = gen_.Word();
        }
        switch (b.type) {
            case kHeader:
                shape.ident = static_cast<uint16_t>(0x0500 | (fmt_ + 5));
                break;
            case kKindBlock:
                shape.ident = static_cast<uint16_t>((b.kind << 12) | gen_.Below(0x1000));
                break;
            case kSystem:
                shape.ident = static_cast<uint16_t>((b.kind << 12) | b.id);
                if (b.kind == 0 && gen_.Chance(30)) {
                    std::fill(w.begin() + 65, w.begin() + 70, 0);  // no system alias yet
                }
                break;
            default:
                shape.ident = gen_.Word();
                break;
        }
        WriteBlockHead(w.data(), fmt_, shape);
        std::size_t at = b.offset + b.tables.size();
        for (const TableSpec& table : b.tables) {
            FillRecords(w, at, table);
            at += static_cast<std::size_t>(table.count) * table.size;
        }
        return w;
    }

    std::string RandomName() {
        static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 -";
        std::string s;
        const uint32_t len = gen_.Below(11);
        for (uint32_t i = 0; i < len; ++i) {
            s += kChars[gen_.Below(sizeof(kChars) - 1)];
        }
        return s;
    }

    void FillHeaderFields(std::vector<uint16_t>& h, uint16_t typeCode, uint8_t systems,
                          uint8_t groups) {
        h[5] = static_cast<uint16_t>((gen_.Word() & 0xFFF0) | typeCode);
        h[14] = static_cast<uint16_t>((groups << 8) | systems);
        if (fmt_ >= 4) {
            PutText(h, 39, gen_.Chance(50) ? std::string("FAVORITES") : RandomName());
        }
        if (fmt_ == 5) {
            // A 10-character text at words 46 to 50, sometimes with zero bytes in it.
            std::string name = RandomName();
            PutText(h, 46, name);
            for (std::size_t k = 46; k <= 50; ++k) {
                if (gen_.Chance(20)) {
                    h[k] &= gen_.Chance(50) ? 0xFF00 : 0x00FF;
                }
            }
        }
    }

    uint8_t Format() const { return fmt_; }
    const SizeProfile& Profile() const { return profile_; }

private:
    CodeplugGenerator& gen_;
    uint8_t fmt_;
    bool irregular_;
    SizeProfile profile_;
};

}  // namespace

uint16_t CodeplugGenerator::Word() {
    const uint32_t pick = Below(100);
    if (pick < 15) {
        return 0;
    }
    if (pick < 20) {
        return 0xFFFF;
    }
    return static_cast<uint16_t>(rng_());
}

GeneratedImage CodeplugGenerator::Generate(const GeneratorOptions& options) {
    if (options.formatIndex < 3 || options.formatIndex > 5) {
        throw std::invalid_argument("the generator makes images of 5.8, 5.9 and 5.10 only");
    }
    Builder builder(*this, options);
    const SizeProfile& profile = builder.Profile();

    GeneratedImage out;
    out.formatIndex = options.formatIndex;
    out.systemKinds = options.systemKinds;
    if (out.systemKinds.empty()) {
        static constexpr std::array<uint8_t, 5> kKinds{0, 1, 3, 4, 5};
        const uint32_t count =
            profile.minSystems + Below(profile.maxSystems - profile.minSystems + 1u);
        for (uint32_t i = 0; i < count; ++i) {
            out.systemKinds.push_back(kKinds[Below(kKinds.size())]);
        }
    }
    out.groupCount = options.groupCount > 0
                         ? static_cast<uint8_t>(options.groupCount)
                         : static_cast<uint8_t>(profile.minGroups +
                                                Below(profile.maxGroups - profile.minGroups + 1u));
    if (options.headerTypeCode >= 0) {
        out.headerTypeCode = static_cast<uint16_t>(options.headerTypeCode & 0xF);
    } else {
        static constexpr std::array<uint16_t, 8> kCodes{1, 4, 5, 6, 8, 0, 2, 15};
        out.headerTypeCode = kCodes[Below(kCodes.size())];
    }

    std::vector<BlockSpec> blocks;
    blocks.push_back(builder.Header());
    bool kindUsed[6] = {};
    for (uint8_t kind : out.systemKinds) {
        kindUsed[kind == 3 ? 1 : kind] = true;
    }
    for (uint8_t kind : {0, 1, 4, 5}) {
        if (kindUsed[kind]) {
            blocks.push_back(builder.KindBlock(kind));
        }
    }
    for (std::size_t i = 0; i < out.systemKinds.size(); ++i) {
        blocks.push_back(builder.System(out.systemKinds[i], static_cast<uint8_t>(i + 1)));
    }
    for (uint32_t n = 0; n < out.groupCount; ++n) {
        blocks.push_back(builder.Group());
    }
    builder.FitToBudget(blocks);

    if (options.shuffleBlocks) {
        for (std::size_t i = blocks.size() - 1; i > 1; --i) {
            std::swap(blocks[i], blocks[1 + Below(static_cast<uint32_t>(i))]);
        }
    }

    out.words.assign(kImageWords, 0);
    std::size_t at = 0;
    for (const BlockSpec& b : blocks) {
        const std::vector<uint16_t> w = builder.Materialize(b);
        std::copy(w.begin(), w.end(), out.words.begin() + static_cast<std::ptrdiff_t>(at));
        at += w.size();
        out.growthBound += b.Growth();
    }
    for (std::size_t i = 0; i < kTrailerWords; ++i) {
        out.words[at + i] = static_cast<uint16_t>(rng_());
    }
    if (options.irregular && Chance(30)) {
        // The trailer reads like the head of a system-kind block, of a kind the image may lack.
        static constexpr std::array<uint8_t, 4> kKinds{0, 1, 4, 5};
        out.words[at] = kBlockMarker;
        out.words[at + 1] = static_cast<uint16_t>((kKindBlock << 14) | (4 + Below(100)));
        out.words[at + 2] = static_cast<uint16_t>(Below(0x10000));
        out.words[at + 3] = static_cast<uint16_t>(kKinds[Below(kKinds.size())] << 12);
    }
    out.totalLength = static_cast<uint16_t>(at + kTrailerWords);

    std::vector<uint16_t> header(out.words.begin(), out.words.begin() + blocks[0].Length());
    builder.FillHeaderFields(header, out.headerTypeCode,
                             static_cast<uint8_t>(out.systemKinds.size()), out.groupCount);
    std::copy(header.begin(), header.end(), out.words.begin());
    out.words[4] = out.totalLength;
    return out;
}

std::vector<uint8_t> ToRadioBytes(const std::vector<uint16_t>& image, std::size_t words) {
    std::vector<uint8_t> bytes;
    bytes.reserve(2 * words);
    for (std::size_t i = 0; i < words && i < image.size(); ++i) {
        bytes.push_back(static_cast<uint8_t>(image[i] >> 8));
        bytes.push_back(static_cast<uint8_t>(image[i] & 0xFF));
    }
    return bytes;
}

std::vector<uint16_t> FromRadioBytes(const std::vector<uint8_t>& bytes) {
    std::vector<uint16_t> image(kImageWords, 0);
    for (std::size_t i = 0; i < bytes.size() && i / 2 < kImageWords; ++i) {
        if (i % 2 == 0) {
            image[i / 2] = static_cast<uint16_t>(bytes[i] << 8);
        } else {
            image[i / 2] = static_cast<uint16_t>(image[i / 2] | bytes[i]);
        }
    }
    return image;
}

}  // namespace quillon::sample
