// `quillon-tool codeplug ...`: offline work on codeplug files (check, info, convert,
// verify511), doing to a file exactly what the codeplug restore does to an uploaded image.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "parms/KVTParmsFormat.h"
#include "parms/KVTParmsFormatConvertBase.h"
#include "tools/quillon-tool/CodeplugFile.h"
#include "tools/quillon-tool/CodeplugFormatText.h"
#include "tools/quillon-tool/CodeplugTransferCommand.h"
#include "tools/quillon-tool/ToolCommand.h"

namespace quillon::tool {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;   // the image failed the check or the 5.11 verification
constexpr int kExitRefused = 2;  // unreadable file, malformed image, impossible request

struct CodeplugOptions {
    std::string input;
    std::string output;
    std::string target;
    bool hardKey = false;
};

// Parses "5.N" into a format index; kUnknownFormat when it names no known format.
uint8_t ParseTarget(const std::string& text) {
    const auto dot = text.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 >= text.size() || dot > 3 ||
        text.size() - dot - 1 > 3) {
        return kUnknownFormat;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i != dot && (text[i] < '0' || text[i] > '9')) {
            return kUnknownFormat;
        }
    }
    const int major = std::stoi(text.substr(0, dot));
    const int minor = std::stoi(text.substr(dot + 1));
    if (major > 255 || minor > 255) {
        return kUnknownFormat;
    }
    return KVTParmsFormat::FormatIndexOf(static_cast<uint8_t>(major), static_cast<uint8_t>(minor));
}

bool ReadInput(const std::string& path, CodeplugFile& file) {
    std::string error;
    if (!file.Read(path, error)) {
        std::cerr << "error: " << error << "\n";
        return false;
    }
    return true;
}

// The structure check; prints why an image fails it.
bool CheckOrExplain(const std::string& path, const CodeplugImage& image) {
    std::string reason;
    if (KVTParmsFormat().CheckStructure(image, &reason)) {
        return true;
    }
    std::cerr << path << ": not a well-formed codeplug: " << reason << "\n";
    return false;
}

std::string BlockName(const BlockEntry& block, unsigned groupOrdinal) {
    const unsigned kind = block.ident >> 12;
    switch (block.type) {
        case kHeaderBlock:
            return "header block";
        case kKindBlock:
            return kind == 1 ? "system-kind block, kinds 1 and 3"
                             : "system-kind block, kind " + std::to_string(kind);
        case kSystemBlock:
            return "system " + std::to_string(block.ident & 0xFF) + ", kind " +
                   std::to_string(kind);
        default:
            return "group " + std::to_string(groupOrdinal);
    }
}

int RunCheck(const CodeplugOptions& options) {
    CodeplugFile file;
    if (!ReadInput(options.input, file)) {
        return kExitRefused;
    }
    if (!CheckOrExplain(options.input, file.Image())) {
        return kExitFailed;
    }
    std::cout << options.input << ": well-formed codeplug, format " << FormatText(file.Image())
              << ", " << KVTParmsFormat::TotalLength(file.Image()) << " words\n";
    return kExitOk;
}

