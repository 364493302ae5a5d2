// The whole-image check that the build and every download run before an image is used.

#include "download/SRecordCheck.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

namespace quillon {
namespace {

using Mode = SRecordReader::Mode;

TEST(SRecordCheckTest, FindsTheFirstWrongLine) {
    struct Case {
        const char* what;
        std::string text;
        bool ok;
        size_t line;
        Mode mode = Mode::kNormal;
    };
    const std::string s0 = "S00600004844521B\n";
    const std::string s1 = "S1130000285F245F2212226A000424290008237C2A\n";
    const std::string s3 = "S30D00100000001122334455667706\n";
    const std::string s7 = "S70500000000FA\n";
    const std::string s9 = "S9030000FC\n";
    // A sound S1 record of 140 data bytes: 290 characters, within the line the reader takes.
    std::string longData = "S18F0000";
    unsigned sum = 0x8F;
    for (int i = 0; i < 140; ++i) {
        longData += "01";
        sum += 1;
    }
    char check[3];
    std::snprintf(check, sizeof check, "%02X", ~sum & 0xFF);
    const std::string longRecord = longData + check + "\n";
    const Case cases[] = {
        {"sound", s0 + s1 + s9, true, 0},
        {"lower case and CRLF", "S1130000285f245f2212226a000424290008237c2a\r\n" + s9, true, 0},
        {"blank lines after the end", s1 + s9 + "\n\n", true, 0},
        {"a long record the reader takes whole", longRecord + s9, true, 0},
        {"checksum", s0 + "S1130000285F245F2212226A000424290008237C2B\n" + s9, false, 2},
        {"byte count", s0 + "S1140000285F245F2212226A000424290008237C2A\n" + s9, false, 2},
        {"not hexadecimal", s0 + "S1130000285F245F2212226A00042429000G237C2A\n" + s9, false, 2},
        {"unknown type", "S4030000FC\n" + s9, false, 1},
        {"not a record", s1 + "hello\n" + s9, false, 2},
        {"a text file", "Meeting notes\nbring radios\n", false, 1},
        {"no end record", s0 + s1, false, 2},
        {"cut inside its last record", s1 + s1.substr(0, 20), false, 2},
        {"record after the end", s1 + s9 + s1, false, 3},
        {"no data record", s0 + s9, false, 2},
        {"empty file", "", false, 0},
        {"line longer than the reader takes", s1 + std::string(300, '0') + "\n" + s9, false, 2},
        {"DSP loader ends with S9", s0 + s3 + s9, true, 0, Mode::kFixedS3},
        {"DSP loader ending in S7", s3 + s7, false, 2, Mode::kFixedS3},
        {"DSP loader without S9", s3, false, 1, Mode::kFixedS3},
    };
    for (const Case& c : cases) {
        for (const bool stream : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (stream ? " (stream)" : " (text)"));
            SRecordFault fault;
            std::istringstream in(c.text);
            EXPECT_EQ(stream ? CheckSRecordImage(in, fault, c.mode)
                             : CheckSRecordImage(c.text, fault, c.mode),
                      c.ok);
            if (!c.ok) {
                EXPECT_EQ(fault.line, c.line) << fault.reason;
                EXPECT_FALSE(fault.reason.empty());
            }
        }
    }
}

}  // namespace
}  // namespace quillon
