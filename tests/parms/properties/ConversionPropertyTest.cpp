// Properties of the conversion chain over many generated images: whatever the seed, a converted
// image is well formed, carries the target version, accounts for every word it gained or lost,
// has the block layouts and record sizes of its format, and keeps what no step edits.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "parms/CodeplugFormat.h"
#include "tests/parms/properties/PropertySupport.h"
#include "tests/parms/support/CodeplugGenerator.h"
#include "tests/parms/support/CodeplugMap.h"

namespace quillon {
namespace {

using testkit::BlockMap;
using testkit::CodeplugMap;
using testkit::MapCodeplug;

struct Conversion {
    uint8_t from;
    uint8_t to;
    uint32_t seeds;
};

std::string Name(const ::testing::TestParamInfo<Conversion>& info) {
    return "From" + std::to_string(info.param.from + 5) + "To" + std::to_string(info.param.to + 5);
}

// Tables whose records no step of a chain starting at `from` edits.
std::vector<unsigned> UntouchedTables(const BlockMap& block, uint8_t from) {
    std::vector<unsigned> tables;
    auto add = [&](unsigned first, unsigned last) {
        for (unsigned t = first; t <= last && t < block.tables.size(); ++t) {
            tables.push_back(t);
        }
    };
    switch (block.type) {
        case kHeaderBlock:
            add(2, 2);
            add(6, 14);
            break;
        case kKindBlock:
            add(0, 20);
            break;
        case kGroupBlock:
            add(5, 14);
            break;
        default:
            switch (block.Kind()) {
                case 0:
                    add(0, 1);
                    add(4, 5);
                    add(9, 9);
                    add(12, 14);
                    break;
                case 1:
                    add(0, 4);
                    add(11, 14);
                    if (from == kFormat510) {
                        add(15, 16);
                    }
                    break;
                case 3:
                    add(0, 4);
                    add(8, 11);
                    if (from == kFormat510) {
                        add(15, 20);
                    }
                    break;
                case 4:
                    add(from >= kFormat59 ? 0 : 1, 5);
                    add(8, 8);
                    add(10, 10);
                    if (from == kFormat510) {
                        add(15, 15);
                        add(17, 20);
                    }
                    break;
                default:
                    add(4, 14);
                    break;
            }
    }
    return tables;
}

// The same block in another map: header, kind block by kind, system by id, group by ordinal.
const BlockMap* Counterpart(const CodeplugMap& map, const CodeplugMap& source,
                            const BlockMap& block) {
    switch (block.type) {
        case kHeaderBlock:
            return map.Header();
        case kKindBlock:
            return map.KindBlock(block.Kind());
        case kSystemBlock:
            return map.System(block.Id());
        default: {
            unsigned ordinal = 0;
            for (const BlockMap& b : source.blocks) {
                ordinal += b.type == kGroupBlock ? 1 : 0;
                if (&b == &block) {
                    break;
                }
            }
            return map.Group(ordinal);
        }
    }
}

// Descriptor-list offset and count of each block category in format `f` (5.8 .. 5.11).
std::pair<uint32_t, std::size_t> ExpectedLayout(const BlockMap& block, uint8_t f) {
    const bool from510 = f >= kFormat510;
    switch (block.type) {
        case kHeaderBlock:
            return {f == kFormat511 ? 85u : from510 ? 69u : 49u, 15};
        case kGroupBlock:
            return {23, 15};
        case kKindBlock:
            switch (block.Kind()) {
                case 0:
                    return {54, 15};
                case 1:
                    return {55, 15};
                case 4:
                    return {61, 15};
                default:
                    return {50, 15};
            }
        default:
            switch (block.Kind()) {
                case 0:
                    return {81, 15};
                case 1:
                    return {129, from510 ? 17 : 15};
                case 3:
                    return {333, from510 ? 21 : 15};
                case 4:
                    return {298, from510 ? 21 : 15};
                default:
                    return {42, 15};
            }
    }
}

// Record size that format `f` fixes for a table, 0 when it fixes none.
uint32_t ExpectedRecordSize(const BlockMap& block, unsigned table, uint8_t f) {
    const bool from510 = f >= kFormat510;
    if (block.type == kGroupBlock) {
        static constexpr uint32_t k59[] = {17, 15, 13, 13, 14};
        static constexpr uint32_t k510[] = {18, 15, 13, 13, 14};
        static constexpr uint32_t k511[] = {21, 17, 14, 15, 14};
        if (table > 4) {
            return 0;
        }
        return f == kFormat511 ? k511[table] : from510 ? k510[table] : k59[table];
    }
    if (block.type != kSystemBlock) {
        return 0;
    }
    const uint32_t wide = from510 ? 58 : 36;
    switch (block.Kind()) {
        case 0:
            return table == 3 ? wide : 0;
        case 1:
        case 3:
            return table == 7 ? wide : 0;
        case 4:
            return table == 9 ? wide : 0;
        default:
            return table == 2 ? (from510 ? 59 : 37) : 0;
    }
}

class ConversionProperties : public ::testing::TestWithParam<Conversion> {};

TEST_P(ConversionProperties, HoldForEveryGeneratedImage) {
    const Conversion c = GetParam();
    for (uint32_t seed = 0; seed < c.seeds && !HasFailure(); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", size " +
                     std::to_string(static_cast<int>(SizeForSeed(seed))));
        const testkit::GeneratedImage generated = Generate(seed, c.from);
        auto image = ToImage(generated);
        const CodeplugMap before = MapCodeplug(image->data(), c.from <= kFormat59);
        ASSERT_EQ(before.problem, "");

        CodeplugFormat format;
        ASSERT_TRUE(format.ConvertChain(*image, c.from, c.to));
        const int32_t change = format.LengthChange();

        std::string reason;
        EXPECT_TRUE(CodeplugFormat().CheckStructure(*image, &reason)) << reason;
        const FormatVersion version = CodeplugFormat::VersionOfIndex(c.to);
        EXPECT_EQ((*image)[3], (version.major << 8) | version.minor);
        EXPECT_EQ(int32_t{(*image)[4]}, int32_t{generated.totalLength} + change);
        EXPECT_LE(change, static_cast<int32_t>(generated.growthBound));

        const CodeplugMap after = MapCodeplug(image->data(), c.to <= kFormat59);
        ASSERT_EQ(after.problem, "");
        EXPECT_EQ(after.walkEnd, after.totalLength - testkit::kTrailerWords);

        // The trailer travels with the end of the image, untouched.
        for (uint32_t i = 0; i < testkit::kTrailerWords; ++i) {
            ASSERT_EQ((*image)[after.totalLength - testkit::kTrailerWords + i],
                      generated.words[generated.totalLength - testkit::kTrailerWords + i])
                << "trailer word " << i;
        }
        // Header fields no step edits.
        EXPECT_EQ((*image)[5], generated.words[5]);
        EXPECT_EQ((*image)[14], generated.words[14]);
        if (c.from >= kFormat59) {
            for (uint32_t w = 39; w <= 43; ++w) {
                EXPECT_EQ((*image)[w], generated.words[w]) << "favourites name word " << w;
            }
        }

        ASSERT_EQ(after.blocks.size(), before.blocks.size());
        EXPECT_EQ(after.CountOfType(kSystemBlock), generated.systemKinds.size());
        EXPECT_EQ(after.CountOfType(kGroupBlock), generated.groupCount);
        for (std::size_t id = 1; id <= generated.systemKinds.size(); ++id) {
            const BlockMap* system = after.System(static_cast<uint8_t>(id));
            ASSERT_NE(system, nullptr) << "system " << id;
            EXPECT_EQ(system->Kind(), generated.systemKinds[id - 1]) << "system " << id;
        }

        for (const BlockMap& old : before.blocks) {
            const BlockMap* now = Counterpart(after, before, old);
            ASSERT_NE(now, nullptr) << "block at word " << old.start;
            const std::string where = "block at word " + std::to_string(now->start);
            const auto [offset, count] = ExpectedLayout(*now, c.to);
            EXPECT_EQ(now->descriptorOffset, offset) << where;
            EXPECT_EQ(now->tables.size(), count) << where;
            for (unsigned t = 0; t < now->tables.size(); ++t) {
                const uint32_t size = ExpectedRecordSize(*now, t, c.to);
                if (size != 0 && now->tables[t].count != 0) {
                    EXPECT_EQ(now->tables[t].size, size) << where << " table " << t;
                }
            }
            for (unsigned t : UntouchedTables(old, c.from)) {
                const testkit::TableMap& a = old.tables[t];
                ASSERT_LT(t, now->tables.size()) << where;
                const testkit::TableMap& b = now->tables[t];
                ASSERT_EQ(a.count, b.count) << where << " table " << t;
                ASSERT_EQ(a.size, b.size) << where << " table " << t;
                for (uint32_t i = 0; i < a.Words(); ++i) {
                    ASSERT_EQ(generated.words[a.start + i], (*image)[b.start + i])
                        << where << " table " << t << " word " << i;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Chain, ConversionProperties,
                         ::testing::Values(Conversion{kFormat58, kFormat59, 300},
                                           Conversion{kFormat58, kFormat510, 300},
                                           Conversion{kFormat58, kFormat511, 400},
                                           Conversion{kFormat59, kFormat510, 300},
                                           Conversion{kFormat59, kFormat511, 400},
                                           Conversion{kFormat510, kFormat511, 400}),
                         Name);

TEST(GeneratedImages, AreWellFormedBeforeConversion) {
    for (uint8_t f = kFormat58; f <= kFormat510; ++f) {
        for (uint32_t seed = 0; seed < 80 && !HasFailure(); ++seed) {
            SCOPED_TRACE("format " + std::to_string(f) + ", seed " + std::to_string(seed));
            const testkit::GeneratedImage generated = Generate(seed, f);
            auto image = ToImage(generated);
            EXPECT_EQ(MapCodeplug(image->data(), f <= kFormat59).problem, "");
            std::string reason;
            EXPECT_TRUE(CodeplugFormat().CheckStructure(*image, &reason)) << reason;
            EXPECT_EQ(CodeplugFormat::FormatIndex(*image), f);
        }
    }
}

TEST(ConvertedImages, PassTheFiveElevenVerification) {
    for (uint32_t seed = 0; seed < 300 && !HasFailure(); ++seed) {
        const auto from = static_cast<uint8_t>(kFormat58 + seed % 3);
        const bool hardKey = (seed / 3) % 2 == 1;
        SCOPED_TRACE("seed " + std::to_string(seed) + ", from index " + std::to_string(from) +
                     (hardKey ? ", hard key" : ""));
        const testkit::GeneratedImage generated = Generate(seed, from);
        auto image = ToImage(generated);
        CodeplugFormat format;
        ASSERT_TRUE(format.ConvertChain(*image, from, kFormat511));
        const uint16_t total = CodeplugFormat::TotalLength(*image);
        std::vector<uint16_t> trailer(image->begin() + (total - testkit::kTrailerWords),
                                      image->begin() + total);

        EXPECT_TRUE(format.Verify511(*image, hardKey));
        std::string reason;
        EXPECT_TRUE(CodeplugFormat().CheckStructure(*image, &reason)) << reason;
        const CodeplugMap after = MapCodeplug(image->data(), false);
        ASSERT_EQ(after.problem, "");
        const uint16_t newTotal = CodeplugFormat::TotalLength(*image);
        EXPECT_TRUE(std::equal(trailer.begin(), trailer.end(),
                               image->begin() + (newTotal - testkit::kTrailerWords)));
        // Header table 7 holds the hard-key record exactly when the radio has a hard key.
        const testkit::TableMap& keys = after.Header()->tables[7];
        EXPECT_EQ(keys.count, hardKey ? 1u : 0u);
        for (const BlockMap& b : after.blocks) {
            if (b.type == kSystemBlock && b.Kind() == 3) {
                EXPECT_LE(b.tables[11].count, 16u) << "system " << unsigned{b.Id()};
            }
        }
    }
}

}  // namespace
}  // namespace quillon
