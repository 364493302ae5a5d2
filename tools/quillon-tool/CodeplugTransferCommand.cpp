// `quillon-tool codeplug read|write --port N|PATH FILE`: the codeplug upload and download of
// the restore, between the radio and a file. A write first reads the radio's codeplug and keeps
// it where the updater keeps its backups.

#include "tools/quillon-tool/CodeplugTransferCommand.h"

#include <array>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "app/core/CodeplugBackup.h"
#include "app/core/GivenPassword.h"
#include "link/MessageCodes.h"
#include "link/ProtocolTiming.h"
#include "parms/CodeplugFormat.h"
#include "storage/CodeplugFile.h"
#include "tools/quillon-tool/CodeplugFormatText.h"
#include "tools/quillon-tool/TerminalPasswordPrompt.h"
#include "tools/quillon-tool/TerminalProgressBar.h"
#include "tools/quillon-tool/ToolCommand.h"
#include "tools/quillon-tool/ToolConnection.h"
#include "tools/quillon-tool/ToolOptions.h"
#include "transfer/CodeplugTransfer.h"

namespace quillon::tool {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;   // the radio did not answer or the transfer failed
constexpr int kExitRefused = 2;  // usage, unreadable or malformed file, format mismatch
constexpr char kUploadError[] = "An error occurred while uploading the codeplug.";
constexpr char kDownloadError[] = "An error occurred while downloading the codeplug.";

using RadioBytes = std::array<uint8_t, TransferBase::kImageBytes>;

struct TransferOptions {
    std::string port;
    std::string file;
    bool force = false;
    bool noBackup = false;
};

// Radio byte order (each word high byte first) to and from the image's host-order words.
void ToWords(const RadioBytes& bytes, CodeplugImage& image) {
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint16_t>((bytes[2 * i] << 8) | bytes[2 * i + 1]);
    }
}

void ToBytes(const CodeplugImage& image, RadioBytes& bytes) {
    for (size_t i = 0; i < image.size(); ++i) {
        bytes[2 * i] = static_cast<uint8_t>(image[i] >> 8);
        bytes[2 * i + 1] = static_cast<uint8_t>(image[i]);
    }
}

// One request and its answer A (data length `dataA`), or 04 20. True with the answer when A
// came.
bool Ask(CommSession& link, uint8_t code, uint8_t answer, int dataA, CommMessage& reply) {
    link.SetTimeout(timing::kQueryTimeoutMs);
    link.SetActive(false);
    link.SendMessage(CommMessage::FromCode(query::kFamily, code));
    link.SetActive(true);
    int which = -1;
    reply =
        link.ReceiveReply(CommMessage::FromCode(query::kFamily, answer), dataA + 2,
                          CommMessage::FromCode(query::kFamily, query::kNotAvailable), 2, which);
    return link.ReplyStatus() == kReplyReceived && which == 0;
}

// The format the radio's firmware expects (04 1C); kUnknownFormat when it gave none.
bool ReadRadioFormat(CommSession& link, uint8_t& major, uint8_t& minor) {
    CommMessage reply;
    if (!Ask(link, query::kFileFormatRequest, query::kFileFormatReply, 2, reply)) {
        return false;
    }
    major = reply.Data[2];
    minor = reply.Data[3];
    return true;
}

// The serial number (04 04) as 16 hexadecimal digits; empty when the radio gave none.
std::string ReadSerialText(CommSession& link) {
    CommMessage reply;
    if (!Ask(link, query::kSerialNumberRequest, query::kSerialNumberReply, 8, reply)) {
        return {};
    }
    std::string text;
    for (int i = 2; i < 10; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", reply.Data[i]);
        text += pair;
    }
    return text;
}

// Why a transfer failed, after its first line: a refused password, or a radio that sent nothing
// at all after the start message (where `hint` says what to check).
void ExplainFailure(const CodeplugTransfer& transfer, int result, const std::string& hint) {
    if (result == 0) {
        std::cerr << "Access to the codeplug was not granted.\n";
    } else if (!transfer.RadioAnswered() && !ToolCancel().Cancelled()) {
        std::cerr << hint << "\n";
    }
}

// The terminal's prompt behind a password given beforehand: the one the radio accepted for the
// backup read answers the write's first request; the technician is asked only when there is
// none or the radio refused it.
class SessionPasswordPrompt : public PasswordPrompt {
public:
    explicit SessionPasswordPrompt(std::optional<std::string> given) : given_(std::move(given)) {}

