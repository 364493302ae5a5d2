#include "app/core/ResourceTable.h"

#include <cstring>

namespace quillon {
namespace {

bool SameIgnoringCase(std::string_view a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ResourceTable::Find(std::string_view name, std::string_view& bytes) const {
    for (const ResourceEntry& entry : entries_) {
        if (entry.name != nullptr && SameIgnoringCase(name, entry.name)) {
            bytes = std::string_view(reinterpret_cast<const char*>(entry.begin),
                                     static_cast<size_t>(entry.end - entry.begin));
            return true;
        }
    }
    return false;
}

}  // namespace quillon
