// `quillon-tool codeplug ...`: offline work on codeplug files (check, info, convert,
// verify511, sample), doing to a file exactly what the codeplug restore does to an uploaded image.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "parms/CodeplugConverter.h"
#include "parms/CodeplugFormat.h"
#include "parms/CodeplugRestorePlan.h"
#include "parms/sample/CodeplugGenerator.h"
#include "storage/CodeplugFile.h"
#include "tools/quillon-tool/CodeplugFormatText.h"
#include "tools/quillon-tool/CodeplugInfoJson.h"
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
    bool json = false;
    uint32_t seed = 1;
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
    return CodeplugFormat::FormatIndexOf(static_cast<uint8_t>(major), static_cast<uint8_t>(minor));
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
    if (CodeplugFormat().CheckStructure(image, &reason)) {
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
              << ", " << CodeplugFormat::TotalLength(file.Image()) << " words\n";
    return kExitOk;
}

int RunInfo(const CodeplugOptions& options) {
    CodeplugFile file;
    if (!ReadInput(options.input, file)) {
        return kExitRefused;
    }
    // Lengths, blocks and tables mean something only in a well-formed image.
    if (!CheckOrExplain(options.input, file.Image())) {
        return kExitRefused;
    }
    // The model reads word +2 in the newer layout; images of 5.9 and older store the older one.
    CodeplugImage image = file.Image();
    const uint8_t format = CodeplugFormat::FormatIndex(image);
    if (CodeplugFormat::StoresOldListLayout(format)) {
        CodeplugConverter::RelayoutDescriptorCounts(image);
    }
    if (options.json) {
        std::cout << CodeplugInfoJson(options.input, file.ByteLength(), image, BlockName).dump()
                  << "\n";
        return kExitOk;
    }
    const uint16_t total = CodeplugFormat::TotalLength(image);
    const std::size_t imageBytes = 2u * std::size_t{total};

    std::ostringstream out;
    out << "file: " << options.input << " (" << file.ByteLength() << " bytes)\n";
    out << "format: " << FormatText(image) << "\n";
    out << "total length: " << total << " words (" << imageBytes
        << " bytes), of which the trailer is " << kTrailerWords << " words\n";
    if (file.ByteLength() < imageBytes) {
        out << "note: the file ends " << imageBytes - file.ByteLength()
            << " bytes before the total length; the missing words read as zero\n";
    } else if (file.ByteLength() > imageBytes) {
        out << "note: the file holds " << file.ByteLength() - imageBytes
            << " bytes after the total length\n";
    }
    out << "systems: " << unsigned{CodeplugFormat::SystemCount(image)}
        << ", groups: " << unsigned{CodeplugFormat::GroupCount(image)} << "\n";
    out << "structure: OK\n";
    out << "blocks:\n";
    unsigned groups = 0;
    const uint32_t bound = total > kTrailerWords ? total - kTrailerWords : 0;
    CodeplugFormat::WalkBlocks(image, bound, [&](const BlockEntry& block) {
        if (block.type == kGroupBlock) {
            ++groups;
        }
        out << "  word " << block.start << ": " << BlockName(block, groups) << ", " << block.length
            << " words\n";
        const DescriptorList list = CodeplugFormat::GetDescriptorList(image, block.start);
        for (unsigned t = 0; t < list.count; ++t) {
            const TableInfo info = CodeplugFormat::GetTable(image, block.start, t);
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

bool WriteOutput(const CodeplugOptions& options, const CodeplugFile& file, std::size_t bytes) {
    std::string error;
    if (!file.Write(options.output, bytes, error)) {
        std::cerr << "error: " << error << "; nothing written\n";
        return false;
    }
    const uint32_t claimed = 2u * CodeplugFormat::TotalLength(file.Image());
    if (bytes < claimed) {
        std::cerr << "warning: " << options.output << " holds " << bytes
                  << " bytes, fewer than the " << claimed
                  << " bytes its total length counts (the input was shorter than its image)\n";
    }
    return true;
}

void ReportVerification(bool passed) {
    if (passed) {
        std::cout << "5.11 verification: passed\n";
        return;
    }
    std::cout << "5.11 verification: FAILED (repairs kept; the file is written as the restore "
                 "would write it)\n"
              << "This radio needs to be updated with the latest version of TSR.\n";
}

// The 5.11 verification keeps the hard-key record exactly when the radio has a hard key: a
// record it adds or removes is said, with the option that decides it.
void ReportHardKey(const CodeplugRestoreResult& plan) {
    if (plan.hardKeyChange > 0) {
        std::cout << "hard-key record added to header table 7 (--hard-key: the radio has a hard "
                     "key)\n";
    } else if (plan.hardKeyChange < 0) {
        std::cout << "hard-key record removed from header table 7 (no --hard-key: the radio has "
                     "no hard key; give --hard-key to keep it)\n";
    }
}

std::string Signed(int32_t value) {
    return (value > 0 ? "+" : "") + std::to_string(value);
}

int RunConvert(const CodeplugOptions& options) {
    const uint8_t target = ParseTarget(options.target);
    if (target == kUnknownFormat || target < kFormat58) {
        std::cerr << "error: unknown target format '" << options.target
                  << "'; the conversions reach 5.8 to 5.11\n";
        return kExitRefused;
    }
    CodeplugFile file;
    if (!ReadInput(options.input, file)) {
        return kExitRefused;
    }
    const CodeplugRestoreResult plan =
        CodeplugRestorePlan().Run(file.Image(), file.ByteLength(), target, options.hardKey);
    switch (plan.refusal) {
        case RestoreRefusal::None:
            break;
        case RestoreRefusal::Malformed:
            std::cerr << options.input << ": " << plan.reason
                      << "\nrefused: nothing converted, nothing written\n";
            return kExitRefused;
        case RestoreRefusal::Outgrown:
        case RestoreRefusal::BadLength:
            std::cerr << "error: " << plan.reason << "; nothing written\n";
            return kExitFailed;
        default:
            std::cerr << "error: " << plan.reason << "\n";
            return kExitRefused;
    }
    if (target == kFormat511) {
        ReportVerification(plan.verified);
        ReportHardKey(plan);
    }
    if (!WriteOutput(options, file, plan.downloadBytes)) {
        return kExitRefused;
    }
    std::cout << "converted " << VersionText(plan.sourceFormat) << " to " << VersionText(target)
              << ": length change " << Signed(plan.LengthChange()) << " words";
    if (plan.verifyChange != 0) {
        std::cout << " (" << Signed(plan.verifyChange) << " by the 5.11 verification)";
    }
    std::cout << "\nwrote " << plan.downloadBytes << " bytes to " << options.output << "\n";
    return plan.verified ? kExitOk : kExitFailed;
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
    if (CodeplugFormat::FormatIndex(image) != kFormat511) {
        std::cerr << "error: " << options.input << " is format " << FormatText(image)
                  << "; the verification applies to 5.11 (use convert --to 5.11)\n";
        return kExitRefused;
    }
    const CodeplugRestoreResult plan =
        CodeplugRestorePlan().Run(image, file.ByteLength(), kFormat511, options.hardKey);
    if (!plan.Ok()) {
        std::cerr << "error: " << plan.reason << "; nothing written\n";
        return kExitFailed;
    }
    ReportVerification(plan.verified);
    ReportHardKey(plan);
    if (!WriteOutput(options, file, plan.downloadBytes)) {
        return kExitRefused;
    }
    std::cout << "wrote " << plan.downloadBytes << " bytes to " << options.output << "\n";
    return plan.verified ? kExitOk : kExitFailed;
}

std::string Count(std::size_t n, const std::string& noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

// Writes an example codeplug of the requested format: a generated 5.8, 5.9 or 5.10 image, or
// for 5.11 a generated 5.10 image taken through the restore's conversion and verification.
int RunSample(const CodeplugOptions& options) {
    const uint8_t target = ParseTarget(options.target);
    if (target == kUnknownFormat || target < kFormat58 || target > kFormat511) {
        std::cerr << "error: unknown format '" << options.target
                  << "'; samples are made in 5.8, 5.9, 5.10 and 5.11\n";
        return kExitRefused;
    }
    sample::GeneratorOptions generatorOptions;
    generatorOptions.formatIndex = std::min(target, kFormat510);
    generatorOptions.size = sample::ImageSize::Small;
    const sample::GeneratedImage generated =
        sample::CodeplugGenerator(options.seed).Generate(generatorOptions);

    CodeplugFile file;
    std::copy(generated.words.begin(), generated.words.end(), file.Image().begin());
    std::size_t bytes = 2u * generated.totalLength;
    if (target == kFormat511) {
        const CodeplugRestoreResult plan =
            CodeplugRestorePlan().Run(file.Image(), bytes, kFormat511, options.hardKey);
        if (!plan.Ok() || !plan.verified) {
            std::cerr << "error: the sample did not convert to 5.11: " << plan.reason << "\n";
            return kExitFailed;
        }
        bytes = plan.downloadBytes;
    }
    if (!WriteOutput(options, file, bytes)) {
        return kExitRefused;
    }
    std::cout << "wrote " << bytes << " bytes to " << options.output << ": a "
              << VersionText(target) << " codeplug with "
              << Count(generated.systemKinds.size(), "system") << " and "
              << Count(generated.groupCount, "group") << " (seed " << options.seed << ")\n";
    return kExitOk;
}

void AddCodeplugCommand(CLI::App& app, int& exitCode) {
    CLI::App* codeplug =
        app.add_subcommand("codeplug",
                           "Check, inspect, convert and verify codeplug files; read "
                           "and write a radio's codeplug");
    codeplug->require_subcommand(1);
    codeplug->footer(
        "Files hold the bytes as the radio sends them (each word high byte first), at most "
        "65536 bytes.\n" +
        ExitCodesFooter("codeplug: 1 check or verify511 found the image faulty; read or write: the "
                        "radio did not answer,\nrefused access or the transfer failed. 2 an "
                        "unreadable or malformed file, an impossible conversion,\na format "
                        "mismatch."));
    auto options = std::make_shared<CodeplugOptions>();

    CLI::App* check = codeplug->add_subcommand("check", "Check the structure of a codeplug file");
    check->add_option("FILE", options->input, "codeplug file")->required();
    check->callback([options, &exitCode] { exitCode = RunCheck(*options); });

    CLI::App* info =
        codeplug->add_subcommand("info", "Show format, lengths, blocks and tables of a file");
    info->add_option("FILE", options->input, "codeplug file")->required();
    info->add_flag("--json", options->json, "print the findings as one JSON object");
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

    CLI::App* sample = codeplug->add_subcommand(
        "sample", "Write a well-formed example codeplug to try the other commands on");
    sample->add_option("--format", options->target, "format: 5.8, 5.9, 5.10 or 5.11")->required();
    sample->add_option("--seed", options->seed, "another seed gives another example (default 1)");
    sample->add_flag("--hard-key", options->hardKey,
                     "a 5.11 sample made for a radio with a hard key");
    sample->add_option("OUT", options->output, "where to write the example")->required();
    sample->callback([options, &exitCode] { exitCode = RunSample(*options); });
    AddCodeplugTransferCommands(*codeplug, exitCode);
}

[[maybe_unused]] const bool kRegistered = RegisterToolCommand(AddCodeplugCommand);

}  // namespace
}  // namespace quillon::tool
