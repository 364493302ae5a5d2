#include "download/SRecordReader.h"

#include <algorithm>
#include <cstring>

#include "link/HexDigit.h"

namespace quillon {

namespace {

// The byte of the two characters at `index`, non-digits as 0. The caller keeps index + 1 inside.
uint8_t ByteAt(std::string_view line, size_t index) {
    const int hi = std::max(HexDigitValue(line[index]), 0);
    const int lo = std::max(HexDigitValue(line[index + 1]), 0);
    return static_cast<uint8_t>(hi << 4 | lo);
}

// The line without its line feed and carriage return.
std::string_view Trimmed(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    return line;
}

int AddressChars(RecordKind kind) {
    switch (kind) {
        case RecordKind::kData16:
            return 4;
        case RecordKind::kData24:
            return 6;
        case RecordKind::kData32:
            return 8;
        default:
            return 0;
    }
}

// The byte count: up to two hexadecimal digits after the type, stopping at a non-digit.
int ByteCountField(std::string_view line) {
    int value = 0;
    for (size_t i = 2; i < 4 && i < line.size(); ++i) {
        const int digit = HexDigitValue(line[i]);
        if (digit < 0) {
            break;
        }
        value = value * 16 + digit;
    }
    return value;
}

// Decodes `count` data bytes from `start`, never past the line's characters.
int Decode(std::string_view line, int start, int count, uint8_t* out) {
    const std::string_view text = Trimmed(line);
    if (start < 0 || static_cast<size_t>(start) >= text.size() || count <= 0) {
        return 0;
    }
    const int available = static_cast<int>((text.size() - static_cast<size_t>(start)) / 2);
    const int n = std::min(count, available);
    for (int i = 0; i < n; ++i) {
        out[i] = ByteAt(text, static_cast<size_t>(start + 2 * i));
    }
    return n;
}

}  // namespace

RecordKind RecordClass(std::string_view line) {
    if (line.size() < 2 || line[0] != 'S') {
        return RecordKind::kOther;
    }
    switch (line[1]) {
        case '0':
            return RecordKind::kHeader;
        case '1':
            return RecordKind::kData16;
        case '2':
            return RecordKind::kData24;
        case '3':
            return RecordKind::kData32;
        default:
            return RecordKind::kOther;
    }
}

bool IsEndRecord(std::string_view line) {
    return line.size() >= 2 && line[0] == 'S' && (line[1] == '9' || line[1] == '7');
}

int DataByteCount(std::string_view line) {
    const int address = AddressChars(RecordClass(line));
    if (address == 0) {
        return 0;
    }
    const int n = ByteCountField(line) - address / 2 - 1;
    return std::max(n, 0);
}

uint16_t WordAt(std::string_view line, int index) {
    const std::string_view text = Trimmed(line);
    auto byteAt = [&](int at) -> uint8_t {
        if (at < 0 || static_cast<size_t>(at) + 1 >= text.size()) {
            return 0xFF;
        }
        return ByteAt(text, static_cast<size_t>(at));
    };
    return static_cast<uint16_t>(byteAt(index) | byteAt(index + 2) << 8);
}

int DataStart(RecordKind kind) {
    return kind == RecordKind::kData16 || kind == RecordKind::kData24 || kind == RecordKind::kData32
               ? 4 + AddressChars(kind)
               : 0;
}

int ProgressWeight(RecordKind kind) {
    switch (kind) {
        case RecordKind::kData16:
        case RecordKind::kData24:
            return 3;
        case RecordKind::kData32:
            return 4;
        default:
            return 0;
    }
}

bool SRecordReader::Refill() {
    if (eof_) {
        return false;
    }
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    in_.read(buffer_.data() + end_, static_cast<std::streamsize>(buffer_.size() - end_));
    const auto got = in_.gcount();
    if (got <= 0) {
        eof_ = true;
        return false;
    }
    end_ += static_cast<size_t>(got);
    return true;
}

bool SRecordReader::ReadLine(std::string_view& line) {
    for (;;) {
        const size_t have = end_ - begin_;
        const size_t limit = std::min<size_t>(have, kMaxLineChars);
        const char* start = buffer_.data() + begin_;
        const void* feed = std::memchr(start, '\n', limit);
        size_t length = 0;
        if (feed != nullptr) {
            length = static_cast<size_t>(static_cast<const char*>(feed) - start) + 1;
        } else if (have >= kMaxLineChars) {
            length = kMaxLineChars;  // split: the rest is a line of its own
        } else if (Refill()) {
            continue;
        } else {
            length = have;  // the last line, without a line feed
        }
        if (length == 0) {
            return false;
        }
        line = std::string_view(buffer_.data() + begin_, length);
        begin_ += length;
        return true;
    }
}

bool SRecordReader::Next(Record& record) {
    std::string_view line;
    while (!ended_ && ReadLine(line)) {
        if (mode_ == Mode::kFixedS3) {
            if (line.size() >= 2 && line[0] == 'S' && line[1] == '9') {
                break;
            }
            const int count = std::max(ByteCountField(line) - 5, 0);
            record.size = Decode(line, DataStart(RecordKind::kData32), count, record.data.data());
            record.weight = ProgressWeight(RecordKind::kData32);
            return true;
        }
        if (IsEndRecord(line)) {
            break;
        }
        const RecordKind kind = RecordClass(line);
        if (DataStart(kind) == 0) {
            continue;
        }
        record.size = Decode(line, DataStart(kind), DataByteCount(line), record.data.data());
        record.weight = ProgressWeight(kind);
        return true;
    }
    ended_ = true;
    return false;
}

int64_t CountDataBytes(std::istream& in, SRecordReader::Mode mode) {
    const auto here = in.tellg();
    if (here < 0) {
        in.clear();
        return 0;
    }
    int64_t bytes = 0;
    {
        SRecordReader reader(in, mode);
        SRecordReader::Record record;
        while (reader.Next(record)) {
            bytes += record.size;
        }
    }
    in.clear();
    in.seekg(here);
    return in ? bytes : 0;
}

}  // namespace quillon
