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
#include "tools/quillon-tool/PortAdvice.h"
#include "tools/quillon-tool/QuietView.h"
#include "tools/quillon-tool/ToolCommand.h"
#ifdef QUILLON_TOOL_PORT_MODE
#include <QCoreApplication>
#include <QSocketNotifier>

#include "serial/qt/QtEventPump.h"
#include "serial/qt/QtSerialLine.h"
#endif

namespace quillon::tool {

namespace {

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
    Machine(const PortArgument& port, bool isPath, UpdaterView* view)
        : view(view != nullptr ? *view : quiet), resources(EmbeddedResourceEntries()) {
        if (isPath) {
            fixed = std::make_unique<FixedPort>(port.path);
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
    portOk_ = PortArgument::Parse(port, port_, error_);
    if (portOk_ && !port_.isPath) {
        portNumber_ = port_.number;
    }
    machine_ = std::make_unique<Machine>(port_, portOk_ && port_.isPath, view);
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
    OpenFailure failure = updater_->Link().LastOpenFailure();
    if (failure.reason == OpenFailure::Reason::None && !port_.path.empty()) {
        // Refused before an open was tried (a port the list does not show): try it to tell why.
        SystemSerialLine probe;
        failure = probe.Open(port_.path, {});
    }
    portProblem_ = PortAdvice::OpenFailed(port_, failure);
    error_ = connection.LastError();
    error_ += (error_.empty() ? "" : "\n") + portProblem_;
    return Result::kNotOpened;
}

std::string ToolConnection::NoAnswerHint() const {
    return PortAdvice::NoAnswer(port_);
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