    bool Ask(std::string& password) override {
        if (!given_.Offer(password) && !terminal_.Ask(password)) {
            return false;
        }
        lastGiven_ = password;
        return true;
    }
    // The last password given to the radio: after a transfer it granted, the one it accepted.
    const std::optional<std::string>& LastGiven() const { return lastGiven_; }

private:
    GivenPassword given_;
    TerminalPasswordPrompt terminal_;
    std::optional<std::string> lastGiven_;
};

// The transfer set up on a connection, with the terminal's prompt and progress bar.
struct TransferSetup {
    TransferSetup(CommSession& link, const EventPump& pump, RadioBytes& bytes, int32_t length,
                  std::optional<std::string> password = std::nullopt)
        : prompt(std::move(password)), bar(pump) {
        link.SetTimeout(timing::kCodeplugReplyTimeoutMs);
        transfer.SetBuffer(bytes, length);
        transfer.SetDevice(link);
        transfer.SetCancelFlag(&ToolCancel());
        transfer.SetProgress(&bar);
        transfer.PassChecker().SetPasswordPrompt(&prompt);
    }
    SessionPasswordPrompt prompt;
    TerminalProgressBar bar;
    CodeplugTransfer transfer;
};

int RunRead(const TransferOptions& options) {
    // The whole codeplug takes a while to read: a file that cannot be written is refused first.
    std::string error;
    if (!CodeplugFile::CheckWritable(options.file, error)) {
        std::cerr << "error: " << error << "; nothing read from the radio\n";
        return kExitRefused;
    }
    ToolConnection connection(options.port);
    connection.Session().SetCancelFlag(&ToolCancel());
    if (const int failed = connection.Open(true, std::cerr)) {
        return failed;
    }
    auto bytes = std::make_unique<RadioBytes>();
    bytes->fill(0);
    TransferSetup setup(connection.Session(), connection.Pump(), *bytes, 0);
    const int result = setup.transfer.Upload();
    setup.bar.Finish();
    if (result <= 0) {
        std::cerr << kUploadError << "\n";
        ExplainFailure(setup.transfer, result, connection.NoAnswerHint());
        return kExitFailed;
    }
    const int32_t length = setup.transfer.Length();
    CodeplugFile file;
    ToWords(*bytes, file.Image());
    if (!file.Write(options.file, static_cast<size_t>(length), error)) {
        std::cerr << "error: " << error << "; nothing written\n";
        return kExitRefused;
    }
    std::cout << "read codeplug: format " << FormatText(file.Image()) << ", " << length
              << " bytes, written to " << options.file << "\n";
    // What the radio sent is kept as sent (it may be all there is), but it is no codeplug to
    // restore: erased memory reads this way.
    std::string reason;
    if (!CodeplugFormat().CheckStructure(file.Image(), &reason)) {
        std::cerr << options.file << ": the radio's memory holds no well-formed codeplug ("
                  << reason << "); the " << length
                  << " bytes read are kept in the file, but it cannot be written back\n";
        return kExitFailed;
    }
    return kExitOk;
}

// Reads the radio's codeplug and saves it as the updater does before it writes one back.
// 0 with `path` set to the backup and `password` to the one the radio accepted, if it asked;
// otherwise the exit code, the reason written to stderr.
int BackUpRadioCodeplug(CommSession& link, const EventPump& pump, const std::string& serial,
                        std::string& path, std::optional<std::string>& password) {
    auto bytes = std::make_unique<RadioBytes>();
    bytes->fill(0);
    std::cout << "reading the radio's codeplug for a backup\n";
    int32_t length = 0;
    {
        TransferSetup setup(link, pump, *bytes, 0);
        const int result = setup.transfer.Upload();
        setup.bar.Finish();
        length = setup.transfer.Length();
        password = setup.prompt.LastGiven();
        if (result <= 0 || length <= 0) {
            std::cerr << kUploadError << "\n";
            if (result == 0) {
                std::cerr << "Access to the codeplug was not granted.\n";
            }
            std::cerr << "No backup of the radio's codeplug; nothing written (--no-backup writes "
                         "without one)\n";
            return kExitFailed;
        }
    }
    std::string error;
    const CodeplugBackup backup(CodeplugBackup::DefaultFolder());
    if (!backup.Save(bytes->data(), static_cast<size_t>(length), serial, path, error)) {
        std::cerr << "The radio's codeplug could not be saved (" << error
                  << "); nothing written (--no-backup writes without a backup)\n";
        return kExitFailed;
    }
    std::cout << "radio's codeplug (" << length << " bytes) saved to " << path << "\n";
    return kExitOk;
}

