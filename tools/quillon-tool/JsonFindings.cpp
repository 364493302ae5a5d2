#include "tools/quillon-tool/JsonFindings.h"

namespace quillon::tool {

std::string PlainKey(const std::string& heading) {
    std::string key;
    bool gap = false;
    for (const char c : heading) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        const bool upper = c >= 'A' && c <= 'Z';
        if (!letter && !upper) {
            gap = !key.empty();
            continue;
        }
        if (gap) {
            key += '_';
            gap = false;
        }
        key += upper ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return key;
}

}  // namespace quillon::tool
