#include "download/SRecordReader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace quillon {
namespace {

TEST(SRecordLine, ClassCountAndWords) {
    struct Case {
        std::string line;
        RecordKind kind;
        bool end;
        int bytes;
    };
    const std::vector<Case> cases = {
        {"S1130000000102030405060708090A0B0C0D0E0F74\n", RecordKind::kData16, false, 16},
        {"S2140100000102030405060708090A0B0C0D0E0F71", RecordKind::kData24, false, 16},
        {"S3150000000000010203040506070809 0A0B0C0D0E0F", RecordKind::kData32, false, 16},
        {"S00600004844521B", RecordKind::kHeader, false, 0},
        {"S9030000FC", RecordKind::kOther, true, 0},
        {"S70500000000FA", RecordKind::kOther, true, 0},
        {"S8040000FB", RecordKind::kOther, false, 0},
        {"s3150000", RecordKind::kOther, false, 0},  // the type is case-sensitive
        {"", RecordKind::kOther, false, 0},
        {"S3", RecordKind::kData32, false, 0},     // no byte count at all
        {"S30", RecordKind::kData32, false, 0},    // one digit: 0
        {"S3G9", RecordKind::kData32, false, 0},   // stops at the first non-digit
        {"S31f", RecordKind::kData32, false, 26},  // lower case counts
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(RecordClass(c.line), c.kind);
        EXPECT_EQ(IsEndRecord(c.line), c.end);
        EXPECT_EQ(DataByteCount(c.line), c.bytes);
    }
    // The first pair is the low byte; lower-case digits read as upper-case ones.
    EXPECT_EQ(WordAt("S3150000000012ab", 12), 0xAB12);
    EXPECT_EQ(WordAt("S3150000000012AB", 12), 0xAB12);
    // Past the line's characters (line feed excluded) the bytes read as FF.
    EXPECT_EQ(WordAt("S31500000000AB\n", 12), 0xFFAB);
    EXPECT_EQ(WordAt("S31500000000", 12), 0xFFFF);
}

// Every data byte the reader yields for an image, in order, and the progress weights.
struct Read {
    std::vector<uint8_t> bytes;
    int weight = 0;
    int records = 0;
};

Read ReadAll(const std::string& text, SRecordReader::Mode mode) {
    std::istringstream in(text);
    SRecordReader reader(in, mode);
    SRecordReader::Record record;
    Read read;
    while (reader.Next(record)) {
        read.bytes.insert(read.bytes.end(), record.data.begin(), record.data.begin() + record.size);
        read.weight += record.weight;
        ++read.records;
    }
    return read;
}

// `count` times `fill`, then `last`.
std::vector<uint8_t> RunThen(size_t count, uint8_t fill, uint8_t last) {
    std::vector<uint8_t> bytes(count + 1, fill);
    bytes.back() = last;
    return bytes;
}

TEST(SRecordReader, NormalReading) {
    const std::string longData(300, 'A');  // a 300-character run inside one line
    struct Case {
        const char* name;
        std::string text;
        std::vector<uint8_t> bytes;
        int weight;
    };
    const std::vector<Case> cases = {
        {"header skipped, S9 ends, records after it unread",
         "S0030000FC\nS1050000AABB00\nS9030000FC\nS1050000CCDD00\n",
         {0xAA, 0xBB},
         3},
        {"S7 ends too", "S2060000000102F6\nS70500000000FA\nS2060000000304F6\n", {0x01, 0x02}, 3},
        {"no end record: read to the end, last line without a line feed",
         "S307000000001122XX\nS307000000003344XX",
         {0x11, 0x22, 0x33, 0x44},
         8},
        {"lower-case digits and CRLF", "S307000000000aBcXX\r\n", {0x0A, 0xBC}, 4},
        {"S5, S8 and blank lines skipped", "S5030001FB\n\nS8040000FB\nS1040000EE00\n", {0xEE}, 3},
        {"a byte count beyond the line's characters reads only what is there",
         "S3FF00000000A1B2\n",
         {0xA1, 0xB2},
         4},
        {"a 299-character line is split: its rest is a line of its own",
         "S3FF00000000" + longData + "\nS1040000EE00\n", RunThen(143, 0xAA, 0xEE), 4 + 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Read read = ReadAll(c.text, SRecordReader::Mode::kNormal);
        EXPECT_EQ(read.bytes, c.bytes);
        EXPECT_EQ(read.weight, c.weight);
        // Counted from a position inside the stream, which is put back there.
        std::istringstream in("skip\n" + c.text);
        in.seekg(5);
        EXPECT_EQ(CountDataBytes(in, SRecordReader::Mode::kNormal),
                  static_cast<int64_t>(c.bytes.size()));
        EXPECT_EQ(in.tellg(), 5);
    }
}

TEST(SRecordReader, SplitRestIsClassifiedByItsOwnFirstCharacters) {
    // 299 characters, then "S1040000EE00" continues the same physical line: the rest is read
    // as a record of its own.
    const std::string first = "S0" + std::string(297, '0');
    const Read read = ReadAll(first + "S1040000EE00\nS9030000FC\n", SRecordReader::Mode::kNormal);
    EXPECT_EQ(read.bytes, (std::vector<uint8_t>{0xEE}));
}

TEST(SRecordReader, FixedS3ReadingOfTheDspLoader) {
    // Every line up to the first S9 is an S3 record: headers and S2 lines too, and S7 does not
    // end the image.
    const std::string text =
        "S0070000AABBCCDD00\n"    // count 7: 2 bytes from character 12
        "S2070000001122334400\n"  // taken as S3: data from character 12
        "S70500000000FA\n"        // count 5: no data, but it is a line of the image
        "S307000000005566XX\n"
        "S9030000FC\n"
        "S307000000007788XX\n";
    const Read read = ReadAll(text, SRecordReader::Mode::kFixedS3);
    EXPECT_EQ(read.bytes, (std::vector<uint8_t>{0xCC, 0xDD, 0x22, 0x33, 0x55, 0x66}));
    std::istringstream in(text);
    EXPECT_EQ(CountDataBytes(in, SRecordReader::Mode::kFixedS3), 6);
    EXPECT_EQ(read.records, 4);
    EXPECT_EQ(read.weight, 16);
}

}  // namespace
}  // namespace quillon
