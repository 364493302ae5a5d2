#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>

#include "link/HexDigit.h"

namespace quillon {
namespace {

TEST(HexDigit, EveryCharacterAgreesWithTheLibrary) {
    for (int c = 0; c < 256; ++c) {
        const char ch = static_cast<char>(c);
        const char text[2] = {ch, '\0'};
        const int expected =
            std::isxdigit(c) ? static_cast<int>(std::strtol(text, nullptr, 16)) : -1;
        EXPECT_EQ(HexDigitValue(ch), expected) << c;
    }
}

}  // namespace
}  // namespace quillon
