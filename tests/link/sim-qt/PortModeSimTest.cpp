#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>
#include <string>

#include "link/Comm.h"
#include "link/RadioQueries.h"
#include "serial/qt/QtEventPump.h"
#include "serial/qt/TApdComPort.h"
#include "tests/link/sim/SimRadio.h"

namespace quillon::test {
namespace {

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "link_sim_qt_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// A port-mode session through the port component, opened as the connection code does for a
// mobile radio without an interface box.
class PortModeSim : public ::testing::Test {
protected:
    void Connect(SimRadio& radio) {
        ASSERT_TRUE(radio.Started()) << radio.ErrorText();
        session.UseTimeoutTimer(*timer);
        port.SetComNumber(SimRadio::kCom);
        port.SetRS485Mode(true);
        std::string error;
        ASSERT_TRUE(session.OpenWithPortComponent(port, error)) << error;
        session.SetActive(true);
        session.SetFraming(1);
        session.SetLocalBaud(19200);
    }

    QCoreApplication& app = App();
    QtEventPump pump;
    TApdComPort port;
    CommSession session{pump};
    std::unique_ptr<Timer> timer = pump.CreateTimer();
};

TEST_F(PortModeSim, QueriesAtBothSpeeds) {
    SimRadio radio({"--kind", "mobile", "--controller-version", "2.0.0", "--sem-version", "3.1",
                    "--boot-version", "1.8"});
    Connect(radio);
    for (int32_t speed : {19200, 115200}) {
        session.SetRadioBaud(speed);
        VersionInfo info;
        ASSERT_EQ(ReadVersionInfo(session, 1, info, true), 1) << speed << "\n" << radio.Log();
        EXPECT_EQ(info.BootVersion[0], 1);
        EXPECT_EQ(info.BootVersion[1], 8);
        EXPECT_EQ(info.SEMVersion[0], 3);
        EXPECT_EQ(port.Baud(), speed);
    }
    EXPECT_EQ(radio.Count("SPEED 115200"), 1) << radio.Log();
    session.Close();
    EXPECT_FALSE(port.Open());
}

TEST_F(PortModeSim, NotAvailableIsAskedAgain) {
    SimRadio radio({"--fault", "042D:0420,times=2", "--boot-version", "6.4"});
    Connect(radio);
    uint8_t boot[2] = {};
    EXPECT_EQ(ReadBootVersion(session, 0, boot), 1) << radio.Log();
    EXPECT_EQ(boot[0], 6);
    EXPECT_EQ(boot[1], 4);
    EXPECT_EQ(radio.Count("RX 04 2D"), 3) << radio.Log();
}

TEST_F(PortModeSim, SilentRadioIsNoAnswer) {
    SimRadio radio({"--fault", "*:silent"});
    Connect(radio);
    VersionInfo info;
    EXPECT_EQ(ReadVersionInfo(session, 0, info, true), 2);
    uint8_t radioInfo[10];
    session.SetActive(true);
    EXPECT_EQ(ReadRadioInfo(session, radioInfo), 2);
}

}  // namespace
}  // namespace quillon::test
