#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "link/Comm.h"
#include "serial/VirtualEventPump.h"
#include "tests/link/FakeRadio.h"
#include "tests/support/FakeLine.h"

namespace quillon::test {

// A session on the virtual clock with a scripted radio behind a line in either mode.
class LinkFixture : public ::testing::Test {
protected:
    LinkFixture() { session.UseTimeoutTimer(*timer); }

    void TearDown() override {
        if (!rawSendExpected) {
            EXPECT_EQ(radio.Malformed(), 0) << "the session sent bytes that are no good frame";
        }
    }

    // Opens device mode as the connection code does: framed, active.
    void OpenDeviceMode() {
        std::string error;
        ASSERT_TRUE(session.Connect("/dev/com7", 19200, error)) << error;
    }

    // Opens port mode as the connection code does: RS-485, framed, active.
    void OpenPortMode() {
        std::string error;
        ASSERT_TRUE(session.Connect(port, "/dev/com7", error)) << error;
    }

    std::unique_ptr<SerialLine> MakeLine() {
        ++linesMade;
        auto fake = std::make_unique<FakeLine>(radio, &pump);
        if (!openSucceeds) {
            fake->refuse = OpenFailure::Reason::NoSuchDevice;
        }
        line = fake.get();
        return fake;
    }

    VirtualEventPump pump;
    FakeRadio radio{pump};
    std::unique_ptr<Timer> timer = pump.CreateTimer();
    FakeLine* line = nullptr;  // the device-mode line of the last open
    int linesMade = 0;
    bool openSucceeds = true;
    bool rawSendExpected = false;
    CommSession session{pump, [this] { return MakeLine(); }};
    FakeLine port{radio, &pump};
};

}  // namespace quillon::test
