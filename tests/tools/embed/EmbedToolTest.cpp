// The real quillon-embed on profiles: the full-size build's 13 code pieces, and a wrong image
// that stops the build with its file and line.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/core/ResourceAttributes.h"
#include "tools/embed/ImageSplitter.h"
#include "tools/embed/SyntheticImage.h"

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class EmbedTool : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quillon-embed-test-" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs the tool; its exit code, with its output in `output`.
    int Run(const fs::path& profile, std::string& output) {
        const std::string log = (dir_ / "embed.log").string();
        const std::string command = std::string(QUILLON_BINARY_DIR "/tools/embed/quillon-embed ") +
                                    "'" + profile.string() + "' '" + (dir_ / "out").string() +
                                    "' Test_Release_1_0 >'" + log + "' 2>&1";
        const int status = std::system(command.c_str());
        output = Slurp(log);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path dir_;
};

TEST_F(EmbedTool, FullSizeBuildHasThirteenCodePiecesThatJoinBack) {
    std::string output;
    ASSERT_EQ(Run(fs::path(QUILLON_SOURCE_DIR) / "profiles/6700_Series_6_Full", output), 0)
        << output;
    const fs::path pieces = dir_ / "out/pieces";
    const std::string record = Slurp(pieces / "RESOURCEATTRIBUTES_");
    ASSERT_EQ(record.size(), quillon::ResourceAttributes::kSize);
    const auto a =
        quillon::ResourceAttributes::Decode(reinterpret_cast<const uint8_t*>(record.data()));
    EXPECT_EQ(a.LoaderCount, 1u);
    EXPECT_EQ(a.CodeCount, 13u);
    EXPECT_EQ(a.BootLoaderCount, 1u);
    EXPECT_EQ(a.BootCodeCount, 1u);
    EXPECT_EQ(a.BootTwoCodeCount, 0u);
    EXPECT_EQ(a.Series, 6);
    EXPECT_EQ(a.BootMinor, 7u);
    std::string joined;
    for (int j = 1; j <= 13; ++j) {
        const std::string piece = Slurp(pieces / ("CODE_" + std::to_string(j)));
        EXPECT_LE(piece.size(), quillon::embed::kMaxPieceBytes);
        joined += piece;
    }
    EXPECT_FALSE(fs::exists(pieces / "CODE_14"));
    // The second image of the profile is the code (seed 2).
    EXPECT_EQ(joined,
              quillon::embed::MakeSyntheticImage(quillon::embed::SyntheticKind::Code, 13000000, 2));
}

TEST_F(EmbedTool, AWrongRecordStopsTheBuildWithFileAndLine) {
    const fs::path profile = dir_ / "profile";
    fs::create_directories(profile);
    std::ofstream(profile / "code.s19") << "S00600004844521B\n"
                                           "S1130000285F245F2212226A000424290008237C2B\n"
                                           "S9030000FC\n";
    std::ofstream(profile / "profile.json")
        << R"({"name": "Bad", "attributes": {"RadioModel": 0, "MobileTypeSelect": 1,
           "Series": 6, "UpgradeType": 0, "Processor416": 0, "BootMajor": 6, "BootMinor": 7,
           "BootTwoMajor": 0, "BootTwoMinor": 0, "TesseraVersion": "2.18.x",
           "VernierVersion": "3.0.x"},
           "images": {"Loader": {"synthetic_bytes": 1000}, "Code": {"file": "code.s19"}}})";
    std::string output;
    EXPECT_EQ(Run(profile, output), 1);
    EXPECT_NE(output.find((profile / "code.s19").string() + ":2: checksum does not hold"),
              std::string::npos)
        << output;
    EXPECT_FALSE(fs::exists(dir_ / "out/EmbeddedResources.cpp"));

    // A profile value out of range is named too.
    std::ofstream(profile / "profile.json")
        << R"({"name": "Bad", "attributes": {"RadioModel": 2}})";
    EXPECT_EQ(Run(profile, output), 2);
    EXPECT_NE(output.find("attributes.RadioModel"), std::string::npos) << output;
}

}  // namespace
