#pragma once

// Codeplugs as the radio sends them (each word high byte first) for the workflow tests, and
// what a restore must write back for one.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "parms/CodeplugRestorePlan.h"
#include "tests/parms/TestImage.h"
#include "tests/parms/support/CodeplugGenerator.h"

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
    return testkit::ToRadioBytes({built.image->begin(), built.image->end()},
                                 CodeplugFormat::TotalLength(*built.image));
}

// The bytes a restore writes back for `uploaded`: the restore plan's conversion to `target`.
inline std::vector<uint8_t> WriteBack(const std::vector<uint8_t>& uploaded, uint8_t target,
                                      bool hardKey) {
    const std::vector<uint16_t> words = testkit::FromRadioBytes(uploaded);
    auto image = std::make_unique<CodeplugImage>();
    std::copy(words.begin(), words.end(), image->begin());
    const CodeplugRestoreResult plan =
        CodeplugRestorePlan().Run(*image, uploaded.size(), target, hardKey);
    EXPECT_TRUE(plan.Ok()) << plan.reason;
    std::vector<uint8_t> bytes =
        testkit::ToRadioBytes({image->begin(), image->end()}, plan.downloadBytes / 2);
    bytes.resize(plan.downloadBytes);
    return bytes;
}

}  // namespace quillon::test
