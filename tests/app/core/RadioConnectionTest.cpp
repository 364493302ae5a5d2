#include "app/core/RadioConnection.h"

#include <sched.h>

#include <gtest/gtest.h>

#include "app/core/ProcessorCount.h"
#include "app/core/VersionPanel.h"
#include "tests/app/core/PortFakes.h"
#include "tests/app/core/RecordingView.h"
#include "tests/support/FakeLine.h"
#include "tests/support/InProcessLink.h"

namespace quillon {
namespace {

using test::FakeLine;
using test::InProcessLink;
using test::NoNames;
using test::OnePortPresent;
using test::RecordingView;

// COM 7 present and chosen, as the window would have it.
struct ChosenPort {
    ChosenPort() {
        ports.RefreshComPorts();
        ports.Select(6);
    }
    OnePortPresent presence;
    NoNames names;
    ComPortList ports{presence, names};
};

enum class Expect { DeviceMode, PortMode, Refused };

struct Case {
    const char* what;
    uint8_t model;
    uint8_t type;
    bool box;
    int processors;
    bool lowSpeed;
    bool havePort;
    Expect expect;
    uint32_t speed;    // the line's speed afterwards (both ends)
    const char* box_;  // the box shown, or nullptr
};

class ConnectTest : public ::testing::TestWithParam<Case> {};

TEST_P(ConnectTest, ChoosesTheTransportAndSpeed) {
    const Case& c = GetParam();
    sim::RadioConfig config;
    config.box = c.box;
    config.portable = c.model == 0;
    InProcessLink link(config);
    FakeLine port(link.radio);
    ChosenPort chosen;
    ComPortList& ports = chosen.ports;
    RecordingView view;
    RadioConnection connection(link.session, view, ports, c.havePort ? &port : nullptr,
                               [&] { return c.processors; });

    const bool ok = connection.ConnectToRadio(c.lowSpeed, {c.model, c.type});
    EXPECT_EQ(ok, c.expect != Expect::Refused);
    EXPECT_EQ(connection.PortNumber(), 7);
    EXPECT_EQ(connection.LastError(), c.box_ == nullptr ? "" : c.box_);
    if (c.box_ == nullptr) {
        EXPECT_TRUE(view.boxes.empty()) << view.boxes[0].text;
    } else {
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0].text, c.box_);
        EXPECT_EQ(view.boxes[0].caption, "COM Port");
        EXPECT_EQ(view.boxes[0].icon, MessageIcon::Error);
    }
    if (c.expect == Expect::Refused) {
        EXPECT_EQ(ports.State(7), ComPortList::kFree);
        EXPECT_FALSE(link.session.Line() != nullptr && link.session.Line()->IsOpen());
        EXPECT_FALSE(port.IsOpen());
        return;
    }
    EXPECT_EQ(ports.State(7), ComPortList::kInUseHere);
    EXPECT_EQ(link.session.PortMode(), c.expect == Expect::PortMode);
    EXPECT_EQ(port.Settings().rs485, c.expect == Expect::PortMode);
    EXPECT_TRUE(link.session.Active());
    EXPECT_EQ(link.session.Framing(), 1u);
    link.pump.SleepMs(200);  // the radio changes speed once the request has arrived
    EXPECT_EQ(link.radio.RadioSpeed(), c.speed);
    EXPECT_EQ(link.radio.HostSpeed(), c.speed);

    // The link works at that speed, and closing frees the port.
    link.session.SetTimeout(500);
    link.session.SendMessage(CommMessage::FromCode(0x04, 0x67));
    link.session.SetActive(true);
    CommMessage reply;
    EXPECT_EQ(link.session.Receive(reply), 1)
        << "to radio " << link.radio.BytesToRadio() << " from " << link.radio.BytesFromRadio()
        << " garbled " << link.radio.GarbledBytes() << " open " << port.IsOpen();
    EXPECT_TRUE(reply.HasCode(0x04, 0x68));
    connection.CloseAndFree();
    EXPECT_EQ(ports.State(7), ComPortList::kFree);
}

