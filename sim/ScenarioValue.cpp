#include "sim/ScenarioValue.h"

#include <charconv>
#include <limits>

namespace quillon::sim {

namespace {

std::optional<long long> ParseInteger(std::string_view text) {
    long long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

int CheckRange(long long value, long long low, long long high, const char* what) {
    if (value < low || value > high) {
        throw ScenarioError(std::string(what) + " must be between " + std::to_string(low) +
                            " and " + std::to_string(high));
    }
    return static_cast<int>(value);
}

}  // namespace

template <size_t N>
std::optional<std::array<uint8_t, N>> ParseDotted(std::string_view text) {
    std::array<uint8_t, N> result{};
    for (size_t i = 0; i < N; ++i) {
        const size_t dot = text.find('.');
        const bool last = i + 1 == N;
        if (last != (dot == std::string_view::npos)) {
            return std::nullopt;
        }
        const std::string_view part = last ? text : text.substr(0, dot);
        if (part.empty() || part.size() > 3 || part.front() == '-' || part.front() == '+') {
            return std::nullopt;
        }
        std::optional<long long> value = ParseInteger(part);
        if (!value || *value > 255) {
            return std::nullopt;
        }
        result[i] = static_cast<uint8_t>(*value);
        if (!last) {
            text.remove_prefix(dot + 1);
        }
    }
    return result;
}

template std::optional<std::array<uint8_t, 2>> ParseDotted<2>(std::string_view);
template std::optional<std::array<uint8_t, 3>> ParseDotted<3>(std::string_view);

std::optional<bool> ParseKind(std::string_view text) {
    if (text == "portable") {
        return true;
    }
    if (text == "mobile") {
        return false;
    }
    return std::nullopt;
}

std::optional<Bytes> ParseFaultCode(std::string_view text) {
    if (text == "*") {
        return Bytes{};
    }
    std::optional<Bytes> code = ParseHex(text);
    if (!code || code->empty() || code->size() > 2) {
        return std::nullopt;
    }
    return code;
}

int CheckNoise(long long value) {
    return CheckRange(value, 0, 4096, "noise");
}
int CheckDelay(long long value) {
    return CheckRange(value, 0, 600000, "delay");
}
int CheckTimes(long long value) {
    return CheckRange(value, 1, std::numeric_limits<int>::max(), "times");
}

FaultRule ParseFaultText(std::string_view text) {
    const std::string whole(text);
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        throw ScenarioError("fault '" + whole + "': expected CODE:ITEM[,ITEM...]");
    }
    FaultRule rule;
    std::optional<Bytes> code = ParseFaultCode(text.substr(0, colon));
    if (!code) {
        throw ScenarioError("fault '" + whole + "': the code must be *, a family (04) or a " +
                            "message code (042D)");
    }
    rule.code = *code;
    std::string_view items = text.substr(colon + 1);
    if (items.empty()) {
        throw ScenarioError("fault '" + whole + "': no fault named");
    }
    while (!items.empty()) {
        const size_t comma = items.find(',');
        const std::string_view item = items.substr(0, comma);
        items = comma == std::string_view::npos ? std::string_view() : items.substr(comma + 1);
        const size_t equals = item.find('=');
        const std::string_view name = item.substr(0, equals);
        std::optional<long long> number;
        if (equals != std::string_view::npos) {
            number = ParseInteger(item.substr(equals + 1));
            if (!number) {
                throw ScenarioError("fault '" + whole + "': '" + std::string(item) +
                                    "' needs a whole number");
            }
        }
        const bool flag = equals == std::string_view::npos;
        try {
            if (flag && name == "silent") {
                rule.silent = true;
            } else if (flag && name == "0420") {
                rule.answerUnable = true;
            } else if (flag && name == "bad-checksum") {
                rule.badChecksumFirst = true;
            } else if (flag && name == "wrong-h2") {
                rule.wrongH2First = true;
            } else if (!flag && name == "noise") {
                rule.noise = CheckNoise(*number);
            } else if (!flag && name == "delay") {
                rule.delayMs = CheckDelay(*number);
            } else if (!flag && name == "times") {
                rule.times = CheckTimes(*number);
            } else {
                throw ScenarioError("unknown item '" + std::string(item) + "'");
            }
        } catch (const ScenarioError& error) {
            throw ScenarioError("fault '" + whole + "': " + error.what());
        }
    }
    return rule;
}

}  // namespace quillon::sim
