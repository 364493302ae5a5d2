// quillon-tool codeplug check / info / convert / verify511, run as a technician runs them.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "parms/CodeplugFormat.h"
#include "tests/parms/support/CodeplugGenerator.h"
#include "tests/parms/support/CodeplugMap.h"
#include "tests/tools/codeplug/ToolRunner.h"

namespace quillon {
namespace {

using testkit::CodeplugGenerator;
using testkit::GeneratedImage;
using tooltest::ToolResult;
using tooltest::ToolRunner;

GeneratedImage MakeImage(uint8_t formatIndex, uint32_t seed = 11,
                         testkit::ImageSize size = testkit::ImageSize::Small) {
    CodeplugGenerator generator(seed);
    testkit::GeneratorOptions options;
    options.formatIndex = formatIndex;
    options.size = size;
    return generator.Generate(options);
}

std::vector<uint8_t> BytesOf(const GeneratedImage& image) {
    return testkit::ToRadioBytes(image.words, image.totalLength);
}

// What the restore does with an uploaded image of `bytes`: convert to `target`, verify a 5.11
// image, and return the bytes it downloads: the uploaded length plus every change of the total
// length, the verification's hard-key insert or delete included. `change` receives that change.
std::vector<uint8_t> RestoreBytes(const std::vector<uint8_t>& bytes, uint8_t target, bool hardKey,
                                  int32_t* change = nullptr) {
    const std::vector<uint16_t> words = testkit::FromRadioBytes(bytes);
    auto image = std::make_unique<CodeplugImage>();
    std::copy(words.begin(), words.end(), image->begin());
    CodeplugFormat format;
    const uint8_t source = CodeplugFormat::FormatIndex(*image);
    if (source < target) {
        EXPECT_TRUE(format.ConvertChain(*image, source, target));
    }
    int32_t total = format.LengthChange();
    if (target == kFormat511) {
        const int32_t before = (*image)[4];
        format.Verify511(*image, hardKey);
        total += int32_t{(*image)[4]} - before;
    }
    if (change != nullptr) {
        *change = total;
    }
    const std::vector<uint16_t> result(image->begin(), image->end());
    std::vector<uint8_t> out = testkit::ToRadioBytes(result, result.size());
    out.resize(static_cast<std::size_t>(static_cast<int64_t>(bytes.size()) + 2 * int64_t{total}));
    return out;
}

class CodeplugCommand : public ::testing::Test {
protected:
    ToolRunner tool;
};

TEST_F(CodeplugCommand, CheckAcceptsWellFormedImagesOfEveryFormat) {
    for (uint8_t f = kFormat58; f <= kFormat510; ++f) {
        const GeneratedImage image = MakeImage(f, 20 + f);
        tool.WriteFile("in.cpl", BytesOf(image));
        const ToolResult r = tool.Run({"codeplug", "check", tool.Path("in.cpl")});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.out.find("format 5." + std::to_string(f + 5)), std::string::npos) << r.out;
    }
}

TEST_F(CodeplugCommand, CheckReadsAShortFileAsZeroPadded) {
    // A file that ends inside the trailer still holds every block.
    std::vector<uint8_t> bytes = BytesOf(MakeImage(kFormat59));
    bytes.resize(bytes.size() - 2 * 100);
    tool.WriteFile("short.cpl", bytes);
    const ToolResult r = tool.Run({"codeplug", "check", tool.Path("short.cpl")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST_F(CodeplugCommand, CheckRejectsDamagedImagesWithTheReason) {
    const GeneratedImage image = MakeImage(kFormat58);
    const testkit::CodeplugMap map = testkit::MapCodeplug(image.words.data(), true);
    ASSERT_GE(map.blocks.size(), 3u);

    std::vector<uint8_t> noMarker = BytesOf(image);
    noMarker[2 * map.blocks[2].start] = 0;  // second block's marker
    tool.WriteFile("marker.cpl", noMarker);
    ToolResult r = tool.Run({"codeplug", "check", tool.Path("marker.cpl")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("not a well-formed codeplug: "), std::string::npos) << r.err;
    EXPECT_GT(r.err.size(), std::string("not a well-formed codeplug: \n").size() + 10);

    std::vector<uint8_t> noSystems = BytesOf(image);
    noSystems[2 * 14 + 1] = 0;  // header word 14: no system blocks
    tool.WriteFile("count.cpl", noSystems);
    r = tool.Run({"codeplug", "check", tool.Path("count.cpl")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.err.empty());
}

TEST_F(CodeplugCommand, RefusesFilesLargerThanAnImage) {
    tool.WriteFile("big.cpl", std::vector<uint8_t>(65537, 0x5F));
    for (const char* command : {"check", "info"}) {
        const ToolResult r = tool.Run({"codeplug", command, tool.Path("big.cpl")});
        EXPECT_EQ(r.exitCode, 2) << command;
        EXPECT_NE(r.err.find("larger than a codeplug image"), std::string::npos) << r.err;
    }
    const ToolResult r = tool.Run(
        {"codeplug", "convert", "--to", "5.11", tool.Path("big.cpl"), tool.Path("out.cpl")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(tool.Exists("out.cpl"));

    tool.WriteFile("full.cpl", BytesOf(MakeImage(kFormat58)));
    std::vector<uint8_t> full = tool.ReadFile("full.cpl");
    full.resize(65536, 0);
    tool.WriteFile("full.cpl", full);
    EXPECT_EQ(tool.Run({"codeplug", "check", tool.Path("full.cpl")}).exitCode, 0);
}

TEST_F(CodeplugCommand, InfoListsFormatLengthsBlocksAndTables) {
    const GeneratedImage image = MakeImage(kFormat59, 5);
    tool.WriteFile("in.cpl", BytesOf(image));
    const ToolResult r = tool.Run({"codeplug", "info", tool.Path("in.cpl")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("format: 5.9\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("total length: " + std::to_string(image.totalLength) + " words"),
              std::string::npos);
    EXPECT_NE(r.out.find("structure: OK"), std::string::npos);
    for (std::size_t id = 1; id <= image.systemKinds.size(); ++id) {
        const std::string line =
            "system " + std::to_string(id) + ", kind " + std::to_string(image.systemKinds[id - 1]);
        EXPECT_NE(r.out.find(line), std::string::npos) << line;
    }
    for (unsigned n = 1; n <= image.groupCount; ++n) {
        EXPECT_NE(r.out.find("group " + std::to_string(n) + ","), std::string::npos) << n;
    }
    // Read in the older word +2 layout of 5.9: header table 4 holds 16 records of 5 words.
    EXPECT_NE(r.out.find("table 4: 16 records of 5 words"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("table 3: 16 records of 1 words"), std::string::npos);
}

TEST_F(CodeplugCommand, ConvertWritesWhatTheRestoreWouldDownload) {
    struct Case {
        uint8_t from;
        const char* to;
        uint8_t target;
        bool hardKey;
    };
    const Case cases[] = {{kFormat58, "5.11", kFormat511, false},
                          {kFormat58, "5.11", kFormat511, true},
                          {kFormat59, "5.10", kFormat510, false},
                          {kFormat510, "5.11", kFormat511, true},
                          {kFormat58, "5.9", kFormat59, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from + 5) + " to " + c.to);
        std::vector<uint8_t> input = BytesOf(MakeImage(c.from, 40 + c.from));
        input.resize(input.size() + 300, 0);  // the upload may hold more than the image
        tool.WriteFile("in.cpl", input);
        std::vector<std::string> args = {"codeplug", "convert", "--to", c.to};
        if (c.hardKey) {
            args.push_back("--hard-key");
        }
        args.push_back(tool.Path("in.cpl"));
        args.push_back(tool.Path("out.cpl"));
        const ToolResult r = tool.Run(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;

        int32_t change = 0;
        const std::vector<uint8_t> expected = RestoreBytes(input, c.target, c.hardKey, &change);
        const std::vector<uint8_t> written = tool.ReadFile("out.cpl");
        EXPECT_EQ(written.size(), input.size() + 2 * static_cast<std::size_t>(change));
        EXPECT_TRUE(written == expected);
        EXPECT_EQ(2u * testkit::FromRadioBytes(written)[4] + 300, written.size());
        EXPECT_NE(r.out.find("length change +" + std::to_string(change) + " words"),
                  std::string::npos)
            << r.out;
        EXPECT_EQ(tool.ReadFile("in.cpl"), input);

        const ToolResult check = tool.Run({"codeplug", "check", tool.Path("out.cpl")});
        EXPECT_EQ(check.exitCode, 0) << check.err;
        EXPECT_NE(check.out.find(std::string("format ") + c.to), std::string::npos);
    }
    EXPECT_EQ(tool.List(), (std::vector<std::string>{"in.cpl", "out.cpl"}));
}

TEST_F(CodeplugCommand, ConvertToTheSameFormatWritesTheInputUnchanged) {
    const std::vector<uint8_t> input = BytesOf(MakeImage(kFormat59));
    tool.WriteFile("in.cpl", input);
    const ToolResult r =
        tool.Run({"codeplug", "convert", "--to", "5.9", tool.Path("in.cpl"), tool.Path("out.cpl")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(tool.ReadFile("out.cpl"), input);
    EXPECT_NE(r.out.find("length change 0 words"), std::string::npos) << r.out;
}

TEST_F(CodeplugCommand, ConvertRefusesDamagedImagesAndImpossibleTargets) {
    const GeneratedImage image = MakeImage(kFormat510);
    std::vector<uint8_t> damaged = BytesOf(image);
    damaged[2 * 4] ^= 0x01;  // total length off by 256 words
    tool.WriteFile("bad.cpl", damaged);
    tool.WriteFile("good.cpl", BytesOf(image));
    const std::vector<uint8_t> previous = {1, 2, 3};
    tool.WriteFile("out.cpl", previous);

    ToolResult r = tool.Run(
        {"codeplug", "convert", "--to", "5.11", tool.Path("bad.cpl"), tool.Path("out.cpl")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("not a well-formed codeplug"), std::string::npos) << r.err;
    EXPECT_EQ(tool.ReadFile("out.cpl"), previous);

    // Converting in place: a refusal leaves the input as it was.
    r = tool.Run(
        {"codeplug", "convert", "--to", "5.11", tool.Path("bad.cpl"), tool.Path("bad.cpl")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(tool.ReadFile("bad.cpl"), damaged);

    r = tool.Run(
        {"codeplug", "convert", "--to", "5.9", tool.Path("good.cpl"), tool.Path("out.cpl")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("backwards from 5.10 to 5.9"), std::string::npos) << r.err;

    for (const char* target : {"5.12", "6.0", "5", "five", "5.7", "5.-1"}) {
        r = tool.Run(
            {"codeplug", "convert", "--to", target, tool.Path("good.cpl"), tool.Path("out.cpl")});
        EXPECT_EQ(r.exitCode, 2) << target;
        EXPECT_NE(r.err.find(target), std::string::npos) << r.err;
    }
    EXPECT_EQ(tool.ReadFile("out.cpl"), previous);
    EXPECT_EQ(tool.List(), (std::vector<std::string>{"bad.cpl", "good.cpl", "out.cpl"}));
}

TEST_F(CodeplugCommand, ConvertInPlaceReplacesTheInput) {
    const std::vector<uint8_t> input = BytesOf(MakeImage(kFormat510, 3));
    tool.WriteFile("plug.cpl", input);
    const ToolResult r = tool.Run(
        {"codeplug", "convert", "--to", "5.11", tool.Path("plug.cpl"), tool.Path("plug.cpl")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(tool.ReadFile("plug.cpl"), RestoreBytes(input, kFormat511, false));
}

TEST_F(CodeplugCommand, Verify511RepairsAFiveElevenImageOnly) {
    const std::vector<uint8_t> source = BytesOf(MakeImage(kFormat510, 8));
    tool.WriteFile("in.cpl", source);
    ASSERT_EQ(tool.Run({"codeplug", "convert", "--to", "5.11", tool.Path("in.cpl"),
                        tool.Path("plug511.cpl")})
                  .exitCode,
              0);
    const std::vector<uint8_t> plug = tool.ReadFile("plug511.cpl");

    // Without a hard key header table 7 ends empty; with one it gets its one-word record, and
    // the file grows by that word.
    ToolResult r =
        tool.Run({"codeplug", "verify511", tool.Path("plug511.cpl"), tool.Path("unkeyed.cpl")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(testkit::FromRadioBytes(tool.ReadFile("unkeyed.cpl"))[92] >> 8, 0);
    r = tool.Run(
        {"codeplug", "verify511", "--hard-key", tool.Path("unkeyed.cpl"), tool.Path("keyed.cpl")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("passed"), std::string::npos);
    const std::vector<uint8_t> keyed = tool.ReadFile("keyed.cpl");
    ASSERT_EQ(keyed.size(), plug.size() + 2);
    const std::vector<uint16_t> words = testkit::FromRadioBytes(keyed);
    auto image = std::make_unique<CodeplugImage>();
    std::copy(words.begin(), words.end(), image->begin());
    EXPECT_EQ((*image)[92], 0x0101);
    const uint16_t headerEnd = CodeplugFormat::BlockLength(*image, uint16_t{0});
    EXPECT_EQ((*image)[headerEnd - 1u], 0x8000);

    r = tool.Run({"codeplug", "verify511", tool.Path("in.cpl"), tool.Path("never.cpl")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("format 5.10"), std::string::npos) << r.err;
    EXPECT_FALSE(tool.Exists("never.cpl"));
}

TEST_F(CodeplugCommand, AFailedWriteLeavesNoFileBehind) {
    tool.WriteFile("in.cpl", BytesOf(MakeImage(kFormat58)));
    const ToolResult r = tool.Run({"codeplug", "convert", "--to", "5.10", tool.Path("in.cpl"),
                                   tool.Path("no-such-folder/out.cpl")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("nothing written"), std::string::npos) << r.err;
    EXPECT_EQ(tool.List(), std::vector<std::string>{"in.cpl"});
}

TEST_F(CodeplugCommand, VerificationInsertsAndDeletesAreWrittenBack) {
    // The hard-key record grows the image by one word and its removal shrinks it by one; the
    // file written holds exactly the image either way, so its trailer is never cut.
    tool.WriteFile("in.cpl", BytesOf(MakeImage(kFormat510, 12)));
    ASSERT_EQ(tool.Run({"codeplug", "convert", "--to", "5.11", tool.Path("in.cpl"),
                        tool.Path("plain.cpl")})
                  .exitCode,
              0);
    std::vector<uint8_t> exact = tool.ReadFile("plain.cpl");
    exact.resize(2u * testkit::FromRadioBytes(exact)[4]);
    tool.WriteFile("exact.cpl", exact);

    struct Step {
        const char* from;
        const char* to;
        bool hardKey;
        std::ptrdiff_t growth;
        const char* says;  // about the hard-key record, "" when it stays as it is
        const char* command = "verify511";
    };
    for (const Step& step :
         {Step{"exact.cpl", "keyed.cpl", true, 2, "hard-key record added"},
          Step{"keyed.cpl", "again.cpl", true, 0, ""},
          Step{"keyed.cpl", "converted.cpl", false, -2, "hard-key record removed", "convert"},
          Step{"keyed.cpl", "unkeyed.cpl", false, -2, "hard-key record removed"}}) {
        SCOPED_TRACE(step.to);
        std::vector<std::string> args = {"codeplug", step.command};
        if (std::string(step.command) == "convert") {
            args.insert(args.end(), {"--to", "5.11"});
        }
        if (step.hardKey) {
            args.push_back("--hard-key");
        }
        args.push_back(tool.Path(step.from));
        args.push_back(tool.Path(step.to));
        const ToolResult r = tool.Run(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out.find("hard-key record") != std::string::npos, *step.says != '\0');
        EXPECT_NE(r.out.find(step.says), std::string::npos) << r.out;
        const std::vector<uint8_t> in = tool.ReadFile(step.from);
        const std::vector<uint8_t> out = tool.ReadFile(step.to);
        EXPECT_EQ(static_cast<std::ptrdiff_t>(out.size()),
                  static_cast<std::ptrdiff_t>(in.size()) + step.growth);
        EXPECT_EQ(2u * testkit::FromRadioBytes(out)[4], out.size());
    }
    EXPECT_EQ(tool.ReadFile("unkeyed.cpl"), exact);
}

TEST_F(CodeplugCommand, WarnsWhenTheWrittenBytesFallShortOfTheImage) {
    // A file that ends inside the trailer is written back as long as it was, and the tool says
    // that the result is shorter than its image.
    std::vector<uint8_t> bytes = BytesOf(MakeImage(kFormat511 - 1, 13));
    bytes.resize(bytes.size() - 2 * 100);
    tool.WriteFile("short.cpl", bytes);
    const ToolResult r = tool.Run(
        {"codeplug", "convert", "--to", "5.10", tool.Path("short.cpl"), tool.Path("out.cpl")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(tool.ReadFile("out.cpl"), bytes);
    EXPECT_NE(r.err.find("warning: "), std::string::npos) << r.err;
}

TEST_F(CodeplugCommand, UnknownCommandsAreNamed) {
    struct Case {
        std::vector<std::string> args;
        const char* named;
    };
    const Case cases[] = {{{"frobnicate"}, "unknown command 'frobnicate'"},
                          {{"codeplug", "inspect", "x.cpl"}, "unknown command 'inspect'"},
                          {{"codeplug", "convert", "--to"}, nullptr}};
    for (const Case& c : cases) {
        const ToolResult r = tool.Run(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args[0];
        if (c.named != nullptr) {
            EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
        } else {
            EXPECT_EQ(r.err.find("unknown command"), std::string::npos) << r.err;
        }
    }
}

TEST_F(CodeplugCommand, InfoRefusesAMalformedImageAndNotesAFileOfAnotherLength) {
    const GeneratedImage image = MakeImage(kFormat510, 6);
    std::vector<uint8_t> broken = BytesOf(image);
    broken[0] = 0;  // no block marker
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int exitCode;
        const char* expected;  // in the output (exit 0) or the error (exit 2)
    };
    std::vector<uint8_t> shortFile = BytesOf(image);
    shortFile.resize(shortFile.size() - 10);
    std::vector<uint8_t> longFile = BytesOf(image);
    longFile.resize(longFile.size() + 6);
    const Case cases[] = {
        {"malformed", broken, 2, "not a well-formed codeplug"},
        {"random", std::vector<uint8_t>(300, 0xA7), 2, "not a well-formed codeplug"},
        {"short", shortFile, 0, "the file ends 10 bytes before the total length"},
        {"long", longFile, 0, "the file holds 6 bytes after the total length"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tool.WriteFile("in.cpl", c.bytes);
        const ToolResult r = tool.Run({"codeplug", "info", tool.Path("in.cpl")});
        EXPECT_EQ(r.exitCode, c.exitCode);
        const std::string& text = c.exitCode == 0 ? r.out : r.err;
        EXPECT_NE(text.find(c.expected), std::string::npos) << text;
        if (c.exitCode != 0) {
            EXPECT_EQ(r.out.find("total length"), std::string::npos) << r.out;
        }
    }
}

TEST_F(CodeplugCommand, SamplesOfEveryFormatPassCheckConvertAndVerify) {
    for (const std::string format : {"5.8", "5.9", "5.10", "5.11"}) {
        SCOPED_TRACE(format);
        const ToolResult made =
            tool.Run({"codeplug", "sample", "--format", format, "--seed", "5", tool.Path("s.cpl")});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        const std::vector<uint8_t> bytes = tool.ReadFile("s.cpl");
        EXPECT_EQ(2u * testkit::FromRadioBytes(bytes)[4], bytes.size());

        const ToolResult check = tool.Run({"codeplug", "check", tool.Path("s.cpl")});
        EXPECT_EQ(check.exitCode, 0) << check.err;
        EXPECT_NE(check.out.find("format " + format + ","), std::string::npos) << check.out;
        const ToolResult info = tool.Run({"codeplug", "info", tool.Path("s.cpl")});
        EXPECT_EQ(info.exitCode, 0) << info.err;
        EXPECT_EQ(info.out.find("note:"), std::string::npos) << info.out;
        const ToolResult convert = tool.Run(
            {"codeplug", "convert", "--to", "5.11", tool.Path("s.cpl"), tool.Path("c.cpl")});
        EXPECT_EQ(convert.exitCode, 0) << convert.err;
        EXPECT_EQ(
            tool.Run({"codeplug", "verify511", tool.Path("c.cpl"), tool.Path("v.cpl")}).exitCode,
            0);

        // The same seed gives the same example, another seed another one.
        ASSERT_EQ(tool.Run({"codeplug", "sample", "--format", format, "--seed", "5",
                            tool.Path("again.cpl")})
                      .exitCode,
                  0);
        EXPECT_EQ(tool.ReadFile("again.cpl"), bytes);
        ASSERT_EQ(tool.Run({"codeplug", "sample", "--format", format, "--seed", "6",
                            tool.Path("other.cpl")})
                      .exitCode,
                  0);
        EXPECT_NE(tool.ReadFile("other.cpl"), bytes);
    }
    for (const char* bad : {"5.7", "6.0", "five"}) {
        const ToolResult r =
            tool.Run({"codeplug", "sample", "--format", bad, tool.Path("bad.cpl")});
        EXPECT_EQ(r.exitCode, 2) << bad;
        EXPECT_FALSE(tool.Exists("bad.cpl"));
    }
}

TEST_F(CodeplugCommand, OutputOtherThanARegularFileIsRefused) {
    tool.WriteFile("in.cpl", BytesOf(MakeImage(kFormat59)));
    ASSERT_EQ(::mkfifo(tool.Path("fifo").c_str(), 0644), 0);
    ASSERT_EQ(::mkdir(tool.Path("folder").c_str(), 0755), 0);
    for (const char* name : {"fifo", "folder"}) {
        SCOPED_TRACE(name);
        for (const char* command : {"convert", "sample"}) {
            const std::vector<std::string> args =
                std::string(command) == "convert"
                    ? std::vector<std::string>{"codeplug", "convert",           "--to",
                                               "5.10",     tool.Path("in.cpl"), tool.Path(name)}
                    : std::vector<std::string>{"codeplug", "sample", "--format", "5.8",
                                               tool.Path(name)};
            const ToolResult r = tool.Run(args);
            EXPECT_EQ(r.exitCode, 2) << command;
            EXPECT_NE(r.err.find("only to a regular file"), std::string::npos) << r.err;
        }
    }
    struct stat st {};
    ASSERT_EQ(::lstat(tool.Path("fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(tool.List(), (std::vector<std::string>{"fifo", "folder", "in.cpl"}));
}

TEST_F(CodeplugCommand, UsageErrorsExitWithTwo) {
    EXPECT_EQ(tool.Run({"codeplug"}).exitCode, 2);
    EXPECT_EQ(tool.Run({"codeplug", "convert", tool.Path("in.cpl"), tool.Path("o.cpl")}).exitCode,
              2);
    const ToolResult missing = tool.Run({"codeplug", "check", tool.Path("missing.cpl")});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos);
}

}  // namespace
}  // namespace quillon
