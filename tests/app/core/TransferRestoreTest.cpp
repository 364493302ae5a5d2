// The reset and restore with the real codeplug transfer against the in-process virtual radio:
// the codeplug it held comes back converted, a password is asked through the view, and the
// console, which asks nobody, leaves a protected codeplug untouched.

#include <gtest/gtest.h>

#include "app/core/RadioRestore.h"
#include "app/core/TransferCodeplugExchange.h"
#include "tests/app/core/CodeplugBytes.h"
#include "tests/app/core/WorkflowFakes.h"
#include "tests/sim/SimProcess.h"
#include "tests/support/InProcessLink.h"

namespace quillon::test {
namespace {

TEST(TransferRestore, TheRadioGetsBackTheConversionOfWhatItHeld) {
    const struct {
        const char* name;
        uint16_t version;
        const char* password;  // the radio's; empty: none
        bool console;
        const char* typed;
        int result;
        const char* given = nullptr;  // the password given beforehand (none: the view asks)
        int asks = -1;                // the view's password prompts, when counted
    } rows[] = {
        {"5.9, no password", 0x0509, "", true, "", kRestoreWritten},
        {"5.8, no password", 0x0508, "", true, "", kRestoreWritten},
        {"password typed in the window", 0x0509, "4711", false, "47-11", kRestoreWritten},
        {"wrong password", 0x0509, "4711", false, "1234", kRestoreUploadFailed},
        {"the console asks nobody", 0x0509, "4711", true, "", kRestoreUploadFailed},
        {"password given beforehand", 0x0509, "4711", true, "", kRestoreWritten, "4711", 0},
        {"wrong password given, offered once", 0x0509, "4711", false, "4711", kRestoreUploadFailed,
         "1234", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        sim::RadioConfig config;
        config.codeplugFormat = {5, 11};
        config.codeplug.image = RadioCodeplug(row.version);
        config.codeplug.password = row.password;
        config.SetHardKey(true);
        InProcessLink link(config);
        std::string error;
        ASSERT_TRUE(link.Connect(error));
        WorkflowView view(row.console);
        view.typed = row.typed;
        ProgressTimer progress(link.pump, view);
        sim::testing::TempDir backups;
        RadioRestore restore(
            link.session, link.pump, view, progress,
            TransferCodeplugExchange::Factory(
                nullptr, row.given ? std::optional<std::string>(row.given) : std::nullopt),
            CodeplugBackup(backups.Path()));
        UpdateRecord record;
        restore.SetRecord(&record);
        link.radio.Restart();
        EXPECT_EQ(restore.ResetRadio(), row.result) << view.transcript;
        if (row.asks >= 0) {
            EXPECT_EQ(view.passwordAsks, row.asks);
        }
        if (row.given != nullptr) {
            // Offered once to the upload, and once more to the download when the upload took it.
            EXPECT_EQ(link.radio.Radio().Codeplug().PasswordsTried(),
                      row.result == kRestoreWritten ? 2 : 1);
        }
        // What the record says of the restore: the backup, or why there is none.
        EXPECT_EQ(record.backup, restore.BackupPath());
        EXPECT_EQ(record.serial.size(), 16u);
        EXPECT_EQ(record.reason.rfind("password required", 0) == 0, row.result != kRestoreWritten)
            << record.reason;
        const auto& radio = link.radio.Radio().Codeplug();
        if (row.result == kRestoreWritten) {
            const std::vector<uint8_t> expected =
                WriteBack(config.codeplug.image, kFormat511, true);
            ASSERT_GE(radio.Memory().size(), expected.size());
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), radio.Memory().begin()));
            EXPECT_EQ(radio.DownloadsCompleted(), 1);
        } else {
            EXPECT_EQ(radio.DownloadsCompleted(), 0);
            EXPECT_TRUE(std::equal(config.codeplug.image.begin(), config.codeplug.image.end(),
                                   radio.Memory().begin()));
        }
    }
}

}  // namespace
}  // namespace quillon::test
