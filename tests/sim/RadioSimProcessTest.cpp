#include <gtest/gtest.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "SimProcess.h"

namespace quillon::sim::testing {
namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

// Request frames as the updater puts them on the wire.
const Bytes kAskFormat{0xBA, 0x7F, 0x01, 0x04, 0x1C, 0x60, 0x7E};
const Bytes kAskDsp{0xBA, 0x7F, 0x01, 0x04, 0x0B, 0x71, 0x7E};
const Bytes kAskController{0xBA, 0x7F, 0x01, 0x04, 0x09, 0x73, 0x7E};
const Bytes kAskHardware{0xBA, 0x7F, 0x01, 0x04, 0x07, 0x75, 0x7E};
const Bytes kAskSerial{0xBA, 0x7F, 0x01, 0x04, 0x04, 0x78, 0x7E};
const Bytes kAskBoot{0xBA, 0x7F, 0x01, 0x04, 0x2D, 0x4F, 0x7E};
const Bytes kAskSem{0xBA, 0x7F, 0x01, 0x04, 0x3E, 0x3E, 0x7E};
const Bytes kAskKind{0xBA, 0x7F, 0x01, 0x04, 0x67, 0x15, 0x7E};
const Bytes kAskRadioInfo{0xBA, 0x7F, 0x01, 0x04, 0x6F, 0x0D, 0x7E};
const Bytes kSpeed115200{0xBA, 0x7F, 0x01, 0x09, 0x00, 0x05, 0x72, 0x7E};
const Bytes kSpeed19200{0xBA, 0x7F, 0x01, 0x09, 0x00, 0x01, 0x76, 0x7E};
const Bytes kProbe{0xBA, 0x7F, 0x4F, 0x09, 0x01, 0x77, 0x77, 0x77, 0xC3, 0x7E};

// The default radio's answer to 04 1C (format 5.11).
const Bytes kFormatReply{0xBA, 0x01, 0x7F, 0x04, 0x1D, 0x05, 0x0B, 0x4F, 0x7E};

// How long a test listens to be sure nothing comes.
constexpr int kSilenceMs = 300;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(RadioSimProcess, AnswersEveryQueryByteForByte) {
    SimProcess sim({"--kind", "mobile", "--codeplug-format", "5.8", "--dsp-version", "1.2.3",
                    "--controller-version", "2.4.6", "--hardware-revision", "7.8.9", "--serial",
                    "107EBA0011223344", "--boot-version", "6.5", "--sem-version", "1.2",
                    "--radio-info", "0000000000000000007F", "--hard-key"});
    const std::string path = sim.FirstLine();
    ASSERT_FALSE(path.empty()) << sim.ErrorText();
    LineEnd line(path);
    ASSERT_TRUE(line.IsOpen());

    const std::pair<Bytes, Bytes> exchanges[] = {
        {kAskFormat, {0xBA, 0x01, 0x7F, 0x04, 0x1D, 0x05, 0x08, 0x52, 0x7E}},
        {kAskDsp, {0xBA, 0x01, 0x7F, 0x04, 0x0C, 0x01, 0x02, 0x03, 0x6A, 0x7E}},
        {kAskController, {0xBA, 0x01, 0x7F, 0x04, 0x0A, 0x02, 0x04, 0x06, 0x66, 0x7E}},
        {kAskHardware, {0xBA, 0x01, 0x7F, 0x04, 0x08, 0x07, 0x08, 0x09, 0x5C, 0x7E}},
        {kAskSerial,
         {0xBA, 0x01, 0x7F, 0x04, 0x05, 0x10, 0x02, 0x10, 0x01, 0x10, 0x00, 0x00, 0x11, 0x22, 0x33,
          0x44, 0x85, 0x7E}},
        {kAskBoot, {0xBA, 0x01, 0x7F, 0x04, 0x2E, 0x06, 0x05, 0x43, 0x7E}},
        {kAskSem, {0xBA, 0x01, 0x7F, 0x04, 0x3F, 0x01, 0x02, 0x3A, 0x7E}},
        {kAskKind, {0xBA, 0x01, 0x7F, 0x04, 0x68, 0x00, 0x14, 0x7E}},
        {kAskRadioInfo,
         {0xBA, 0x01, 0x7F, 0x04, 0x70, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7F,
          0x8B, 0x7E}},
    };
    for (const auto& [request, reply] : exchanges) {
        line.Send(request);
        EXPECT_EQ(line.Read(reply.size()), reply);
    }
    // Nothing more than the answers came.
    EXPECT_TRUE(line.ReadFor(kSilenceMs).empty());
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

TEST(RadioSimProcess, PublishesTheComPortAndRemovesItOnExit) {
    TempDir dir;
    const std::string link = dir.Path() + "/com9";
    fs::create_symlink("/dev/null-left-over", link);  // a stale link from an earlier run
    SimProcess sim({"--com-dir", dir.Path(), "--com", "9"});
    const std::string path = sim.FirstLine();
    ASSERT_FALSE(path.empty()) << sim.ErrorText();
    EXPECT_EQ(fs::read_symlink(link), path);

    // The updater reaches the radio through the COM name, and may close and reopen it.
    {
        LineEnd line(link);
        ASSERT_TRUE(line.IsOpen());
        line.Send(kAskFormat);
        EXPECT_EQ(line.Read(kFormatReply.size()), kFormatReply);
    }
    {
        LineEnd again(link);
        ASSERT_TRUE(again.IsOpen());
        again.Send(kAskFormat);
        EXPECT_EQ(again.Read(kFormatReply.size()), kFormatReply);
    }
    EXPECT_EQ(sim.Stop(SIGINT), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST(RadioSimProcess, RefusesToReplaceSomethingThatIsNotALink) {
    TempDir dir;
    std::ofstream(dir.Path() + "/com4") << "keep me";
    SimProcess sim({"--com-dir", dir.Path(), "--com", "4"});
    EXPECT_EQ(sim.FirstLine(), "");
    EXPECT_EQ(sim.Wait(5000), 1);
    EXPECT_NE(sim.ErrorText().find("not a symbolic link"), std::string::npos);
    EXPECT_EQ(ReadFile(dir.Path() + "/com4"), "keep me");
}

TEST(RadioSimProcess, ALiveRadiosComNumberIsRefusedAndADeadOnesTakenOver) {
    TempDir dir;
    const std::string link = dir.Path() + "/com6";
    auto first = std::make_unique<SimProcess>(
        std::vector<std::string>{"--com-dir", dir.Path(), "--com", "6"});
    const std::string firstPath = first->FirstLine();
    ASSERT_FALSE(firstPath.empty()) << first->ErrorText();

    SimProcess second({"--com-dir", dir.Path(), "--com", "6"});
    EXPECT_EQ(second.FirstLine(), "");
    EXPECT_EQ(second.Wait(5000), 1);
    const std::string error = second.ErrorText();
    EXPECT_NE(error.find("COM 6 (" + link + " -> " + firstPath + ")"), std::string::npos) << error;
    EXPECT_NE(error.find("process id " + std::to_string(first->Pid())), std::string::npos) << error;
    // The refused radio has left and the first one's link stands.
    EXPECT_EQ(fs::read_symlink(link), firstPath);

    // A radio killed outright leaves its link behind; the next one on the number replaces it.
    EXPECT_EQ(first->Stop(SIGKILL), 128 + SIGKILL);
    first.reset();
    EXPECT_EQ(fs::read_symlink(link), firstPath);
    SimProcess third({"--com-dir", dir.Path(), "--com", "6"});
    const std::string thirdPath = third.FirstLine();
    ASSERT_FALSE(thirdPath.empty()) << third.ErrorText();
    EXPECT_EQ(fs::read_symlink(link), thirdPath);
    EXPECT_EQ(third.Stop(SIGTERM), 0);
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST(RadioSimProcess, PlaysSilenceAndTheUnableAnswer) {
    SimProcess sim({"--fault", "041C:silent,times=1", "--fault", "042D:0420"});
    LineEnd line(sim.FirstLine());
    ASSERT_TRUE(line.IsOpen()) << sim.ErrorText();

    line.Send(kAskFormat);
    EXPECT_TRUE(line.ReadFor(kSilenceMs).empty());
    line.Send(kAskBoot);
    EXPECT_EQ(line.Read(7), (Bytes{0xBA, 0x01, 0x7F, 0x04, 0x20, 0x5C, 0x7E}));
    // The silence was for one answer only.
    line.Send(kAskFormat);
    EXPECT_EQ(line.Read(kFormatReply.size()), kFormatReply);
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

TEST(RadioSimProcess, SendsSpoiltCopiesBeforeTheGoodAnswer) {
    SimProcess sim({"--fault", "041C:noise=5,bad-checksum,wrong-h2"});
    LineEnd line(sim.FirstLine());
    ASSERT_TRUE(line.IsOpen()) << sim.ErrorText();
    line.Send(kAskFormat);
    const Bytes bytes = line.Read(5 + 3 * kFormatReply.size());
    ASSERT_EQ(bytes.size(), 5 + 3 * kFormatReply.size());
    const Bytes badSum(bytes.begin() + 5, bytes.begin() + 14);
    const Bytes badH2(bytes.begin() + 14, bytes.begin() + 23);
    const Bytes good(bytes.begin() + 23, bytes.end());
    EXPECT_EQ(badSum, (Bytes{0xBA, 0x01, 0x7F, 0x04, 0x1D, 0x05, 0x0B, 0x50, 0x7E}));
    EXPECT_EQ(badH2, (Bytes{0xBA, 0x01, 0x01, 0x04, 0x1D, 0x05, 0x0B, 0xCD, 0x7E}));
    EXPECT_EQ(good, kFormatReply);
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

TEST(RadioSimProcess, AnswersTheProbeOnlyAsABox) {
    {
        SimProcess radio({});
        LineEnd line(radio.FirstLine());
        ASSERT_TRUE(line.IsOpen()) << radio.ErrorText();
        line.Send(kProbe);
        EXPECT_TRUE(line.ReadFor(kSilenceMs).empty());
        EXPECT_EQ(radio.Stop(SIGTERM), 0);
    }
    SimProcess box({"--box", "--box-data", "AABBCCDD"});
    LineEnd line(box.FirstLine());
    ASSERT_TRUE(line.IsOpen()) << box.ErrorText();
    line.Send(kProbe);
    const Bytes reply{0xBA, 0x01, 0x7F, 0x09, 0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0x67, 0x7E};
    EXPECT_EQ(line.Read(reply.size()), reply);
    // The radio behind the box answers as before.
    line.Send(kAskFormat);
    EXPECT_EQ(line.Read(kFormatReply.size()), kFormatReply);
    EXPECT_EQ(box.Stop(SIGTERM), 0);
}

TEST(RadioSimProcess, FollowsSpeedChangesAndLogsEveryFrame) {
    TempDir dir;
    const std::string logPath = dir.Path() + "/frames.log";
    SimProcess sim({"--log", logPath});
    LineEnd line(sim.FirstLine());
    ASSERT_TRUE(line.IsOpen()) << sim.ErrorText();

    line.Send(kSpeed115200);
    line.Send(kAskFormat);
    EXPECT_EQ(line.Read(kFormatReply.size()), kFormatReply);
    termios settings{};
    ASSERT_EQ(tcgetattr(line.Fd(), &settings), 0);
    EXPECT_EQ(cfgetospeed(&settings), B115200);

    line.Send(kSpeed19200);
    line.Send(kAskFormat);
    EXPECT_EQ(line.Read(kFormatReply.size()), kFormatReply);
    ASSERT_EQ(tcgetattr(line.Fd(), &settings), 0);
    EXPECT_EQ(cfgetospeed(&settings), B19200);

    // A garbled frame is logged and not answered.
    line.Send({0xBA, 0x7F, 0x01, 0x04, 0x1C, 0x61, 0x7E});
    EXPECT_TRUE(line.ReadFor(kSilenceMs).empty());
    EXPECT_EQ(sim.Stop(SIGTERM), 0);

    const std::string log = ReadFile(logPath);
    const size_t fast = log.find("RX 09 00 05\n");
    const size_t speedUp = log.find("SPEED 115200\n");
    const size_t firstAnswer = log.find("TX 04 1D 05 0B\n");
    const size_t speedDown = log.find("SPEED 19200\n");
    ASSERT_NE(fast, std::string::npos) << log;
    ASSERT_NE(speedUp, std::string::npos) << log;
    ASSERT_NE(speedDown, std::string::npos) << log;
    EXPECT_LT(fast, speedUp);
    EXPECT_LT(speedUp, firstAnswer);
    EXPECT_LT(firstAnswer, speedDown);
    EXPECT_NE(log.find("RX 04 1C\n"), std::string::npos);
    EXPECT_NE(log.find("DROP bad checksum: 7F 01 04 1C 61\n"), std::string::npos) << log;
}

TEST(RadioSimProcess, LeavesByItselfAfterTheIdleTime) {
    TempDir dir;
    SimProcess sim({"--exit-after", "0.3", "--com-dir", dir.Path(), "--com", "2"});
    ASSERT_FALSE(sim.FirstLine().empty()) << sim.ErrorText();
    EXPECT_EQ(sim.Wait(5000), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.Path() + "/com2")));
}

TEST(RadioSimProcess, BadScenarioEndsWithExitCodeTwo) {
    TempDir dir;
    const std::string scenario = dir.Path() + "/bad.json";
    std::ofstream(scenario) << R"({"kind": "portable", "boot_version": "six"})";
    SimProcess sim({"--scenario", scenario});
    EXPECT_EQ(sim.FirstLine(), "");
    EXPECT_EQ(sim.Wait(5000), 2);
    const std::string error = sim.ErrorText();
    EXPECT_NE(error.find("boot_version"), std::string::npos) << error;
    EXPECT_NE(error.find(scenario), std::string::npos) << error;
}

}  // namespace
}  // namespace quillon::sim::testing
