#include "parms/CodeplugRestorePlan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "tests/parms/support/CodeplugGenerator.h"

namespace quillon {
namespace {

std::unique_ptr<CodeplugImage> Generated(uint8_t formatIndex, uint32_t seed) {
    testkit::CodeplugGenerator generator(seed);
    testkit::GeneratorOptions options;
    options.formatIndex = formatIndex;
    options.size = testkit::ImageSize::Small;
    const testkit::GeneratedImage generated = generator.Generate(options);
    auto image = std::make_unique<CodeplugImage>();
    std::copy(generated.words.begin(), generated.words.end(), image->begin());
    return image;
}

// A 5.11 image as the restore leaves it, verified once with `hardKey`.
std::unique_ptr<CodeplugImage> Verified511(bool hardKey, uint32_t seed) {
    auto image = Generated(kFormat510, seed);
    const std::size_t bytes = 2u * CodeplugFormat::TotalLength(*image);
    EXPECT_TRUE(CodeplugRestorePlan().Run(*image, bytes, kFormat511, hardKey).Ok());
    return image;
}

TEST(CodeplugRestorePlan, WritesBackEveryLengthChangeTheVerificationIncluded) {
    struct Case {
        const char* name;
        std::unique_ptr<CodeplugImage> image;
        uint8_t target;
        bool hardKey;
        int verifyChange;  // -1, 0 or +1; 2 for "any"
    };
    Case cases[] = {
        {"same format, nothing changes", Generated(kFormat58, 3), kFormat58, false, 0},
        {"chain to 5.10, no verification", Generated(kFormat58, 4), kFormat510, true, 0},
        {"chain to 5.11 and verification", Generated(kFormat59, 5), kFormat511, true, 2},
        {"hard-key record inserted", Verified511(false, 6), kFormat511, true, +1},
        {"hard-key record deleted", Verified511(true, 7), kFormat511, false, -1},
        {"hard-key record kept", Verified511(true, 8), kFormat511, true, 0},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        CodeplugImage& image = *c.image;
        // The upload holds the image and some bytes beyond it, which stay beyond it.
        const std::size_t uploaded = 2u * CodeplugFormat::TotalLength(image) + 6;
        const CodeplugRestoreResult result =
            CodeplugRestorePlan().Run(image, uploaded, c.target, c.hardKey);
        ASSERT_TRUE(result.Ok()) << result.reason;
        EXPECT_EQ(CodeplugFormat::FormatIndex(image), c.target);
        if (c.verifyChange != 2) {
            EXPECT_EQ(result.verifyChange, c.verifyChange);
            // Here the hard-key record is all the verification inserts or deletes.
            EXPECT_EQ(result.hardKeyChange, c.verifyChange);
        }
        EXPECT_EQ(result.downloadBytes, 2u * CodeplugFormat::TotalLength(image) + 6);
        EXPECT_EQ(static_cast<int64_t>(result.downloadBytes),
                  static_cast<int64_t>(uploaded) + 2 * int64_t{result.LengthChange()});
        EXPECT_TRUE(CodeplugFormat().CheckStructure(image));
    }
}

TEST(CodeplugRestorePlan, RefusesWhatCannotBeWrittenBack) {
    struct Case {
        const char* name;
        std::unique_ptr<CodeplugImage> image;
        std::size_t uploaded;  // 0: exactly the image
        uint8_t target;
        RestoreRefusal refusal;
    };
    auto malformed = Generated(kFormat59, 8);
    (*malformed)[0] = 0;
    auto unknown = Generated(kFormat59, 9);
    (*unknown)[3] = 0x0702;
    Case cases[] = {
        {"malformed", std::move(malformed), 0, kFormat511, RestoreRefusal::Malformed},
        {"unknown format", std::move(unknown), 0, kFormat511, RestoreRefusal::FormatTooOld},
        {"radio older than 5.8", Generated(kFormat58, 10), 0, 2, RestoreRefusal::FormatTooOld},
        {"radio format unknown", Generated(kFormat58, 11), 0, kUnknownFormat,
         RestoreRefusal::FormatTooOld},
        {"backwards", Generated(kFormat510, 12), 0, kFormat59, RestoreRefusal::Backwards},
        // A full-buffer upload that the conversion lengthens no longer fits.
        {"beyond 65536 bytes", Generated(kFormat58, 13), CodeplugRestorePlan::kMaxBytes, kFormat511,
         RestoreRefusal::BadLength},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t uploaded =
            c.uploaded != 0 ? c.uploaded : 2u * CodeplugFormat::TotalLength(*c.image);
        const CodeplugRestoreResult result =
            CodeplugRestorePlan().Run(*c.image, uploaded, c.target, false);
        EXPECT_EQ(result.refusal, c.refusal) << result.reason;
        EXPECT_FALSE(result.reason.empty());
        EXPECT_EQ(result.downloadBytes, 0u);
    }
}

}  // namespace
}  // namespace quillon
