#include "tools/quillon-tool/ToolConnection.h"

#include "app/core/ComPortPresence.h"
#include "app/core/EmbeddedFiles.h"
#include "app/core/InterruptSignals.h"
#include "app/core/ProcessorCount.h"
#include "app/core/ResourceTable.h"
#include "app/core/SysfsPortDeviceNames.h"
#include "serial/ComPortPath.h"
#include "serial/OpenFailure.h"
#include "serial/SystemSerial.h"
#include "tools/quillon-tool/ToolCommand.h"
#ifdef QUILLON_TOOL_PORT_MODE
#include <QCoreApplication>
#include <QSocketNotifier>

#include "serial/qt/QtEventPump.h"
#include "serial/qt/QtSerialLine.h"
#endif

namespace quillon::tool {

bool ResolvePort(const std::string& port, ResolvedPort& resolved, std::string& error) {
    if (port.find('/') != std::string::npos) {
        resolved = {port, port};
        return true;
    }
    int number = 0;
    if (!port.empty() && port.size() <= 3 &&
        port.find_first_not_of("0123456789") == std::string::npos) {
        number = std::stoi(port);
    }
    if (number < ComPortPath::kFirst || number > ComPortPath::kLast) {
        error =
            "--port: expected a COM number from 1 to 255 or a device path, got \"" + port + "\".";
        return false;
    }
    resolved = {ComPortPath::Resolve(number), "COM" + std::to_string(number)};
    return true;
}

namespace {

// The view of a command that reports on its own: the connection's messages are not shown (the
// caller prints the connection's error), and texts meant for a console go nowhere.
class QuietView : public UpdaterView {
public:
    bool ConsoleMode() const override { return true; }
    void SetStatus(const std::string&) override {}
    void WriteConsole(const std::string&) override {}
    MessageAnswer ShowMessage(const std::string&, const std::string&, MessageIcon,
                              MessageButtons) override {
        return MessageAnswer::Ok;
    }
    void SetProgress(int, int) override {}
};

// --port PATH: the one port there is, as COM 1.
class FixedPort : public PortPresence {
public:
    explicit FixedPort(std::string path) : path_(std::move(path)) {}
    bool Present(int n) override {
        return n == 1 && ComPortPath::ProbePath(path_) == ComPortPath::State::Present;
    }
    std::string DevicePath(int n) override { return n == 1 ? path_ : ""; }

private:
    std::string path_;
};

}  // namespace

// What the updater's assembly talks to on this machine. Port mode's line runs on the Qt event
// loop, as in the updater, so a build that may need it waits through that loop (no display is
// needed), which watches the stop signals' descriptor to wake; only a mobile build can need it,
// the others keep the poll loop.
class ToolConnection::Machine {
public:
    Machine(const ResolvedPort& port, bool isPath, UpdaterView* view)
        : view(view != nullptr ? *view : quiet), resources(EmbeddedResourceEntries()) {
        if (isPath) {
            fixed = std::make_unique<FixedPort>(port.devicePath);
        }
        ResourceAttributes attributes;
        const bool mobile = EmbeddedFiles::ReadResourceAttributes(resources, quiet, attributes) &&
                            attributes.RadioModel == 1;
#ifdef QUILLON_TOOL_PORT_MODE
        if (mobile) {
            application = std::make_unique<QCoreApplication>(qtArgc, qtArgv);
            if (ToolStopFd() >= 0) {
                stopNotifier =
                    std::make_unique<QSocketNotifier>(ToolStopFd(), QSocketNotifier::Read);
                QSocketNotifier* notifier = stopNotifier.get();
                QObject::connect(notifier, &QSocketNotifier::activated,
                                 [notifier] { notifier->setEnabled(false); });
            }
            pump = std::make_unique<QtEventPump>();
            portLine = std::make_unique<QtSerialLine>();
            return;
        }
#else
        // A build without Qt has no port-mode line: a mobile build without a box cannot connect.
        static_cast<void>(mobile);
#endif
        auto systemPump = std::make_unique<SystemEventPump>();
#ifdef _WIN32
        systemPump->AddWakeEvent(InterruptSignals::WakeEvent());
#endif
        pump = std::move(systemPump);
    }

    PortPresence& Presence() {
        return fixed ? static_cast<PortPresence&>(*fixed) : machinePorts;
    }

    QuietView quiet;
    UpdaterView& view;
    ResourceTable resources;
    ComPortPresence machinePorts;
    std::unique_ptr<FixedPort> fixed;
    SysfsPortDeviceNames names;
#ifdef QUILLON_TOOL_PORT_MODE
    int qtArgc = 1;
    char qtName[13] = "quillon-tool";
    char* qtArgv[2] = {qtName, nullptr};
    std::unique_ptr<QCoreApplication> application;
    std::unique_ptr<QSocketNotifier> stopNotifier;
#endif
    std::unique_ptr<EventPump> pump;
    std::unique_ptr<SerialLine> portLine;
};

ToolConnection::ToolConnection(const std::string& port, UpdaterView* view) {
    portOk_ = ResolvePort(port, resolved_, error_);
    const bool isPath = port.find('/') != std::string::npos;
    if (portOk_ && !isPath) {
        portNumber_ = std::stoi(port);
    }
    machine_ = std::make_unique<Machine>(resolved_, portOk_ && isPath, view);
    pump_ = machine_->pump.get();
    updater_ = std::make_unique<Updater>(UpdaterEnvironment{*pump_,
                                                            SystemSerialLine::Factory(),
                                                            machine_->portLine.get(),
                                                            machine_->Presence(),
                                                            machine_->names,
                                                            ProcessorCount,
                                                            machine_->resources,
                                                            {},
                                                            {},
                                                            machine_->view});
}

ToolConnection::~ToolConnection() {
    updater_->Connection().CloseAndFree();
}

bool ToolConnection::UsedPortMode() const {
    return updater_->Connection().UsedPortMode();
}

ToolConnection::Result ToolConnection::Open(bool lowSpeed) {
    if (!portOk_) {
        return Result::kBadPort;
    }
    RadioConnection& connection = updater_->Connection();
    bool open = false;
    if (machine_->view.ConsoleMode()) {
        open = connection.ConnectToRadio(lowSpeed, updater_->ConnectionBuild(), portNumber_);
    } else {
        updater_->Ports().Select(portNumber_ - 1);
        open = connection.ConnectToRadio(lowSpeed, updater_->ConnectionBuild());
    }
    if (open) {
        error_.clear();
        return Result::kOpen;
    }
    error_ = connection.LastError();
    OpenFailure failure = updater_->Link().LastOpenFailure();
    if (failure.devicePath.empty()) {
        failure.devicePath = resolved_.name;  // a number with no device behind it
    }
    if (failure.reason != OpenFailure::Reason::None) {
        error_ += "\n" + failure.Describe();
    }
    return Result::kNotOpened;
}

int ToolConnection::Open(bool lowSpeed, std::ostream& err) {
    constexpr int kExitFailed = 1;
    constexpr int kExitUsage = 2;
    const Result result = Open(lowSpeed);
    if (result != Result::kOpen) {
        err << error_ << "\n";
    }
    return result == Result::kOpen ? 0 : result == Result::kBadPort ? kExitUsage : kExitFailed;
}

}  // namespace quillon::tool
