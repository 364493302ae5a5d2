#pragma once

// Codeplugs as the radio sends them (each word high byte first) for the workflow tests, and
// what a restore must write back for one.

#include <cstdint>
#include <memory>
#include <vector>

#include "parms/CodeplugRestorePlan.h"
#include "tests/parms/TestImage.h"

namespace quillon::test {

// A sound codeplug of `version` (0x0509 for 5.9) with systems of kinds 0, 1, 3, 4 and 5 and
// three groups, as long as its total length says. `bigTableRecords` records of 100 words in
// header table 2 make it long.
inline std::vector<uint8_t> RadioCodeplug(uint16_t version, uint16_t bigTableRecords = 0) {
    std::vector<TestBlock> blocks = MinimalBlocks(version, {0, 1, 3, 4, 5}, 3);
    if (bigTableRecords > 0) {
        blocks.front().tables[2] = TestTable{bigTableRecords, 100, {}};
    }
    BuiltImage built = BuildImage(version, blocks);
    std::vector<uint8_t> bytes(2u * KVTParmsFormat::TotalLength(*built.image));
    for (size_t i = 0; i < bytes.size() / 2; ++i) {
        bytes[2 * i] = static_cast<uint8_t>((*built.image)[i] >> 8);
        bytes[2 * i + 1] = static_cast<uint8_t>((*built.image)[i]);
    }
    return bytes;
}

// The bytes a restore writes back for `uploaded`: the restore plan's conversion to `target`.
inline std::vector<uint8_t> WriteBack(const std::vector<uint8_t>& uploaded, uint8_t target,
                                      bool hardKey) {
    auto image = std::make_unique<CodeplugImage>();
    image->fill(0);
    for (size_t i = 0; i < uploaded.size() / 2; ++i) {
        (*image)[i] = static_cast<uint16_t>(uploaded[2 * i] << 8 | uploaded[2 * i + 1]);
    }
    const CodeplugRestoreResult plan =
        CodeplugRestorePlan().Run(*image, uploaded.size(), target, hardKey);
    EXPECT_TRUE(plan.Ok()) << plan.reason;
    std::vector<uint8_t> bytes(plan.downloadBytes);
    for (size_t i = 0; i < bytes.size() / 2; ++i) {
        bytes[2 * i] = static_cast<uint8_t>((*image)[i] >> 8);
        bytes[2 * i + 1] = static_cast<uint8_t>((*image)[i]);
    }
    return bytes;
}

}  // namespace quillon::test
