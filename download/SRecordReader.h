#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <string_view>

namespace quillon {

// The classes of an S-record line, from its first two characters (case-sensitive).
enum class RecordKind {
    kData16,  // S1
    kData24,  // S2
    kData32,  // S3
    kHeader,  // S0
    kOther    // S5, S7, S8, S9, blank lines, anything else
};

RecordKind RecordClass(std::string_view line);
// True for the termination records S7 and S9.
bool IsEndRecord(std::string_view line);
// The number of data bytes of a data record: its byte count less the address bytes and the
// checksum byte. Never negative.
int DataByteCount(std::string_view line);
// The 16-bit word of the four characters at `index`: the first pair is the low byte. Characters
// beyond the line read as "FF", characters that are not hexadecimal digits as 0.
uint16_t WordAt(std::string_view line, int index);
// Character index of the first data character of a data record (0 for other classes).
int DataStart(RecordKind kind);
// What one data record adds to the progress count.
int ProgressWeight(RecordKind kind);

// Reads an image one line at a time and yields its data records. Lines are read as a buffered
// line read of at most kMaxLineChars characters: a longer line is split and its rest is read as
// a line of its own. The file is never held whole: one buffer of the stream is kept.
class SRecordReader {
public:
    enum class Mode {
        kNormal,  // S1/S2/S3 carry data, S0 and others are skipped, S7/S9 end the image
        kFixedS3  // every line up to the first "S9" is an S3 record (the DSP loader)
    };

    static constexpr int kMaxLineChars = 299;
    static constexpr int kMaxDataBytes = kMaxLineChars / 2;

    struct Record {
        std::array<uint8_t, kMaxDataBytes> data{};
        int size = 0;    // data bytes in `data`
        int weight = 0;  // progress weight of the record
    };

    SRecordReader(std::istream& in, Mode mode) : in_(in), mode_(mode) {}

    // The next data record; false at the end record or the end of the file.
    bool Next(Record& record);

    // The next raw line (line feed included when it fit); false at the end of the file.
    bool ReadLine(std::string_view& line);

private:
    bool Refill();

    std::istream& in_;
    Mode mode_;
    bool ended_ = false;
    std::array<char, 1 << 16> buffer_{};
    size_t begin_ = 0;
    size_t end_ = 0;
    bool eof_ = false;
};

// The data bytes of the image from the stream's current position, as Next yields them; the
// stream is put back where it was. 0 when its position cannot be told or restored.
int64_t CountDataBytes(std::istream& in, SRecordReader::Mode mode);

}  // namespace quillon
