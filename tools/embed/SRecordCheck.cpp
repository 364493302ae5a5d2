#include "tools/embed/SRecordCheck.h"

#include <cstdint>

#include "link/HexDigit.h"

namespace quillon::embed {
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

}  // namespace

bool CheckSRecordImage(std::string_view text, SRecordFault& fault) {
    size_t lineNumber = 0;
    size_t endLine = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos) {
            eol = text.size();
        }
        std::string_view line = text.substr(pos, eol - pos);
        pos = eol + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            continue;
        }
        if (endLine != 0) {
            fault = {lineNumber, "record after the end record of line " + std::to_string(endLine)};
            return false;
        }
        std::string reason;
        if (!CheckRecord(line, reason)) {
            fault = {lineNumber, reason};
            return false;
        }
        if (line[1] == '7' || line[1] == '8' || line[1] == '9') {
            endLine = lineNumber;
        }
    }
    if (endLine == 0) {
        fault = {lineNumber, "no end record (S7, S8 or S9) closes the file"};
        return false;
    }
    return true;
}

}  // namespace quillon::embed
