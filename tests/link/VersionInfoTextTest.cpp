#include <gtest/gtest.h>

#include "link/VersionInfoText.h"

namespace quillon {
namespace {

VersionInfo Sample() {
    VersionInfo v;
    v.FileVersion[0] = 5;
    v.FileVersion[1] = 11;
    const uint8_t dsp[3] = {10, 0, 255};
    std::copy(dsp, dsp + 3, v.DSPVersion);
    const uint8_t controller[3] = {4, 2, 17};
    std::copy(controller, controller + 3, v.ControllerVersion);
    const uint8_t hardware[3] = {1, 2, 3};
    std::copy(hardware, hardware + 3, v.HardwareRevision);
    const uint8_t serial[8] = {0x01, 0xAB, 0x00, 0xFF, 0x10, 0x7E, 0xBA, 0x09};
    std::copy(serial, serial + 8, v.SerialNumber);
    v.BootVersion[0] = 6;
    v.BootVersion[1] = 7;
    v.SEMVersion[0] = 0;
    v.SEMVersion[1] = 3;
    return v;
}

TEST(VersionInfoText, SevenHeadingsInPanelOrder) {
    const auto lines = FormatVersionInfo(Sample(), 5);
    ASSERT_EQ(lines.size(), 7u);
    const std::vector<std::pair<std::string, std::string>> expected{
        {"File Format Version:", "5.11"},
        {"DSP Software Version:", "10.0.255"},
        {"Controller Version:", "4.2.17"},
        {"Hardware Revision:", "1.2.3"},
        {"Radio Serial Number:", "01-AB-00-FF-10-7E-BA-09"},
        {"Boot Load Version:", "6.7"},
        {"SEM Version:", "0.3"},
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(lines[i].heading, expected[i].first);
        EXPECT_EQ(lines[i].value, expected[i].second);
    }
}

TEST(VersionInfoText, NotApplicableCases) {
    VersionInfo v = Sample();
    v.BootVersion[0] = 0;
    v.BootVersion[1] = 0;
    v.SEMVersion[1] = 0;
    for (uint8_t type : {0, 4, 6, 8}) {
        const auto lines = FormatVersionInfo(v, type);
        EXPECT_EQ(lines[3].value, "Not Applicable") << int(type);
        EXPECT_EQ(lines[5].value, "Not Applicable");
        EXPECT_EQ(lines[6].value, "Not Applicable");
    }
    for (uint8_t type : {1, 5, 7}) {
        EXPECT_EQ(FormatVersionInfo(v, type)[3].value, "1.2.3") << int(type);
    }
    v.BootVersion[1] = 1;  // 0.1 is a version
    EXPECT_EQ(FormatVersionInfo(v, 0)[5].value, "0.1");
}

}  // namespace
}  // namespace quillon
