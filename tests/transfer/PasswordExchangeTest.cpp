#include "transfer/PasswordExchange.h"

#include <gtest/gtest.h>

#include "tests/transfer/TransferFixture.h"

namespace quillon::test {
namespace {

struct PackCase {
    const char* text;
    std::array<uint8_t, 4> packed;
};

TEST(PackPassword, DigitsIntoNibbles) {
    const PackCase cases[] = {
        {"", {0xFF, 0xFF, 0xFF, 0xFF}},
        {"1234", {0x12, 0x34, 0xFF, 0xFF}},
        {"12345", {0x12, 0x34, 0x5F, 0xFF}},
        {"12345678", {0x12, 0x34, 0x56, 0x78}},
        {"1234567890", {0x12, 0x34, 0x56, 0x78}},     // digits after the eighth are ignored
        {"12-34 56", {0x12, 0x34, 0x56, 0xFF}},       // separators skipped
        {"abcdefghijk12", {0x1F, 0xFF, 0xFF, 0xFF}},  // only the first 12 characters count
        {"0", {0x0F, 0xFF, 0xFF, 0xFF}},
    };
    for (const PackCase& c : cases) {
        EXPECT_EQ(PasswordExchange::PackPassword(c.text), c.packed) << c.text;
        // The radio's own packing agrees for plain digit strings.
        const std::string text = c.text;
        if (text.find_first_not_of("0123456789") == std::string::npos && text.size() <= 8) {
            EXPECT_EQ(sim::CodeplugResponder::PackDigits(text), c.packed) << c.text;
        }
    }
}

struct SerialCase {
    const char* text;
    int stored;
    std::array<uint8_t, 8> key;
};

TEST(SetSerialKey, HexPairsIntoTheRegister) {
    const SerialCase cases[] = {
        {"123456789ABCDEF0", 8, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0}},
        {"  1a2B \t", 2, {0x1A, 0x2B, 0, 0, 0, 0, 0, 0}},
        {"", 0, {0, 0, 0, 0, 0, 0, 0, 0}},  // no serial number: the register starts at zero
        {"123", 1, {0x12, 0, 0, 0, 0, 0, 0, 0}},
        {"zz9G", 2, {0x00, 0x90, 0, 0, 0, 0, 0, 0}},
        {"00112233445566778899", 8, {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}},
    };
    for (const SerialCase& c : cases) {
        CodeplugTransfer transfer;
        transfer.SetSerialKey("FFFFFFFFFFFFFFFF");  // earlier contents must not survive
        EXPECT_EQ(transfer.SetSerialKey(c.text), c.stored) << c.text;
        EXPECT_EQ(transfer.SerialKey(), c.key) << c.text;
    }
}

struct ExchangeCase {
    const char* name;
    std::string radioPassword;
    std::vector<std::string> answers;
    bool restartNotice;
    int expected;
    int asked;
    int passwordsSent;
};

TEST(PasswordExchange, Cases) {
    const std::string cancel = ScriptedPrompt::kCancel;
    const ExchangeCase cases[] = {
        {"granted at once", "", {}, false, 1, 0, 0},
        {"right the first time", "1234", {"1234"}, false, 1, 1, 1},
        {"right the third time", "1234", {"1111", "2222", "1234"}, false, 1, 3, 3},
        {"three wrong answers", "1234", {"1111", "2222", "3333", "1234"}, false, 0, 3, 3},
        {"cancelled at the first request", "1234", {cancel}, false, 0, 1, 0},
        {"cancelled at the second request", "1234", {"9", cancel}, false, 0, 2, 1},
        {"restart notice skipped", "87654321", {"8765-4321"}, true, 1, 1, 1},
        {"restart notice, no password", "", {}, true, 1, 0, 0},
    };
    for (const ExchangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        sim::RadioConfig config;
        config.codeplug.password = c.radioPassword;
        config.codeplug.restartNotice = c.restartNotice;
        TransferRig rig(config);
        ScriptedPrompt prompt(c.answers);
        PasswordExchange& checker = rig.transfer.PassChecker();
        checker.SetPasswordPrompt(&prompt);

        ASSERT_GT(rig.link.session.SendCode2(0x03, 0x07, nullptr, 0), 0);
        const int64_t start = rig.link.pump.NowMs();
        EXPECT_EQ(checker.Check(), c.expected);
        // A refusal is reported at once, not at the next reply time-out.
        EXPECT_LT(rig.link.pump.NowMs() - start, timing::kCodeplugReplyTimeoutMs);
        EXPECT_EQ(prompt.Asked(), c.asked);
        EXPECT_EQ(rig.Received("03 0C"), c.passwordsSent);
        EXPECT_EQ(rig.Received("03 04"), c.expected == 1 ? 0 : 1);
    }
}

TEST(PasswordExchange, SilentRadioFailsAtTheTimeOutAndEnds) {
    sim::RadioConfig config;
    config.codeplug.silentBlock = 0;
    sim::FaultRule silent;
    silent.code = {0x03, 0x07};
    silent.silent = true;
    config.faults.push_back(silent);
    TransferRig rig(config);
    EXPECT_EQ(rig.transfer.Upload(), -1);
    EXPECT_GE(rig.link.pump.NowMs(), timing::kCodeplugReplyTimeoutMs);
    EXPECT_EQ(rig.Received("03 04"), 1);
}

TEST(PasswordExchange, RefusalEndsTheTransferAtOnce) {
    for (const bool upload : {true, false}) {
        sim::RadioConfig config;
        config.codeplug.password = "42";
        TransferRig rig(config);
        ScriptedPrompt prompt({ScriptedPrompt::kCancel});
        rig.transfer.PassChecker().SetPasswordPrompt(&prompt);
        EXPECT_EQ(upload ? rig.transfer.Upload() : rig.transfer.Download(), 0);
        EXPECT_LT(rig.link.pump.NowMs(), timing::kCodeplugReplyTimeoutMs);
        EXPECT_EQ(rig.Radio().BlocksSent() + rig.Radio().BlocksReceived(), 0);
        EXPECT_FALSE(rig.link.session.Active());
    }
}

}  // namespace
}  // namespace quillon::test