constexpr const char* kMulti = RadioConnection::kMultiProcessor;
constexpr const char* kPortError = CommSession::kPortErrorText;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Builds, ConnectTest,
    ::testing::Values(
        //   what                          model type box    cpus low    port   expect             speed   box
        Case{"portable",                   0,    0,   false, 4,   false, true,  Expect::DeviceMode, 115200, nullptr},
        Case{"portable_low_speed",         0,    0,   false, 4,   true,  true,  Expect::DeviceMode, 19200,  nullptr},
        Case{"portable_ignores_a_box",     0,    6,   true,  4,   false, false, Expect::DeviceMode, 115200, nullptr},
        Case{"mobile_box",                 1,    8,   true,  4,   false, true,  Expect::DeviceMode, 115200, nullptr},
        Case{"mobile_box_low_speed",       1,    8,   true,  4,   true,  true,  Expect::DeviceMode, 19200,  nullptr},
        Case{"series1_box_stays_slow",     1,    1,   true,  4,   false, true,  Expect::DeviceMode, 19200,  nullptr},
        Case{"mobile_no_box_multi_core",   1,    8,   false, 2,   false, true,  Expect::Refused,    0,      kMulti},
        Case{"mobile_no_box_one_core",     1,    8,   false, 1,   false, true,  Expect::PortMode,   115200, nullptr},
        Case{"mobile_port_low_speed",      1,    7,   false, 1,   true,  true,  Expect::PortMode,   19200,  nullptr},
        Case{"series1_port_mode_slow",     1,    1,   false, 1,   false, true,  Expect::PortMode,   19200,  nullptr},
        Case{"no_port_component",          1,    8,   false, 1,   false, false, Expect::Refused,    0,      kPortError}),
    [](const auto& info) { return std::string(info.param.what); });
// clang-format on

TEST(ConnectToRadioTest, RefusesAnAbsentPortBeforeOpeningAnything) {
    for (int position : {3, 6}) {
        InProcessLink link;
        OnePortPresent presence;
        NoNames names;
        ComPortList ports(presence, names);
        ports.RefreshComPorts();
        ports.Select(position);
        RecordingView view;
        RadioConnection connection(link.session, view, ports, nullptr, [] { return 1; });
        const bool ok = connection.ConnectToRadio(false, {0, 0});
        if (position == 3) {
            EXPECT_FALSE(ok);
            ASSERT_EQ(view.boxes.size(), 1u);
            EXPECT_EQ(view.boxes[0].text, RadioConnection::kPortNotAvailable);
            EXPECT_EQ(connection.LastError(), RadioConnection::kPortNotAvailable);
            EXPECT_EQ(link.radio.BytesToRadio(), 0);
            EXPECT_EQ(ports.Selected(), 3);  // the choice survives the refresh
        } else {
            EXPECT_TRUE(ok);
        }
    }
}

TEST(ConnectToRadioTest, PortModeOpenFailureFreesThePortAndTellsOnlyInteractively) {
    for (bool console : {false, true}) {
        sim::RadioConfig config;
        config.portable = false;
        InProcessLink link(config);
        FakeLine port(link.radio);
        port.refuse = OpenFailure::Reason::InUse;
        ChosenPort chosen;
        ComPortList& ports = chosen.ports;
        RecordingView view(console);
        RadioConnection connection(link.session, view, ports, &port, [] { return 1; });
        EXPECT_FALSE(connection.ConnectToRadio(false, {1, 8}, 7));
        EXPECT_EQ(ports.State(7), ComPortList::kFree);
        EXPECT_EQ(view.boxes.size(), console ? 0u : 1u);
        EXPECT_EQ(connection.LastError(), CommSession::kPortInUseText);  // told or not, kept
        EXPECT_FALSE(link.session.PortMode() && port.IsOpen());
    }
}

