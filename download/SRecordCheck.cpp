#include "download/SRecordCheck.h"

#include <cstdint>

#include "link/HexDigit.h"

namespace quillon {
namespace {

// Address bytes of record type S0..S9; 0 for a type that does not exist (S4).
constexpr int kAddressBytes[10] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};

bool CheckRecord(std::string_view line, std::string& reason) {
    if (line.size() < 4 || line[0] != 'S' || line[1] < '0' || line[1] > '9') {
        reason = "not an S-record";
        return false;
    }
    const int type = line[1] - '0';
    const int addressBytes = kAddressBytes[type];
    if (addressBytes == 0) {
        reason = "unknown record type S" + std::string(1, line[1]);
        return false;
    }
    const std::string_view hex = line.substr(2);
    if (hex.size() % 2 != 0) {
        reason = "odd number of hexadecimal digits";
        return false;
    }
    unsigned sum = 0;
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int hi = HexDigitValue(hex[i]);
        const int lo = HexDigitValue(hex[i + 1]);
        if (hi < 0 || lo < 0) {
            reason = "not a hexadecimal digit at column " + std::to_string(i + (hi < 0 ? 3 : 4));
            return false;
        }
        sum += static_cast<unsigned>(hi * 16 + lo);
    }
    const int count = HexDigitValue(hex[0]) * 16 + HexDigitValue(hex[1]);
    if (static_cast<size_t>(count) * 2 + 2 != hex.size()) {
        reason = "byte count " + std::to_string(count) + " does not match the " +
                 std::to_string(hex.size() / 2 - 1) + " bytes that follow it";
        return false;
    }
    if (count < addressBytes + 1) {
        reason = "byte count too small for the address and checksum";
        return false;
    }
    if ((sum & 0xFF) != 0xFF) {
        reason = "checksum does not hold";
        return false;
    }
    return true;
}

// The check fed one line at a time.
class Checker {
public:
    explicit Checker(SRecordReader::Mode mode) : mode_(mode) {}

    // `line` is without its line feed. False at the first fault.
    bool Line(std::string_view line, SRecordFault& fault) {
        ++lineNumber_;
        if (line.size() > static_cast<size_t>(SRecordReader::kMaxLineChars)) {
            fault = {lineNumber_, "line longer than " +
                                      std::to_string(SRecordReader::kMaxLineChars) + " characters"};
            return false;
        }
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            return true;
        }
        if (endLine_ != 0) {
            fault = {lineNumber_,
                     "record after the end record of line " + std::to_string(endLine_)};
            return false;
        }
        std::string reason;
        if (!CheckRecord(line, reason)) {
            fault = {lineNumber_, reason};
            return false;
        }
        const char type = line[1];
        if (type >= '1' && type <= '3') {
            ++dataRecords_;
        } else if (type == '9' || ((type == '7' || type == '8') && !FixedS3())) {
            endLine_ = lineNumber_;
        } else if (type == '7' || type == '8') {
            fault = {lineNumber_,
                     std::string("end record S") + type + " where this loader must end with S9"};
            return false;
        }
        return true;
    }

    bool Finish(SRecordFault& fault) const {
        if (dataRecords_ == 0) {
            fault = {lineNumber_, "no data record"};
            return false;
        }
        if (endLine_ == 0) {
            fault = {lineNumber_, FixedS3() ? "no end record (S9) closes the file"
                                            : "no end record (S7, S8 or S9) closes the file"};
            return false;
        }
        return true;
    }

private:
    bool FixedS3() const { return mode_ == SRecordReader::Mode::kFixedS3; }

    SRecordReader::Mode mode_;
    size_t lineNumber_ = 0;
    size_t endLine_ = 0;
    size_t dataRecords_ = 0;
};

}  // namespace

bool CheckSRecordImage(std::string_view text, SRecordFault& fault, SRecordReader::Mode mode) {
    Checker checker(mode);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos) {
            eol = text.size();
        }
        if (!checker.Line(text.substr(pos, eol - pos), fault)) {
            return false;
        }
        pos = eol + 1;
    }
    return checker.Finish(fault);
}

bool CheckSRecordImage(std::istream& in, SRecordFault& fault, SRecordReader::Mode mode) {
    const std::istream::pos_type start = in.tellg();
    if (start == std::istream::pos_type(-1)) {
        fault = {0, "the file could not be read"};
        return false;
    }
    Checker checker(mode);
    bool sound = true;
    std::string line;
    while (sound && std::getline(in, line)) {
        sound = checker.Line(line, fault);
    }
    if (sound && in.bad()) {
        fault = {0, "the file could not be read"};
        sound = false;
    }
    sound = sound && checker.Finish(fault);
    in.clear();
    in.seekg(start);
    if (sound && !in) {
        fault = {0, "the file could not be read again"};
        return false;
    }
    return sound;
}

std::string DescribeFault(const std::string& name, const SRecordFault& fault) {
    return fault.line == 0 ? name + ": " + fault.reason
                           : name + ":" + std::to_string(fault.line) + ": " + fault.reason;
}

}  // namespace quillon
