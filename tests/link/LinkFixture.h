#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "link/Comm.h"
#include "serial/VirtualEventPump.h"
#include "tests/link/FakeRadio.h"

namespace quillon::test {

// A session on the virtual clock with a scripted radio behind either transport.
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
        ASSERT_TRUE(session.StartCommunication("/dev/com7", 19200, false, error)) << error;
        session.SetFraming(1);
        session.SetActive(true);
    }

    // Opens port mode as the connection code does: RS-485, framed, active.
    void OpenPortMode() {
        port.SetComNumber(7);
        port.SetRS485Mode(true);
        std::string error;
        ASSERT_TRUE(session.OpenWithPortComponent(port, error)) << error;
        session.SetActive(true);
        session.SetFraming(1);
    }

    LinkDevice MakeDevice() {
        ++devicesMade;
        auto fake = std::make_unique<FakeDevice>(radio);
        device = fake.get();
        LinkDevice link;
        link.openPort = [this](const std::string& path, uint8_t baudIndex, bool flow) {
            openCalls.push_back({path, baudIndex, flow});
            if (!openSucceeds) {
                return false;
            }
            return device->Open() == 1;
        };
        link.setBaudRate = [this](uint8_t index) { baudCalls.emplace_back(pump.NowMs(), index); };
        link.device = std::move(fake);
        return link;
    }

    struct OpenCall {
        std::string port;
        uint8_t baudIndex;
        bool flow;
    };

    VirtualEventPump pump;
    FakeRadio radio{pump};
    std::unique_ptr<Timer> timer = pump.CreateTimer();
    FakeDevice* device = nullptr;
    int devicesMade = 0;
    bool openSucceeds = true;
    bool rawSendExpected = false;
    std::vector<OpenCall> openCalls;
    std::vector<std::pair<int64_t, uint8_t>> baudCalls;
    CommSession session{pump, [this] { return MakeDevice(); }};
    FakePort port{radio};
};

}  // namespace quillon::test