// What `taskset -c 0` does to the program: one processor, and then a mobile build without a
// box connects in port mode; with its processors back it refuses.
TEST(ProcessorCountTest, PortModeOnlyWhenPinnedToOneProcessor) {
    cpu_set_t saved;
    ASSERT_EQ(sched_getaffinity(0, sizeof saved, &saved), 0);
    EXPECT_EQ(ProcessorCount(), CPU_COUNT(&saved));
    cpu_set_t one;
    CPU_ZERO(&one);
    int first = 0;
    while (!CPU_ISSET(first, &saved)) {
        ++first;
    }
    CPU_SET(first, &one);

    for (bool pinned : {true, false}) {
        if (pinned) {
            ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
        }
        const int processors = ProcessorCount();
        sim::RadioConfig config;
        config.portable = false;
        InProcessLink link(config);
        FakeLine port(link.radio);
        ChosenPort chosen;
        ComPortList& ports = chosen.ports;
        RecordingView view;
        RadioConnection connection(link.session, view, ports, &port, ProcessorCount);
        const bool ok = connection.ConnectToRadio(false, {1, 8});
        ASSERT_EQ(sched_setaffinity(0, sizeof saved, &saved), 0);
        if (pinned) {
            EXPECT_EQ(processors, 1);
            EXPECT_TRUE(ok);
            EXPECT_TRUE(link.session.PortMode());
            EXPECT_TRUE(port.Settings().rs485);
        } else if (processors > 1) {
            EXPECT_FALSE(ok);
            EXPECT_FALSE(port.IsOpen());
        }
    }
}

// A device that does not open: the session's own reason goes to the "COM Port" box, except
// for a portable build in command-line mode, which leaves the telling to its caller.
TEST(ConnectToRadioTest, DeviceOpenFailureShowsTheSessionsTextAndFreesThePort) {
    struct Case {
        uint8_t model;
        bool console;
        size_t boxes;
    };
    for (const Case& c :
         {Case{0, false, 1}, Case{0, true, 0}, Case{1, false, 1}, Case{1, true, 1}}) {
        VirtualEventPump pump;
        CommSession session(pump, [] { return std::unique_ptr<SerialLine>{}; });
        ChosenPort chosen;
        ComPortList& ports = chosen.ports;
        RecordingView view(c.console);
        RadioConnection connection(session, view, ports, nullptr, [] { return 1; });
        EXPECT_FALSE(connection.ConnectToRadio(false, {c.model, 0}, 7));
        EXPECT_EQ(ports.State(7), ComPortList::kFree);
        EXPECT_EQ(connection.LastError(), CommSession::kPortErrorText);
        ASSERT_EQ(view.boxes.size(), c.boxes);
        if (c.boxes == 1) {
            EXPECT_EQ(view.boxes[0].caption, "COM Port");
            EXPECT_EQ(view.boxes[0].text, CommSession::kPortErrorText);
        }
    }
}

TEST(VersionPanelTest, RetrieveShowsThePanelAtLowSpeedOrTheBoxAndAlwaysFreesThePort) {
    for (bool silent : {false, true}) {
        sim::RadioConfig config;
        config.bootVersion = {6, 5};
        if (silent) {
            sim::FaultRule rule;
            rule.silent = true;
            config.faults.push_back(rule);
        }
        InProcessLink link(config);
        ChosenPort chosen;
        ComPortList& ports = chosen.ports;
        RecordingView view;
        RadioConnection connection(link.session, view, ports, nullptr, [] { return 4; });
        EXPECT_EQ(VersionPanel::RetrieveVersionInfo(connection, link.session, view, {0, 0}),
                  !silent);
        EXPECT_EQ(link.radio.RadioSpeed(), 19200u);
        EXPECT_EQ(ports.State(7), ComPortList::kFree);
        if (silent) {
            EXPECT_TRUE(view.panel.empty());
            ASSERT_EQ(view.boxes.size(), 1u);
            EXPECT_EQ(view.boxes[0].caption, "Communication");
            EXPECT_EQ(view.boxes[0].text,
                      "Communication error while retrieving version information.");
        } else {
            ASSERT_EQ(view.panel.size(), 7u);
            EXPECT_EQ(view.panel[5].value, "6.5");
            EXPECT_TRUE(view.boxes.empty());
        }
    }
}

}  // namespace
}  // namespace quillon
