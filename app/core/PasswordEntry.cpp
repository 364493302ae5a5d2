#include "app/core/PasswordEntry.h"

namespace quillon {
namespace {

bool Blank(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7F;
}

}  // namespace

std::string PasswordEntry::Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && Blank(text[begin])) {
        ++begin;
    }
    while (end > begin && Blank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

}  // namespace quillon