int RunInfo(const CodeplugOptions& options) {
    CodeplugFile file;
    if (!ReadInput(options.input, file)) {
        return kExitRefused;
    }
    // The model reads word +2 in the newer layout; images of 5.9 and older store the older one.
    CodeplugImage image = file.Image();
    const uint8_t format = KVTParmsFormat::FormatIndex(image);
    if (KVTParmsFormat::StoresOldListLayout(format)) {
        KVTParmsFormatConvertBase::RelayoutDescriptorCounts(image);
    }
    const uint16_t total = KVTParmsFormat::TotalLength(image);
    std::string reason;
    const bool wellFormed = KVTParmsFormat().CheckStructure(file.Image(), &reason);

    std::ostringstream out;
    out << "file: " << options.input << " (" << file.ByteLength() << " bytes)\n";
    out << "format: " << FormatText(image) << "\n";
    out << "total length: " << total << " words (" << 2u * total
        << " bytes), of which the trailer is " << kTrailerWords << " words\n";
    out << "systems: " << unsigned{KVTParmsFormat::SystemCount(image)}
        << ", groups: " << unsigned{KVTParmsFormat::GroupCount(image)} << "\n";
    out << "structure: " << (wellFormed ? "OK" : "FAILED: " + reason) << "\n";
    out << "blocks:\n";
    unsigned groups = 0;
    const uint32_t bound = total > kTrailerWords ? total - kTrailerWords : 0;
    KVTParmsFormat::WalkBlocks(image, bound, [&](const BlockEntry& block) {
        if (block.type == kGroupBlock) {
            ++groups;
        }
        out << "  word " << block.start << ": " << BlockName(block, groups) << ", " << block.length
            << " words\n";
        const DescriptorList list = KVTParmsFormat::GetDescriptorList(image, block.start);
        for (unsigned t = 0; t < list.count; ++t) {
            const TableInfo info = KVTParmsFormat::GetTable(image, block.start, t);
            if (info.count == 0 && info.size == 0) {
                continue;
            }
            out << "    table " << t << ": " << info.count << " records of " << info.size
                << " words\n";
        }
        return true;
    });
    std::cout << out.str();
    return kExitOk;
}

// The bytes the restore writes back: the uploaded length plus twice the length change, within
// what the buffer holds.
std::size_t DownloadBytes(std::size_t uploaded, int32_t lengthChange) {
    const long long bytes = static_cast<long long>(uploaded) + 2LL * lengthChange;
    if (bytes < 0) {
        return 0;
    }
    if (bytes > static_cast<long long>(CodeplugFile::kMaxBytes)) {
        return CodeplugFile::kMaxBytes;
    }
    return static_cast<std::size_t>(bytes);
}

bool WriteOutput(const CodeplugOptions& options, const CodeplugFile& file, std::size_t bytes) {
    std::string error;
    if (!file.Write(options.output, bytes, error)) {
        std::cerr << "error: " << error << "; nothing written\n";
        return false;
    }
    const uint32_t claimed = 2u * KVTParmsFormat::TotalLength(file.Image());
    if (bytes < claimed) {
        std::cerr << "warning: " << options.output << " holds " << bytes
                  << " bytes, fewer than the " << claimed
                  << " bytes its total length counts (the input was shorter than its image)\n";
    }
    return true;
}

// Runs the 5.11 verification and reports it; true when the image passed.
bool VerifyAndReport(KVTParmsFormat& format, CodeplugImage& image, bool hardKey) {
    if (format.Verify511(image, hardKey)) {
        std::cout << "5.11 verification: passed\n";
        return true;
    }
    std::cout << "5.11 verification: FAILED (repairs kept; the file is written as the restore "
                 "would write it)\n"
              << "This radio needs to be updated with the latest version of TSR.\n";
    return false;
}

int RunConvert(const CodeplugOptions& options) {
    const uint8_t target = ParseTarget(options.target);
    if (target == kUnknownFormat) {
        std::cerr << "error: unknown target format '" << options.target
                  << "'; the conversions reach 5.8 to 5.11\n";
        return kExitRefused;
    }
    if (target < kFormat58) {
        std::cerr << "error: cannot convert to " << options.target
                  << "; the conversions reach 5.8 to 5.11\n";
        return kExitRefused;
    }
    CodeplugFile file;
    if (!ReadInput(options.input, file)) {
        return kExitRefused;
    }
    CodeplugImage& image = file.Image();
    if (!CheckOrExplain(options.input, image)) {
        std::cerr << "refused: nothing converted, nothing written\n";
        return kExitRefused;
    }
    const uint8_t source = KVTParmsFormat::FormatIndex(image);
    if (source == kUnknownFormat || source < kFormat58) {
        std::cerr << "error: a codeplug of format " << FormatText(image)
                  << " cannot be converted; 5.8 or newer is needed\n";
        return kExitRefused;
    }
    if (target < source) {
        std::cerr << "error: cannot convert backwards from " << VersionText(source) << " to "
                  << VersionText(target) << "\n";
        return kExitRefused;
    }

    KVTParmsFormat format;
    if (source < target && !format.ConvertChain(image, source, target)) {
        std::cerr << "error: the converted codeplug does not fit the 65536-byte image; "
                     "nothing written\n";
        return kExitFailed;
    }
    const int32_t change = format.LengthChange();
    bool verified = true;
    if (target == kFormat511) {
        verified = VerifyAndReport(format, image, options.hardKey);
    }
    const std::size_t bytes = DownloadBytes(file.ByteLength(), change);
    if (!WriteOutput(options, file, bytes)) {
        return kExitRefused;
    }
    std::cout << "converted " << VersionText(source) << " to " << VersionText(target)
              << ": length change " << (change > 0 ? "+" : "") << change << " words\n"
              << "wrote " << bytes << " bytes to " << options.output << "\n";
    return verified ? kExitOk : kExitFailed;
}