int RunWrite(const TransferOptions& options) {
    CodeplugFile file;
    std::string error;
    if (!file.Read(options.file, error)) {
        std::cerr << "error: " << error << "\n";
        return kExitRefused;
    }
    std::string reason;
    if (!CodeplugFormat().CheckStructure(file.Image(), &reason)) {
        std::cerr << options.file << ": not a well-formed codeplug: " << reason
                  << "\nrefused: nothing written to the radio\n";
        return kExitRefused;
    }
    // Header word 4 counts the image's words: a file that ends before it lacks its trailer, and
    // the radio would get filler in its place.
    const size_t ownLength = 2u * CodeplugFormat::TotalLength(file.Image());
    if (file.ByteLength() < ownLength) {
        std::cerr << options.file << ": the file ends after " << file.ByteLength() << " of its "
                  << ownLength << " bytes\nrefused: nothing written to the radio\n";
        return kExitRefused;
    }
    // The backup is written after the radio's whole codeplug has been read: a folder it cannot
    // go to is refused first.
    if (!options.noBackup && !CodeplugBackup(CodeplugBackup::DefaultFolder()).Ready(error)) {
        std::cerr << "No backup of the radio's codeplug can be saved (" << error
                  << "); nothing read or written (--no-backup writes without a backup)\n";
        return kExitRefused;
    }
    ToolConnection connection(options.port);
    connection.Session().SetCancelFlag(&ToolCancel());
    if (const int failed = connection.Open(true, std::cerr)) {
        return failed;
    }
    CommSession& link = connection.Session();
    uint8_t major = 0;
    uint8_t minor = 0;
    if (!ReadRadioFormat(link, major, minor)) {
        std::cerr << "The radio did not report its codeplug format.\n"
                  << connection.NoAnswerHint() << "\n";
        return kExitFailed;
    }
    const uint8_t fileFormat = CodeplugFormat::FormatIndex(file.Image());
    if (fileFormat != CodeplugFormat::FormatIndexOf(major, minor)) {
        std::cerr << "The radio expects codeplug format " << unsigned{major} << "."
                  << unsigned{minor} << "; " << options.file << " is format "
                  << FormatText(file.Image()) << ".\n";
        if (!options.force) {
            std::cerr << "refused: nothing written to the radio (--force writes it anyway)\n";
            return kExitRefused;
        }
    }
    // Blocks are scrambled from the serial number; without it the radio would store garbage.
    const std::string serial = ReadSerialText(link);
    if (serial.empty()) {
        std::cerr << "The radio did not report its serial number; nothing written.\n";
        return kExitFailed;
    }
    std::optional<std::string> password;
    if (!options.noBackup) {
        std::string backupPath;
        if (const int failed =
                BackUpRadioCodeplug(link, connection.Pump(), serial, backupPath, password)) {
            return failed;
        }
    }
    auto bytes = std::make_unique<RadioBytes>();
    ToBytes(file.Image(), *bytes);
    const auto length = static_cast<int32_t>(file.ByteLength());
    TransferSetup setup(link, connection.Pump(), *bytes, length, password);
    setup.transfer.SetSerialKey(serial);
    const int result = setup.transfer.Download();
    setup.bar.Finish();
    if (result <= 0) {
        std::cerr << kDownloadError << "\n";
        ExplainFailure(setup.transfer, result, connection.NoAnswerHint());
        return kExitFailed;
    }
    std::cout << "wrote codeplug: format " << FormatText(file.Image()) << ", " << length
              << " bytes from " << options.file << "\n";
    return kExitOk;
}

}  // namespace

void AddCodeplugTransferCommands(CLI::App& codeplug, int& exitCode) {
    auto options = std::make_shared<TransferOptions>();

    CLI::App* read = codeplug.add_subcommand(
        "read", "Back up the radio's codeplug to a file (asks for its password if it has one)");
    AddPortOption(*read, options->port);
    read->add_option("OUT", options->file, "file to write (replaced only when complete)")
        ->required();
    read->callback([options, &exitCode] { exitCode = RunRead(*options); });

    CLI::App* write = codeplug.add_subcommand(
        "write",
        "Write a codeplug file into the radio, after saving the radio's own codeplug where the "
        "updater keeps its backups (asks for its password if it has one)");
    AddPortOption(*write, options->port);
    write->add_flag("--force", options->force,
                    "write even when the file's format is not the one the radio reports");
    write->add_flag("--no-backup", options->noBackup,
                    "do not read and save the radio's codeplug first (for one already backed up)");
    write->add_option("IN", options->file, "codeplug file to write")->required();
    write->callback([options, &exitCode] { exitCode = RunWrite(*options); });
}

}  // namespace quillon::tool
