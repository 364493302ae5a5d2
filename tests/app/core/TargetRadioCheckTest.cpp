#include "app/core/TargetRadioCheck.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/core/RadioType.h"
#include "tests/app/core/RecordingView.h"
#include "tests/support/InProcessLink.h"

namespace quillon {
namespace {

using test::InProcessLink;
using test::RecordingView;

struct Build {
    uint8_t model = 0;
    uint8_t series = 6;
    uint8_t selector = 1;
    uint8_t bootMajor = 6;
    uint8_t bootMinor = 7;
    uint8_t bootTwoMajor = 0;
    uint8_t bootTwoMinor = 0;

    ResourceAttributes Attributes() const {
        ResourceAttributes a;
        a.RadioModel = model;
        a.Series = series;
        a.MobileTypeSelect = selector;
        a.BootMajor = bootMajor;
        a.BootMinor = bootMinor;
        a.BootTwoMajor = bootTwoMajor;
        a.BootTwoMinor = bootTwoMinor;
        return a;
    }
    uint8_t Type() const { return RadioTypeOfBuild(model, series, selector); }
};

const Build k6700Series6{};
const Build k6700Series4{0, 4, 1, 4, 3};
const Build k6700TwoSets{0, 6, 1, 6, 7, 7, 2};
const Build k6900Series6{1, 6, 1, 6, 1};
const Build k6900Series1{1, 1, 0, 1, 8};

struct Radio {
    uint8_t major = 6;
    uint8_t minor = 7;
    bool portable = true;
    bool silent = false;      // answers nothing at all
    bool kindSilent = false;  // does not answer the portable/mobile question