int RunVerify(const CodeplugOptions& options) {
    CodeplugFile file;
    if (!ReadInput(options.input, file)) {
        return kExitRefused;
    }
    CodeplugImage& image = file.Image();
    if (!CheckOrExplain(options.input, image)) {
        std::cerr << "refused: nothing verified, nothing written\n";
        return kExitRefused;
    }
    if (KVTParmsFormat::FormatIndex(image) != kFormat511) {
        std::cerr << "error: " << options.input << " is format " << FormatText(image)
                  << "; the verification applies to 5.11 (use convert --to 5.11)\n";
        return kExitRefused;
    }
    KVTParmsFormat format;
    const bool verified = VerifyAndReport(format, image, options.hardKey);
    if (!WriteOutput(options, file, file.ByteLength())) {
        return kExitRefused;
    }
    std::cout << "wrote " << file.ByteLength() << " bytes to " << options.output << "\n";
    return verified ? kExitOk : kExitFailed;
}

void AddCodeplugCommand(CLI::App& app, int& exitCode) {
    CLI::App* codeplug =
        app.add_subcommand("codeplug",
                           "Check, inspect, convert and verify codeplug files; read "
                           "and write a radio's codeplug");
    codeplug->require_subcommand(1);
    codeplug->footer(
        "Files hold the bytes as the radio sends them (each word high byte first), at most "
        "65536 bytes.\nExit codes: 0 success; 1 the image failed the check or the 5.11 "
        "verification;\n2 refused (unreadable file, malformed image, impossible conversion, format "
        "mismatch).\n"
        "read/write: 1 when the radio did not answer, refused access or the transfer failed.");
    auto options = std::make_shared<CodeplugOptions>();

    CLI::App* check = codeplug->add_subcommand("check", "Check the structure of a codeplug file");
    check->add_option("FILE", options->input, "codeplug file")->required();
    check->callback([options, &exitCode] { exitCode = RunCheck(*options); });

    CLI::App* info =
        codeplug->add_subcommand("info", "Show format, lengths, blocks and tables of a file");
    info->add_option("FILE", options->input, "codeplug file")->required();
    info->callback([options, &exitCode] { exitCode = RunInfo(*options); });

    CLI::App* convert = codeplug->add_subcommand(
        "convert", "Convert a codeplug file to a newer format, as the restore after an update");
    convert->add_option("--to", options->target, "target format, 5.8 to 5.11")->required();
    convert->add_flag("--hard-key", options->hardKey,
                      "the radio reports a hard key (5.11 verification)");
    convert->add_option("IN", options->input, "codeplug file to convert")->required();
    convert->add_option("OUT", options->output, "where to write the result")->required();
    convert->callback([options, &exitCode] { exitCode = RunConvert(*options); });

    CLI::App* verify = codeplug->add_subcommand(
        "verify511", "Verify and repair a 5.11 codeplug file, as the restore does");
    verify->add_flag("--hard-key", options->hardKey, "the radio reports a hard key");
    verify->add_option("IN", options->input, "5.11 codeplug file")->required();
    verify->add_option("OUT", options->output, "where to write the result")->required();
    verify->callback([options, &exitCode] { exitCode = RunVerify(*options); });

    AddCodeplugTransferCommands(*codeplug, exitCode);
}

[[maybe_unused]] const bool kRegistered = RegisterToolCommand(AddCodeplugCommand);

}  // namespace
}  // namespace quillon::tool
