#include <gtest/gtest.h>

#include "app/core/PasswordEntry.h"
#include "app/core/ReturnCodeHolder.h"
#include "app/core/ServiceAccessCode.h"

namespace quillon {
namespace {

enum class Close { Ok, Cancel, WindowButton };

TEST(ServiceAccessCodeTest, AcceptsOnlyTheExpectedCodeConfirmed) {
    struct Case {
        const char* typed;
        Close close;
        bool boot;
        bool autoBoot;
        bool accepted;
    };
    const Case cases[] = {
        {"pelican", Close::Ok, false, false, true},
        {"pelican ", Close::Ok, false, false, true},       // trailing blank removed
        {"\t pelican\r\n", Close::Ok, false, true, true},  // control characters too
        {"PELICAN", Close::Ok, false, false, false},       // case matters
        {"peli can", Close::Ok, false, false, false},
        {"pelican", Close::Cancel, false, false, false},
        {"pelican", Close::WindowButton, false, false, false},
        {"marigold", Close::Ok, true, false, true},
        {"pelican", Close::Ok, true, false, false},  // boot on a manual build needs marigold
        {"pelican", Close::Ok, true, true, true},    // automatic boot handling: pelican
        {"marigold", Close::Ok, false, false, false},
        {"", Close::Ok, false, false, false},
    };
    for (const Case& c : cases) {
        PasswordEntry entry;
        EXPECT_EQ(entry.Accepted, 0);
        entry.SetText(c.typed);
        if (c.close == Close::Ok) {
            entry.Accept();
        } else if (c.close == Close::Cancel) {
            entry.Cancel();
        }
        EXPECT_EQ(ServiceAccessCode::Accepts(entry, c.boot, c.autoBoot), c.accepted) << c.typed;
    }
}

TEST(ServiceAccessCodeTest, OnceAcceptedNeverAskedAgain) {
    ServiceAccessCode code;
    PasswordEntry wrong;
    wrong.SetText("nope");
    wrong.Accept();
    EXPECT_FALSE(code.Answer(wrong, false, false));
    EXPECT_FALSE(code.Accepted());
    PasswordEntry right;
    right.SetText("pelican");
    right.Accept();
    EXPECT_TRUE(code.Answer(right, false, false));
    // A later boot request on the same run is not asked for the boot code.
    EXPECT_TRUE(code.Answer(wrong, true, false));
}

TEST(PasswordEntryTest, TrimKeepsInnerText) {
    EXPECT_EQ(PasswordEntry::Trim("  12 34\x7f"), "12 34");
    EXPECT_EQ(PasswordEntry::Trim("\x01\x1f"), "");
    EXPECT_EQ(PasswordEntry::Trim("\xe9t\xe9"), "\xe9t\xe9");  // 8-bit letters stay
}

TEST(ReturnCodeHolderTest, WritesThroughThePointer) {
    int32_t code = 0;
    ReturnCodeHolder form(&code);
    form.SetReturnCode(3);
    EXPECT_EQ(code, 3);
    form.SetReturnCode(-1);
    EXPECT_EQ(code, -1);
    ReturnCodeHolder none(nullptr);
    none.SetReturnCode(2);  // no integer to write: nothing happens
}

}  // namespace
}  // namespace quillon