    sim::RadioConfig Config() const {
        sim::RadioConfig c;
        c.bootVersion = {major, minor};
        c.portable = portable;
        if (silent) {
            sim::FaultRule rule;
            rule.silent = true;
            c.faults.push_back(rule);
        }
        if (kindSilent) {
            sim::FaultRule rule;
            rule.code = {0x04, 0x67};
            rule.silent = true;
            c.faults.push_back(rule);
        }
        return c;
    }
};

enum Flag { kNone, kMajor, kComm, kForm };

struct Case {
    const char* what;
    Build build;
    Radio radio;
    // CheckBootVersionAuto
    bool autoResult;
    Flag autoFlag;
    bool bootTwo;
    // CheckBootVersion
    bool manualResult;
    const char* manualStatus;  // nullptr: untouched
    // CheckTargetRadio
    bool targetResult;
    const char* targetStatus;  // nullptr: untouched
    int targetBoxSeries;       // -1: no box
};

class IdentifyTest : public ::testing::TestWithParam<Case> {
protected:
    void Connect(InProcessLink& link) {
        std::string error;
        ASSERT_TRUE(link.Connect(error)) << error;
    }
};

TEST_P(IdentifyTest, BootVersionAuto) {
    const Case& c = GetParam();
    InProcessLink link(c.radio.Config());
    Connect(link);
    bool major = true;
    bool comm = true;
    bool form = true;
    bool bootTwo = !c.bootTwo;
    EXPECT_EQ(TargetRadioCheck::CheckBootVersionAuto(link.session, c.build.Attributes(),
                                                     c.build.Type(), major, comm, form, bootTwo),
              c.autoResult);
    EXPECT_EQ(major, c.autoFlag == kMajor);
    EXPECT_EQ(comm, c.autoFlag == kComm);
    EXPECT_EQ(form, c.autoFlag == kForm);
    EXPECT_EQ(bootTwo, c.bootTwo);
    if (c.autoFlag == kNone) {
        EXPECT_TRUE(link.session.Active()) << "the link goes on after the kind question";
    }
}

TEST_P(IdentifyTest, BootVersionManual) {
    const Case& c = GetParam();
    InProcessLink link(c.radio.Config());
    Connect(link);
    RecordingView view;
    bool bootTwo = false;
    EXPECT_EQ(TargetRadioCheck::CheckBootVersion(link.session, view, c.build.Attributes(),
                                                 c.build.Type(), bootTwo),
              c.manualResult);
    EXPECT_EQ(view.status, c.manualStatus == nullptr ? "Idle" : c.manualStatus);
    EXPECT_TRUE(view.boxes.empty());
}

TEST_P(IdentifyTest, TargetRadio) {
    const Case& c = GetParam();
    InProcessLink link(c.radio.Config());
    Connect(link);
    RecordingView view;
    view.status = "Checking target radio...";
    EXPECT_EQ(TargetRadioCheck::CheckTargetRadio(link.session, view, c.build.Attributes(),
                                                 c.build.Type()),
              c.targetResult);
    if (c.targetBoxSeries < 0) {
        EXPECT_TRUE(view.boxes.empty());
        EXPECT_EQ(view.status,
                  c.targetStatus == nullptr ? "Checking target radio..." : c.targetStatus);
    } else {
        ASSERT_EQ(view.boxes.size(), 1u);
        const std::string model = c.build.model == 0 ? "6700" : "6900";
        EXPECT_EQ(view.boxes[0].text,
                  "This version of Quillon Code Updater does not match the radio series.\n"
                  "Radio requires a " +
                      model + "_Series_" + std::to_string(c.targetBoxSeries) +
                      " version of Quillon Code Updater.");
        EXPECT_EQ(view.boxes[0].caption, "Quillon Code Updater");
        EXPECT_EQ(view.boxes[0].icon, MessageIcon::Error);
        EXPECT_EQ(view.status, "Idle");
        EXPECT_EQ(view.progress, 0);
    }
}

constexpr const char* kCurrent = TargetRadioCheck::kBootCurrent;
constexpr const char* kMajorText = TargetRadioCheck::kMajorMismatch;
constexpr const char* kBootComm = TargetRadioCheck::kBootCommError;
constexpr const char* kTargetComm = TargetRadioCheck::kTargetCommError;
constexpr const char* kNoBootInfo = TargetRadioCheck::kNoBootInfo;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Radios, IdentifyTest,
    ::testing::Values(
        //   what                             build         radio                        auto: result flag  two   manual: result status      target: result status  box
        Case{"boot_current",                  k6700Series6, {6, 7},                      false, kNone,  false, false, kCurrent,   true,  nullptr,     -1},
        Case{"boot_older_upgraded",           k6700Series6, {6, 5},                      true,  kNone,  false, true,  nullptr,    true,  nullptr,     -1},
        Case{"boot_newer_upgraded",           k6700Series6, {6, 9},                      true,  kNone,  false, true,  nullptr,    true,  nullptr,     -1},
        Case{"series4_radio",                 k6700Series6, {4, 2},                      false, kMajor, false, false, kMajorText, false, nullptr,      4},
        Case{"generation7_on_series4_build",  k6700Series4, {7, 1},                      false, kMajor, false, false, kMajorText, true,  nullptr,     -1},
        Case{"generation7_on_series6_build",  k6700Series6, {7, 1},                      false, kMajor, false, false, kMajorText, false, nullptr,      7},
        Case{"second_boot_set_current",       k6700TwoSets, {7, 2},                      false, kNone,  true,  false, kCurrent,   false, nullptr,      7},
        Case{"second_boot_set_upgraded",      k6700TwoSets, {7, 0},                      true,  kNone,  true,  true,  nullptr,    false, nullptr,      7},
        Case{"mobile_radio_on_portable_build",k6700Series6, {6, 5, false},               false, kForm,  false, true,  nullptr,    true,  nullptr,     -1},
        Case{"portable_radio_on_mobile_build",k6900Series6, {6, 0, true},                false, kForm,  false, true,  nullptr,    true,  nullptr,     -1},
        Case{"kind_not_answered",             k6700Series6, {6, 5, true, false, true},   true,  kNone,  false, true,  nullptr,    true,  nullptr,     -1},
        Case{"silent_radio",                  k6700Series6, {6, 7, true, true},          false, kComm,  false, false, kBootComm,  false, kTargetComm, -1},
        // Mobile families without boot information pass the target check.
        Case{"silent_mobile",                 k6900Series6, {6, 1, false, true},         false, kComm,  false, false, kBootComm,  true,  kNoBootInfo, -1},
        // Series 1 builds: the manual sequence asks nothing.
        Case{"series1_build_asks_nothing",    k6900Series1, {1, 8, false, true},         false, kComm,  false, true,  nullptr,    true,  nullptr,     -1}),
    [](const auto& info) { return std::string(info.param.what); });
// clang-format on

TEST(IdentifyTest, Series1BuildSendsNothingForTheManualChecks) {
    InProcessLink link;
    std::string error;
    ASSERT_TRUE(link.Connect(error));
    RecordingView view;
    bool bootTwo = false;
    const ResourceAttributes a = k6900Series1.Attributes();
    EXPECT_TRUE(TargetRadioCheck::CheckBootVersion(link.session, view, a, 1, bootTwo));
    EXPECT_TRUE(TargetRadioCheck::CheckTargetRadio(link.session, view, a, 1));
    EXPECT_EQ(link.radio.BytesToRadio(), 0);
}

TEST(IdentifyTest, PortableMobileAfterAnEndedWait) {
    // The kind question must get its own wait even when an earlier one ended by time-out.
    for (bool portable : {true, false}) {
        sim::RadioConfig config;
        config.portable = portable;
        InProcessLink link(config);
        std::string error;
        ASSERT_TRUE(link.Connect(error));
        link.session.SetActive(false);
        bool mismatch = true;
        EXPECT_EQ(TargetRadioCheck::CheckPortableMobile(link.session, 1, mismatch), portable);
        EXPECT_EQ(mismatch, !portable);
    }
}

}  // namespace
}  // namespace quillon
